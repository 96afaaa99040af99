// Windows played under Wine: ReplaceFileW's documented outcomes, refused renames, a pressed share.
#include "win/convert_harness.h"
#include "convert/output_file.h"

IMPORT_SLOT(ImportReplaceFileW, ReplaceFileW, 24);
IMPORT_SLOT(ImportMoveFileExW, MoveFileExW, 12);
IMPORT_SLOT(ImportReadFile, ReadFile, 20);
IMPORT_SLOT(ImportWriteFile, WriteFile, 20);
static BOOL(WINAPI *RealReadFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
static BOOL(WINAPI *RealWriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
// ReplaceFileW's code (0: success) after `locked` sharing violations, the command's own renames
// refused afterwards, and the files left as "name=bytes", a made name without its number.
static struct Play { DWORD error; int locked, renamesRefused; const char *left; } Playing;
// The replaced file takes the backup name on success and on 1177.
static BOOL WINAPI PlayReplace(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD, LPVOID, LPVOID)
{
    if (Playing.locked-- > 0)
        return SetLastError(ERROR_SHARING_VIOLATION), FALSE;
    if (Playing.error == 0 || Playing.error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        MoveFileW(replaced, backup);
    return Playing.error == 0 ? MoveFileW(replacement, replaced) : (SetLastError(Playing.error), FALSE);
}
static BOOL WINAPI PlayRename(LPCWSTR from, LPCWSTR to, DWORD)
{
    return Playing.renamesRefused-- > 0 ? (SetLastError(ERROR_WRITE_PROTECT), FALSE) : MoveFileW(from, to);
}

template <typename Bytes, BOOL(WINAPI **Real)(HANDLE, Bytes, DWORD, LPDWORD, LPOVERLAPPED), DWORD Refusal>
static BOOL WINAPI Pressed(HANDLE file, Bytes bytes, DWORD size, LPDWORD moved, LPOVERLAPPED overlapped)
{
    return size > (96 << 10) ? (SetLastError(Refusal), FALSE) : (*Real)(file, bytes, size - size / 3, moved, overlapped);
}

TEST_F(ConvertTest, EveryOutcomeOfTheWindowsReplaceEndsWithTheOldFileOrTheWholeImage)
{
    static const Play plays[] = {
        {0, 0, 0, "out.wav=image"},  {0, 2, 0, "out.wav=image"},  {0, 999, 0, "out.wav=old"}, {1175, 0, 0, "out.wav=old"},
        {1176, 0, 0, "out.wav=old"}, {1177, 0, 0, "out.wav=image"}, {1177, 0, 1, "out.wav=old"},
        {1177, 0, 2, "zunkabell-backup=old zunkabell-unfinished=image"}};
    std::string payload;
    for (int i = 0; i < (1 << 20); i++)
        payload += static_cast<char>(i * 7 + i / 256);
    WriteBytes(Folder + "in.bin", payload);
    SwapImport(&ImportReplaceFileW, reinterpret_cast<void *>(PlayReplace));   // stays: only the Windows way calls it
    void *realMove = SwapImport(&ImportMoveFileExW, reinterpret_cast<void *>(PlayRename));
    ReplaceByRename = false;
    for (const Play &play : plays) {
        SCOPED_TRACE(testing::Message() << play.error << " after " << play.locked << ": " << play.left);
        const std::string folder = Folder + "replace" + std::to_string(&play - plays) + "\\";
        CreateDirectoryA(folder.c_str(), NULL);
        WriteBytes(folder + "out.wav", "old");
        Playing = play;
        SwapImport(&ImportReadFile, Pressed<LPVOID, &RealReadFile, ERROR_NO_SYSTEM_RESOURCES>, &RealReadFile);
        SwapImport(&ImportWriteFile, Pressed<LPCVOID, &RealWriteFile, ERROR_NOT_ENOUGH_QUOTA>, &RealWriteFile);
        Seen seen = Convert(Folder + "in.bin", (folder + "out.wav").c_str());
        SwapImport(&ImportReadFile, reinterpret_cast<void *>(RealReadFile));
        SwapImport(&ImportWriteFile, reinterpret_cast<void *>(RealWriteFile));
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
}
