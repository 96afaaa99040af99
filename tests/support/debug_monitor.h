// Captures OutputDebugStringA lines the way a system debug-output viewer
// does (the DBWIN buffer and its two events), on a thread of its own.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Starts listening; false if another monitor already owns the buffer.
bool DebugMonitorStart();
void DebugMonitorStop();
// The lines written by process pid since the last call (all processes when
// pid is 0), exact bytes without the terminating NUL. Waits until every
// line already handed over has been read.
std::vector<std::string> DebugMonitorTake(DWORD pid = GetCurrentProcessId());
