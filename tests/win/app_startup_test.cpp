// Start-up as the program runs it: the slots, the font and brush, the two
// classes, and how the message loop and the end of the window release them.
#include "win/app_harness.h"
#include <utility>
#include "app/main_window.h"
#include "app/startup.h"
#include "support/windows.h"

// "ＭＳ ゴシック" in code page 932: 13 bytes, spelled out.
static const std::string UiFace("\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E", 13);

TEST_F(AppTest, BetweenCommandsOnlyTheThirtyTwoEmptySlotStringsLive)
{
    EXPECT_EQ(RegistryEntries(), SlotStrings());
    for (StrHandle slot : SlotStrings()) {
        EXPECT_EQ(StrLength(slot), 0);
        EXPECT_EQ(slot[0], '\0');
    }
}

TEST_F(AppTest, UiFontHasExactlyItsCreationArguments)
{
    LOGFONTA font = {};
    ASSERT_EQ(GetObjectA(UiFont, sizeof font, &font), static_cast<int>(sizeof font));
    EXPECT_EQ(font.lfHeight, -13);
    EXPECT_EQ(font.lfWidth, 0);
    EXPECT_EQ(font.lfEscapement, 0);
    EXPECT_EQ(font.lfOrientation, 0);
    EXPECT_EQ(font.lfWeight, 400);
    EXPECT_EQ(font.lfItalic, 0);
    EXPECT_EQ(font.lfUnderline, 0);
    EXPECT_EQ(font.lfStrikeOut, 0);
    EXPECT_EQ(font.lfCharSet, 128);
    EXPECT_EQ(font.lfOutPrecision, 3);
    EXPECT_EQ(font.lfClipPrecision, 2);
    EXPECT_EQ(font.lfQuality, 1);
    EXPECT_EQ(font.lfPitchAndFamily, 0x31);
    EXPECT_EQ(std::string(font.lfFaceName), UiFace);
}

TEST_F(AppTest, FaceBrushIsASolidBrushOfTheButtonFaceColour)
{
    LOGBRUSH brush = {};
    ASSERT_EQ(GetObjectA(FaceBrush, sizeof brush, &brush), static_cast<int>(sizeof brush));
    EXPECT_EQ(brush.lbStyle, static_cast<UINT>(BS_SOLID));
    EXPECT_EQ(brush.lbColor, GetSysColor(COLOR_BTNFACE));
}

TEST_F(AppTest, EveryControlShowsUiFont)
{
    for (int id : {IDC_LABEL, IDC_PATH, IDC_BROWSE, IDC_CONVERT}) {
        SCOPED_TRACE(id);
        HWND control = GetDlgItem(MainWnd, id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), UiFont);
        LOGFONTA font = FontOf(control);
        EXPECT_EQ(std::string(font.lfFaceName), UiFace);
        EXPECT_EQ(font.lfHeight, -13);
        EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
    }
}

// What both the record and the class the system holds say.
static void ExpectClassFields(const WNDCLASSEXA &c, WNDPROC procedure, HICON icon)
{
    EXPECT_EQ(c.style, 11u);
    EXPECT_EQ(c.lpfnWndProc, procedure);
    EXPECT_EQ(c.cbClsExtra, 0);
    EXPECT_EQ(c.cbWndExtra, 0);
    EXPECT_EQ(c.hIcon, icon);
    EXPECT_EQ(c.hCursor, LoadCursorA(NULL, IDC_ARROW));
    EXPECT_EQ(c.hbrBackground, StartBrush);
    EXPECT_EQ(c.lpszMenuName, nullptr);
}

static void ExpectClass(const char *name, const WNDCLASSEXA &record, WNDPROC procedure, HICON icon, HICON small)
{
    SCOPED_TRACE(name);
    HINSTANCE self = GetModuleHandleA(NULL);
#ifndef _WIN64
    EXPECT_EQ(record.cbSize, 48u);
#endif
    EXPECT_EQ(record.cbSize, sizeof(WNDCLASSEXA));
    ExpectClassFields(record, procedure, icon);
    EXPECT_EQ(record.hInstance, self);
    EXPECT_STREQ(record.lpszClassName, name);
    EXPECT_EQ(record.hIconSm, small);

    // And the system holds the class as registered from it.
    WNDCLASSEXA held = {};
    held.cbSize = sizeof held;
    ASSERT_TRUE(GetClassInfoExA(self, name, &held));
    ExpectClassFields(held, procedure, icon);
}

TEST_F(AppTest, BothClassesAreRegisteredFromTheirRecords)
{
    HICON own = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(101));
    ASSERT_NE(own, nullptr);
    ExpectClass("NORMALDLG", DlgClass, PlainWndProc, LoadIconA(NULL, IDI_APPLICATION), LoadIconA(NULL, IDI_WINLOGO));
    ExpectClass("NORMAL0", MainClass, MainWndProc, own, own);
    EXPECT_EQ(FindWindowA("NORMALDLG", NULL), nullptr) << "no window of the plain class is ever made";
    // Were one made, it would be a default window: made, titled and gone as DefWindowProcA does it.
    HWND plain = CreateWindowExA(0, "NORMALDLG", "plain", WS_POPUP, 0, 0, 10, 10, NULL, NULL, GetModuleHandleA(NULL), NULL);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(TextOf(plain), "plain");
    EXPECT_TRUE(DestroyWindow(plain));
}

