#include <windows.h>
#include "runtime/out_of_memory.h"

void RuntimeOutOfMemory(void)
{
    // No owner is known down here; task-modal keeps this thread's windows
    // from running commands while the box is up.
    MessageBoxA(NULL, "メモリを確保できなかったため、終了します。", "エラー",
                MB_OK | MB_ICONWARNING | MB_TASKMODAL);
    ExitProcess(OutOfMemoryExitCode);
}
