// The two ways the runtime ends a process, each in a child run of this
// program: RuntimeExit, and the stop when the heap cannot supply a string.
#include <gtest/gtest.h>
#include "support/debug_monitor.h"
#include "support/windows.h"
#include "win/runtime_support.h"

namespace {

struct ChildRun {
    bool started = false;
    bool ended = false;
    DWORD exitCode = 0;
    std::vector<std::string> report;  // the child's standard output, by line
    bool boxSeen = false;
    MessageBoxView box = {};
    std::vector<std::string> debugLines;
};

std::vector<std::string> SplitLines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// Runs this program with --runtime-child mode; when a message box is
// expected, reads it and answers OK.
ChildRun RunChild(const char *mode, bool expectBox)
{
    ChildRun run;
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(NULL, exe, MAX_PATH);
    std::string command = std::string("\"") + exe + "\" --runtime-child " + mode;

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16))
        return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child = {};
    run.started = CreateProcessA(exe, &command[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &child);
    CloseHandle(writeEnd);
    if (!run.started) {
        CloseHandle(readEnd);
        return run;
    }

    if (expectBox) {
        HWND box = WaitForTopLevel("#32770", NULL, child.dwProcessId, 15000);
        if (box) {
            run.boxSeen = ReadMessageBox(box, &run.box);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
    run.ended = WaitForSingleObject(child.hProcess, 30000) == WAIT_OBJECT_0;
    if (!run.ended)
        TerminateProcess(child.hProcess, 1);
    GetExitCodeProcess(child.hProcess, &run.exitCode);

    // The child is gone, so all it wrote is in the pipe; reading on to the
    // end could wait forever if a debugger inherited the pipe's other end.
    std::string output;
    char chunk[4096];
    DWORD ready, got;
    while (PeekNamedPipe(readEnd, NULL, 0, NULL, &ready, NULL) && ready > 0 &&
           ReadFile(readEnd, chunk, sizeof chunk, &got, NULL) && got > 0)
        output.append(chunk, got);
    CloseHandle(readEnd);
    run.report = SplitLines(output);
    run.debugLines = DebugMonitorTake(child.dwProcessId);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return run;
}

std::string Bytes(size_t entries)
{
    return std::to_string(entries * sizeof(StrHandle));
}

TEST(RuntimeExit, ReleasesTheSlotsInOrderAndEndsWithZero)
{
    ASSERT_TRUE(MonitorRunning) << "another program holds the debug output";
    ChildRun run = RunChild("exit", false);
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0u);

    std::vector<std::string> expected;
    for (int k = 0; k < GlobalStringSlotCount; k++)
        expected.push_back("HeapFree P flags=0x0 slot " + std::to_string(k) + " lock=1");
    expected.push_back("ExitProcess code=0 lock=0");
    // Stale slots, an empty registry, the table neither moved nor shrunk.
    expected.push_back("registry count=0 entries=slots table=kept bytes=" + Bytes(32));
    EXPECT_EQ(run.report, expected);
    EXPECT_TRUE(run.debugLines.empty());
}

// What the user sees when the heap runs dry, and what the child reports:
// its heap calls up to the refusal, then the message box and the end, with
// the registry intact at both.
void ExpectOutOfMemoryStop(const char *mode, std::vector<std::string> heapCalls)
{
    ASSERT_TRUE(MonitorRunning) << "another program holds the debug output";
    ChildRun run = RunChild(mode, true);
    ASSERT_TRUE(run.started);
    EXPECT_TRUE(run.ended);
    ASSERT_TRUE(run.boxSeen) << "no message box";
    EXPECT_EQ(run.box.text, "メモリを確保できなかったため、終了します。");
    EXPECT_EQ(run.box.caption, "エラー");
    EXPECT_EQ(run.box.icon, UINT(MB_ICONWARNING));
    EXPECT_EQ(run.exitCode, DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_TRUE(run.debugLines.empty());
    std::string intact = "registry count=32 entries=slots table=kept bytes=" + Bytes(32);
    std::vector<std::string> expected = heapCalls;
    for (const std::string &line : {std::string("MessageBoxA owner=0x0 type=0x2030 lock=0"), intact,
                                    std::string("ExitProcess code=8 lock=0"), intact})
        expected.push_back(line);
    EXPECT_EQ(run.report, expected);
}

TEST(RuntimeOutOfMemory, AStringBlockTheHeapCannotSupplyStopsWithAMessage)
{
    ExpectOutOfMemoryStop("oom-block", {"HeapAlloc P flags=0x8 size=2147483637 -> null lock=0"});
}

TEST(RuntimeOutOfMemory, AFailedTableResizeKeepsTheOldTableAndStops)
{
    ExpectOutOfMemoryStop("oom-table", {
                                           "HeapAlloc P flags=0x8 size=5 -> block lock=0",
                                           "HeapReAlloc P flags=0x0 table size=" + Bytes(33) + " -> null lock=1",
                                           "HeapFree P flags=0x0 new lock=0",
                                       });
}

TEST(RuntimeOutOfMemory, ANegativeLengthStopsBeforeTouchingTheHeap)
{
    ExpectOutOfMemoryStop("oom-negative", {});
}

}  // namespace
