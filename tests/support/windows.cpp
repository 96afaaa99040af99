#include "support/windows.h"
#include <dlgs.h>
#include <string.h>
#include <vector>

namespace {

const DWORD PollMs = 20;
const UINT SendTimeoutMs = 5000;
// Not SMTO_ABORTIFHUNG: a thread that has not asked for a message in 5 s
// counts as hung, and one that waited that long before it opened a dialog
// still does while the dialog is shown, until its loop starts.
const UINT SendFlags = SMTO_NORMAL;
const int MessageBoxTextId = 0xFFFF;

// Waits until done() holds or the deadline passes. Messages sent to this
// thread's windows are answered meanwhile, so a window of another thread that
// calls into ours (a dialog disabling its owner) cannot stall both.
template <class Done> bool PollUntil(DWORD timeoutMs, Done done) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, PollMs, QS_SENDMESSAGE);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

struct TopLevelQuery {
    const char *className;
    HWND owner;
    DWORD pid;
    HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND hwnd, LPARAM lParam) {
    TopLevelQuery *q = reinterpret_cast<TopLevelQuery *>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (!IsWindowVisible(hwnd) || (q->owner && GetWindow(hwnd, GW_OWNER) != q->owner) ||
        (q->pid && pid != q->pid) || (q->className && ClassOf(hwnd) != q->className))
        return TRUE;
    q->found = hwnd;
    return FALSE;
}

HWND FindTopLevel(const char *className, HWND owner, DWORD pid) {
    TopLevelQuery q = {className, owner, pid, nullptr};
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&q));
    return q.found;
}

// Walks parent's descendants, each before its own children, to the first
// for which match holds; null when none does.
template <class Match> struct ChildQuery {
    Match &match;
    HWND found;
};

template <class Match> BOOL CALLBACK MatchChild(HWND hwnd, LPARAM lParam) {
    ChildQuery<Match> *q = reinterpret_cast<ChildQuery<Match> *>(lParam);
    if (!q->match(hwnd)) return TRUE;
    q->found = hwnd;
    return FALSE;
}

template <class Match> HWND FindChild(HWND parent, Match match) {
    ChildQuery<Match> q = {match, nullptr};
    EnumChildWindows(parent, MatchChild<Match>, reinterpret_cast<LPARAM>(&q));
    return q.found;
}

bool IsClass(HWND hwnd, const char *name) { return lstrcmpiA(ClassOf(hwnd).c_str(), name) == 0; }

// The outermost window of the file name box, wherever it sits among the
// dialog's descendants: a ComboBoxEx32 holding a ComboBox holding an Edit in
// the explorer-style dialog, a plain edit box in the old one. Microsoft
// documents these identifiers for those two dialogs only.
HWND FileNameBox(HWND dialog) {
    for (int id : {cmb13, edt1})
        if (HWND box = FindChild(dialog, [id](HWND hwnd) { return GetDlgCtrlID(hwnd) == id; })) return box;
    return nullptr;
}

// A message box's icon: the static control that shows one, whatever its
// identifier (Wine gives it stc1; Microsoft documents none).
HWND IconControl(HWND box) {
    return FindChild(box, [](HWND hwnd) { return IsClass(hwnd, "Static") && (StyleOf(hwnd) & SS_TYPEMASK) == SS_ICON; });
}

HWND InnermostEdit(HWND box) {
    for (HWND inner = box; inner; inner = GetWindow(inner, GW_CHILD))
        if (ClassOf(inner) == "Edit") return inner;
    return box;
}

const struct {
    LPCSTR id;
    UINT flag;
} SystemIcons[] = {
    {IDI_WARNING, MB_ICONWARNING},
    {IDI_INFORMATION, MB_ICONINFORMATION},
    {IDI_ERROR, MB_ICONERROR},
    {IDI_QUESTION, MB_ICONQUESTION},
};

