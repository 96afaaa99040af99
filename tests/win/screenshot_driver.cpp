// Poses the program for the README's pictures, on Wine's virtual desktop:
//   screenshot_driver <program.exe> <folder for the marks>
// It starts the program and shows its window, then a finished conversion.
// At each pose it writes "<name>.pose" holding the area to take (WxH+X+Y)
// and waits until the one taking pictures writes "<name>.taken".
#include <windows.h>
#include <stdio.h>
#include <string>
#include "app/main_window.h"
#include "support/windows.h"

static std::string Marks;

static bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

static RECT Around(HWND first, HWND second)
{
    RECT area = {}, other = {};
    GetWindowRect(first, &area);
    if (second) {
        GetWindowRect(second, &other);
        UnionRect(&area, &area, &other);
    }
    InflateRect(&area, 8, 8);
    area.left = area.left < 0 ? 0 : area.left;
    area.top = area.top < 0 ? 0 : area.top;
    return area;
}

static bool Pose(const char *name, RECT area)
{
    // Let the last paint reach the screen.
    RedrawWindow(NULL, NULL, NULL, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    std::string pose = Marks + name + ".pose", taken = Marks + name + ".taken";
    FILE *file = fopen(pose.c_str(), "wb");
    if (!file)
        return false;
    fprintf(file, "%ldx%ld+%ld+%ld\n", area.right - area.left, area.bottom - area.top, area.left, area.top);
    fclose(file);
    for (DWORD start = GetTickCount(); !Exists(taken); Sleep(50))
        if (GetTickCount() - start > 30000)
            return false;
    return true;
}

static int Fail(const char *what)
{
    fprintf(stderr, "screenshot_driver: %s\n", what);
    return 1;
}

int main(int argc, char **argv)
{
    if (argc != 3)
        return Fail("usage: screenshot_driver <program.exe> <folder>");
    Marks = std::string(argv[2]) + "\\";
    // Wine 10 gives a console program started on the virtual desktop a
    // console window of its own, which would be in the pictures.
    if (HWND console = GetConsoleWindow())
        ShowWindow(console, SW_HIDE);

    // A small text file to convert, in a folder with a Japanese name.
    const std::string folder = "C:\\サンプル\\", input = folder + "メモ.txt";
    CreateDirectoryA(folder.c_str(), NULL);
    HANDLE file = CreateFileA(input.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    const char text[] = "Hello, world! This text becomes 8000 samples a second.\r\n";
    DWORD put = 0;
    WriteFile(file, text, sizeof text - 1, &put, NULL);
    CloseHandle(file);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION program = {};
    if (!CreateProcessA(argv[1], NULL, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &program))
        return Fail("cannot start the program");
    HWND main = WaitForTopLevel("NORMAL0", NULL, program.dwProcessId, 20000);
    if (!main)
        return Fail("no main window");
    SetWindowPos(main, NULL, 16, 16, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageA(GetDlgItem(main, IDC_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(input.c_str()));
    int failed = 0;
    if (!Pose("window", Around(main, NULL)))
        failed = Fail("the window was not taken");

    PostMessageA(GetDlgItem(main, IDC_CONVERT), BM_CLICK, 0, 0);
    HWND save = WaitForDialog(main, 15000);
    if (!failed && (!save || !TypeFileName(save, folder + "メモ.wav")))
        failed = Fail("no save dialog");
    if (save)
        PressButton(save, failed ? IDCANCEL : IDOK);
    WaitForWindowGone(save, 15000);
    HWND box = failed ? NULL : WaitForDialog(main, 15000);
    if (!failed && !box)
        failed = Fail("no completion box");
    if (box) {
        // Amid the 540 x 260 desktop screenshots.sh makes, where Wine 8 puts
        // it; Wine 10 centres it on the whole display instead.
        RECT r = {};
        GetWindowRect(box, &r);
        SetWindowPos(box, NULL, (540 - (r.right - r.left)) / 2, (260 - (r.bottom - r.top)) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (!Pose("converted", Around(main, box)))
            failed = Fail("the completion box was not taken");
        PressButton(box, IDOK);
        WaitForWindowGone(box, 10000);
    }

    PostMessageA(main, WM_CLOSE, 0, 0);
    WaitForSingleObject(program.hProcess, 10000);
    DeleteFileA(input.c_str());
    DeleteFileA((folder + "メモ.wav").c_str());
    RemoveDirectoryA(folder.c_str());
    return failed;
}
