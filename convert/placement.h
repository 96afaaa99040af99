// The finished file takes the target's place: by a rename through its own
// handle, or on Windows, over an existing file, by ReplaceFileW, which keeps
// the old file's attributes, ACLs and short name.
#pragma once
#include "convert/output_file.h"

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
// placement.cpp); set from the start, and cleared by the tests that take
// the way of Windows.
extern bool ReplaceByRename;

// The complete unfinished file, its delete mark cleared, takes the target's
// place, and its handle is closed. A refusal that a brief hold on either
// file explains is tried again for about two seconds first. aside may be
// null.
Placement PutInPlace(Unfinished *unfinished, const char *target, bool replacing, Aside *aside);
