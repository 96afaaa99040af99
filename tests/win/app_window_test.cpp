// The main window's commands in this process: the open dialog's record, the
// command table, and conversions one after another through the real window.
#include "win/app_harness.h"
#include <commdlg.h>
#include <cderr.h>
#include "app/main_window.h"
#include "support/dialog_user.h"
#include "support/windows.h"

static HWND PathBox() { return GetDlgItem(MainWnd, IDC_PATH); }

static LRESULT Command(int id, int code)
{
    return SendMessageA(MainWnd, WM_COMMAND, MAKEWPARAM(id, code),
                        reinterpret_cast<LPARAM>(GetDlgItem(MainWnd, id)));
}

// The open dialog, played by the test: it notes the record it was handed
// and picks Chosen, or cancels when Chosen is empty.
IMPORT_SLOT(ImportGetOpenFileNameA, GetOpenFileNameA, 4);
static std::vector<FileDialogCall> OpenCalls;
static std::string Chosen;

static BOOL WINAPI PlayOpenDialog(LPOPENFILENAMEA record)
{
    OpenCalls.push_back(NoteFileDialogCall(record));
    SetCurrentDirectoryA(TestFolder().c_str());   // where the user went, as the real dialog leaves it
    if (Chosen.empty()) {
        // What a dialog leaves in the buffer when cancelled is no choice.
        if (record->lpstrFile)
            lstrcpynA(record->lpstrFile, "C:\\left-over", record->nMaxFile);
        return FALSE;
    }
    lstrcpynA(record->lpstrFile, Chosen.c_str(), record->nMaxFile);
    return TRUE;
}

// Message boxes, played by the test: noted and answered at once.
IMPORT_SLOT(ImportMessageBoxA, MessageBoxA, 16);
struct BoxCall {
    HWND owner;
    std::string text, caption;
    UINT style;
};
static std::vector<BoxCall> BoxCalls;

static int WINAPI PlayMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
{
    BoxCalls.push_back({owner, text ? text : "", caption ? caption : "", style});
    return IDOK;
}

class PlayedDialogs : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        OpenCalls.clear();
        BoxCalls.clear();
        Chosen.clear();
        realOpen = SwapImport(&ImportGetOpenFileNameA, reinterpret_cast<void *>(PlayOpenDialog));
        realBox = SwapImport(&ImportMessageBoxA, reinterpret_cast<void *>(PlayMessageBox));
    }
    void TearDown() override
    {
        SwapImport(&ImportGetOpenFileNameA, realOpen);
        SwapImport(&ImportMessageBoxA, realBox);
        EXPECT_EQ(RegistryEntries(), SlotStrings());
    }
    void *realOpen = nullptr, *realBox = nullptr;
};

TEST_F(PlayedDialogs, BrowseHandsTheOpenDialogItsRecord)
{
    SetWindowTextA(PathBox(), "C:\\typed.bin");
    EXPECT_EQ(Command(IDC_BROWSE, BN_CLICKED), 0);
    ASSERT_EQ(OpenCalls.size(), 1u);
    const OPENFILENAMEA &r = OpenCalls[0].record;
#ifndef _WIN64
    EXPECT_EQ(r.lStructSize, 76u);
#endif
    EXPECT_EQ(r.lStructSize, static_cast<DWORD>(OPENFILENAME_SIZE_VERSION_400A));
    EXPECT_EQ(r.hwndOwner, MainWnd);
    EXPECT_EQ(r.hInstance, nullptr);
    EXPECT_EQ(OpenCalls[0].filter, std::string("全てのファイル(*)\0*\0\0", 21));
    EXPECT_EQ(r.lpstrCustomFilter, nullptr);
    EXPECT_EQ(r.nMaxCustFilter, 0u);
    EXPECT_EQ(r.nFilterIndex, 1u);
    EXPECT_NE(r.lpstrFile, nullptr);
    EXPECT_EQ(r.nMaxFile, 260u);
    EXPECT_EQ(OpenCalls[0].fileBuffer, std::string(260, '\0')) << "an empty name whatever the box holds";
    EXPECT_EQ(r.lpstrFileTitle, nullptr);
    EXPECT_EQ(r.nMaxFileTitle, 0u);
    EXPECT_EQ(r.lpstrInitialDir, nullptr);
    EXPECT_EQ(r.lpstrTitle, nullptr);
    EXPECT_EQ(r.Flags, 0x380Cu);
    EXPECT_EQ(r.nFileOffset, 0);
    EXPECT_EQ(r.nFileExtension, 0);
    EXPECT_EQ(OpenCalls[0].defaultExtension, "*");
    EXPECT_EQ(r.lCustData, 0);
    EXPECT_EQ(r.lpfnHook, nullptr);
    EXPECT_EQ(r.lpTemplateName, nullptr);
}

