// The program starts here; it reads no command line.
#include "app/startup.h"
#include "runtime/runtime.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (StartUp())
        RunMessageLoop();
    RuntimeExit();
}
