// Writing the output so that a failure never costs the file that was there:
// the bytes go into a new file beside it, which takes its place only once
// they are all written (placement.h).
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

// name in the \\?\ form: absolute, and in the wide calls free of MAX_PATH.
bool LongForm(const char *name, wchar_t (&to)[UnfinishedNameSize]);
// A name in the \\?\ form back in the plain one of the ANSI calls.
void DropLongPrefix(char *path);

// The new file beside the target, open, unshared but for deleting.
struct Unfinished {
    HANDLE file;
    wchar_t name[UnfinishedNameSize];
    // Its handle holds DELETE, so it may rename the file or remove it even
    // where the folder lets new files be made but no name of them go.
    bool deletable;
    // It goes with its handle, so a process ended half-way leaves nothing.
    bool marked;
};

// A new file in the target's folder that no other file shares a name with.
// False when the folder takes no new file.
bool CreateUnfinished(const char *target, Unfinished *unfinished);
// From now on the file outlives its handle; false when the mark stays.
bool KeepUnfinished(Unfinished *unfinished);
// Closes the file, and it is gone: through its handle where it can be.
void DiscardUnfinished(Unfinished *unfinished);