TEST_F(PlayedDialogs, ChoosingReplacesThePathBoxAndCancellingLeavesItAndTheCurrentFolder)
{
    // Cancelled over an empty box, a typed text, and an earlier choice.
    char before[MAX_PATH] = "", after[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, before);
    Command(IDC_BROWSE, BN_CLICKED);
    EXPECT_EQ(TextOf(PathBox()), "");
    SetWindowTextA(PathBox(), "typed by hand");
    Command(IDC_BROWSE, BN_CLICKED);
    EXPECT_EQ(TextOf(PathBox()), "typed by hand");

    Chosen = "C:\\フォルダ\\選んだ ファイル.dat";
    Command(IDC_BROWSE, BN_CLICKED);
    EXPECT_EQ(TextOf(PathBox()), Chosen);
    Chosen = "";
    Command(IDC_BROWSE, BN_CLICKED);
    EXPECT_EQ(TextOf(PathBox()), "C:\\フォルダ\\選んだ ファイル.dat");
    GetCurrentDirectoryA(MAX_PATH, after);
    EXPECT_STREQ(after, before);

    ASSERT_EQ(OpenCalls.size(), 4u);
    for (const FileDialogCall &call : OpenCalls)
        EXPECT_EQ(call.fileBuffer, std::string(260, '\0'));
    EXPECT_TRUE(BoxCalls.empty());
}

// Either dialog's FALSE, a cancel or a failure as CommDlgExtendedError tells them apart.
IMPORT_SLOT(ImportGetSaveFileNameA, GetSaveFileNameA, 4);
IMPORT_SLOT(ImportCommDlgExtendedError, CommDlgExtendedError, 0);
static DWORD DialogError;
static BOOL WINAPI PlaySaveDialog(LPOPENFILENAMEA) { return FALSE; }
static DWORD WINAPI PlayDialogError() { return DialogError; }

TEST_F(PlayedDialogs, AFailedDialogIsToldAndACancelIsNot)
{
    const std::string input = TestFolder() + "dialog failure.bin";
    WriteBytes(input, "abc");
    void *realSave = SwapImport(&ImportGetSaveFileNameA, reinterpret_cast<void *>(PlaySaveDialog));
    void *realError = SwapImport(&ImportCommDlgExtendedError, reinterpret_cast<void *>(PlayDialogError));
    const struct {
        DWORD error;
        const char *text;
    } cases[] = {{0, nullptr}, {FNERR_BUFFERTOOSMALL, "ファイルのパスが長すぎます。"}, {CDERR_INITIALIZATION, "ファイルの選択に失敗しました。"}};
    for (const auto &c : cases)
        for (int id : {IDC_BROWSE, IDC_CONVERT}) {
            SCOPED_TRACE(testing::Message() << id << " failing with " << c.error);
            DialogError = c.error;
            BoxCalls.clear();
            SetWindowTextA(PathBox(), input.c_str());
            Command(id, BN_CLICKED);
            EXPECT_EQ(TextOf(PathBox()), input);
            ASSERT_EQ(BoxCalls.size(), c.text ? 1u : 0u);
            if (c.text) {
                EXPECT_EQ(BoxCalls[0].text, c.text);
                EXPECT_EQ(BoxCalls[0].caption, "エラー");
                EXPECT_EQ(BoxCalls[0].style, static_cast<UINT>(MB_OK | MB_ICONWARNING));
                EXPECT_EQ(BoxCalls[0].owner, MainWnd);
            }
        }
    SwapImport(&ImportGetSaveFileNameA, realSave);
    SwapImport(&ImportCommDlgExtendedError, realError);
    DeleteFileA(input.c_str());
}

