// The 44-byte header of an 8-bit mono PCM WAV file at 8000 samples per second.
#pragma once
#include <stdint.h>

enum { WavHeaderSize = 44 };

// Writes bytes 0..43 of image for a payload of n bytes; touches nothing beyond.
void WriteWavHeader(unsigned char *image, uint32_t n);
