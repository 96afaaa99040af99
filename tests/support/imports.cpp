#include "support/imports.h"
#include <windows.h>

void *SwapImport(void **slot, void *replacement)
{
    DWORD old = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    void *held = *slot;
    *slot = replacement;
    VirtualProtect(slot, sizeof *slot, old, &old);
    return held;
}
