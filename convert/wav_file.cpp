#include "convert/wav_file.h"
#include <windows.h>
#include "convert/placement.h"
#include "convert/wav_header.h"
#include "runtime/runtime.h"

// The largest payload whose image length n + 44 still fits 32 bits.
static const uint32_t LargestPayload = 0xFFFFFFFFu - WavHeaderSize;

// The input's size as a payload length, asking for the high part too so
// that a file of 4 GiB or more is never taken for a small one.
static ReadOutcome PayloadSize(HANDLE input, uint32_t *n)
{
    // Only a file on a disk has a size: a pipe, a console or a device may
    // report 0 or fail, and a read from it can wait for ever.
    if (GetFileType(input) != FILE_TYPE_DISK)
        return ReadFailed;
    DWORD high = 0;
    DWORD low = GetFileSize(input, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return ReadFailed;
    if (high != 0 || low > LargestPayload)
        return ReadTooLarge;
    *n = low;
    return ReadDone;
}

// A single transfer of a whole large file can fail on a network share or
// under memory pressure: at most this much goes per call.
static const DWORD LargestChunk = 16u << 20;
static const DWORD SmallestChunk = 64u << 10;

// The codes by which the system asks for smaller transfers.
static bool AskedForLess(DWORD error)
{
    return error == ERROR_NO_SYSTEM_RESOURCES || error == ERROR_NOT_ENOUGH_QUOTA || error == ERROR_WORKING_SET_QUOTA;
}

// size bytes between the file and block, chunk after chunk, the chunk halved
// down to SmallestChunk when the system asks for less. A short count goes
// on from where it ended; nothing at all before the end is a failure.
static bool Transfer(HANDLE file, unsigned char *block, uint32_t size, bool writing)
{
    DWORD chunk = LargestChunk;
    for (uint32_t done = 0; done < size;) {
        DWORD part = size - done < chunk ? size - done : chunk, moved = 0;
        BOOL ok = writing ? WriteFile(file, block + done, part, &moved, NULL)
                          : ReadFile(file, block + done, part, &moved, NULL);
        if (ok && moved > 0 && moved <= part)
            done += moved;
        else if (!ok && chunk > SmallestChunk && AskedForLess(GetLastError()))
            chunk /= 2;
        else
            return false;
    }
    return true;
}

// Header and payload into one fresh block: one allocation, the reads
// straight behind the header.
static ReadOutcome Fill(HANDLE input, WavImage *image)
{
    uint32_t n = 0;
    ReadOutcome outcome = PayloadSize(input, &n);
    if (outcome != ReadDone)
        return outcome;
    // Below 4 GiB a 32-bit process can still run out of room.
    unsigned char *bytes = static_cast<unsigned char *>(BlockAlloc(n + WavHeaderSize));
    if (!bytes)
        return ReadTooLarge;
    // Fresh heap pages are mapped to the shared zero page; writing one byte
    // a page first spares the read a second fault on each of them. The
    // count is 64-bit so the loop ends at the 4 GiB limit too.
    for (uint64_t at = 0; at < uint64_t(n) + WavHeaderSize; at += 4096)
        static_cast<volatile unsigned char *>(bytes)[at] = 0;
    WriteWavHeader(bytes, n);
    if (!Transfer(input, bytes + WavHeaderSize, n, false)) {
        // A header stating n over fewer real bytes would pass silence off as the file.
        BlockFree(bytes);
        return ReadFailed;
    }
    image->bytes = bytes;
    image->n = n;
    return ReadDone;
}

ReadOutcome ReadWavImage(const char *path, WavImage *image)
{
    image->bytes = NULL;
    image->n = 0;
    HANDLE input = CreateFileA(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (input == INVALID_HANDLE_VALUE)
        return ReadOpenFailed;
    ReadOutcome outcome = Fill(input, image);
    CloseHandle(input);
    return outcome;
}

WriteOutcome WriteWavImage(const char *path, const WavImage *image, Aside *aside)
{
    char target[OutputNameSize];
    Unfinished unfinished;
    ZeroMemory(target, sizeof target);
    ZeroMemory(&unfinished, sizeof unfinished);
    bool replacing = false;
    if (!FindOutputTarget(path, target, &replacing) || !CreateUnfinished(target, &unfinished))
        return WriteOpenFailed;
    bool whole = Transfer(unfinished.file, image->bytes, WavHeaderSize + image->n, true);
    // On disk before the old file goes, so that a power cut leaves one of
    // the two whole; a new name has nothing at stake.
    if (whole && replacing)
        whole = FlushFileBuffers(unfinished.file) != 0;
    // Whole: from here on the file outlives the process, to take the name.
    if (!whole || !KeepUnfinished(&unfinished)) {
        // A cut-off WAV file would still play, as if it were the whole input.
        DiscardUnfinished(&unfinished);
        return WriteFailed;
    }
    switch (PutInPlace(&unfinished, target, replacing, aside)) {
    case InPlace:
        return WriteDone;
    case LeftAside:
        return WriteLeftAside;
    default:
        return WriteOpenFailed;
    }
}

void FreeWavImage(WavImage *image)
{
    if (image->bytes)
        BlockFree(image->bytes);
    image->bytes = NULL;
    image->n = 0;
}
