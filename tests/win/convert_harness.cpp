#include "win/convert_harness.h"
#include "app/main_window.h"
#include "convert/convert.h"
#include "support/debug_monitor.h"
#include "support/registry.h"

std::string ConvertTest::Folder;
HWND ConvertTest::PathBox;
std::vector<FileDialogCall> SaveDialogCalls;
static bool Monitoring;

// The save dialog is reached through this program's import slot; the test
// puts a recorder in front of it.
IMPORT_SLOT(ImportGetSaveFileNameA, GetSaveFileNameA, 4);
static BOOL(WINAPI *RealGetSaveFileNameA)(LPOPENFILENAMEA);

static BOOL WINAPI RecordGetSaveFileNameA(LPOPENFILENAMEA record)
{
    SaveDialogCalls.push_back(NoteFileDialogCall(record));
    return RealGetSaveFileNameA(record);
}

void ConvertTest::SetUpTestSuite()
{
    static bool started;
    if (!started) {
        RuntimeInit();
        SwapImport(&ImportGetSaveFileNameA, RecordGetSaveFileNameA, &RealGetSaveFileNameA);
        RegisterPlainClass("ConvertTestMain", DefWindowProcA);
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
    EXPECT_TRUE(RemoveFolder(Folder)) << Folder;
}

void ConvertTest::SetUp()
{
    ASSERT_NE(Folder, "") << "no folder of its own";
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

static void NoteStrings(Seen *seen)
{
    std::vector<StrHandle> live = RegistryEntries();
    seen->stringsDuringBox = static_cast<int32_t>(live.size());
    if (!live.empty())
        seen->newestStringDuringBox.assign(live.back(), StrLength(live.back()));
}

Seen ConvertTest::Convert(const std::string &path, const char *saveAs)
{
    SetWindowTextA(PathBox, path.c_str());
    Seen seen;
    EXPECT_TRUE(RunAnswered(MainWnd, saveAs, OnConvert, &seen, [&seen] { NoteStrings(&seen); }))
        << "a dialog was left open";
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
