#include "support/debug_monitor.h"
#include "support/files.h"
#include "support/windows.h"
#include <gtest/gtest.h>
#include <string>
#include <thread>
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

TEST(AnsiCodePage, Is932UnderTheTestEnvironment) { EXPECT_EQ(AnsiCodePage(), 932u); }

static LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// A top-level window with an edit box (id 100) and a button (id 101).
class Windows : public testing::Test {
protected:
    HWND main = nullptr, edit = nullptr, button = nullptr;
    HFONT font = nullptr;

    void SetUp() override {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        RegisterPlainClass("SupportTest", PlainProc);
        main = CreateWindowA("SupportTest", "test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400, 200,
                             nullptr, nullptr, instance, nullptr);
        edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 12,
                               200, 24, main, reinterpret_cast<HMENU>(100), instance, nullptr);
        button = CreateWindowA("BUTTON", "変換", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 220, 12, 80, 24,
                               main, reinterpret_cast<HMENU>(101), instance, nullptr);
        font = CreateFontA(-13, 0, 0, 0, FW_BOLD, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, "ＭＳ ゴシック");
        SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        ASSERT_TRUE(main && edit && button && font);
    }
    void TearDown() override {
        DestroyWindow(main);
        DeleteObject(font);
    }
};

TEST_F(Windows, ReadsClassTextStylesRectangleAndFont) {
    SetWindowTextA(edit, "ソース.bin");
    EXPECT_EQ(ClassOf(main), "SupportTest");
    EXPECT_EQ(ClassOf(edit), "Edit");
    EXPECT_EQ(ClassOf(button), "Button");
    EXPECT_EQ(TextOf(edit), "\x83\x5c\x81\x5b\x83\x58.bin");
    EXPECT_EQ(TextOf(button), "変換");
    EXPECT_EQ(StyleOf(edit) & (WS_CHILD | ES_AUTOHSCROLL | WS_BORDER), WS_CHILD | ES_AUTOHSCROLL);
    EXPECT_EQ(StyleOf(button) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_TRUE(ExStyleOf(edit) & WS_EX_CLIENTEDGE);
    EXPECT_FALSE(ExStyleOf(button) & WS_EX_CLIENTEDGE);
    RECT r = RectInParent(edit);
    EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right, r.bottom}), std::vector<LONG>({10, 12, 210, 36}));
    LOGFONTA f = FontOf(edit);
    EXPECT_EQ(f.lfHeight, -13);
    EXPECT_EQ(f.lfWeight, FW_BOLD);
    EXPECT_STREQ(f.lfFaceName, "ＭＳ ゴシック");
}

TEST_F(Windows, WaitsEndAtTheirDeadline) {
    EXPECT_EQ(WaitForDialog(main, 100), nullptr);
    EXPECT_TRUE(WaitForNoDialog(main, 100));
    EXPECT_FALSE(WaitForWindowGone(edit, 100));
}

// Shows a dialog on this thread while drive runs on a second one; the
// watchdog cancels whatever the driver leaves open.
template <class Drive, class Show> auto WhileDriving(Drive drive, Show show) {
    WatchdogArm(20000);
    std::thread driver(drive);
    auto result = show();
    driver.join();
    EXPECT_FALSE(WatchdogDisarm()) << "a dialog was left open";
    return result;
}

TEST_F(Windows, MessageBoxIsFoundAndRead) {
    struct Case {
        UINT icon;
        const char *text, *caption;
    };
    for (Case c : {Case{MB_ICONWARNING, "出力ファイルのオープンに失敗しました。", "エラー"},
                   Case{MB_ICONINFORMATION, "出力しました。", "完了"}}) {
        MessageBoxView view = {};
        int result = WhileDriving(
            [&] {
                HWND box = WaitForDialog(main);
                EXPECT_TRUE(ReadMessageBox(box, &view));
                PressButton(box, IDOK);
            },
            [&] { return MessageBoxA(main, c.text, c.caption, MB_OK | c.icon); });
        EXPECT_EQ(result, IDOK);
        EXPECT_EQ(view.text, c.text);
        EXPECT_EQ(view.caption, c.caption);
        EXPECT_EQ(view.owner, main);
        EXPECT_EQ(view.icon, c.icon);
    }
}

TEST_F(Windows, WatchdogCancelsADialogLeftOpen) {
    WatchdogArm(200);
    EXPECT_EQ(MessageBoxA(main, "放置", "放置", MB_OKCANCEL), IDCANCEL);
    EXPECT_TRUE(WatchdogDisarm());
}

