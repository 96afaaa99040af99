// Start-up, the drawing objects every window shares, the two window classes,
// the message loop and what closing the main window releases.
#pragma once
#include <windows.h>

extern HFONT UiFont;        // the one font of every control
extern HBRUSH FaceBrush;    // background of both window classes
extern WNDCLASSEXA DlgClass;    // "NORMALDLG": registered, never used
extern WNDCLASSEXA MainClass;   // "NORMAL0": the main window's class
extern MSG LoopMessage;
extern BOOL LoopResult;     // what GetMessageA returned last

// Runtime, global slots, font and brush, classes, main window; false when
// the main window does not exist, so that nothing waits for it.
bool StartUp(void);
void CreateUiObjects(void);
// Registers both classes; false when "NORMAL0" could not be registered.
bool RegisterWindowClasses(void);
// False when the main window could not be created.
bool CreateMainWindow(void);
// Until GetMessageA says quit (0) or fails (-1).
void RunMessageLoop(void);

void OnDestroy(void);
void ReleaseUiObjects(void);
LRESULT CALLBACK PlainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
