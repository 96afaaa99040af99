#include "win/program_harness.h"
#include <psapi.h>

std::string ProgramPath() { return BuiltPath(PROGRAM_EXE); }

void ProgramTest::SetUp()
{
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = MakeTempFolder(std::string("program-test-") + test->name());
    ASSERT_NE(folder, "");

    std::string exe = ProgramPath();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessA(exe.c_str(), NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) << exe;
    main = WaitForTopLevel("NORMAL0", NULL, process.dwProcessId, 20000);
    ASSERT_NE(main, nullptr) << "the main window did not appear";
    ASSERT_TRUE(Settled());
}

void ProgramTest::TearDown()
{
    if (process.hProcess) {
        // A test that failed half-way may leave a dialog open: cancel it.
        for (int round = 0; round < 5; round++) {
            HWND dialog = WaitForTopLevel("#32770", NULL, process.dwProcessId, 0);
            if (!dialog)
                break;
            ADD_FAILURE() << "a dialog was left open: " << TextOf(dialog);
            PressButton(dialog, IDCANCEL);
            WaitForWindowGone(dialog, 5000);
        }
        if (IsWindow(main)) {
            EXPECT_EQ(Close(), 0u);
        }
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process.hProcess, 99);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    EXPECT_TRUE(RemoveFolder(folder)) << folder;
}

void ProgramTest::TypePath(const std::string &text)
{
    DWORD_PTR done = FALSE;
    EXPECT_TRUE(SendMessageTimeoutA(Control(IDC_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                                    SMTO_ABORTIFHUNG, 5000, &done) && done);
}

bool ProgramTest::Settled()
{
    // A message sent is answered only once the program waits for messages
    // again; then no dialog of it may be open.
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &result) &&
           !WaitForTopLevel("#32770", NULL, process.dwProcessId, 0) && IsWindowEnabled(main);
}

DWORD ProgramTest::Close()
{
    PostMessageA(main, WM_CLOSE, 0, 0);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    return code;
}

static HWND Click(HWND button)
{
    PostMessageA(button, BM_CLICK, 0, 0);
    return WaitForDialog(GetParent(button), 15000);
}

std::string ProgramTest::Browse(const char *path, const char *inFolder)
{
    HWND dialog = Click(Control(IDC_BROWSE));
    if (!dialog || IsMessageBox(dialog)) {
        ADD_FAILURE() << "no open dialog";
        return "";
    }
    std::string start = FileNameOf(dialog);
    if (path && !HasNameBox(dialog)) {
        nameBoxMissing = true;
        path = inFolder = nullptr;
    }
    if (inFolder) {
        // OK on a folder's name goes there; sent, so it is done on return.
        DWORD_PTR result = 0;
        EXPECT_TRUE(TypeFileName(dialog, inFolder));
        EXPECT_TRUE(SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0, SMTO_ABORTIFHUNG,
                                        10000, &result));
        EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog went to the folder and stays";
    }
    if (path) {
        EXPECT_TRUE(TypeFileName(dialog, path));
    }
    PressButton(dialog, path ? IDOK : IDCANCEL);
    EXPECT_TRUE(WaitForWindowGone(dialog, 15000));
    EXPECT_TRUE(Settled());
    return start;
}

static void TakeBox(HWND box, Outcome *outcome)
{
    outcome->boxShown = true;
    EXPECT_TRUE(ReadMessageBox(box, &outcome->box));
    PressButton(box, IDOK);
    EXPECT_TRUE(WaitForWindowGone(box, 10000));
}

Outcome ProgramTest::Convert(const char *name)
{
    Outcome outcome;
    HWND dialog = Click(Control(IDC_CONVERT));
    if (!dialog) {
        ADD_FAILURE() << "the convert button opened nothing";
        return outcome;
    }
    if (IsMessageBox(dialog)) {
        TakeBox(dialog, &outcome);
        EXPECT_TRUE(Settled());
        return outcome;
    }
    outcome.saveDialog = true;
    outcome.startName = FileNameOf(dialog);
    if (name && !HasNameBox(dialog)) {
        nameBoxMissing = true;
        name = nullptr;
    }
    if (name) {
        EXPECT_TRUE(TypeFileName(dialog, name));
    }
    PressButton(dialog, name ? IDOK : IDCANCEL);
    // The dialog's own question comes first, when the file exists.
    DWORD start = GetTickCount();
    while (IsWindow(dialog) && GetTickCount() - start < 15000) {
        HWND question = WaitForDialog(dialog, 20);
        if (question && !outcome.askedToReplace) {
            outcome.askedToReplace = true;
            PressButton(question, IDYES);
        }
    }
    EXPECT_FALSE(IsWindow(dialog)) << "the save dialog stayed open";
    if (name) {
        // Once the dialog is gone, the command reports before it returns.
        HWND box = WaitForDialog(main, 15000);
        if (box && IsMessageBox(box))
            TakeBox(box, &outcome);
    }
    EXPECT_TRUE(Settled());
    return outcome;
}

std::string Pattern(size_t size)
{
    std::string bytes(size, '\0');
    uint32_t x = 12345;
    for (char &c : bytes) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 16);
    }
    return bytes;
}

// The system's list of every handle, where the count of one process is not
// given (Wine answers GetProcessHandleCount with 0).
struct HandleEntry {
    ULONG pid;
    BYTE type, flags;
    USHORT handle;
    void *object;
    ACCESS_MASK access;
};

static std::vector<HandleEntry> SystemHandles()
{
    typedef LONG(WINAPI * QueryFn)(ULONG, void *, ULONG, ULONG *);
    QueryFn query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("ntdll"), "NtQuerySystemInformation")));
    if (!query)
        return {};
    const ULONG SystemHandleInformation = 16;
    std::vector<char> list(1 << 20);
    ULONG got = 0;
    LONG status;
    while ((status = query(SystemHandleInformation, list.data(), list.size(), &got)) ==
               static_cast<LONG>(0xC0000004) && list.size() < (64u << 20))
        list.resize(list.size() * 2);
    if (status != 0)
        return {};
    ULONG count = *reinterpret_cast<ULONG *>(list.data());
    const HandleEntry *entries = reinterpret_cast<const HandleEntry *>(list.data() + sizeof(void *));
    return std::vector<HandleEntry>(entries, entries + count);
}

// The type number of registry keys in that list, found from a key of our own.
static int KeyType()
{
    HKEY key = NULL;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    int type = -1;
    for (const HandleEntry &entry : SystemHandles())
        if (entry.pid == GetCurrentProcessId() && entry.handle == static_cast<USHORT>(reinterpret_cast<UINT_PTR>(key)))
            type = entry.type;
    RegCloseKey(key);
    return type;
}

DWORD HandleCount(const PROCESS_INFORMATION &process)
{
    DWORD count = 0;
    if (GetProcessHandleCount(process.hProcess, &count) && count)
        return count;
    // Wine's save dialog keeps one registry key open per accepted name, in
    // any program: keys are left out.
    int keyType = KeyType();
    DWORD held = 0;
    for (const HandleEntry &entry : SystemHandles())
        held += entry.pid == process.dwProcessId && entry.type != keyType;
    return held;
}

SIZE_T PrivateBytes(const PROCESS_INFORMATION &process)
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&counters),
                              sizeof counters))
        return 0;
    // Wine leaves PrivateUsage at 0 for another process; its page-file
    // count is the memory the process wrote to.
    return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}
