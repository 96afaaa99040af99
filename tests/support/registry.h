// The runtime's registry of tracked strings, as the tests compare it.
#pragma once
#include <vector>
#include "runtime/runtime.h"

// The live tracked strings in order, read under the registry's lock.
std::vector<StrHandle> RegistryEntries();
// The strings of the global slots, in slot order.
std::vector<StrHandle> SlotStrings();
