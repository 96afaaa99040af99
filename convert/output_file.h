// Writing the output so that a failure never costs the file that was there:
// the bytes go into a new file beside it, which takes its place only once
// they are all written.
#pragma once
#include <windows.h>

// Room for any name these routines hand back, the dialog's MAX_PATH and more.
enum { OutputNameSize = 2 * MAX_PATH };

// Where the bytes for the chosen name end up: the chosen name itself when it
// is new, else the file it leads to (through a link, if it is one). False when
// the chosen file exists but cannot be replaced: held open elsewhere,
// read-only, out of reach, or no plain file at all.
bool FindOutputTarget(const char *chosen, char (&target)[OutputNameSize], bool *exists);
// Room for the unfinished file's name in the \\?\ form of the wide calls,
// which lift MAX_PATH: the chosen name may fill it and the unfinished one,
// longer, still fits beside it.
enum { UnfinishedNameSize = OutputNameSize + 64 };

// A new, unshared file in the target's folder that no other file shares a
// name with; its name goes to unfinished. Where the platform lets it, the
// file is marked to go with its handle, so that a process ended half-way
// leaves nothing behind (*marked). INVALID_HANDLE_VALUE when the folder
// takes no new file.
HANDLE CreateUnfinished(const char *target, wchar_t (&unfinished)[UnfinishedNameSize], bool *marked);
// From now on the file outlives its handle; false when the mark stays.
bool KeepUnfinished(HANDLE file);
// The complete, closed unfinished file takes the target's place; false when it
// cannot, and then it is gone and the target as it was.
bool PutInPlace(const wchar_t *unfinished, const char *target, bool replacing);
