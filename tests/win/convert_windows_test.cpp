// Windows played under Wine: ReplaceFileW's documented outcomes, refused renames, a pressed share,
// a folder that lets files be made but not deleted.
#include "win/convert_harness.h"
#include "convert/placement.h"

IMPORT_SLOT(ImportReplaceFileW, ReplaceFileW, 24);
IMPORT_SLOT(ImportMoveFileExW, MoveFileExW, 12);
IMPORT_SLOT(ImportDeleteFileW, DeleteFileW, 4);
IMPORT_SLOT(ImportCreateFileW, CreateFileW, 28);
IMPORT_SLOT(ImportSetFileInformationByHandle, SetFileInformationByHandle, 16);
IMPORT_SLOT(ImportReadFile, ReadFile, 20);
IMPORT_SLOT(ImportWriteFile, WriteFile, 20);
static BOOL(WINAPI *RealReadFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
static BOOL(WINAPI *RealWriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
static BOOL(WINAPI *RealDeleteFileW)(LPCWSTR);
static HANDLE(WINAPI *RealCreateFileW)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
static BOOL(WINAPI *RealSetInformation)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
// ReplaceFileW's code (0: success) after `locked` sharing violations, the command's own renames
// refused afterwards, the folder's ways, and the files left as "name=bytes", a made name without its number.
enum { NoOldFile = 1, Vanishes = 2, NoDeleting = 4, OldMayGo = 8 };
static struct Play { DWORD error; int locked, renamesRefused; unsigned folder; const char *left; } Playing;
// Where nothing may be deleted, a name goes only through the handle that made its file with DELETE,
// and a rename over the old file only if that file itself may go.
static BOOL Refused() { return SetLastError(ERROR_ACCESS_DENIED), FALSE; }
static bool Forbidden() { return Playing.folder & NoDeleting; }
// The replaced file takes the backup name on success and on 1177; a scanner may take the replacement.
static BOOL WINAPI PlayReplace(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD, LPVOID, LPVOID)
{
    if (Forbidden())
        return Refused();
    if (Playing.locked-- > 0)
        return SetLastError(ERROR_SHARING_VIOLATION), FALSE;
    if (Playing.folder & Vanishes)
        DeleteFileW(replacement);
    if (Playing.error == 0 || Playing.error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        MoveFileW(replaced, backup);
    return Playing.error == 0 ? MoveFileW(replacement, replaced) : (SetLastError(Playing.error), FALSE);
}
static BOOL WINAPI PlayRename(LPCWSTR from, LPCWSTR to, DWORD)
{
    if (Forbidden())
        return Refused();
    return Playing.renamesRefused-- > 0 ? (SetLastError(ERROR_WRITE_PROTECT), FALSE) : MoveFileW(from, to);
}
static BOOL WINAPI PlayDelete(LPCWSTR name) { return Forbidden() ? Refused() : RealDeleteFileW(name); }
static HANDLE WINAPI PlayCreate(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD how,
                                DWORD flags, HANDLE model)
{
    if (Forbidden() && (access & DELETE) && how == OPEN_EXISTING)
        return Refused(), INVALID_HANDLE_VALUE;
    return RealCreateFileW(name, access, share, security, how, flags, model);
}
static BOOL WINAPI PlaySetInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID information, DWORD size)
{
    const FILE_RENAME_INFO *rename = static_cast<FILE_RENAME_INFO *>(information);
    if (Forbidden() && !(Playing.folder & OldMayGo) && kind == FileRenameInfo && rename->ReplaceIfExists &&
        GetFileAttributesW(rename->FileName) != INVALID_FILE_ATTRIBUTES)
        return Refused();
    return RealSetInformation(file, kind, information, size);
}

template <typename Bytes, BOOL(WINAPI **Real)(HANDLE, Bytes, DWORD, LPDWORD, LPOVERLAPPED), DWORD Refusal>
static BOOL WINAPI Pressed(HANDLE file, Bytes bytes, DWORD size, LPDWORD moved, LPOVERLAPPED overlapped)
{
    return size > (96 << 10) ? (SetLastError(Refusal), FALSE) : (*Real)(file, bytes, size - size / 3, moved, overlapped);
}

TEST_F(ConvertTest, EveryOutcomeOfTheWindowsReplaceEndsWithTheOldFileOrTheWholeImage)
{
    static const Play plays[] = {
        {0, 0, 0, 0, "out.wav=image"},  {0, 2, 0, 0, "out.wav=image"},  {0, 999, 0, 0, "out.wav=old"},
        {1175, 0, 0, 0, "out.wav=old"}, {1176, 0, 0, 0, "out.wav=old"}, {1177, 0, 0, 0, "out.wav=image"},
        {1177, 0, 1, 0, "out.wav=old"}, {1177, 0, 2, 0, "zunkabell-backup=old zunkabell-unfinished=image"},
        {ERROR_INVALID_PARAMETER, 0, 0, Vanishes, "out.wav=old"},
        {0, 0, 0, NoDeleting | NoOldFile, "out.wav=image"}, {0, 0, 0, NoDeleting, "out.wav=old"},
        {0, 0, 0, NoDeleting | OldMayGo, "out.wav=image"}};
    std::string payload;
    for (int i = 0; i < (1 << 20); i++)
        payload += static_cast<char>(i * 7 + i / 256);
    WriteBytes(Folder + "in.bin", payload);
    SwapImport(&ImportReplaceFileW, reinterpret_cast<void *>(PlayReplace));   // stays: only the Windows way calls it
    void *realMove = SwapImport(&ImportMoveFileExW, reinterpret_cast<void *>(PlayRename));
    SwapImport(&ImportDeleteFileW, PlayDelete, &RealDeleteFileW);
    SwapImport(&ImportCreateFileW, PlayCreate, &RealCreateFileW);
    SwapImport(&ImportSetFileInformationByHandle, PlaySetInformation, &RealSetInformation);
    ReplaceByRename = false;
    bool nameBoxMissing = false;
    for (const Play &play : plays) {
        SCOPED_TRACE(testing::Message() << play.error << " after " << play.locked << ", folder " << play.folder << ": " << play.left);
        const std::string folder = Folder + "replace" + std::to_string(&play - plays) + "\\";
        CreateDirectoryA(folder.c_str(), NULL);
        if (!(play.folder & NoOldFile))
            WriteBytes(folder + "out.wav", "old");
        Playing = play;
        SwapImport(&ImportReadFile, Pressed<LPVOID, &RealReadFile, ERROR_NO_SYSTEM_RESOURCES>, &RealReadFile);
        SwapImport(&ImportWriteFile, Pressed<LPCVOID, &RealWriteFile, ERROR_NOT_ENOUGH_QUOTA>, &RealWriteFile);
        Seen seen = Convert(Folder + "in.bin", (folder + "out.wav").c_str());
        SwapImport(&ImportReadFile, reinterpret_cast<void *>(RealReadFile));
        SwapImport(&ImportWriteFile, reinterpret_cast<void *>(RealWriteFile));
        if ((nameBoxMissing = seen.nameBoxMissing))
            break;
        std::string left, image, old;
        for (const std::string &name : FilesIn(folder)) {
            std::string bytes = ReadBytes(folder + name), made = name.substr(0, name.rfind('-'));
            left += (left.empty() ? "" : " ") + made + "=" + (bytes == "old" ? "old" : bytes == WavOf(payload) ? "image" : "?");
            (made == "zunkabell-backup" ? old : image) = folder + name;
        }
        EXPECT_EQ(left, play.left);
        bool done = left == "out.wav=image";
        std::string box = old.empty() ? (done ? "出力しました。" : "出力ファイルのオープンに失敗しました。")
                                      : "出力ファイルの名前の変更に失敗しました。\n変換したファイルは次の名前で保存されています。\n" +
                                            image + "\n元のファイルは次の名前に変わっています。\n" + old;
        ExpectBox(seen, box.c_str(), done ? "完了" : "エラー", done ? MB_ICONINFORMATION : MB_ICONWARNING);
    }
    ReplaceByRename = UnderWine();
    SwapImport(&ImportMoveFileExW, realMove);
    SwapImport(&ImportDeleteFileW, reinterpret_cast<void *>(RealDeleteFileW));
    SwapImport(&ImportCreateFileW, reinterpret_cast<void *>(RealCreateFileW));
    SwapImport(&ImportSetFileInformationByHandle, reinterpret_cast<void *>(RealSetInformation));
    SKIP_IF_NO_NAME_BOX(nameBoxMissing);
}
