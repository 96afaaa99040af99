// Windows played under Wine: ReplaceFileW's documented outcomes, refused renames, a pressed share,
// a folder that lets files be made but not deleted, each platform call of the command refused.
#include "win/convert_harness.h"
#include <string.h>
#include "convert/placement.h"
#include "convert/wav_file.h"

IMPORT_SLOT(ImportReplaceFileW, ReplaceFileW, 24);
IMPORT_SLOT(ImportMoveFileExW, MoveFileExW, 12);
IMPORT_SLOT(ImportDeleteFileW, DeleteFileW, 4);
IMPORT_SLOT(ImportCreateFileW, CreateFileW, 28);
IMPORT_SLOT(ImportSetFileInformationByHandle, SetFileInformationByHandle, 16);
IMPORT_SLOT(ImportReadFile, ReadFile, 20);
IMPORT_SLOT(ImportWriteFile, WriteFile, 20);
static BOOL(WINAPI *RealReadFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
static BOOL(WINAPI *RealWriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
static BOOL(WINAPI *RealReplaceFileW)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID);
static BOOL(WINAPI *RealMoveFileExW)(LPCWSTR, LPCWSTR, DWORD);
static BOOL(WINAPI *RealDeleteFileW)(LPCWSTR);
static HANDLE(WINAPI *RealCreateFileW)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
static BOOL(WINAPI *RealSetFileInformationByHandle)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
// ReplaceFileW's code (0: success) after `locked` sharing violations, the command's own renames
// refused afterwards, the folder's ways, and the files left as "name=bytes", a made name without its number.
enum { NoOldFile = 1, Vanishes = 2, NoDeleting = 4, OldMayGo = 8, MovesAnyway = 16 };
static struct Play { DWORD error; int locked, renamesRefused; unsigned folder; const char *left; } Playing;
// Calls of one kind refused, as a disk, a share or a Windows may: the `from`-th to the `to`-th of
// the calls of that kind that its stand-in counts, with `error`; up to two kinds at once.
struct Refusal { const char *call; int from, to; DWORD error; };
static Refusal Refusing[2];
static int Calls[2];
static std::string Share;                // the chosen file's final path, as a share gives it
static std::wstring Created;             // the name the command last gave a new file
static bool Refuses(const char *call, bool counted = true)
{
    for (int i = 0; i < 2; i++)
        if (counted && Refusing[i].call && !strcmp(call, Refusing[i].call) && ++Calls[i] >= Refusing[i].from &&
            Calls[i] <= Refusing[i].to)
            return SetLastError(Refusing[i].error), true;
    return false;
}
static void Refuse(Refusal refusal, Refusal also = {})
{
    Refusing[0] = refusal, Refusing[1] = also, Calls[0] = Calls[1] = 0;
}
// Where nothing may be deleted, a name goes only through the handle that made its file with DELETE,
// and a rename over the old file only if that file itself may go.
static BOOL Refused() { return SetLastError(ERROR_ACCESS_DENIED), FALSE; }
static bool Forbidden() { return Playing.folder & NoDeleting; }
// The replaced file takes the backup name on success and on 1177; a scanner may take the replacement.
static BOOL WINAPI PlayReplaceFileW(LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags, LPVOID, LPVOID)
{
    if (!Playing.left)
        return RealReplaceFileW(replaced, replacement, backup, flags, NULL, NULL);
    if (Forbidden())
        return Refused();
    if (Playing.locked-- > 0)
        return SetLastError(ERROR_SHARING_VIOLATION), FALSE;
    if (Playing.folder & Vanishes)
        DeleteFileW(replacement);
    if (Playing.error == 0 || Playing.error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 || (Playing.folder & MovesAnyway))
        MoveFileW(replaced, backup);
    if (Playing.folder & MovesAnyway)
        MoveFileW(replacement, replaced);
    return Playing.error == 0 ? MoveFileW(replacement, replaced) : (SetLastError(Playing.error), FALSE);
}
static BOOL WINAPI PlayMoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags)
{
    if (!Playing.left)
        return Refuses("MoveFileExW") ? FALSE : RealMoveFileExW(from, to, flags);
    if (Forbidden())
        return Refused();
    return Playing.renamesRefused-- > 0 ? (SetLastError(ERROR_WRITE_PROTECT), FALSE) : MoveFileW(from, to);
}
static BOOL WINAPI PlayDeleteFileW(LPCWSTR name)
{
    return Forbidden() ? Refused() : Refuses("DeleteFileW") ? FALSE : RealDeleteFileW(name);
}
static HANDLE WINAPI PlayCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                     DWORD how, DWORD flags, HANDLE model)
{
    Created = how == CREATE_NEW ? name : Created;
    if (Forbidden() && (access & DELETE) && how == OPEN_EXISTING)
        return Refused(), INVALID_HANDLE_VALUE;
    if (Refuses("CreateFileW", how == CREATE_NEW && (access & DELETE)))
        return INVALID_HANDLE_VALUE;
    return RealCreateFileW(name, access, share, security, how, flags, model);
}
static BOOL WINAPI PlaySetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID information,
                                                  DWORD size)
{
    const FILE_RENAME_INFO *rename = static_cast<FILE_RENAME_INFO *>(information);
    if (Forbidden() && !(Playing.folder & OldMayGo) && kind == FileRenameInfo && rename->ReplaceIfExists &&
        GetFileAttributesW(rename->FileName) != INVALID_FILE_ATTRIBUTES)
        return Refused();
    if (Refuses("SetFileInformationByHandle"))
        return FALSE;
    return RealSetFileInformationByHandle(file, kind, information, size);
}
// STAND_IN(result, call, argument bytes, (parameters), (arguments), counted, answer when refused)
#define STAND_IN(R, name, bytes, params, args, counted, answer) \
    IMPORT_SLOT(Import##name, name, bytes); \
    static R(WINAPI *Real##name) params; \
    static R WINAPI Play##name params { return Refuses(#name, counted) ? answer : Real##name args; }
STAND_IN(int, MultiByteToWideChar, 24, (UINT p, DWORD f, LPCCH s, int n, LPWSTR w, int m), (p, f, s, n, w, m), true, 0)
// The full path of a device's name.
STAND_IN(DWORD, GetFullPathNameW, 16, (LPCWSTR n, DWORD s, LPWSTR f, LPWSTR *p), (n, s, f, p), true,
         (lstrcpynW(f, L"\\\\.\\COM9", s), DWORD(8)))
STAND_IN(DWORD, GetFinalPathNameByHandleA, 16, (HANDLE h, LPSTR p, DWORD s, DWORD f), (h, p, s, f), true,
         (lstrcpynA(p, Share.c_str(), s), DWORD(Share.size())))
STAND_IN(DWORD, GetFileAttributesW, 4, (LPCWSTR n), (n), true, DWORD(FILE_ATTRIBUTE_NORMAL))
STAND_IN(DWORD, GetFileSize, 8, (HANDLE h, LPDWORD high), (h, high), true, INVALID_FILE_SIZE)
// Strings are small: only a block the size of an image counts.
STAND_IN(LPVOID, HeapAlloc, 12, (HANDLE h, DWORD f, SIZE_T s), (h, f, s), s > 1024, LPVOID(nullptr))
STAND_IN(HANDLE, CreateFileA, 28, (LPCSTR n, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES x, DWORD c, DWORD f, HANDLE t),
         (n, a, s, x, c, f, t), true, INVALID_HANDLE_VALUE)

// A refusal case: the calls refused, an old file under the name, ReplaceFileW's way (as on Windows),
// and the files left and the box afterwards.
enum { Old = 1, ByReplace = 2 };
struct RefusalCase {
    Refusal refusals[2];
    int flags;
    const char *left, *box;
};
static const char *const Done = "出力しました。", *const OpenFailed = "出力ファイルのオープンに失敗しました。";

// Each case starts with every stand-in in its slot, passing calls on, and ends with the real ones back.
class PlatformPlayed : public ConvertTest {
protected:
    void SetUp() override { ConvertTest::SetUp(), Swap(true); }
    void TearDown() override
    {
        Swap(false);
        Playing = {}, Refuse({}), Share.clear(), ReplaceByRename = UnderWine();
        ConvertTest::TearDown();
    }
    static void PlayReplaces(std::initializer_list<Play> plays, int size);
    static void RefuseEach(std::initializer_list<RefusalCase> cases);
    static void Swap(bool in)
    {
#define SWAP(name) in ? SwapImport(&Import##name, Play##name, &Real##name) : void(SwapImport(&Import##name, reinterpret_cast<void *>(Real##name)))
        SWAP(ReplaceFileW), SWAP(MoveFileExW), SWAP(DeleteFileW), SWAP(CreateFileW), SWAP(SetFileInformationByHandle);
        SWAP(MultiByteToWideChar), SWAP(GetFullPathNameW), SWAP(GetFinalPathNameByHandleA), SWAP(GetFileAttributesW);
        SWAP(GetFileSize), SWAP(HeapAlloc), SWAP(CreateFileA);
#undef SWAP
    }
};

// The files in folder, as "name=old", "name=image" or "name=?", a made name without its number;
// *image and *old are the names that made files have.
static std::string Left(const std::string &folder, const std::string &payload, std::string *image, std::string *old)
{
    std::string left;
    for (const std::string &name : FilesIn(folder)) {
        std::string bytes = ReadBytes(folder + name), made = name.substr(0, name.rfind('-'));
        left += (left.empty() ? "" : " ") + made + "=" + (bytes == "old" ? "old" : bytes == WavOf(payload) ? "image" : "?");
        (made == "zunkabell-backup" ? *old : *image) = folder + name;
    }
    return left;
}

template <typename Bytes, BOOL(WINAPI **Real)(HANDLE, Bytes, DWORD, LPDWORD, LPOVERLAPPED), DWORD Refusal>
static BOOL WINAPI Pressed(HANDLE file, Bytes bytes, DWORD size, LPDWORD moved, LPOVERLAPPED overlapped)
{
    return size > (96 << 10) ? (SetLastError(Refusal), FALSE) : (*Real)(file, bytes, size - size / 3, moved, overlapped);
}

// Each play converts `size` bytes, read and written as a pressed share allows, the Windows way into
// a folder of its own; the files left and the box say how it ended.
void PlatformPlayed::PlayReplaces(std::initializer_list<Play> plays, int size)
{
    static int played;   // each play's folder, new in this process
    std::string payload;
    for (int i = 0; i < size; i++)
        payload += static_cast<char>(i * 7 + i / 256);
    WriteBytes(Folder + "in.bin", payload);
    ReplaceByRename = false;
    bool nameBoxMissing = false;
    for (const Play &play : plays) {
        SCOPED_TRACE(testing::Message() << play.error << " after " << play.locked << ", folder " << play.folder << ": " << play.left);
        const std::string folder = Folder + "replace" + std::to_string(played++) + "\\";
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
        std::string image, old, left = Left(folder, payload, &image, &old);
        EXPECT_EQ(left, play.left);
        bool done = left == "out.wav=image";
        std::string box = old.empty() ? (done ? Done : OpenFailed)
                                      : "出力ファイルの名前の変更に失敗しました。\n変換したファイルは次の名前で保存されています。\n" +
                                            image + "\n元のファイルは次の名前に変わっています。\n" + old;
        ExpectBox(seen, box.c_str(), done ? "完了" : "エラー", done ? MB_ICONINFORMATION : MB_ICONWARNING);
    }
    SKIP_IF_NO_NAME_BOX(nameBoxMissing);
}

// Each case converts 3000 bytes into a folder of its own while its calls are refused.
void PlatformPlayed::RefuseEach(std::initializer_list<RefusalCase> cases)
{
    static int played;
    const std::string payload(3000, 'p');
    WriteBytes(Folder + "refused.bin", payload);
    for (const RefusalCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.refusals[0].call << " refused from " << c.refusals[0].from);
        const std::string folder = Folder + "refused" + std::to_string(played++) + "\\";
        CreateDirectoryA(folder.c_str(), NULL);
        if (c.flags & Old)
            WriteBytes(folder + "out.wav", "old");
        ReplaceByRename = UnderWine() && !(c.flags & ByReplace);
        Refuse(c.refusals[0], c.refusals[1]);
        Seen seen = Convert(Folder + "refused.bin", (folder + "out.wav").c_str());
        Refuse({});
        SKIP_IF_NO_NAME_BOX(seen.nameBoxMissing);
        std::string image, old;
        EXPECT_EQ(Left(folder, payload, &image, &old), c.left);
        bool done = c.box == Done;
        ExpectBox(seen, c.box, done ? "完了" : "エラー", done ? MB_ICONINFORMATION : MB_ICONWARNING);
    }
}

TEST_F(PlatformPlayed, EveryOutcomeOfTheWindowsReplaceEndsWithTheOldFileOrTheWholeImage)
{
    PlayReplaces({{0, 0, 0, 0, "out.wav=image"}, {0, 2, 0, 0, "out.wav=image"}, {0, 999, 0, 0, "out.wav=old"},
                  {1175, 0, 0, 0, "out.wav=old"}, {1176, 0, 0, 0, "out.wav=old"}, {1177, 0, 0, 0, "out.wav=image"},
                  {1177, 0, 1, 0, "out.wav=old"}, {1177, 0, 2, 0, "zunkabell-backup=old zunkabell-unfinished=image"}},
                 1 << 20);
}

TEST_F(PlatformPlayed, AFailedReplaceIsJudgedByTheFileTheNameHolds)
{
    // The replacement taken (by a scanner, say) before or after the old file went aside, or moved in
    // though the code says it failed.
    PlayReplaces({{ERROR_INVALID_PARAMETER, 0, 0, Vanishes, "out.wav=old"}, {1177, 0, 0, Vanishes, "out.wav=old"},
                  {ERROR_INVALID_PARAMETER, 0, 0, MovesAnyway, "out.wav=image"}},
                 200 << 10);
}

TEST_F(PlatformPlayed, AFolderThatForbidsDeletingTakesANewNameAndKeepsAnOldFileThatMayNotGo)
{
    PlayReplaces({{0, 0, 0, NoDeleting | NoOldFile, "out.wav=image"}, {0, 0, 0, NoDeleting, "out.wav=old"},
                  {0, 0, 0, NoDeleting | OldMayGo, "out.wav=image"}},
                 200 << 10);
}

TEST_F(PlatformPlayed, WhenTheSystemWillNotResolveANameTheFileStaysOrGetsTheWholeImage)
{
    RefuseEach({{{{"MultiByteToWideChar", 1, 1, ERROR_NO_UNICODE_TRANSLATION}}, Old, "out.wav=old", OpenFailed},
             {{{"GetFullPathNameW", 1, 1, 0}}, Old, "out.wav=old", OpenFailed},
             {{{"GetFullPathNameW", 2, 2, 0}}, Old, "out.wav=old", OpenFailed},
             {{{"GetFinalPathNameByHandleA", 1, 1, ERROR_NOT_SUPPORTED}}, Old, "out.wav=image", Done}});
    // Names no dialog gives: one in the long form already, one beyond the room for names that a
    // system taking long ANSI names calls new.
    WavImage image;
    ASSERT_EQ(ReadWavImage((Folder + "refused.bin").c_str(), &image), ReadDone);
    EXPECT_EQ(WriteWavImage(("\\\\?\\" + Folder + "long form.wav").c_str(), &image), WriteDone);
    EXPECT_EQ(ReadBytes(Folder + "long form.wav"), WavOf(std::string(3000, 'p')));
    Refuse({"CreateFileA", 1, 1, ERROR_FILE_NOT_FOUND});
    EXPECT_EQ(WriteWavImage((Folder + std::string(OutputNameSize, 'n')).c_str(), &image), WriteOpenFailed);
    EXPECT_EQ(Calls[0], 1) << "the system was asked about that name";
    FreeWavImage(&image);
}

TEST_F(PlatformPlayed, WhenTheNewFileCannotBeMadeOrKeptTheFileStaysOrGetsTheWholeImage)
{
    RefuseEach({{{{"CreateFileW", 1, 2, ERROR_FILE_EXISTS}}, 0, "out.wav=image", Done},
             {{{"CreateFileW", 1, 100, ERROR_FILE_EXISTS}}, 0, "", OpenFailed},
             {{{"CreateFileW", 1, 1, ERROR_WRITE_PROTECT}}, Old, "out.wav=old", OpenFailed},
             {{{"CreateFileW", 1, 1, ERROR_ACCESS_DENIED}}, Old, "out.wav=image", Done},
             {{{"CreateFileW", 1, 1, ERROR_ACCESS_DENIED}}, Old | ByReplace, "out.wav=image", Done},
             {{{"SetFileInformationByHandle", 2, 3, ERROR_INVALID_FUNCTION}}, Old, "out.wav=old", "出力ファイルの書き込みに失敗しました。"},
             {{{"SetFileInformationByHandle", 3, 3, ERROR_WRITE_PROTECT}}, 0, "", OpenFailed}});
}

TEST_F(PlatformPlayed, WhenTheImageCannotBeReadOrPlacedTheFileStaysOrGetsTheWholeImage)
{
    RefuseEach({{{{"GetFileSize", 1, 1, ERROR_INVALID_FUNCTION}}, Old, "out.wav=old", "ファイルの読み取りに失敗しました。"},
             {{{"HeapAlloc", 1, 1, ERROR_NOT_ENOUGH_MEMORY}}, Old, "out.wav=old", "ファイルが大きすぎます。"},
             {{{"GetFileAttributesW", 1, 100, 0}}, Old | ByReplace, "out.wav=old", OpenFailed},
             {{{"DeleteFileW", 1, 1, ERROR_SHARING_VIOLATION}}, Old | ByReplace, "out.wav=image", Done},
             {{{"DeleteFileW", 1, 1, ERROR_WRITE_PROTECT}}, Old | ByReplace, "out.wav=image zunkabell-backup=old", Done},
             {{{"CreateFileW", 1, 1, ERROR_ACCESS_DENIED}, {"MoveFileExW", 1, 1, ERROR_WRITE_PROTECT}}, Old, "out.wav=old", OpenFailed}});
}

TEST_F(PlatformPlayed, OnAShareTheNamesUsedAndShownKeepTheShareForm)
{
    // Wine takes \\server\share to the folder its prefix links as dosdevices\unc\server\share.
    SKIP_UNLESS_UNDER_WINE("a folder linked as a share");
    const std::string server = "zunkabell-test-" + std::to_string(GetCurrentProcessId()), folder = Folder + "share\\";
    const std::string link = "${WINEPREFIX:-$HOME/.wine}/dosdevices/unc/" + server;
    CreateDirectoryA(folder.c_str(), NULL);
    ASSERT_TRUE(RunUnix("mkdir -p " + link + " && ln -s \\\"$PWD\\\" " + link + "/share", folder));
    WriteBytes(Folder + "share.bin", "abc");
    WriteBytes(folder + "out.wav", "old");
    // The chosen file's final path as Windows gives it on a share; then neither file takes the name back.
    Share = "\\\\?\\UNC\\" + server + "\\share\\out.wav", Refuse({"GetFinalPathNameByHandleA", 1, 1, 0});
    Playing = {ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, 0, 2, 0, "aside"}, ReplaceByRename = false;
    Seen seen = Convert(Folder + "share.bin", (folder + "out.wav").c_str());
    RunUnix("rm -r " + link, folder);
    SKIP_IF_NO_NAME_BOX(seen.nameBoxMissing);
    std::string image, old, shown = "\\\\" + server + "\\share\\";
    EXPECT_EQ(Left(folder, "abc", &image, &old), "zunkabell-backup=old zunkabell-unfinished=image");
    ExpectBox(seen, ("出力ファイルの名前の変更に失敗しました。\n変換したファイルは次の名前で保存されています。\n" + shown +
                     image.substr(folder.size()) + "\n元のファイルは次の名前に変わっています。\n" + shown + old.substr(folder.size()))
                        .c_str(), "エラー", MB_ICONWARNING);
    const std::wstring share = L"\\\\?\\UNC\\" + std::wstring(server.begin(), server.end()) + L"\\share\\";
    EXPECT_EQ(Created.substr(0, share.size() + 21), share + L"zunkabell-unfinished-");
}
