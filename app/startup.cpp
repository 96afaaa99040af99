#include "app/startup.h"
#include "runtime/runtime.h"

MSG LoopMessage;
BOOL LoopResult;

bool CreateMainWindow(void)
{
    // MainWndProc keeps the handle itself while the window is being created.
    return CreateWindowExA(0, "NORMAL0", "ズンカベル!!", WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                           CW_USEDEFAULT, CW_USEDEFAULT, 476, 82, NULL, NULL, GetModuleHandleA(NULL),
                           NULL) != NULL;
}

bool StartUp(void)
{
    RuntimeInit();
    FillGlobalStrings();
    CreateUiObjects();
    // Without the main window no message would ever end the loop.
    if (!RegisterWindowClasses())
        return false;
    return CreateMainWindow();
}

void RunMessageLoop(void)
{
    for (;;) {
        LoopResult = GetMessageA(&LoopMessage, NULL, 0, 0);
        if (LoopResult == 0 || LoopResult == -1)
            return;
        TranslateMessage(&LoopMessage);
        DispatchMessageA(&LoopMessage);
    }
}
