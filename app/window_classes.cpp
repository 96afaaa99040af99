#include "app/main_window.h"
#include "app/startup.h"

static_assert(sizeof(void *) != 4 || sizeof(WNDCLASSEXA) == 48, "class record of 48 bytes");

WNDCLASSEXA DlgClass;
WNDCLASSEXA MainClass;

LRESULT CALLBACK PlainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

static void FillClassRecord(WNDCLASSEXA *record, WNDPROC procedure, const char *name)
{
    ZeroMemory(record, sizeof *record);
    record->cbSize = sizeof *record;
    record->style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    record->lpfnWndProc = procedure;
    record->hInstance = GetModuleHandleA(NULL);
    record->hCursor = LoadCursorA(NULL, IDC_ARROW);
    record->hbrBackground = FaceBrush;
    record->lpszClassName = name;
}

bool RegisterWindowClasses(void)
{
    FillClassRecord(&DlgClass, PlainWndProc, "NORMALDLG");
    DlgClass.hIcon = LoadIconA(NULL, IDI_APPLICATION);
    DlgClass.hIconSm = LoadIconA(NULL, IDI_WINLOGO);
    RegisterClassExA(&DlgClass);

    FillClassRecord(&MainClass, MainWndProc, "NORMAL0");
    MainClass.hIcon = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(101));
    MainClass.hIconSm = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(101));
    return RegisterClassExA(&MainClass) != 0;
}
