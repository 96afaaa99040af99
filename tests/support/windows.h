// Helpers for tests that drive windows, common dialogs and message boxes,
// in this process or in another one. Every wait has a deadline.
#pragma once
#include <windows.h>
#include <string>

// Polls every 20 ms until a visible top-level window of the class (any class
// when null) owned by owner (any owner when null) and belonging to process
// pid (any process when 0) appears; null after timeoutMs. Every wait answers
// messages sent to this thread's windows meanwhile, but dispatches no
// posted ones.
HWND WaitForTopLevel(const char *className, HWND owner, DWORD pid, DWORD timeoutMs);
// A modal dialog or message box ("#32770") owned by owner.
HWND WaitForDialog(HWND owner, DWORD timeoutMs = 10000);
// Waits until no "#32770" window owned by owner is shown; false on timeout.
bool WaitForNoDialog(HWND owner, DWORD timeoutMs = 10000);
// Waits until a window is gone (destroyed); false on timeout.
bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs = 10000);

std::string ClassOf(HWND hwnd);
// The text through WM_GETTEXT, so an edit box of another process reads right.
std::string TextOf(HWND hwnd);
LONG StyleOf(HWND hwnd);
LONG ExStyleOf(HWND hwnd);
// The window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND hwnd);
// The font a window uses (WM_GETFONT), valid only for a window of this process.
LOGFONTA FontOf(HWND hwnd);

// Common file dialog: type a name into its file name box, press OK or Cancel.
// The box is found by the identifiers dlgs.h gives it (cmb13, edt1), which
// Microsoft documents for the Explorer-style dialog that Wine shows.
bool HasNameBox(HWND dialog);
bool TypeFileName(HWND dialog, const std::string &name);
void PressButton(HWND dialog, int id);
// The name the dialog shows in its file name box.
std::string FileNameOf(HWND dialog);

// A message box as the user sees it.
struct MessageBoxView {
    std::string text;
    std::string caption;
    UINT icon;   // MB_ICONWARNING, MB_ICONINFORMATION, MB_ICONERROR, MB_ICONQUESTION, or 0
    HWND owner;
};
// A message box: its text is static control 0xFFFF, and it holds nothing but
// statics and buttons.
bool IsMessageBox(HWND dialog);
// False when box is no message box. An icon that is not the shared system
// icon's handle (a box of another process) is told from the pixels it shows,
// which may take up to 2 s to appear.
bool ReadMessageBox(HWND box, MessageBoxView *view);

// For a test that meant to type into a file dialog with no such box (the
// Common Item Dialog that Windows shows, whose controls Microsoft does not
// document): it cannot go on as a user would, and says why.
#define SKIP_IF_NO_NAME_BOX(missing) \
    if (missing) \
        GTEST_SKIP() << "the file dialog has no name box of the identifiers dlgs.h documents (cmb13, edt1) to type into"

// A safety net for tests that show a dialog on their own thread while another
// thread drives it: once timeoutMs passed, every dialog or message box of
// this process still open is cancelled, so a test that lost track of one
// fails instead of hanging. Disarming returns whether it had to cancel any.
void WatchdogArm(DWORD timeoutMs);
bool WatchdogDisarm();

// Registers a window class of this module with nothing but a name and a
// window procedure.
void RegisterPlainClass(const char *name, WNDPROC procedure);

// The ANSI code page this process runs under.
UINT AnsiCodePage();
