#include "win/runtime_support.h"
#include <stdio.h>
#include <string.h>
#include "win/platform_calls.h"

const std::string UnknownStringLine =
    "\x96\xA2\x92\x6D\x82\xCC\x95\xB6\x8E\x9A\x97\xF1\x82\xAA\x89\xF0\x95\xFA\x82\xB3"
    "\x82\xEA\x82\xE6\x82\xA4\x82\xC6\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42\r\n";

StrHandle MakeString(const std::string &bytes)
{
    StrHandle h = StrAlloc(int32_t(bytes.size()));
    memcpy(h, bytes.data(), bytes.size());
    return h;
}

std::string BytesOf(StrHandle h)
{
    return std::string(h, size_t(StrLength(h)));
}

SIZE_T BlockSizeOf(StrHandle h)
{
    return HeapSize(ProcessHeap, 0, h - 4);
}

// The size the runtime asked for: a block that shrank in place can keep its
// old, larger size in what Wine's heap says of it (Wine 10's low-fragmentation
// heap). A block smaller than asked is still what this gives.
SIZE_T TableBytes()
{
    SIZE_T asked = PlatformCallsAskedSize(Registry.table);
    SIZE_T held = HeapSize(ProcessHeap, 0, Registry.table);
    return asked && held >= asked ? asked : held;
}

// ---- Child scenarios -------------------------------------------------------
// Each prints the runtime's platform calls and the registry's state whenever
// it is about to show a message box or end, so the parent can check both.

static StrHandle *TableBefore;
static uintptr_t NewBlock;
static size_t Printed;

static void Print(const std::string &line)
{
    std::string out = line + "\n";
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), DWORD(out.size()), &written, NULL);
}

static std::string Hex(uintptr_t v)
{
    char s[24];
    snprintf(s, sizeof s, "0x%llx", static_cast<unsigned long long>(v));
    return s;
}

static std::string BlockName(uintptr_t block)
{
    for (int k = 0; k < GlobalStringSlotCount; k++)
        if (block == uintptr_t(GlobalStringSlots[k] - 4))
            return "slot " + std::to_string(k);
    if (block == uintptr_t(TableBefore))
        return "table";
    if (block != 0 && block == NewBlock)
        return "new";
    return block ? "other" : "null";
}

static std::string Describe(const PlatformCall &c)
{
    std::string heap = c.arg[0] == uintptr_t(ProcessHeap) ? "P" : "X";
    std::string lock = c.lockHeld ? " lock=1" : " lock=0";
    if (c.name == "HeapAlloc") {
        NewBlock = c.result;
        return "HeapAlloc " + heap + " flags=" + Hex(c.arg[1]) + " size=" + std::to_string(c.arg[2]) +
               " -> " + (c.result ? "block" : "null") + lock;
    }
    if (c.name == "HeapReAlloc")
        return "HeapReAlloc " + heap + " flags=" + Hex(c.arg[1]) + " " + BlockName(c.arg[2]) +
               " size=" + std::to_string(c.arg[3]) + " -> " + (c.result ? "block" : "null") + lock;
    if (c.name == "HeapFree")
        return "HeapFree " + heap + " flags=" + Hex(c.arg[1]) + " " + BlockName(c.arg[2]) + lock;
    if (c.name == "MessageBoxA")
        return "MessageBoxA owner=" + Hex(c.arg[0]) + " type=" + Hex(c.arg[3]) + lock;
    if (c.name == "ExitProcess")
        return "ExitProcess code=" + std::to_string(c.arg[0]) + lock;
    return c.name + lock;
}

static std::string RegistryState()
{
    bool slots = true;
    for (int32_t k = 0; k < Registry.count; k++)
        slots = slots && k < GlobalStringSlotCount && Registry.table[k] == GlobalStringSlots[k];
    return "registry count=" + std::to_string(Registry.count) + " entries=" + (slots ? "slots" : "other") +
           " table=" + (Registry.table == TableBefore ? "kept" : "moved") +
           " bytes=" + std::to_string(TableBytes());
}

static void Report(const std::vector<PlatformCall> &calls)
{
    for (; Printed < calls.size(); Printed++)
        Print(Describe(calls[Printed]));
    Print(RegistryState());
}

// A heap that can never grow past 64 KiB stands in for the process heap;
// the registry starts over in it, as RuntimeInit would have made it.
static void UseSmallHeap()
{
    ProcessHeap = HeapCreate(0, 0, 0x10000);
    Registry.table = static_cast<StrHandle *>(HeapAlloc(ProcessHeap, 0, 1));
}

int RunRuntimeChild(const char *mode)
{
    std::string m = mode;
    if (m == "oom-block")
        UseSmallHeap();
    FillGlobalStrings();
    // No heap layout reliably keeps a table from growing by one entry in
    // place, so that refusal comes from the stand-in for HeapReAlloc.
    PlatformCallsRefuseReAlloc = m == "oom-table";
    TableBefore = Registry.table;
    PlatformCallsOnEnd = Report;
    PlatformCallsStart();
    if (m == "exit")
        RuntimeExit();
    if (m == "oom-block")
        StrAlloc(0x7FFFFFF0);
    else if (m == "oom-table")
        StrAlloc(0);
    else if (m == "oom-negative")
        StrAlloc(-1);
    Report(PlatformCallsStop());
    Print("returned");
    return 2;
}
