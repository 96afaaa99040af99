// The runtime's test program starts like the real one: the runtime first,
// then the global slots. Started with --runtime-child it runs one scenario
// that ends the process instead.
#include <gtest/gtest.h>
#include <string.h>
#include "runtime/runtime.h"
#include "support/debug_monitor.h"
#include "win/platform_calls.h"
#include "win/runtime_support.h"

bool MonitorRunning;

// A crashed child ends at once with the exception's code, instead of
// waiting for a debugger.
static LONG WINAPI EndOnCrash(EXCEPTION_POINTERS *exception)
{
    TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_CONTINUE_SEARCH;
}

int main(int argc, char **argv)
{
    // The import slots swapped first, so every resize of the table is seen.
    PlatformCallsInstall();
    RuntimeInit();
    if (argc == 3 && strcmp(argv[1], "--runtime-child") == 0) {
        SetUnhandledExceptionFilter(EndOnCrash);
        return RunRuntimeChild(argv[2]);
    }
    FillGlobalStrings();
    testing::InitGoogleTest(&argc, argv);
    MonitorRunning = DebugMonitorStart();
    int rc = RUN_ALL_TESTS();
    if (MonitorRunning)
        DebugMonitorStop();
    return rc;
}
