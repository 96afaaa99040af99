// wav_convert INPUT OUTPUT: the command's conversion without its dialogs, for
// the tests that hand the output to other programs. Exit code 0 when written.
#include "convert/wav_file.h"
#include "runtime/runtime.h"

int main(int argc, char **argv)
{
    if (argc != 3)
        return 2;
    RuntimeInit();
    WavImage image;
    if (ReadWavImage(argv[1], &image) != ReadDone)
        return 1;
    WriteOutcome written = WriteWavImage(argv[2], &image);
    FreeWavImage(&image);
    return written == WriteDone ? 0 : 1;
}
