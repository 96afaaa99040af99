// Tracked strings: allocation, release and the registry of live ones.
#include "runtime/runtime.h"
#include "runtime/out_of_memory.h"

StrHandle StrAlloc(int32_t n)
{
    // A negative length has no block, as surely as an exhausted heap.
    if (n < 0)
        RuntimeOutOfMemory();
    char *block = static_cast<char *>(HeapAlloc(ProcessHeap, HEAP_ZERO_MEMORY, SIZE_T(n) + 5));
    if (!block)
        RuntimeOutOfMemory();
    *reinterpret_cast<int32_t *>(block) = n;
    StrHandle h = block + 4;

    EnterCriticalSection(&Registry.lock);
    StrHandle *table = static_cast<StrHandle *>(
        HeapReAlloc(ProcessHeap, 0, Registry.table, (SIZE_T(Registry.count) + 1) * sizeof(StrHandle)));
    if (table) {
        Registry.table = table;
        Registry.table[Registry.count] = h;
        Registry.count++;
    }
    LeaveCriticalSection(&Registry.lock);

    if (!table) {
        // The old table is untouched and still lists every live string;
        // only the new block, listed nowhere, goes back.
        HeapFree(ProcessHeap, 0, block);
        RuntimeOutOfMemory();
    }
    return h;
}

void StrRelease(const void *h)
{
    EnterCriticalSection(&Registry.lock);
    for (int32_t i = 0; i < Registry.count; i++) {
        if (Registry.table[i] != h)
            continue;
        HeapFree(ProcessHeap, 0, static_cast<char *>(const_cast<void *>(h)) - 4);
        Registry.count--;
        for (int32_t j = i; j < Registry.count; j++)
            Registry.table[j] = Registry.table[j + 1];
        LeaveCriticalSection(&Registry.lock);
        return;
    }
    LeaveCriticalSection(&Registry.lock);

    if (h)
        OutputDebugStringA("未知の文字列が解放されようとしました。\r\n");
}

// A string-valued routine: its result variable starts as an empty string
// like every string variable, and the assignment releases that first.
StrHandle StrBuffer(int32_t n)
{
    StrHandle result = StrAlloc(0);
    StrRelease(StrLoad(&result));
    result = StrAlloc(n);
    return result;
}

StrHandle StrLoad(const StrHandle *variable)
{
    return *variable;
}
