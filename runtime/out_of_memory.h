// The runtime's answer to a heap that cannot supply a string: the callers
// count on a valid handle, so the process stops rather than go on with none.
#pragma once
#include <windows.h>

// Exit code of that stop; every normal end of the process is 0.
enum { OutOfMemoryExitCode = ERROR_NOT_ENOUGH_MEMORY };

// Tells the user in a message box, then ends the process.
__attribute__((noreturn)) void RuntimeOutOfMemory(void);
