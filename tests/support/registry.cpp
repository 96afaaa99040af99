#include "support/registry.h"

std::vector<StrHandle> RegistryEntries()
{
    EnterCriticalSection(&Registry.lock);
    std::vector<StrHandle> live(Registry.table, Registry.table + Registry.count);
    LeaveCriticalSection(&Registry.lock);
    return live;
}

std::vector<StrHandle> SlotStrings()
{
    return std::vector<StrHandle>(GlobalStringSlots, GlobalStringSlots + GlobalStringSlotCount);
}
