// Plain zero-filled blocks for bulk data: untracked, unlocked.
#include "runtime/runtime.h"

void *BlockAlloc(uint32_t size)
{
    return HeapAlloc(ProcessHeap, HEAP_ZERO_MEMORY, size);
}

void BlockFree(void *block)
{
    HeapFree(ProcessHeap, 0, block);
}
