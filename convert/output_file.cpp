#include "convert/output_file.h"
#include <string.h>
#include <wchar.h>

static bool CopyName(const char *name, char (&to)[OutputNameSize])
{
    size_t length = strlen(name);
    if (length >= OutputNameSize)
        return false;
    memcpy(to, name, length + 1);
    return true;
}

// The final path comes in the \\?\ form; the plain one keeps the name within
// the MAX_PATH of the ANSI calls, as the user's own name was.
static void DropLongPrefix(char *path)
{
    if (strncmp(path, "\\\\?\\UNC\\", 8) == 0)
        memmove(path + 2, path + 8, strlen(path + 8) + 1);
    else if (strncmp(path, "\\\\?\\", 4) == 0 && path[4] != '\0' && path[5] == ':')
        memmove(path, path + 4, strlen(path + 4) + 1);
}

bool FindOutputTarget(const char *chosen, char (&target)[OutputNameSize], bool *exists)
{
    *exists = false;
    // Opened for writing and unshared, as the file to be emptied once was: so
    // a file held open elsewhere or out of reach is refused before anything
    // is written. The open itself changes nothing.
    HANDLE file = CreateFileA(chosen, GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND && CopyName(chosen, target);
    // Read-only is refused here even where the platform would let the
    // rename pass (Wine run as root). A device has nothing to replace.
    BY_HANDLE_FILE_INFORMATION info;
    ZeroMemory(&info, sizeof info);
    bool plain = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
                 !(info.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY));
    // Through a link, the file it leads to gets the image and the link stays.
    DWORD length = plain ? GetFinalPathNameByHandleA(file, target, OutputNameSize, 0) : 0;
    CloseHandle(file);
    if (!plain)
        return false;
    *exists = true;
    if (length == 0 || length >= OutputNameSize)
        return CopyName(chosen, target);
    DropLongPrefix(target);
    return true;
}

// name in the \\?\ form: absolute, and in the wide calls free of MAX_PATH.
static bool LongForm(const char *name, wchar_t (&to)[UnfinishedNameSize])
{
    wchar_t wide[OutputNameSize], full[OutputNameSize];
    if (!MultiByteToWideChar(CP_ACP, 0, name, -1, wide, OutputNameSize))
        return false;
    DWORD length = GetFullPathNameW(wide, OutputNameSize, full, NULL);
    if (length == 0 || length >= OutputNameSize || wcsncmp(full, L"\\\\.\\", 4) == 0)
        return false;
    if (wcsncmp(full, L"\\\\?\\", 4) == 0)
        wsprintfW(to, L"%s", full);
    else if (wcsncmp(full, L"\\\\", 2) == 0)
        wsprintfW(to, L"\\\\?\\UNC\\%s", full + 2);
    else
        wsprintfW(to, L"\\\\?\\%s", full);
    return true;
}

// While the mark is on, the file is deleted when its last handle closes,
// however the process ends.
static bool MarkForDeletion(HANDLE file, bool gone)
{
    FILE_DISPOSITION_INFO disposition;
    disposition.DeleteFile = gone;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

HANDLE CreateUnfinished(const char *target, wchar_t (&unfinished)[UnfinishedNameSize], bool *marked)
{
    static const wchar_t Name[] = L"zunkabell-unfinished-%08lX.tmp";
    static const size_t NameSize = sizeof "zunkabell-unfinished-01234567.tmp";   // as made, its NUL too
    *marked = false;
    if (!LongForm(target, unfinished))
        return INVALID_HANDLE_VALUE;
    size_t folder = wcsrchr(unfinished, L'\\') - unfinished + 1;
    if (folder + NameSize > UnfinishedNameSize)
        return INVALID_HANDLE_VALUE;
    // Created exclusively, so never an existing file; a name already taken,
    // by a run that crashed say, moves on to the next number.
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (DWORD attempt = 0; attempt < 100; attempt++) {
        wsprintfW(unfinished + folder, Name, (unsigned long)(seed + attempt));
        HANDLE file = CreateFileW(unfinished, GENERIC_WRITE | DELETE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        // A folder that grants new files but not their deletion still gets one, unmarked.
        if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
            file = CreateFileW(unfinished, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            *marked = MarkForDeletion(file, true);
            return file;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            return INVALID_HANDLE_VALUE;
    }
    return INVALID_HANDLE_VALUE;
}

bool KeepUnfinished(HANDLE file) { return MarkForDeletion(file, false); }

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

static void ShownName(const wchar_t *name, char (&shown)[AsideNameSize])
{
    if (!WideCharToMultiByte(CP_ACP, 0, name, -1, shown, AsideNameSize, NULL, NULL))
        shown[0] = '\0';
    DropLongPrefix(shown);
}

// After a failed ReplaceFileW the files it left decide, not its code, so
// that no code, documented or not, costs the old file while the image goes.
static Placement Settle(const wchar_t *unfinished, const wchar_t *to, const wchar_t *backup, Aside *aside)
{
    // The image moved in after all, or is lost: no code documents either.
    if (Gone(unfinished)) {
        if (!Gone(to)) {
            Delete(backup);
            return InPlace;
        }
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

Placement PutInPlace(const wchar_t *unfinished, const char *target, bool replacing, Aside *aside)
{
    wchar_t to[UnfinishedNameSize], backup[UnfinishedNameSize];
    bool replace = replacing && !ReplaceByRename;
    if (!LongForm(target, to) || (replace && !FindBackupName(unfinished, backup))) {
        Delete(unfinished);
        return NotInPlace;
    }
    if (replace) {
        // The backup name holds the old file until the image has its name.
        for (int steps = 0; !ReplaceFileW(to, unfinished, backup, REPLACEFILE_IGNORE_MERGE_ERRORS, NULL, NULL);)
            if (!WaitOutLock(&steps))
                return Settle(unfinished, to, backup, aside);
        Delete(backup);
        return InPlace;
    }
    // A file that appeared meanwhile is not replaced unasked.
    if (Move(unfinished, to, replacing ? MOVEFILE_REPLACE_EXISTING : 0))
        return InPlace;
    Delete(unfinished);
    return NotInPlace;
}
