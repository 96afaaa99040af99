// A file's WAV image in memory, and the image written out to a file: the two
// halves of the convert command, callable without its dialogs.
#pragma once
#include <stdint.h>

struct WavImage {
    unsigned char *bytes;   // a MemoryBlock of WavHeaderSize + n bytes, or null
    uint32_t n;             // payload length: the input's size
};

enum ReadOutcome {
    ReadDone,
    ReadOpenFailed,   // the input cannot be opened
    ReadFailed,       // no file on a disk, size query failed, or the read failed or came up short
    ReadTooLarge,     // no image of that size fits 32 bits, or memory ran out
};

enum WriteOutcome {
    WriteDone,
    WriteOpenFailed,  // no new file in that folder, or the chosen one cannot be replaced
    WriteFailed,      // the write failed or stopped short; the chosen file is as it was
    WriteLeftAside,   // the image is whole but could not take the name: *aside says where it is
};
struct Aside;

// Opens path unshared, reads it whole behind a fresh header, closes it. On
// anything but ReadDone, image->bytes is null and nothing is left open.
ReadOutcome ReadWavImage(const char *path, WavImage *image);
// Writes the whole image into a new file beside path, which then takes
// path's place (or, through a link, that of the file it leads to). On
// WriteLeftAside *aside, unless null, says where the image and the old file
// are; on any other failure path is as it was and nothing new is left beside
// it, nor where the process is ended half-way.
WriteOutcome WriteWavImage(const char *path, const WavImage *image, Aside *aside = nullptr);
void FreeWavImage(WavImage *image);