// Top-down 32-bit pixels of a w x h area of dc, or of an icon drawn over a
// background of one colour when icon is set.
std::vector<DWORD> Pixels(HDC dc, int x, int y, int w, int h, HICON icon, COLORREF background) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<DWORD> pixels;
    if (bitmap) {
        HGDIOBJ old = SelectObject(mem, bitmap);
        if (icon) {
            HBRUSH brush = CreateSolidBrush(background);
            RECT all = {0, 0, w, h};
            FillRect(mem, &all, brush);
            DeleteObject(brush);
            DrawIconEx(mem, 0, 0, icon, w, h, 0, nullptr, DI_NORMAL);
        } else {
            BitBlt(mem, 0, 0, w, h, dc, x, y, SRCCOPY);
        }
        GdiFlush();
        const DWORD *p = static_cast<const DWORD *>(bits);
        pixels.assign(p, p + w * h);
        for (DWORD &px : pixels) px &= 0xFFFFFF;
        SelectObject(mem, old);
        DeleteObject(bitmap);
    }
    DeleteDC(mem);
    return pixels;
}

// Whether the screen shows icon in the area: every pixel the icon covers
// fully (the same over black and over white) must be there.
bool ScreenShowsIcon(const std::vector<DWORD> &screen, HICON icon, int w, int h) {
    std::vector<DWORD> black = Pixels(nullptr, 0, 0, w, h, icon, RGB(0, 0, 0));
    std::vector<DWORD> white = Pixels(nullptr, 0, 0, w, h, icon, RGB(255, 255, 255));
    size_t opaque = 0;
    for (size_t i = 0; i < screen.size() && i < black.size() && i < white.size(); i++) {
        if (black[i] != white[i]) continue;
        if (black[i] != screen[i]) return false;
        opaque++;
    }
    return opaque > screen.size() / 4;
}

// A message box's icon control shows one of the shared system icons. In this
// process the handles may compare directly; otherwise the icon is told by
// the pixels it shows, once it has painted them.
UINT IconOf(HWND control) {
    if (!control || !IsWindowVisible(control)) return 0;
    DWORD pid = 0;
    GetWindowThreadProcessId(control, &pid);
    if (pid == GetCurrentProcessId()) {
        HICON shown = reinterpret_cast<HICON>(SendMessageA(control, STM_GETICON, 0, 0));
        for (const auto &icon : SystemIcons)
            if (shown && shown == LoadIconA(nullptr, icon.id)) return icon.flag;
    }
    // Not the shared handle (another process's box, or one that loaded its
    // own copy of the icon): told by the pixels it shows.
    RECT area = {};
    GetClientRect(control, &area);
    MapWindowPoints(control, HWND_DESKTOP, reinterpret_cast<POINT *>(&area), 2);
    int w = area.right - area.left, h = area.bottom - area.top;
    UINT found = 0;
    PollUntil(2000, [&] {
        HDC screen = GetDC(nullptr);
        std::vector<DWORD> shown = Pixels(screen, area.left, area.top, w, h, nullptr, 0);
        ReleaseDC(nullptr, screen);
        for (const auto &icon : SystemIcons)
            if (!found && ScreenShowsIcon(shown, LoadIconA(nullptr, icon.id), w, h)) found = icon.flag;
        return found != 0;
    });
    return found;
}

}  // namespace

HWND WaitForTopLevel(const char *className, HWND owner, DWORD pid, DWORD timeoutMs) {
    HWND found = nullptr;
    PollUntil(timeoutMs, [&] { return (found = FindTopLevel(className, owner, pid)) != nullptr; });
    return found;
}

HWND WaitForDialog(HWND owner, DWORD timeoutMs) {
    return WaitForTopLevel("#32770", owner, 0, timeoutMs);
}

bool WaitForNoDialog(HWND owner, DWORD timeoutMs) {
    return PollUntil(timeoutMs, [&] { return !FindTopLevel("#32770", owner, 0); });
}

bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs) {
    return PollUntil(timeoutMs, [&] { return !IsWindow(hwnd); });
}

std::string ClassOf(HWND hwnd) {
    char name[256] = "";
    int n = GetClassNameA(hwnd, name, sizeof name);
    return std::string(name, n > 0 ? n : 0);
}

