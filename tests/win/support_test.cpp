#include "support/debug_monitor.h"
#include "support/windows.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

using Lines = std::vector<std::string>;

// Starts the helper program that sits beside this test program.
static PROCESS_INFORMATION StartHelper(const char *mode) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    while (n > 0 && path[n - 1] != '\\') n--;
    std::string command = "\"" + std::string(path, n) + "support_helper.exe\" " + mode;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    return pi;
}

// Waits for the helper's exit code, ending it if it outlives the deadline.
static DWORD EndHelper(PROCESS_INFORMATION pi, DWORD timeoutMs = 30000) {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return code;
}

class DebugMonitor : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(DebugMonitorStart()); }
    void TearDown() override { DebugMonitorStop(); }
};

TEST_F(DebugMonitor, OneLineArrivesOnceWithItsExactBytes) {
    OutputDebugStringA("ソ表示\r\n");
    EXPECT_EQ(DebugMonitorTake(), Lines{"\x83\x5c\x95\x5c\x8e\xa6\r\n"});
    EXPECT_EQ(DebugMonitorTake(), Lines{});
}

TEST_F(DebugMonitor, ManyLinesArriveInOrder) {
    Lines written;
    for (int i = 0; i < 100; i++) {
        written.push_back("line " + std::to_string(i));
        OutputDebugStringA(written.back().c_str());
    }
    EXPECT_EQ(DebugMonitorTake(), written);
}

TEST_F(DebugMonitor, LinesOfAnotherProcessAreKeptApart) {
    OutputDebugStringA("before");
    PROCESS_INFORMATION child = StartHelper("debug");
    ASSERT_NE(child.hProcess, nullptr);
    DWORD childPid = child.dwProcessId;
    ASSERT_EQ(EndHelper(child), 0u);
    OutputDebugStringA("after");
    EXPECT_EQ(DebugMonitorTake(childPid), (Lines{"\x8e\x71\x83\x76\x83\x8d\x83\x5a\x83\x58\r\n", "second"}));
    EXPECT_EQ(DebugMonitorTake(), (Lines{"before", "after"}));
    EXPECT_EQ(DebugMonitorTake(0), Lines{});
}
