#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>
#include <vector>
#include "convert/wav_header.h"

static std::vector<unsigned char> Image(uint32_t n, size_t payload)
{
    // A sentinel behind the header shows any write past byte 43.
    std::vector<unsigned char> image(WavHeaderSize + payload, 0xA5);
    WriteWavHeader(image.data(), n);
    return image;
}

// The header of an empty payload; only the two sizes depend on n.
static const unsigned char EmptyHeader[44] = {
    0x52, 0x49, 0x46, 0x46, 0x24, 0x00, 0x00, 0x00, 0x57, 0x41, 0x56, 0x45,
    0x66, 0x6D, 0x74, 0x20, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00,
    0x40, 0x1F, 0x00, 0x00, 0x40, 0x1F, 0x00, 0x00, 0x01, 0x00, 0x08, 0x00,
    0x64, 0x61, 0x74, 0x61, 0x00, 0x00, 0x00, 0x00};

TEST(WavHeader, EmptyPayloadGivesTheLiteralBytes)
{
    EXPECT_EQ(WavHeaderSize, 44);
    std::vector<unsigned char> image = Image(0, 0);
    ASSERT_EQ(image.size(), 44u);
    EXPECT_EQ(memcmp(image.data(), EmptyHeader, 44), 0);
}

TEST(WavHeader, SizesFollowNAndNothingPastTheHeaderIsTouched)
{
    struct { uint32_t n; unsigned char riff[4]; unsigned char data[4]; } cases[] = {
        {3, {0x27, 0, 0, 0}, {3, 0, 0, 0}},
        {1048576, {0x24, 0, 0x10, 0}, {0, 0, 0x10, 0}},
        // The largest payload whose image length still fits 32 bits.
        {4294967251u, {0xF7, 0xFF, 0xFF, 0xFF}, {0xD3, 0xFF, 0xFF, 0xFF}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.n);
        std::vector<unsigned char> image = Image(c.n, 8);
        EXPECT_EQ(memcmp(image.data() + 4, c.riff, 4), 0);
        EXPECT_EQ(memcmp(image.data() + 40, c.data, 4), 0);
        EXPECT_EQ(memcmp(image.data(), EmptyHeader, 4), 0);
        EXPECT_EQ(memcmp(image.data() + 8, EmptyHeader + 8, 32), 0);
        for (size_t i = WavHeaderSize; i < image.size(); i++)
            EXPECT_EQ(image[i], 0xA5) << "byte " << i;
    }
}

TEST(WavHeader, PayloadBytesKeepTheirValuesAndOddSizesGetNoPad)
{
    const unsigned char payload[] = {0x00, 0x80, 0xFF};
    std::vector<unsigned char> image(WavHeaderSize + sizeof payload);
    memcpy(image.data() + WavHeaderSize, payload, sizeof payload);
    WriteWavHeader(image.data(), sizeof payload);
    EXPECT_EQ(image.size(), 47u);
    EXPECT_EQ(memcmp(image.data() + WavHeaderSize, payload, sizeof payload), 0);
    EXPECT_EQ(image[4], 39);   // RIFF size counts no pad byte
    EXPECT_EQ(image[40], 3);
}
