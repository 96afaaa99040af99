// Tracked strings, the registry, memory blocks and the global slots, as a
// program written against the runtime sees them, and the platform calls
// behind them.
#include <gtest/gtest.h>
#include <string.h>
#include "support/debug_monitor.h"
#include "win/platform_calls.h"
#include "win/runtime_support.h"

namespace {

const SIZE_T Entry = sizeof(StrHandle);

// Every test leaves the registry as it found it: the 32 slot strings.
class Runtime : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(MonitorRunning) << "another program holds the debug output";
        DebugMonitorTake();
        before = RegistryEntries();
    }
    void TearDown() override
    {
        PlatformCallsStop();
        EXPECT_EQ(RegistryEntries(), before) << "strings left behind or lost";
    }
    std::vector<StrHandle> before;
};

std::vector<StrHandle> Plus(std::vector<StrHandle> entries, std::initializer_list<StrHandle> more)
{
    entries.insert(entries.end(), more);
    return entries;
}

TEST_F(Runtime, GlobalSlotsAreTheFirst32EmptyStrings)
{
    ASSERT_EQ(Registry.count, 32);
    for (int k = 0; k < GlobalStringSlotCount; k++) {
        EXPECT_EQ(Registry.table[k], GlobalStringSlots[k]) << "entry " << k;
        EXPECT_EQ(StrLength(GlobalStringSlots[k]), 0);
        EXPECT_EQ(GlobalStringSlots[k][0], 0);
        EXPECT_EQ(BlockSizeOf(GlobalStringSlots[k]), 5u);
    }
}

TEST_F(Runtime, AllocationLaysOutLengthZeroContentAndNul)
{
    // A block dirtied and given back first, so a zero fill cannot be luck.
    void *dirty = BlockAlloc(64);
    memset(dirty, 0xAA, 64);
    BlockFree(dirty);

    StrHandle *tableBefore = Registry.table;
    PlatformCallsStart();
    StrHandle h = StrAlloc(59);
    std::vector<PlatformCall> calls = PlatformCallsStop();

    EXPECT_EQ(StrLength(h), 59);
    EXPECT_EQ(BlockSizeOf(h), 64u);
    EXPECT_EQ(std::string(h, 60), std::string(60, '\0'));
    EXPECT_EQ(RegistryEntries(), Plus(before, {h}));
    EXPECT_EQ(TableBytes(), Registry.count * Entry);

    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].name, "HeapAlloc");
    EXPECT_EQ(calls[0].arg[0], uintptr_t(ProcessHeap));
    EXPECT_EQ(calls[0].arg[1], uintptr_t(HEAP_ZERO_MEMORY));
    EXPECT_EQ(calls[0].arg[2], 64u);
    EXPECT_EQ(calls[0].result + 4, uintptr_t(h));
    EXPECT_FALSE(calls[0].lockHeld);
    EXPECT_EQ(calls[1].name, "HeapReAlloc");
    EXPECT_EQ(calls[1].arg[0], uintptr_t(ProcessHeap));
    EXPECT_EQ(calls[1].arg[1], 0u);
    EXPECT_EQ(calls[1].arg[2], uintptr_t(tableBefore));
    EXPECT_EQ(calls[1].arg[3], 33 * Entry);
    EXPECT_EQ(calls[1].result, uintptr_t(Registry.table));
    EXPECT_TRUE(calls[1].lockHeld);

    StrHandle empty = StrAlloc(0);
    EXPECT_EQ(StrLength(empty), 0);
    EXPECT_EQ(empty[0], 0);
    EXPECT_EQ(BlockSizeOf(empty), 5u);
    EXPECT_EQ(RegistryEntries(), Plus(before, {h, empty}));

    StrHandle three = StrAlloc(3);
    EXPECT_EQ(StrLength(three), 3);
    EXPECT_EQ(std::string(three, 4), std::string(4, '\0'));
    EXPECT_EQ(BlockSizeOf(three), 8u);
    StrRelease(three);
    StrRelease(empty);
    StrRelease(h);
}

