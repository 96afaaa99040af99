#include "win/platform_calls.h"
#include "runtime/runtime.h"
#include "support/imports.h"

IMPORT_SLOT(ImportHeapAlloc, HeapAlloc, 12);
IMPORT_SLOT(ImportHeapReAlloc, HeapReAlloc, 16);
IMPORT_SLOT(ImportHeapFree, HeapFree, 12);
IMPORT_SLOT(ImportOutputDebugStringA, OutputDebugStringA, 4);
IMPORT_SLOT(ImportCompareStringA, CompareStringA, 24);
IMPORT_SLOT(ImportRtlMoveMemory, RtlMoveMemory, 12);
IMPORT_SLOT(ImportExitProcess, ExitProcess, 4);
IMPORT_SLOT(ImportMessageBoxA, MessageBoxA, 16);

bool PlatformCallsRefuseReAlloc;
void (*PlatformCallsOnEnd)(const std::vector<PlatformCall> &calls);

static std::vector<PlatformCall> Recorded;
static const void *AskedBlock;
static SIZE_T AskedSize;
static DWORD RecordingThread;  // 0 while not recording

typedef LPVOID(WINAPI *HeapAllocFn)(HANDLE, DWORD, SIZE_T);
typedef LPVOID(WINAPI *HeapReAllocFn)(HANDLE, DWORD, LPVOID, SIZE_T);
typedef BOOL(WINAPI *HeapFreeFn)(HANDLE, DWORD, LPVOID);
typedef void(WINAPI *OutputDebugStringAFn)(LPCSTR);
typedef int(WINAPI *CompareStringAFn)(LCID, DWORD, LPCSTR, int, LPCSTR, int);
typedef void(WINAPI *RtlMoveMemoryFn)(void *, const void *, SIZE_T);
typedef void(WINAPI *ExitProcessFn)(UINT);
typedef int(WINAPI *MessageBoxAFn)(HWND, LPCSTR, LPCSTR, UINT);

static HeapAllocFn RealHeapAlloc;
static HeapReAllocFn RealHeapReAlloc;
static HeapFreeFn RealHeapFree;
static OutputDebugStringAFn RealOutputDebugStringA;
static CompareStringAFn RealCompareStringA;
static RtlMoveMemoryFn RealRtlMoveMemory;
static ExitProcessFn RealExitProcess;
static MessageBoxAFn RealMessageBoxA;

static bool Recording()
{
    return RecordingThread != 0 && GetCurrentThreadId() == RecordingThread;
}

static void Record(const char *name, std::initializer_list<uintptr_t> args, uintptr_t result,
                   const char *text = nullptr)
{
    PlatformCall call = {};
    call.name = name;
    int i = 0;
    for (uintptr_t a : args)
        call.arg[i++] = a;
    call.result = result;
    call.lockHeld = Registry.lock.RecursionCount > 0 &&
                    Registry.lock.OwningThread == reinterpret_cast<HANDLE>(uintptr_t(GetCurrentThreadId()));
    if (text)
        call.text = text;
    Recorded.push_back(call);
}

static LPVOID WINAPI RecordHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size)
{
    LPVOID p = RealHeapAlloc(heap, flags, size);
    if (Recording())
        Record("HeapAlloc", {uintptr_t(heap), flags, size}, uintptr_t(p));
    return p;
}

static LPVOID WINAPI RecordHeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T size)
{
    LPVOID p = PlatformCallsRefuseReAlloc ? nullptr : RealHeapReAlloc(heap, flags, block, size);
    if (p) {
        AskedBlock = p;
        AskedSize = size;
    }
    if (Recording())
        Record("HeapReAlloc", {uintptr_t(heap), flags, uintptr_t(block), size}, uintptr_t(p));
    return p;
}

static BOOL WINAPI RecordHeapFree(HANDLE heap, DWORD flags, LPVOID block)
{
    // Recorded before the call: the lock and the registry as the free sees them.
    if (Recording())
        Record("HeapFree", {uintptr_t(heap), flags, uintptr_t(block)}, 0);
    return RealHeapFree(heap, flags, block);
}

static void WINAPI RecordOutputDebugStringA(LPCSTR text)
{
    if (Recording())
        Record("OutputDebugStringA", {uintptr_t(text)}, 0, text);
    RealOutputDebugStringA(text);
}

static int WINAPI RecordCompareStringA(LCID locale, DWORD flags, LPCSTR s1, int n1, LPCSTR s2, int n2)
{
    int r = RealCompareStringA(locale, flags, s1, n1, s2, n2);
    if (Recording())
        Record("CompareStringA",
               {locale, flags, uintptr_t(s1), uintptr_t(intptr_t(n1)), uintptr_t(s2), uintptr_t(intptr_t(n2))},
               uintptr_t(r));
    return r;
}

static void WINAPI RecordRtlMoveMemory(void *to, const void *from, SIZE_T length)
{
    if (Recording())
        Record("RtlMoveMemory", {uintptr_t(to), uintptr_t(from), length}, 0);
    RealRtlMoveMemory(to, from, length);
}

static void WINAPI RecordExitProcess(UINT code)
{
    if (Recording()) {
        Record("ExitProcess", {code}, 0);
        if (PlatformCallsOnEnd)
            PlatformCallsOnEnd(Recorded);
    }
    RealExitProcess(code);
}

static int WINAPI RecordMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    if (Recording()) {
        Record("MessageBoxA", {uintptr_t(owner), uintptr_t(text), uintptr_t(caption), type}, 0, text);
        if (PlatformCallsOnEnd)
            PlatformCallsOnEnd(Recorded);
    }
    return RealMessageBoxA(owner, text, caption, type);
}

void PlatformCallsInstall()
{
    if (RealHeapAlloc)
        return;
    SwapImport(&ImportHeapAlloc, RecordHeapAlloc, &RealHeapAlloc);
    SwapImport(&ImportHeapReAlloc, RecordHeapReAlloc, &RealHeapReAlloc);
    SwapImport(&ImportHeapFree, RecordHeapFree, &RealHeapFree);
    SwapImport(&ImportOutputDebugStringA, RecordOutputDebugStringA, &RealOutputDebugStringA);
    SwapImport(&ImportCompareStringA, RecordCompareStringA, &RealCompareStringA);
    SwapImport(&ImportRtlMoveMemory, RecordRtlMoveMemory, &RealRtlMoveMemory);
    SwapImport(&ImportExitProcess, RecordExitProcess, &RealExitProcess);
    SwapImport(&ImportMessageBoxA, RecordMessageBoxA, &RealMessageBoxA);
}

SIZE_T PlatformCallsAskedSize(const void *block)
{
    return block && block == AskedBlock ? AskedSize : 0;
}

void PlatformCallsStart()
{
    PlatformCallsInstall();
    Recorded.clear();
    RecordingThread = GetCurrentThreadId();
}

std::vector<PlatformCall> PlatformCallsStop()
{
    RecordingThread = 0;
    std::vector<PlatformCall> calls;
    calls.swap(Recorded);
    return calls;
}

std::vector<PlatformCall> CallsNamed(const std::vector<PlatformCall> &calls, const char *name)
{
    std::vector<PlatformCall> named;
    for (const PlatformCall &c : calls)
        if (c.name == name)
            named.push_back(c);
    return named;
}
