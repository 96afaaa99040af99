#include "convert/output_file.h"
#include <string.h>

// The length of path's folder, its last separator included. Walked by
// characters: in code page 932 a backslash byte can end a double-byte one.
static size_t FolderLength(const char *path)
{
    size_t length = 0;
    for (const char *at = path; *at; at = CharNextA(at))
        if (*at == '\\' || *at == '/')
            length = at - path + 1;
    return length;
}

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

HANDLE CreateUnfinished(const char *target, char (&unfinished)[OutputNameSize])
{
    static const char Name[] = "zunkabell-unfinished-%08lX.tmp";
    size_t folder = FolderLength(target);
    if (folder + sizeof Name >= OutputNameSize)
        return INVALID_HANDLE_VALUE;
    memcpy(unfinished, target, folder);
    // Created exclusively, so never an existing file; a name already taken,
    // by a run that crashed say, moves on to the next number.
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (DWORD attempt = 0; attempt < 100; attempt++) {
        wsprintfA(unfinished + folder, Name, (unsigned long)(seed + attempt));
        HANDLE file = CreateFileA(unfinished, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

// Wine's ReplaceFile moves the old file aside, deletes it and then moves the
// new one in, so a crash between leaves neither, and a refusal leaves its
// own temporary file behind; its rename over a file is one step, and keeps
// no more of the old file's attributes than its ReplaceFile does.
static bool ReplaceFileIsOneStep(void)
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == NULL;
}

bool PutInPlace(const char *unfinished, const char *target, bool replacing)
{
    BOOL placed = FALSE;
    if (!replacing) {
        // A file that appeared meanwhile is not replaced unasked.
        placed = MoveFileExA(unfinished, target, 0);
    } else if (!ReplaceFileIsOneStep()) {
        placed = MoveFileExA(unfinished, target, MOVEFILE_REPLACE_EXISTING);
    } else {
        placed = ReplaceFileA(target, unfinished, NULL, REPLACEFILE_IGNORE_MERGE_ERRORS, NULL, NULL);
        // The old file is gone already and the new one has kept its own name:
        // it is the only copy now, so it stays even if it cannot be moved.
        if (!placed && GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT)
            return MoveFileExA(unfinished, target, 0) != 0;
    }
    if (!placed)
        DeleteFileA(unfinished);
    return placed != 0;
}
