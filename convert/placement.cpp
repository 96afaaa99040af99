#include "convert/placement.h"
#include <stddef.h>
#include <string.h>
#include <wchar.h>

// Wine's ReplaceFile moves the old file aside, deletes it and then moves the
// new one in, so a crash between leaves neither, and a refusal leaves its
// own temporary file behind; its rename over a file is one step, and keeps
// no more of the old file's attributes than its ReplaceFile does. Windows'
// ReplaceFileW keeps them, ACLs and short name too, and can stop between its
// steps as well: each way it can end is settled below.
static bool UnderWine(void)
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != NULL;
}

bool ReplaceByRename = UnderWine();

// Scanners, indexers and sync clients open a file just closed, for a moment;
// a rename or replace then meets a sharing violation or access denied, and
// ReplaceFileW one that cannot remove the old file. Each is tried again.
enum { LockStepMs = 50, LockSteps = 40 };

static bool WaitOutLock(int *steps)
{
    DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED && error != ERROR_UNABLE_TO_REMOVE_REPLACED)
        return false;
    if (++*steps > LockSteps)
        return false;
    Sleep(LockStepMs);
    return true;
}

static bool Move(const wchar_t *from, const wchar_t *to, DWORD flags)
{
    for (int steps = 0; !MoveFileExW(from, to, flags);)
        if (!WaitOutLock(&steps))
            return false;
    return true;
}

static void Delete(const wchar_t *name)
{
    for (int steps = 0; !DeleteFileW(name);)
        if (!WaitOutLock(&steps))
            return;
}

// Only a name surely free counts as gone; in doubt, a file is taken to be there.
static bool Gone(const wchar_t *name)
{
    if (GetFileAttributesW(name) != INVALID_FILE_ATTRIBUTES)
        return false;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// A name beside the unfinished file that no file has: what ReplaceFileW does
// to a file already under its backup name is not documented.
static bool FindBackupName(const wchar_t *unfinished, wchar_t (&backup)[UnfinishedNameSize])
{
    wcscpy(backup, unfinished);
    wchar_t *name = wcsrchr(backup, L'\\') + 1;
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (DWORD attempt = 0; attempt < 100; attempt++) {
        wsprintfW(name, L"zunkabell-backup-%08lX.tmp", (unsigned long)(seed + attempt));
        if (Gone(backup))
            return true;
    }
    return false;
}

// Two bytes a character at most in code page 932: every name fits.
static_assert(AsideNameSize >= 2 * UnfinishedNameSize, "room");

static void ShownName(const wchar_t *name, char (&shown)[AsideNameSize])
{
    WideCharToMultiByte(CP_ACP, 0, name, -1, shown, AsideNameSize, NULL, NULL);
    DropLongPrefix(shown);
}

// Which file a name holds: its volume and its index there, which the file
// keeps whatever name it takes, and ReplaceFileW's result keeps too.
struct Identity {
    bool known;
    DWORD volume, high, low;
};

static Identity IdentityOf(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info;
    ZeroMemory(&info, sizeof info);
    Identity identity = {GetFileInformationByHandle(file, &info) != 0, info.dwVolumeSerialNumber, info.nFileIndexHigh,
                         info.nFileIndexLow};
    return identity;
}

static bool Holds(const wchar_t *name, const Identity &image)
{
    HANDLE file = CreateFileW(name, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    Identity there = IdentityOf(file);
    CloseHandle(file);
    return image.known && there.known && there.volume == image.volume && there.high == image.high &&
           there.low == image.low;
}

// Whether the file may be renamed and deleted by its name, as ReplaceFileW
// does it. A folder may let files be made but none deleted: then only the
// handle that made one, asking for DELETE, may rename or remove it.
static bool NamesMayGo(const wchar_t *name)
{
    HANDLE file = CreateFileW(name, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

static bool Rename(HANDLE file, const wchar_t *to, bool replacing)
{
    union {
        FILE_RENAME_INFO info;
        char room[sizeof(FILE_RENAME_INFO) + sizeof(wchar_t[UnfinishedNameSize])];
    } rename;
    ZeroMemory(&rename, sizeof rename);
    rename.info.ReplaceIfExists = replacing;
    rename.info.FileNameLength = static_cast<DWORD>(wcslen(to) * sizeof(wchar_t));
    memcpy(rename.room + offsetof(FILE_RENAME_INFO, FileName), to, rename.info.FileNameLength);
    for (int steps = 0; !SetFileInformationByHandle(file, FileRenameInfo, &rename, sizeof rename);)
        if (!WaitOutLock(&steps))
            return false;
    return true;
}

// After a failed ReplaceFileW the files it left decide, not its code, so
// that no code, documented or not, costs the old file while the image goes.
static Placement Settle(const wchar_t *unfinished, const wchar_t *to, const wchar_t *backup, const Identity &image,
                        Aside *aside)
{
    // The image moved in after all: no code documents that.
    if (Holds(to, image)) {
        Delete(backup);
        return InPlace;
    }
    // The image is gone: a scanner took it, say, or the file system let it
    // go with its handle after all. The old file keeps its name, or gets it back.
    if (Gone(unfinished)) {
        if (Gone(to))
            Move(backup, to, 0);
        return NotInPlace;
    }
    // Nothing moved: 1175, 1176 with a backup name, or any other code.
    if (GetFileAttributesW(to) != INVALID_FILE_ATTRIBUTES && Gone(backup)) {
        Delete(unfinished);
        return NotInPlace;
    }
    // The old file waits under the backup name (1177), or is gone (1176 as
    // without a backup name); its name is free unless taken meanwhile.
    if (Move(unfinished, to, 0)) {
        Delete(backup);
        return InPlace;
    }
    if (Move(backup, to, 0)) {
        Delete(unfinished);
        return NotInPlace;
    }
    if (aside) {
        ShownName(unfinished, aside->image);
        ShownName(Gone(backup) ? L"" : backup, aside->old);
    }
    return LeftAside;
}

Placement PutInPlace(Unfinished *unfinished, const char *target, bool replacing, Aside *aside)
{
    wchar_t to[UnfinishedNameSize], backup[UnfinishedNameSize];
    const wchar_t *name = unfinished->name;
    Identity image = IdentityOf(unfinished->file);
    if (!LongForm(target, to)) {
        DiscardUnfinished(unfinished);
        return NotInPlace;
    }
    // ReplaceFileW goes by the names; where they may not go, the handle's
    // own rename still may, though the old file's ACLs then stay behind.
    bool replace = replacing && !ReplaceByRename && (!unfinished->deletable || NamesMayGo(name));
    if (unfinished->deletable && !replace) {
        // A file that appeared meanwhile is not replaced unasked.
        if (!Rename(unfinished->file, to, replacing)) {
            DiscardUnfinished(unfinished);
            return NotInPlace;
        }
        CloseHandle(unfinished->file);
        return InPlace;
    }
    if (replace && !FindBackupName(name, backup)) {
        DiscardUnfinished(unfinished);
        return NotInPlace;
    }
    // By name from here on; ReplaceFileW opens the file unshared, so the handle goes first.
    CloseHandle(unfinished->file);
    if (!replace) {
        if (Move(name, to, replacing ? MOVEFILE_REPLACE_EXISTING : 0))
            return InPlace;
        Delete(name);
        return NotInPlace;
    }
    // The backup name holds the old file until the image has its name.
    for (int steps = 0; !ReplaceFileW(to, name, backup, REPLACEFILE_IGNORE_MERGE_ERRORS, NULL, NULL);)
        if (!WaitOutLock(&steps))
            return Settle(name, to, backup, image, aside);
    Delete(backup);
    return InPlace;
}