TEST_F(PlayedDialogs, OnlyAClickOfBrowseOrConvertRunsACommand)
{
    SetWindowTextA(PathBox(), "");
    const struct {
        int id, code;
    } ignored[] = {
        {IDC_BROWSE, 1}, {IDC_CONVERT, 1}, {IDC_BROWSE, BN_DOUBLECLICKED}, {IDC_CONVERT, 0xFFFF},
        {IDC_PATH, EN_CHANGE}, {IDC_PATH, 0}, {IDC_LABEL, 0}, {0, 0}, {IDOK, 0}, {2000, 0},
    };
    for (const auto &c : ignored) {
        SCOPED_TRACE(testing::Message() << c.id << "/" << c.code);
        EXPECT_EQ(Command(c.id, c.code), 0);
    }
    EXPECT_TRUE(OpenCalls.empty());
    EXPECT_TRUE(BoxCalls.empty());

    EXPECT_EQ(Command(IDC_BROWSE, BN_CLICKED), 0);
    EXPECT_EQ(OpenCalls.size(), 1u);
    // The empty path box cannot be read: the convert command says so.
    EXPECT_EQ(Command(IDC_CONVERT, BN_CLICKED), 0);
    ASSERT_EQ(BoxCalls.size(), 1u);
    EXPECT_EQ(BoxCalls[0].owner, MainWnd);
    EXPECT_EQ(BoxCalls[0].text, "ファイルの読み取りに失敗しました。");
    EXPECT_EQ(BoxCalls[0].caption, "エラー");
    EXPECT_EQ(BoxCalls[0].style, static_cast<UINT>(MB_OK | MB_ICONWARNING));
}

TEST_F(AppTest, TwentyConversionsInARowLeaveOnlyTheSlotStrings)
{
    std::string payload;
    for (int i = 0; i < 5000; i++)
        payload += static_cast<char>(i * 7 + i / 256);
    const std::string input = TestFolder() + "input.bin";
    WriteBytes(input, payload);
    const std::string missing = TestFolder() + "missing.bin";

    // Saved, cancelled, unreadable, saved over the earlier output: in turn.
    for (int i = 0; i < 20; i++) {
        SCOPED_TRACE(i);
        const std::string output = TestFolder() + "out" + std::to_string(i / 4) + ".wav";
        SetWindowTextA(PathBox(), i % 4 == 2 ? missing.c_str() : input.c_str());
        // A user on a second thread answers the real dialogs of the click.
        Answered seen;
        ASSERT_TRUE(RunAnswered(MainWnd, i % 4 == 1 ? nullptr : output.c_str(),
                                [] { Command(IDC_CONVERT, BN_CLICKED); }, &seen));
        SKIP_IF_NO_NAME_BOX(seen.nameBoxMissing);
        EXPECT_EQ(RegistryEntries(), SlotStrings());
        EXPECT_EQ(seen.startName, "");
        switch (i % 4) {
        case 1:
            EXPECT_EQ(seen.saveDialogs, 1);
            EXPECT_TRUE(seen.boxes.empty());
            break;
        case 2:
            EXPECT_EQ(seen.saveDialogs, 0);
            ASSERT_EQ(seen.boxes.size(), 1u);
            EXPECT_EQ(seen.boxes[0].text, "ファイルの読み取りに失敗しました。");
            break;
        default:
            ASSERT_EQ(seen.boxes.size(), 1u);
            EXPECT_EQ(seen.boxes[0].text, "出力しました。");
            EXPECT_EQ(seen.boxes[0].caption, "完了");
            EXPECT_EQ(seen.boxes[0].icon, static_cast<UINT>(MB_ICONINFORMATION));
            EXPECT_EQ(seen.boxes[0].owner, MainWnd);
            EXPECT_EQ(ReadBytes(output), WavOf(payload));
        }
    }
    EXPECT_EQ(ReadBytes(input), payload);
}
