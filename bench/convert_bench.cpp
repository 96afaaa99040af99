// Times the convert command's own path, read into an image and write it out,
// inside one process, so that Wine's start-up is not counted; and finds how
// large an input this build can take at all.
//
//   convert_bench convert IN OUT RUNS   one warm-up, then RUNS timed runs
//                                       (RUNS 0: the one conversion alone),
//                                       each to a new name
//   convert_bench replace IN OUT RUNS   the same, each over the last output
//   convert_bench read IN               ReadWavImage alone; prints its outcome
//   convert_bench largest               largest n whose image the heap supplies
//
// Output is "key value" lines for bench/run.sh. Exit code 0 when all went well.
#define __USE_MINGW_ANSI_STDIO 1
#include <windows.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>

#include "convert/wav_file.h"
#include "convert/wav_header.h"
#include "runtime/runtime.h"

static const char *const ReadNames[] = {"ReadDone", "ReadOpenFailed", "ReadFailed", "ReadTooLarge"};
static const char *const WriteNames[] = {"WriteDone", "WriteOpenFailed", "WriteFailed", "WriteLeftAside"};

static double Now(void) {
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(frequency.QuadPart);
}

// Wine fills PeakWorkingSetSize from the Linux VmHWM of the process: the
// highest resident set so far, which is what a page-touching allocation costs.
static unsigned long long PeakWorkingSet(void) {
    PROCESS_MEMORY_COUNTERS counters;
    memset(&counters, 0, sizeof counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

// One conversion as the command does it, minus the dialogs; the seconds of
// its three phases (read, write, free) go to phases.
static bool ConvertOnce(const char *in, const char *out, double phases[3]) {
    WavImage image = {nullptr, 0};
    double start = Now();
    ReadOutcome read = ReadWavImage(in, &image);
    double read_end = Now();
    if (read != ReadDone) {
        printf("error %s\n", ReadNames[read]);
        return false;
    }
    WriteOutcome write = WriteWavImage(out, &image);
    double write_end = Now();
    FreeWavImage(&image);
    phases[0] = read_end - start;
    phases[1] = write_end - read_end;
    phases[2] = Now() - write_end;
    if (write != WriteDone) {
        printf("error %s\n", WriteNames[write]);
        return false;
    }
    return true;
}

static double Median(double *values, int count) {
    std::sort(values, values + count);
    return count % 2 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) / 2;
}

static int Convert(const char *in, const char *out, int runs, bool fresh) {
    double phases[3][64], total[64], each[3];
    unsigned long long idle = PeakWorkingSet();
    DeleteFileA(out);
    if (!ConvertOnce(in, out, each)) return 1;   // warm-up, and the memory figure
    printf("idle_peak %llu\npeak %llu\n", idle, PeakWorkingSet());

    runs = std::min(runs, 64);
    for (int i = 0; i < runs; i++) {
        if (fresh) DeleteFileA(out);   // every tool starts without an output, as cp does
        if (!ConvertOnce(in, out, each)) return 1;
        total[i] = each[0] + each[1] + each[2];
        for (int p = 0; p < 3; p++) phases[p][i] = each[p];
        printf("run %d %.6f\n", i + 1, total[i]);
    }
    if (runs <= 0) return 0;
    printf("median %.6f\n", Median(total, runs));
    printf("median_read %.6f\n", Median(phases[0], runs));
    printf("median_write %.6f\n", Median(phases[1], runs));
    printf("median_free %.6f\n", Median(phases[2], runs));
    return 0;
}

static int Read(const char *in) {
    WavImage image = {nullptr, 0};
    unsigned long long idle = PeakWorkingSet();
    double start = Now();
    ReadOutcome read = ReadWavImage(in, &image);
    double elapsed = Now() - start;
    printf("outcome %s\n", ReadNames[read]);
    printf("n %lu\n", (unsigned long)image.n);
    printf("seconds %.3f\n", elapsed);
    printf("idle_peak %llu\npeak %llu\n", idle, PeakWorkingSet());
    FreeWavImage(&image);
    return read == ReadDone ? 0 : 2;
}

// Binary search over the heap itself. Probes skip the zero fill, which would
// touch every page of a block of gigabytes; whether the heap can supply the
// block does not depend on it. The answer is then checked once with BlockAlloc.
static int Largest(void) {
    const unsigned long long limit = 0xFFFFFFFFull - WavHeaderSize;   // the format's largest n
    unsigned long long lo = 0, hi = limit + 1;   // lo fits; hi does not (or is past the limit)
    while (hi - lo > 1) {
        unsigned long long mid = lo + (hi - lo) / 2;
        void *block = HeapAlloc(ProcessHeap, 0, SIZE_T(mid + WavHeaderSize));
        if (block) {
            HeapFree(ProcessHeap, 0, block);
            lo = mid;
        } else {
            hi = mid;
        }
    }
    void *block = BlockAlloc(uint32_t(lo + WavHeaderSize));
    printf("largest %llu\n", lo);
    printf("format_limit %llu\n", limit);
    printf("blockalloc %s\n", block ? "ok" : "failed");
    if (block) BlockFree(block);
    return block ? 0 : 1;
}

int main(int argc, char **argv) {
    RuntimeInit();
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc == 5 && strcmp(argv[1], "convert") == 0) return Convert(argv[2], argv[3], atoi(argv[4]), true);
    if (argc == 5 && strcmp(argv[1], "replace") == 0) return Convert(argv[2], argv[3], atoi(argv[4]), false);
    if (argc == 3 && strcmp(argv[1], "read") == 0) return Read(argv[2]);
    if (argc == 2 && strcmp(argv[1], "largest") == 0) return Largest();
    fprintf(stderr, "usage: convert_bench convert|replace IN OUT RUNS | read IN | largest\n");
    return 64;
}
