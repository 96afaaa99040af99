// The main window: its handle, its controls and its procedure.
#pragma once
#include <windows.h>

enum {
    IDC_LABEL = 1000,
    IDC_PATH = 1001,
    IDC_BROWSE = 1002,
    IDC_CONVERT = 1003,
};

// Set first thing in WM_CREATE and never changed: every command finds its
// controls through it and uses it as the owner of its dialogs.
extern HWND MainWnd;

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void SizeConvertButton(void);
void OnBrowse(void);
// After a file dialog's FALSE: a cancel says nothing, a failure is told.
void ShowDialogFailure(void);
