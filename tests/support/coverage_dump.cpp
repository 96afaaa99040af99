// Linked into every program of the coverage build (make coverage).
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

extern "C" void __gcov_dump(void);

static bool HandOver()
{
    // gcov writes each count file at its object's Linux path, which under
    // Wine lies on drive Z: whatever the process's current drive.
    _putenv("GCOV_PREFIX=Z:");
    // gcov dumps from the C runtime's exit, which a process that ends through
    // ExitProcess (the program does) never reaches; ExitProcess calls each
    // loaded DLL with DLL_PROCESS_DETACH, so a DLL keeps the dump for then.
    // After exit() that second dump writes nothing: gcov marks what it wrote.
    HMODULE dll = LoadLibraryA(COVERAGE_EXIT_DLL);
    void *found = dll ? reinterpret_cast<void *>(GetProcAddress(dll, "DumpAtProcessExit")) : nullptr;
    if (!found) {
        fprintf(stderr, "coverage: %s not loaded (error %lu): this process's counts are lost"
                        " if it ends through ExitProcess\n", COVERAGE_EXIT_DLL, GetLastError());
        return false;
    }
    reinterpret_cast<void (*)(void (*)(void))>(found)(__gcov_dump);
    return true;
}
[[maybe_unused]] static const bool handedOver = HandOver();