std::string TextOf(HWND hwnd) {
    DWORD_PTR length = 0, copied = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SendFlags, SendTimeoutMs, &length))
        return "";
    std::string text(length + 1, '\0');
    SendMessageTimeoutA(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                        SendFlags, SendTimeoutMs, &copied);
    text.resize(strnlen(text.c_str(), copied));
    return text;
}

LONG StyleOf(HWND hwnd) { return GetWindowLongA(hwnd, GWL_STYLE); }

LONG ExStyleOf(HWND hwnd) { return GetWindowLongA(hwnd, GWL_EXSTYLE); }

RECT RectInParent(HWND hwnd) {
    RECT r = {};
    GetWindowRect(hwnd, &r);
    MapWindowPoints(HWND_DESKTOP, GetAncestor(hwnd, GA_PARENT), reinterpret_cast<POINT *>(&r), 2);
    return r;
}

LOGFONTA FontOf(HWND hwnd) {
    LOGFONTA font = {};
    HGDIOBJ handle = reinterpret_cast<HGDIOBJ>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
    GetObjectA(handle ? handle : GetStockObject(SYSTEM_FONT), sizeof font, &font);
    return font;
}

bool TypeFileName(HWND dialog, const std::string &name) {
    HWND box = FileNameBox(dialog);
    DWORD_PTR done = FALSE;
    return box && SendMessageTimeoutA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()),
                                      SendFlags, SendTimeoutMs, &done) && done;
}

void PressButton(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

std::string FileNameOf(HWND dialog) {
    HWND box = FileNameBox(dialog);
    return box ? TextOf(InnermostEdit(box)) : "";
}

bool IsMessageBox(HWND dialog) {
    return GetDlgItem(dialog, MessageBoxTextId) &&
           !FindChild(dialog, [](HWND hwnd) { return !IsClass(hwnd, "Static") && !IsClass(hwnd, "Button"); });
}

bool HasNameBox(HWND dialog) { return FileNameBox(dialog) != nullptr; }

bool ReadMessageBox(HWND box, MessageBoxView *view) {
    HWND text = GetDlgItem(box, MessageBoxTextId);
    if (!text) return false;
    view->text = TextOf(text);
    view->caption = TextOf(box);
    view->icon = IconOf(IconControl(box));
    view->owner = GetWindow(box, GW_OWNER);
    return true;
}

namespace {
HANDLE WatchdogThread, WatchdogStop;
volatile LONG WatchdogFired;

DWORD WINAPI Watchdog(void *timeout) {
    DWORD wait = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(timeout));
    while (WaitForSingleObject(WatchdogStop, wait) == WAIT_TIMEOUT) {
        // One round cancels the newest dialog of a chain; the next its owner.
        while (HWND dialog = FindTopLevel("#32770", nullptr, GetCurrentProcessId())) {
            InterlockedExchange(&WatchdogFired, 1);
            SendMessageTimeoutA(dialog, WM_COMMAND, IDCANCEL, 0, SMTO_ABORTIFHUNG, 1000, nullptr);
            if (IsWindowVisible(dialog)) break;
        }
        wait = 200;
    }
    return 0;
}
}  // namespace

void WatchdogArm(DWORD timeoutMs) {
    WatchdogDisarm();
    WatchdogFired = 0;
    WatchdogStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    WatchdogThread = CreateThread(nullptr, 0, Watchdog,
                                  reinterpret_cast<void *>(static_cast<UINT_PTR>(timeoutMs)), 0, nullptr);
}

bool WatchdogDisarm() {
    if (!WatchdogThread) return false;
    SetEvent(WatchdogStop);
    WaitForSingleObject(WatchdogThread, INFINITE);
    CloseHandle(WatchdogThread);
    CloseHandle(WatchdogStop);
    WatchdogThread = WatchdogStop = nullptr;
    return WatchdogFired != 0;
}

void RegisterPlainClass(const char *name, WNDPROC procedure) {
    WNDCLASSA cls = {};
    cls.lpfnWndProc = procedure;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = name;
    RegisterClassA(&cls);
}

UINT AnsiCodePage() { return GetACP(); }
