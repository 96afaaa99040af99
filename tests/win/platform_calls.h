// Records the runtime's calls into the platform by swapping this program's
// import slots for recording stand-ins that pass every call on.
#pragma once
#include <windows.h>
#include <stdint.h>
#include <string>
#include <vector>

struct PlatformCall {
    std::string name;          // "HeapAlloc", "HeapReAlloc", "HeapFree", ...
    uintptr_t arg[6];          // the arguments in order, as passed
    uintptr_t result;          // 0 for calls without one
    bool lockHeld;             // the registry lock was held by this thread
    std::string text;          // OutputDebugStringA and MessageBoxA: the text
};

// Swaps the import slots (once per process).
void PlatformCallsInstall();
// Records the calls this thread makes from now on.
void PlatformCallsStart();
// Stops recording and hands over what was recorded.
std::vector<PlatformCall> PlatformCallsStop();
// While set, HeapReAlloc fails as a heap with no room left does: null, and
// the block untouched.
extern bool PlatformCallsRefuseReAlloc;
// The size last asked of HeapReAlloc for BLOCK, recorded or not, once
// installed; 0 when BLOCK is not what the last successful one returned.
SIZE_T PlatformCallsAskedSize(const void *block);
// Called by the ExitProcess and MessageBoxA stand-ins before they pass the
// call on, with everything recorded so far (the call itself included).
extern void (*PlatformCallsOnEnd)(const std::vector<PlatformCall> &calls);
// The calls named so, in order.
std::vector<PlatformCall> CallsNamed(const std::vector<PlatformCall> &calls, const char *name);
