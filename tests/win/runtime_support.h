// Shared by the runtime's tests: the registry as a list, strings from bytes,
// the diagnostic line, and the child runs of this test program.
#pragma once
#include <string>
#include <vector>
#include "runtime/runtime.h"
#include "support/registry.h"

// The exact diagnostic line in code page 932: 38 bytes of text, CR, LF.
extern const std::string UnknownStringLine;

StrHandle MakeString(const std::string &bytes);
// The counted bytes of a live string.
std::string BytesOf(StrHandle h);
// The heap block behind a handle and the size the heap gives it.
SIZE_T BlockSizeOf(StrHandle h);
// The table's size as last asked of the heap.
SIZE_T TableBytes();

// Whether this process captures the debug output (the tests need it).
extern bool MonitorRunning;

// This program started again with "--runtime-child <mode>" runs one scenario
// that ends the process; it reports on its standard output.
int RunRuntimeChild(const char *mode);
