#include "convert/wav_header.h"

static unsigned char *Put32(unsigned char *p, uint32_t v)
{
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    p[2] = (unsigned char)(v >> 16);
    p[3] = (unsigned char)(v >> 24);
    return p + 4;
}

static unsigned char *Put16(unsigned char *p, uint16_t v)
{
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    return p + 2;
}

static unsigned char *PutCode(unsigned char *p, const char code[4])
{
    for (int i = 0; i < 4; i++)
        p[i] = (unsigned char)code[i];
    return p + 4;
}

void WriteWavHeader(unsigned char *image, uint32_t n)
{
    // Byte by byte and little-endian whatever the host: the layout is the
    // file's, not the machine's. n + 36 is unsigned, so it is only ever
    // computed for the n a caller has already bounded.
    unsigned char *p = image;
    p = PutCode(p, "RIFF");
    p = Put32(p, n + 36);
    p = PutCode(p, "WAVE");
    p = PutCode(p, "fmt ");
    p = Put32(p, 16);
    p = Put16(p, 1);     // PCM
    p = Put16(p, 1);     // one channel
    p = Put32(p, 8000);  // samples per second
    p = Put32(p, 8000);  // bytes per second
    p = Put16(p, 1);     // block align
    p = Put16(p, 8);     // bits per sample
    p = PutCode(p, "data");
    Put32(p, n);
}
