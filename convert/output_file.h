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
// Where the image and the old file were left when neither could take the
// target's name, named as the ANSI calls name them; old is "" when the old
// file is gone.
enum { AsideNameSize = 2 * UnfinishedNameSize };
struct Aside {
    char image[AsideNameSize];
    char old[AsideNameSize];
};

enum Placement {
    InPlace,      // the target holds the whole image
    NotInPlace,   // the target as it was; the unfinished file is gone
    LeftAside,    // the image kept under its own name: *aside says where
};

// Under Wine a rename over the target stands in for ReplaceFileW (see
// output_file.cpp); set from the start, and cleared by the tests that take
// the way of Windows.
extern bool ReplaceByRename;

// The complete, closed unfinished file takes the target's place. A refusal
// that a brief hold on either file explains is tried again for about two
// seconds first. aside may be null.
Placement PutInPlace(const wchar_t *unfinished, const char *target, bool replacing, Aside *aside);