TEST(OtherProcess, EditBoxIsReadThroughItsMessages) {
    PROCESS_INFORMATION helper = StartHelper("window");
    ASSERT_NE(helper.hProcess, nullptr);
    HWND main = WaitForTopLevel("SupportHelper", nullptr, helper.dwProcessId, 10000);
    HWND edit = GetDlgItem(main, 100);
    EXPECT_EQ(ClassOf(edit), "Edit");
    EXPECT_EQ(TextOf(edit), "別プロセスの入力欄");
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitForWindowGone(main));
    EXPECT_EQ(EndHelper(helper), 0u);
}

TEST(OtherProcess, MessageBoxIsFoundAndReadWithItsIcon) {
    struct Case {
        const char *mode;
        UINT icon;
        const char *text, *caption;
    };
    for (Case c : {Case{"warning", MB_ICONWARNING, "警告の本文", "警告"},
                   Case{"information", MB_ICONINFORMATION, "情報の本文", "情報"}}) {
        PROCESS_INFORMATION helper = StartHelper(c.mode);
        ASSERT_NE(helper.hProcess, nullptr);
        HWND main = WaitForTopLevel("SupportHelper", nullptr, helper.dwProcessId, 10000);
        HWND box = WaitForDialog(main);
        MessageBoxView view = {};
        EXPECT_TRUE(ReadMessageBox(box, &view));
        EXPECT_EQ(view.text, c.text);
        EXPECT_EQ(view.caption, c.caption);
        EXPECT_EQ(view.owner, main);
        EXPECT_EQ(view.icon, c.icon) << c.mode;
        PressButton(box, IDOK);
        EXPECT_EQ(EndHelper(helper), static_cast<DWORD>(IDOK));
    }
}

// A fresh folder under the temporary folder holding one empty file.
static std::string FolderWithFile(const char *name) {
    std::string folder = MakeTempFolder("support-test");
    WriteBytes(folder + name, "");
    return folder;
}

static OPENFILENAMEA FileDialogOf(HWND owner, char *name, const std::string &folder, DWORD flags) {
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFile = name;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = folder.c_str();
    ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | flags;  // the folder can be removed after
    return ofn;
}

TEST_F(Windows, SaveDialogTakesATypedNameAndAsksBeforeReplacing) {
    std::string folder = FolderWithFile("既存.wav");
    std::string existing = folder + "既存.wav";
    char name[MAX_PATH] = "最初.wav";
    OPENFILENAMEA ofn = FileDialogOf(main, name, folder, OFN_OVERWRITEPROMPT);
    MessageBoxView question = {};
    HWND dialog = nullptr;
    bool noNameBox = false;
    BOOL saved = WhileDriving(
        [&] {
            dialog = WaitForDialog(main);
            if ((noNameBox = !HasNameBox(dialog))) {
                PressButton(dialog, IDCANCEL);
                return;
            }
            EXPECT_EQ(FileNameOf(dialog), "最初.wav");
            EXPECT_TRUE(TypeFileName(dialog, existing));
            EXPECT_EQ(FileNameOf(dialog), existing);
            PressButton(dialog, IDOK);
            HWND box = WaitForDialog(dialog);
            EXPECT_TRUE(ReadMessageBox(box, &question));
            PressButton(box, IDYES);
        },
        [&] { return GetSaveFileNameA(&ofn); });
    RemoveFolder(folder);
    SKIP_IF_NO_NAME_BOX(noNameBox);
    EXPECT_TRUE(saved);
    EXPECT_EQ(std::string(name), existing);
    EXPECT_EQ(question.owner, dialog);
    EXPECT_NE(question.text, "");  // Wine's wording names no file
    EXPECT_EQ(question.icon, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_TRUE(WaitForNoDialog(main));
}

TEST_F(Windows, OpenDialogIsCancelled) {
    std::string folder = FolderWithFile("入力.bin");
    char name[MAX_PATH] = "";
    OPENFILENAMEA ofn = FileDialogOf(main, name, folder, OFN_FILEMUSTEXIST);
    BOOL opened = WhileDriving([&] { PressButton(WaitForDialog(main), IDCANCEL); },
                               [&] { return GetOpenFileNameA(&ofn); });
    EXPECT_FALSE(opened);
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    RemoveFolder(folder);
}
