// wav_convert INPUT OUTPUT [EVENT]: the command's conversion without its
// dialogs, for the tests that hand the output to other programs. Exit code 0
// when written. With EVENT, the write stops half-way, sets that named event
// and waits there to be ended, as a user ends a program that hangs.
#include "convert/wav_file.h"
#include "runtime/runtime.h"
#include "support/imports.h"

IMPORT_SLOT(ImportWriteFile, WriteFile, 20);
static BOOL(WINAPI *RealWriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
static const char *InWrite;

static BOOL WINAPI StopInWrite(HANDLE file, LPCVOID bytes, DWORD size, LPDWORD put, LPOVERLAPPED overlapped)
{
    RealWriteFile(file, bytes, size / 2, put, overlapped);
    SetEvent(OpenEventA(EVENT_MODIFY_STATE, FALSE, InWrite));
    Sleep(INFINITE);
    return FALSE;
}

int main(int argc, char **argv)
{
    if (argc != 3 && argc != 4)
        return 2;
    RuntimeInit();
    WavImage image;
    if (ReadWavImage(argv[1], &image) != ReadDone)
        return 1;
    InWrite = argc == 4 ? argv[3] : nullptr;
    if (InWrite)
        SwapImport(&ImportWriteFile, StopInWrite, &RealWriteFile);
    WriteOutcome written = WriteWavImage(argv[2], &image);
    FreeWavImage(&image);
    return written == WriteDone ? 0 : 1;
}