TEST_F(AppTest, StartUpGivesUpWhenTheMainClassCannotBeRegistered)
{
    // Registered already, so registration fails as it would for want of memory.
    EXPECT_FALSE(RegisterWindowClasses());
}

TEST_F(AppTest, MainWindowIsStoredWhileItIsCreated)
{
    EXPECT_EQ(FindWindowA("NORMAL0", "ズンカベル!!"), MainWnd);
    EXPECT_EQ(GetWindowThreadProcessId(MainWnd, NULL), GetCurrentThreadId());
}

// What closing the window does, call by call.
static std::vector<std::pair<std::string, UINT_PTR>> Calls;
IMPORT_SLOT(ImportDeleteObject, DeleteObject, 4);
IMPORT_SLOT(ImportPostQuitMessage, PostQuitMessage, 4);
static BOOL(WINAPI *RealDeleteObject)(HGDIOBJ);
static void(WINAPI *RealPostQuitMessage)(int);

static BOOL WINAPI NoteDeleteObject(HGDIOBJ object)
{
    Calls.push_back({"DeleteObject", reinterpret_cast<UINT_PTR>(object)});
    return RealDeleteObject(object);
}

static void WINAPI NotePostQuitMessage(int code)
{
    Calls.push_back({"PostQuitMessage", static_cast<UINT_PTR>(code)});
    RealPostQuitMessage(code);
}

// Ends a loop that would otherwise wait for ever.
static bool Rescued;
static void CALLBACK Rescue(HWND, UINT, UINT_PTR, DWORD)
{
    Rescued = true;
    PostThreadMessageA(GetCurrentThreadId(), WM_QUIT, 0, 0);
}

TEST_F(AppTest, ClosingDestroysAtOnceDeletesFontThenBrushAndEndsTheLoop)
{
    HWND window = MainWnd;
    HFONT font = UiFont;
    HBRUSH brush = FaceBrush;
    Calls.clear();
    SwapImport(&ImportDeleteObject, NoteDeleteObject, &RealDeleteObject);
    SwapImport(&ImportPostQuitMessage, NotePostQuitMessage, &RealPostQuitMessage);
    Rescued = false;
    UINT_PTR rescue = SetTimer(NULL, 0, 10000, Rescue);
    PostMessageA(window, WM_CLOSE, 0, 0);
    RunMessageLoop();
    KillTimer(NULL, rescue);
    SwapImport(&ImportDeleteObject, reinterpret_cast<void *>(RealDeleteObject));
    SwapImport(&ImportPostQuitMessage, reinterpret_cast<void *>(RealPostQuitMessage));

    ASSERT_FALSE(Rescued) << "the loop did not end by itself";
    EXPECT_EQ(LoopResult, 0);
    EXPECT_FALSE(IsWindow(window));
    std::vector<std::pair<std::string, UINT_PTR>> expected = {
        {"DeleteObject", reinterpret_cast<UINT_PTR>(font)},
        {"DeleteObject", reinterpret_cast<UINT_PTR>(brush)},
        {"PostQuitMessage", 0},
    };
    EXPECT_EQ(Calls, expected);
    EXPECT_EQ(GetObjectType(font), 0u);
    EXPECT_EQ(GetObjectType(brush), 0u);
    MSG more;
    EXPECT_FALSE(PeekMessageA(&more, NULL, WM_QUIT, WM_QUIT, PM_REMOVE)) << "one quit message only";
    EXPECT_EQ(MainWnd, window) << "the handle is kept, stale";
    EXPECT_EQ(RegistryEntries(), SlotStrings()) << "the slots live until the runtime's exit";
}

// The loop with GetMessageA's results chosen by the test.
IMPORT_SLOT(ImportGetMessageA, GetMessageA, 16);
static std::vector<BOOL> Results;
static size_t Asked;
static bool FilteredAsked;
static std::vector<WPARAM> Dispatched;
static HWND Probe;

static BOOL WINAPI ScriptedGetMessageA(LPMSG message, HWND window, UINT first, UINT last)
{
    FilteredAsked |= window != NULL || first != 0 || last != 0;
    ZeroMemory(message, sizeof *message);
    message->hwnd = Probe;
    message->message = WM_APP;
    message->wParam = ++Asked;
    return Asked <= Results.size() ? Results[Asked - 1] : 0;
}

static LRESULT CALLBACK ProbeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP)
        Dispatched.push_back(wParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(AppTest, LoopEndsOnZeroOrMinusOneAndDispatchesEveryOtherResult)
{
    RegisterPlainClass("LoopProbe", ProbeProc);
    Probe = CreateWindowExA(0, "LoopProbe", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, GetModuleHandleA(NULL), NULL);
    ASSERT_NE(Probe, nullptr);
    void *real = SwapImport(&ImportGetMessageA, reinterpret_cast<void *>(ScriptedGetMessageA));
    for (BOOL end : {0, -1}) {
        SCOPED_TRACE(end);
        Results = {1, -2, 7, end, 1};
        Asked = 0;
        FilteredAsked = false;
        Dispatched.clear();
        RunMessageLoop();
        EXPECT_EQ(LoopResult, end);
        EXPECT_EQ(Asked, 4u);
        EXPECT_EQ(Dispatched, (std::vector<WPARAM>{1, 2, 3}));
        EXPECT_FALSE(FilteredAsked) << "no window filter, no message range";
    }
    SwapImport(&ImportGetMessageA, real);
    DestroyWindow(Probe);
}
