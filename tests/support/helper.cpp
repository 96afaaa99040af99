// A second process for the support tests. "debug" writes two debug lines;
// "window" shows a window with an edit box until it is closed; "warning" and
// "information" also show a message box with that icon, owned by the window,
// and exit with the box's result. "desktop" holds the desktop for a whole
// test run (cmake/wine-world.sh).
#include <windows.h>
#include <stdio.h>
#include <string.h>

static LRESULT CALLBACK HelperProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

int main(int argc, char **argv) {
    const char *mode = argc > 1 ? argv[1] : "";
    if (!strcmp(mode, "debug")) {
        OutputDebugStringA("子プロセス\r\n");
        OutputDebugStringA("second");
        return 0;
    }
    if (!strcmp(mode, "desktop")) {
        // Wine closes the desktop and its window's process a second after
        // the last program on it ended, and the next program starts them
        // again: a program started meanwhile meets a desktop going away
        // (no window, no child process), and each one's output is held
        // open a second longer by the desktop process it started. This one
        // starts the desktop and stays on it until the Wine server that
        // runs the tests is stopped.
        GetDesktopWindow();
        puts("ready");
        fflush(stdout);
        Sleep(INFINITE);
        return 0;
    }
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = HelperProc;
    wc.hInstance = instance;
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = "SupportHelper";
    RegisterClassA(&wc);
    HWND main = CreateWindowA("SupportHelper", "helper", WS_OVERLAPPEDWINDOW, 20, 20,
                              320, 120, nullptr, nullptr, instance, nullptr);
    HWND edit = CreateWindowA("EDIT", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 280, 24, main,
                              reinterpret_cast<HMENU>(100), instance, nullptr);
    // Set after creation, so only WM_GETTEXT sees it from outside.
    SetWindowTextA(edit, "別プロセスの入力欄");
    ShowWindow(main, SW_SHOW);  // only now can a test find it
    if (!strcmp(mode, "warning"))
        return MessageBoxA(main, "警告の本文", "警告", MB_OK | MB_ICONWARNING);
    if (!strcmp(mode, "information"))
        return MessageBoxA(main, "情報の本文", "情報", MB_OK | MB_ICONINFORMATION);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