TEST_F(Runtime, TableHasNoSpareRoomAfterAnAllocation)
{
    StrHandle a = StrAlloc(1), b = StrAlloc(2), c = StrAlloc(3);
    EXPECT_EQ(TableBytes(), 35 * Entry);
    StrRelease(b);
    StrRelease(a);
    EXPECT_EQ(TableBytes(), 35 * Entry) << "a release leaves the table's size alone";
    StrHandle d = StrAlloc(4);
    EXPECT_EQ(TableBytes(), 34 * Entry);
    EXPECT_EQ(RegistryEntries(), Plus(before, {c, d}));
    StrRelease(c);
    StrRelease(d);
}

TEST_F(Runtime, ReleaseKeepsTheOrderOfTheOthers)
{
    StrHandle first = MakeString("1"), second = MakeString("22"), third = MakeString("333");

    PlatformCallsStart();
    StrRelease(second);
    std::vector<PlatformCall> calls = PlatformCallsStop();
    EXPECT_EQ(RegistryEntries(), Plus(before, {first, third}));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].name, "HeapFree");
    EXPECT_EQ(calls[0].arg[0], uintptr_t(ProcessHeap));
    EXPECT_EQ(calls[0].arg[1], 0u);
    EXPECT_EQ(calls[0].arg[2], uintptr_t(second - 4));
    EXPECT_TRUE(calls[0].lockHeld);

    StrRelease(first);
    EXPECT_EQ(RegistryEntries(), Plus(before, {third}));
    EXPECT_EQ(BytesOf(third), "333");

    // The oldest entry of all goes too: the table starts with what followed.
    StrHandle slot0 = Registry.table[0];
    StrRelease(slot0);
    EXPECT_EQ(RegistryEntries(), Plus(std::vector<StrHandle>(before.begin() + 1, before.end()), {third}));
    StrRelease(third);
    EXPECT_TRUE(DebugMonitorTake().empty());

    // A fresh slot 0 goes back to the front, as start-up would have put it.
    StrHandle fresh = StrAlloc(0);
    memmove(Registry.table + 1, Registry.table, (Registry.count - 1) * Entry);
    Registry.table[0] = GlobalStringSlots[0] = fresh;
    before = RegistryEntries();
}

TEST_F(Runtime, ReleasingWhatIsNotLiveWritesOneLineAndFreesNothing)
{
    StrHandle h = MakeString("abc");
    StrRelease(h);
    ASSERT_TRUE(DebugMonitorTake().empty());

    void *block = BlockAlloc(16);
    StrHandle live = MakeString("live");
    int onStack = 0;
    const void *strangers[] = {h, block, live + 1, live - 4, live + 5, &onStack};
    for (const void *stranger : strangers) {
        std::vector<StrHandle> entries = RegistryEntries();
        SIZE_T tableBytes = TableBytes();
        PlatformCallsStart();
        StrRelease(stranger);
        std::vector<PlatformCall> calls = PlatformCallsStop();

        std::vector<std::string> lines = DebugMonitorTake();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0], UnknownStringLine);
        EXPECT_EQ(lines[0].size(), 40u);
        EXPECT_EQ(RegistryEntries(), entries);
        EXPECT_EQ(TableBytes(), tableBytes);
        ASSERT_EQ(calls.size(), 1u) << "nothing freed, only the line written";
        EXPECT_EQ(calls[0].name, "OutputDebugStringA");
        EXPECT_FALSE(calls[0].lockHeld) << "the line is written after the lock is left";
    }
    EXPECT_EQ(BytesOf(live), "live");
    StrRelease(live);
    BlockFree(block);
}

TEST_F(Runtime, ReleasingNullIsSilent)
{
    PlatformCallsStart();
    StrRelease(nullptr);
    std::vector<PlatformCall> calls = PlatformCallsStop();
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(DebugMonitorTake().empty());
}

