#include "win/convert_harness.h"
#include <dlgs.h>
#include <string.h>
#include <atomic>
#include <set>
#include <thread>
#include "app/main_window.h"
#include "convert/convert.h"
#include "support/debug_monitor.h"
#include "support/imports.h"
#include "support/registry.h"

std::string ConvertTest::Folder;
HWND ConvertTest::PathBox;
std::vector<SaveDialogCall> SaveDialogCalls;
static bool Monitoring;

// The save dialog is reached through this program's import slot; the test
// puts a recorder in front of it.
IMPORT_SLOT(ImportGetSaveFileNameA, GetSaveFileNameA, 4);
static BOOL(WINAPI *RealGetSaveFileNameA)(LPOPENFILENAMEA);

static BOOL WINAPI RecordGetSaveFileNameA(LPOPENFILENAMEA record)
{
    SaveDialogCall call;
    memcpy(&call.record, record, sizeof call.record);
    if (const char *f = record->lpstrFilter) {
        size_t i = 0;
        while (f[i] || f[i + 1])
            i++;
        call.filter.assign(f, i + 2);
    }
    if (record->lpstrFile)
        call.fileBuffer.assign(record->lpstrFile, record->nMaxFile);
    if (record->lpstrDefExt)
        call.defaultExtension = record->lpstrDefExt;
    SaveDialogCalls.push_back(call);
    return RealGetSaveFileNameA(record);
}

void ConvertTest::SetUpTestSuite()
{
    static bool started;
    if (!started) {
        RuntimeInit();
        SwapImport(&ImportGetSaveFileNameA, RecordGetSaveFileNameA, &RealGetSaveFileNameA);
        WNDCLASSEXA cls = {};
        cls.cbSize = sizeof cls;
        cls.lpfnWndProc = DefWindowProcA;
        cls.hInstance = GetModuleHandleA(NULL);
        cls.lpszClassName = "ConvertTestMain";
        RegisterClassExA(&cls);
        started = true;
    }
    MainWnd = CreateWindowExA(0, "ConvertTestMain", "convert", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 476, 82,
                              NULL, NULL, GetModuleHandleA(NULL), NULL);
    PathBox = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 80, 0, 340, 20, MainWnd,
                              reinterpret_cast<HMENU>(IDC_PATH), GetModuleHandleA(NULL), NULL);
    Folder = MakeTempFolder("convert-test");
    Monitoring = DebugMonitorStart();
}

void ConvertTest::TearDownTestSuite()
{
    if (Monitoring)
        DebugMonitorStop();
    DestroyWindow(MainWnd);
    RemoveFolder(Folder);
}

void ConvertTest::SetUp()
{
    registryBefore = RegistryEntries();
    SaveDialogCalls.clear();
}

void ConvertTest::TearDown()
{
    EXPECT_EQ(RegistryEntries(), registryBefore) << "the registry holds what it held before";
    EXPECT_TRUE(WaitForNoDialog(MainWnd, 0));
    if (Monitoring) {
        // GoogleTest reports its failures there too; only the runtime's line counts.
        for (const std::string &line : DebugMonitorTake())
            EXPECT_NE(line, "未知の文字列が解放されようとしました。\r\n");
    }
}

static BOOL CALLBACK CollectDialog(HWND hwnd, LPARAM lParam)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && ClassOf(hwnd) == "#32770")
        reinterpret_cast<std::vector<HWND> *>(lParam)->push_back(hwnd);
    return TRUE;
}

static std::vector<HWND> OpenDialogs()
{
    std::vector<HWND> open;
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&open));
    return open;
}

static BOOL CALLBACK FindNameBox(HWND hwnd, LPARAM lParam)
{
    int id = GetDlgCtrlID(hwnd);
    if (id != cmb13 && id != edt1)
        return TRUE;
    *reinterpret_cast<bool *>(lParam) = true;
    return FALSE;
}

static bool IsSaveDialog(HWND dialog)
{
    bool found = false;
    EnumChildWindows(dialog, FindNameBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

static void NoteStrings(Seen *seen)
{
    std::vector<StrHandle> live = RegistryEntries();
    seen->stringsDuringBox = static_cast<int32_t>(live.size());
    if (!live.empty())
        seen->newestStringDuringBox.assign(live.back(), StrLength(live.back()));
}

// Answers one dialog the way the user of a test would.
static void Answer(HWND dialog, const char *saveAs, Seen *seen)
{
    if (GetWindow(dialog, GW_OWNER) != MainWnd) {
        // The save dialog's own question: replace the existing file?
        seen->overwriteAsked = true;
        PressButton(dialog, GetDlgItem(dialog, IDYES) ? IDYES : IDOK);
    } else if (IsSaveDialog(dialog)) {
        seen->saveDialogs++;
        seen->startName = FileNameOf(dialog);
        if (saveAs && TypeFileName(dialog, saveAs))
            PressButton(dialog, IDOK);
        else
            PressButton(dialog, IDCANCEL);
    } else {
        MessageBoxView view;
        ReadMessageBox(dialog, &view);
        seen->boxes.push_back(view);
        NoteStrings(seen);
        PressButton(dialog, IDOK);
    }
}

static void User(const char *saveAs, Seen *seen, const std::atomic<bool> *done)
{
    std::set<HWND> answered;
    while (!*done) {
        for (HWND dialog : OpenDialogs())
            if (answered.insert(dialog).second)
                Answer(dialog, saveAs, seen);
        Sleep(20);
    }
}

Seen ConvertTest::Convert(const std::string &path, const char *saveAs)
{
    SetWindowTextA(PathBox, path.c_str());
    Seen seen;
    std::atomic<bool> done(false);
    WatchdogArm(30000);
    std::thread user(User, saveAs, &seen, &done);
    OnConvert();
    done = true;
    user.join();
    EXPECT_FALSE(WatchdogDisarm()) << "a dialog was left open";
    return seen;
}

void ExpectBox(const Seen &seen, const char *text, const char *caption, UINT icon)
{
    ASSERT_EQ(seen.boxes.size(), 1u);
    EXPECT_EQ(seen.boxes[0].text, text);
    EXPECT_EQ(seen.boxes[0].caption, caption);
    EXPECT_EQ(seen.boxes[0].icon, icon);
    EXPECT_EQ(seen.boxes[0].owner, MainWnd);
}
