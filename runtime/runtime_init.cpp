// The runtime's process-wide values, its start-up, the global string slots
// and the one way out of the process.
#include "runtime/runtime.h"
#include "runtime/out_of_memory.h"

StringRegistry Registry;
HANDLE ProcessHeap;
StrHandle GlobalStringSlots[GlobalStringSlotCount];

void RuntimeInit(void)
{
    InitializeCriticalSection(&Registry.lock);
    ProcessHeap = GetProcessHeap();
    // One byte, not none: the table is always a real block, so every later
    // size change is a reallocation of it.
    Registry.table = static_cast<StrHandle *>(HeapAlloc(ProcessHeap, 0, 1));
    if (!Registry.table)
        RuntimeOutOfMemory();
    Registry.count = 0;
}

void FillGlobalStrings(void)
{
    for (int slot = 0; slot < GlobalStringSlotCount; slot++)
        GlobalStringSlots[slot] = StrAlloc(0);
}

// The slots keep their now stale handles: nothing runs after this but the
// end of the process.
void ReleaseGlobalStrings(void)
{
    for (int slot = 0; slot < GlobalStringSlotCount; slot++)
        StrRelease(GlobalStringSlots[slot]);
}

void RuntimeExit(void)
{
    ReleaseGlobalStrings();
    ExitProcess(0);
}
