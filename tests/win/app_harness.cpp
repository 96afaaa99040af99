#include "win/app_harness.h"
#include "app/main_window.h"
#include "app/startup.h"

HFONT StartFont;
HBRUSH StartBrush;

static std::string Folder;

static void RemoveTestFolder()
{
    if (Folder.empty())
        return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((Folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            DeleteFileA((Folder + found.cFileName).c_str());
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(Folder.c_str());
}

namespace {
struct StartUpOnce : ::testing::Environment {
    void SetUp() override
    {
        ASSERT_TRUE(StartUp());
        StartFont = UiFont;
        StartBrush = FaceBrush;
    }
    void TearDown() override
    {
        if (IsWindow(MainWnd))
            DestroyWindow(MainWnd);
        MSG quit;
        PeekMessageA(&quit, NULL, WM_QUIT, WM_QUIT, PM_REMOVE);
        RemoveTestFolder();
    }
};
::testing::Environment *const Started = ::testing::AddGlobalTestEnvironment(new StartUpOnce);
}  // namespace

void AppTest::SetUp()
{
    // A test that closed the window leaves the next one a new window.
    if (!IsWindow(MainWnd)) {
        CreateUiObjects();
        ASSERT_TRUE(CreateMainWindow());
    }
}

void *SwapImport(void **slot, void *replacement)
{
    DWORD old = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    void *held = *slot;
    *slot = replacement;
    VirtualProtect(slot, sizeof *slot, old, &old);
    return held;
}

std::vector<StrHandle> LiveStrings()
{
    EnterCriticalSection(&Registry.lock);
    std::vector<StrHandle> live(Registry.table, Registry.table + Registry.count);
    LeaveCriticalSection(&Registry.lock);
    return live;
}

std::vector<StrHandle> SlotStrings()
{
    return std::vector<StrHandle>(GlobalStringSlots, GlobalStringSlots + GlobalStringSlotCount);
}

std::string TestFolder()
{
    if (Folder.empty()) {
        char temp[MAX_PATH] = "";
        GetTempPathA(sizeof temp, temp);
        Folder = std::string(temp) + "app-test-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(Folder.c_str(), NULL);
    }
    return Folder;
}

void WriteBytes(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD put = 0;
    WriteFile(file, bytes.data(), bytes.size(), &put, NULL);
    CloseHandle(file);
    ASSERT_EQ(put, bytes.size());
}

std::string ReadBytes(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return "";
    std::string bytes(GetFileSize(file, NULL), '\0');
    DWORD got = 0;
    ReadFile(file, &bytes[0], bytes.size(), &got, NULL);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

static std::string Le32(uint32_t v)
{
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

std::string WavOf(const std::string &payload)
{
    uint32_t n = static_cast<uint32_t>(payload.size());
    static const char format[] = "fmt \x10\0\0\0\x01\0\x01\0\x40\x1F\0\0\x40\x1F\0\0\x01\0\x08\0";
    return "RIFF" + Le32(n + 36) + "WAVE" + std::string(format, 24) + "data" + Le32(n) + payload;
}
