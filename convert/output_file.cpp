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
void DropLongPrefix(char *path)
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

bool LongForm(const char *name, wchar_t (&to)[UnfinishedNameSize])
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

bool CreateUnfinished(const char *target, Unfinished *unfinished)
{
    static const wchar_t Name[] = L"zunkabell-unfinished-%08lX.tmp";
    // The longest long form, \\?\UNC\ and a full path shorter than
    // OutputNameSize, leaves room in its folder for the name as made.
    static_assert(8 + OutputNameSize + sizeof "zunkabell-unfinished-01234567.tmp" <= UnfinishedNameSize, "room");
    wchar_t *name = unfinished->name;
    unfinished->file = INVALID_HANDLE_VALUE;
    unfinished->deletable = unfinished->marked = false;
    if (!LongForm(target, unfinished->name))
        return false;
    size_t folder = wcsrchr(name, L'\\') - name + 1;
    // Created exclusively, so never an existing file; a name already taken,
    // by a run that crashed say, moves on to the next number. Others may
    // open it to delete it only: so can a test of whether names may go.
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
    for (DWORD attempt = 0; attempt < 100; attempt++) {
        wsprintfW(name + folder, Name, (unsigned long)(seed + attempt));
        HANDLE file = CreateFileW(name, GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        unfinished->deletable = file != INVALID_HANDLE_VALUE;
        // A folder that grants new files but not DELETE on them still gets one.
        if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
            file = CreateFileW(name, GENERIC_WRITE, FILE_SHARE_DELETE, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            unfinished->file = file;
            unfinished->marked = unfinished->deletable && MarkForDeletion(file, true);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

bool KeepUnfinished(Unfinished *unfinished)
{
    return !unfinished->marked || MarkForDeletion(unfinished->file, false);
}

void DiscardUnfinished(Unfinished *unfinished)
{
    // The name may be beyond deleting, in such a folder: the handle is not.
    bool gone = unfinished->deletable && MarkForDeletion(unfinished->file, true);
    CloseHandle(unfinished->file);
    if (!gone)
        DeleteFileW(unfinished->name);
}
