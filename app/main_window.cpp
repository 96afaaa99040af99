#include "app/main_window.h"
#include "app/startup.h"
#include "convert/convert.h"
#include <commdlg.h>
#include <cderr.h>

HWND MainWnd;

struct ControlRow {
    int id;
    const char *className;
    const char *text;
    DWORD exStyle;
    DWORD style;
    int x, y, width, height;
};

// In the order of creation; the top row is 20 pixels high and 470 wide.
static const ControlRow Controls[] = {
    {IDC_LABEL, "STATIC", "ファイル名:", 0, WS_CHILD | WS_VISIBLE, 0, 0, 80, 20},
    {IDC_PATH, "EDIT", "", WS_EX_CLIENTEDGE, WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 80, 0, 340, 20},
    {IDC_BROWSE, "BUTTON", "参照", 0, WS_CHILD | WS_VISIBLE, 420, 0, 50, 20},
    {IDC_CONVERT, "BUTTON", "変換!!!!!", 0, WS_CHILD | WS_VISIBLE, 0, 20, 470, 30},
};

static void CreateControls(HWND hwnd)
{
    for (const ControlRow &row : Controls) {
        CreateWindowExA(row.exStyle, row.className, row.text, row.style, row.x, row.y, row.width, row.height,
                        hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), GetModuleHandleA(NULL),
                        NULL);
        SendMessageA(GetDlgItem(hwnd, row.id), WM_SETFONT, reinterpret_cast<WPARAM>(UiFont), 0);
    }
}

void SizeConvertButton(void)
{
    RECT client;
    ZeroMemory(&client, sizeof client);
    GetClientRect(MainWnd, &client);
    MoveWindow(GetDlgItem(MainWnd, IDC_CONVERT), 0, 20, 470, client.bottom - 20, FALSE);
}

void ShowDialogFailure(void)
{
    // The ANSI dialogs count nMaxFile in bytes, and a path of about 130
    // characters of two bytes each fits the dialog but not the buffer.
    DWORD failure = CommDlgExtendedError();
    if (failure == 0)
        return;
    const char *text = failure == FNERR_BUFFERTOOSMALL ? "ファイルのパスが長すぎます。" : "ファイルの選択に失敗しました。";
    MessageBoxA(MainWnd, text, "エラー", MB_OK | MB_ICONWARNING);
}

void OnBrowse(void)
{
    // Zeroed each time: the dialog opens with an empty name whatever the box holds.
    char path[MAX_PATH];
    ZeroMemory(path, sizeof path);
    OPENFILENAMEA dialog;
    ZeroMemory(&dialog, sizeof dialog);
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    dialog.hwndOwner = MainWnd;
    dialog.lpstrFilter = "全てのファイル(*)\0*\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof path;
    dialog.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_CREATEPROMPT;
    dialog.lpstrDefExt = "*";
    // The dialog leaves the current folder where the file was chosen,
    // OFN_NOCHANGEDIR or not, and a USB stick held so cannot be ejected.
    wchar_t folder[MAX_PATH];
    ZeroMemory(folder, sizeof folder);
    DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
    BOOL chosen = GetOpenFileNameA(&dialog);
    if (length > 0 && length < MAX_PATH)
        SetCurrentDirectoryW(folder);
    if (chosen)
        SetWindowTextA(GetDlgItem(MainWnd, IDC_PATH), path);
    else
        ShowDialogFailure();
}

static void OnCommand(WPARAM wParam)
{
    if (HIWORD(wParam) != BN_CLICKED)
        return;
    if (LOWORD(wParam) == IDC_BROWSE)
        OnBrowse();
    else if (LOWORD(wParam) == IDC_CONVERT)
        OnConvert();
}

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        // First: SizeConvertButton finds the button through it.
        MainWnd = hwnd;
        CreateControls(hwnd);
        SizeConvertButton();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_COMMAND:
        OnCommand(wParam);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