TEST_F(Runtime, ConcatPutsLeftBytesFirstAndConsumesBoth)
{
    StrHandle right = MakeString("de"), left = MakeString("abc");
    PlatformCallsStart();
    StrHandle both = StrConcat(right, left);
    std::vector<PlatformCall> calls = PlatformCallsStop();

    EXPECT_EQ(StrLength(both), 5);
    EXPECT_EQ(std::string(both, 6), std::string("abcde\0", 6));
    EXPECT_EQ(RegistryEntries(), Plus(before, {both}));
    std::vector<PlatformCall> moves = CallsNamed(calls, "RtlMoveMemory");
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].arg[0], uintptr_t(both));
    EXPECT_EQ(moves[0].arg[2], 3u);
    EXPECT_EQ(moves[1].arg[0], uintptr_t(both + 3));
    EXPECT_EQ(moves[1].arg[2], 2u);
    std::vector<PlatformCall> frees = CallsNamed(calls, "HeapFree");
    ASSERT_EQ(frees.size(), 2u);
    EXPECT_EQ(frees[0].arg[2], uintptr_t(left - 4)) << "left is released first";
    EXPECT_EQ(frees[1].arg[2], uintptr_t(right - 4));
    EXPECT_TRUE(DebugMonitorTake().empty());
    StrRelease(both);
}

TEST_F(Runtime, ConcatCopiesZeroBytesInsideTheCountedLength)
{
    StrHandle joined = StrConcat(MakeString("c"), MakeString(std::string("ab\0\0", 4)));
    EXPECT_EQ(BytesOf(joined), std::string("ab\0\0c", 5));
    EXPECT_EQ(joined[5], 0);

    // A string whose text is shorter than its length keeps every byte.
    StrHandle padded = StrBuffer(6);
    memcpy(padded, "xy", 3);
    StrHandle longer = StrConcat(MakeString("!"), padded);
    EXPECT_EQ(BytesOf(longer), std::string("xy\0\0\0\0!", 7));

    StrHandle empty = StrConcat(StrAlloc(0), StrAlloc(0));
    EXPECT_EQ(StrLength(empty), 0);
    EXPECT_EQ(BlockSizeOf(empty), 5u);
    EXPECT_EQ(RegistryEntries(), Plus(before, {joined, longer, empty}));
    EXPECT_TRUE(DebugMonitorTake().empty());
    StrRelease(joined);
    StrRelease(longer);
    StrRelease(empty);
}

TEST_F(Runtime, ConcatOfOneHandleWithItselfGivesItTwiceAndOneLine)
{
    StrHandle h = MakeString("xy");
    StrHandle twice = StrConcat(h, h);
    EXPECT_EQ(BytesOf(twice), "xyxy");
    EXPECT_EQ(RegistryEntries(), Plus(before, {twice}));
    EXPECT_EQ(DebugMonitorTake(), std::vector<std::string>{UnknownStringLine});
    StrRelease(twice);
}

TEST_F(Runtime, CompareGivesOneTwoThreeAndReleasesAsNamed)
{
    struct Case {
        const char *left, *right;
        int result;
    } cases[] = {{"abc", "abd", CSTR_LESS_THAN}, {"abc", "abc", CSTR_EQUAL},
                 {"abd", "abc", CSTR_GREATER_THAN}, {"ab", "abc", CSTR_LESS_THAN},
                 {"", "", CSTR_EQUAL}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.left) + " vs " + c.right);
        StrHandle left = MakeString(c.left), right = MakeString(c.right);
        EXPECT_EQ(StrCompareReleaseRight(right, left), c.result);
        EXPECT_EQ(RegistryEntries(), Plus(before, {left})) << "left stays, right is gone";
        EXPECT_EQ(BytesOf(left), c.left);

        right = MakeString(c.right);
        EXPECT_EQ(StrCompareReleaseBoth(right, left), c.result);
        EXPECT_EQ(RegistryEntries(), before);
    }
    EXPECT_TRUE(DebugMonitorTake().empty());
}

