// coverage_exit.dll, loaded by every program of the coverage build: it makes
// the dump the program hands it when the process ends, however it ends but
// by TerminateProcess. Loaded after the C runtime the dump writes through,
// it is called before the C runtime is.
#include <windows.h>

static void (*Dump)(void);

extern "C" __declspec(dllexport) void DumpAtProcessExit(void (*dump)(void))
{
    Dump = dump;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_DETACH && Dump)
        Dump();
    return TRUE;
}
