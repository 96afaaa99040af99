// Captures OutputDebugStringA lines the way a system debug-output viewer
// does (the DBWIN buffer and its two events), on a thread of its own.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Starts listening; false if another monitor already owns the buffer.
bool DebugMonitorStart();
void DebugMonitorStop();
// The lines written by process pid (by every process when pid is 0) that no
// earlier call returned, oldest first, exact bytes without the terminating
// NUL. Waits (up to 10 s) until every line already handed over is read.
std::vector<std::string> DebugMonitorTake(DWORD pid = GetCurrentProcessId());