TEST_F(Runtime, ComparePassesCountedLengthsUnderTheSystemLocale)
{
    // Zero bytes inside the length are passed; the NUL behind it is not.
    StrHandle left = MakeString(std::string("a\0b", 3)), right = MakeString("ab");
    PlatformCallsStart();
    int result = StrCompareReleaseBoth(right, left);
    std::vector<PlatformCall> calls = PlatformCallsStop();

    std::vector<PlatformCall> compares = CallsNamed(calls, "CompareStringA");
    ASSERT_EQ(compares.size(), 1u);
    const PlatformCall &c = compares[0];
    EXPECT_EQ(c.arg[0], uintptr_t(LOCALE_SYSTEM_DEFAULT));
    EXPECT_EQ(c.arg[0], 0x0800u);
    EXPECT_EQ(c.arg[1], 0u);
    EXPECT_EQ(c.arg[2], uintptr_t(left));
    EXPECT_EQ(c.arg[3], 3u);
    EXPECT_EQ(c.arg[4], uintptr_t(right));
    EXPECT_EQ(c.arg[5], 2u);
    EXPECT_EQ(uintptr_t(result), c.result) << "the comparison's result comes back unchanged";
    std::vector<PlatformCall> frees = CallsNamed(calls, "HeapFree");
    ASSERT_EQ(frees.size(), 2u);
    EXPECT_EQ(frees[0].arg[2], uintptr_t(left - 4)) << "left is released first";
    EXPECT_EQ(frees[1].arg[2], uintptr_t(right - 4));
}

TEST_F(Runtime, BufferNetsOneNewZeroedString)
{
    PlatformCallsStart();
    StrHandle h = StrBuffer(4);
    std::vector<PlatformCall> calls = PlatformCallsStop();
    EXPECT_EQ(StrLength(h), 4);
    EXPECT_EQ(std::string(h, 5), std::string(5, '\0'));
    EXPECT_EQ(RegistryEntries(), Plus(before, {h}));
    EXPECT_EQ(TableBytes(), Registry.count * Entry);

    // On the way: an empty result string, registered and released again.
    std::vector<PlatformCall> allocs = CallsNamed(calls, "HeapAlloc");
    ASSERT_EQ(allocs.size(), 2u);
    EXPECT_EQ(allocs[0].arg[2], 5u);
    EXPECT_EQ(allocs[1].arg[2], 9u);
    std::vector<PlatformCall> frees = CallsNamed(calls, "HeapFree");
    ASSERT_EQ(frees.size(), 1u);
    EXPECT_EQ(frees[0].arg[2], allocs[0].result);
    EXPECT_TRUE(DebugMonitorTake().empty());
    StrRelease(h);
}

TEST_F(Runtime, MemoryBlocksAreZeroedUntrackedAndMayBeRefused)
{
    void *dirty = BlockAlloc(100);
    memset(dirty, 0x55, 100);
    BlockFree(dirty);

    PlatformCallsStart();
    unsigned char *block = static_cast<unsigned char *>(BlockAlloc(100));
    std::vector<PlatformCall> calls = PlatformCallsStop();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(HeapSize(ProcessHeap, 0, block), 100u);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(block), 100), std::string(100, '\0'));
    EXPECT_EQ(RegistryEntries(), before);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].arg[1], uintptr_t(HEAP_ZERO_MEMORY));
    EXPECT_FALSE(calls[0].lockHeld);

    PlatformCallsStart();
    BlockFree(block);
    calls = PlatformCallsStop();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].name, "HeapFree");
    EXPECT_EQ(calls[0].arg[1], 0u);
    EXPECT_EQ(calls[0].arg[2], uintptr_t(block));

    // A heap that cannot supply the block: null comes back, nothing stops.
    HANDLE processHeap = ProcessHeap;
    ProcessHeap = HeapCreate(0, 0, 0x10000);
    void *refused = BlockAlloc(0x100000);
    HeapDestroy(ProcessHeap);
    ProcessHeap = processHeap;
    EXPECT_EQ(refused, nullptr);
    EXPECT_TRUE(DebugMonitorTake().empty());
}

}  // namespace
