// What the command refuses: inputs no WAV file can hold, and reads and
// writes that fail or come up short. None of them may end in "出力しました。".
#include "win/convert_harness.h"
#include "convert/wav_file.h"

static const char TooLargeText[] = "ファイルが大きすぎます。";
static const char ReadFailedText[] = "ファイルの読み取りに失敗しました。";

TEST_F(ConvertTest, InputsWhoseImageWouldPass4GiBAreTooLarge)
{
    // 2^32 - 44 bytes need an image one byte past 32 bits; the larger two
    // look small (3 bytes, 1 GiB) when the size's high part is not asked for.
    SKIP_UNLESS_UNDER_WINE("sparse files");
    const std::string input = Folder + "large.bin";
    for (uint64_t size : {0x100000000ull - 44, 0x100000003ull, 5ull << 30}) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(MakeSparse(input, size));
        Seen seen = Convert(input, nullptr);
        EXPECT_EQ(seen.saveDialogs, 0);
        ExpectBox(seen, TooLargeText, "エラー", MB_ICONWARNING);
    }
    DeleteFileA(input.c_str());
}

TEST_F(ConvertTest, AnImageThatCannotBeAllocatedIsTooLarge)
{
#ifdef _WIN64
    GTEST_SKIP() << "a 64-bit process can allocate the largest image, 4 GiB less one byte";
#else
    SKIP_UNLESS_UNDER_WINE("sparse files");
    const std::string input = Folder + "largest.bin";
    ASSERT_TRUE(MakeSparse(input, 0x100000000ull - 45));
    Seen seen = Convert(input, nullptr);
    DeleteFileA(input.c_str());
    EXPECT_EQ(seen.saveDialogs, 0);
    ExpectBox(seen, TooLargeText, "エラー", MB_ICONWARNING);
#endif
}

TEST_F(ConvertTest, AFailedSizeQueryIsAReadFailure)
{
    // A pipe opens like a file but has no size to report.
    const std::string name = "\\\\.\\pipe\\convert-test-" + std::to_string(GetCurrentProcessId());
    HANDLE pipes[2];
    for (HANDLE &pipe : pipes) {
        pipe = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND, 0, PIPE_UNLIMITED_INSTANCES, 0, 0, 0, NULL);
        ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    }
    WavImage image;
    EXPECT_EQ(ReadWavImage(name.c_str(), &image), ReadFailed);
    EXPECT_EQ(image.bytes, nullptr);
    Seen seen = Convert(name, nullptr);
    for (HANDLE pipe : pipes)
        CloseHandle(pipe);
    EXPECT_EQ(seen.saveDialogs, 0);
    ExpectBox(seen, ReadFailedText, "エラー", MB_ICONWARNING);
}

TEST_F(ConvertTest, AShortReadIsAReadFailure)
{
    // The kernel reports a page for this file and delivers one line.
    SKIP_UNLESS_UNDER_WINE("/sys");
    const char *path = "Z:\\sys\\kernel\\mm\\transparent_hugepage\\enabled";
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        GTEST_SKIP() << "no " << path << " on this machine to deliver fewer bytes than it reports";
    DWORD size = GetFileSize(file, NULL), got = 0;
    std::string bytes(size, '\0');
    ReadFile(file, &bytes[0], size, &got, NULL);
    CloseHandle(file);
    if (got >= size)
        GTEST_SKIP() << path << " delivers all the " << size << " bytes it reports";

    Seen seen = Convert(path, nullptr);
    EXPECT_EQ(seen.saveDialogs, 0);
    ExpectBox(seen, ReadFailedText, "エラー", MB_ICONWARNING);
}

TEST_F(ConvertTest, AFailedWriteOnAFullDiskKeepsWhatWasThere)
{
    // A 32 KiB disk of the test's own: a 64 KiB image cannot fit beside a
    // 3-byte file, nor a 24 KiB file's image beside the file itself.
    SKIP_UNLESS_UNDER_WINE("mount");
    const std::string disk = Folder + "full\\", self(24 << 10, 's');
    ASSERT_TRUE(CreateDirectoryA(disk.c_str(), NULL));
    WriteBytes(disk + "unmounted", "");
    RunUnix("mount -t tmpfs -o size=32k tmpfs full", Folder);
    if (Exists(disk + "unmounted")) {
        RemoveFolder(disk);
        GTEST_SKIP() << "no disk may be mounted here (that takes root)";
    }
    WriteBytes(Folder + "big.bin", std::string(64 << 10, 'b'));
    WriteBytes(disk + "keep.wav", "old");
    WriteBytes(disk + "self.bin", self);
    Seen over = Convert(Folder + "big.bin", (disk + "keep.wav").c_str());
    Seen itself = Convert(disk + "self.bin", (disk + "self.bin").c_str());
    std::string kept = ReadBytes(disk + "keep.wav"), selfKept = ReadBytes(disk + "self.bin");
    std::vector<std::string> left = FilesIn(disk);
    RunUnix("umount -l full", Folder);
    RemoveFolder(disk);

    for (const Seen &seen : {over, itself})
        ExpectBox(seen, "出力ファイルの書き込みに失敗しました。", "エラー", MB_ICONWARNING);
    EXPECT_EQ(kept, "old");
    EXPECT_EQ(selfKept, self);
    EXPECT_EQ(left, (std::vector<std::string>{"keep.wav", "self.bin"}));
}

TEST_F(ConvertTest, AFailedWriteKeepsTheFileThatWasThere)
{
    // The image's bytes run into memory no one may read: the new file is
    // made, then the write fails.
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    DWORD page = system.dwPageSize, old = 0;
    unsigned char *memory =
        static_cast<unsigned char *>(VirtualAlloc(NULL, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(memory, nullptr);
    VirtualProtect(memory + page, page, PAGE_NOACCESS, &old);
    WavImage image = {memory, page};
    const std::string folder = Folder + "cut\\", output = folder + "cut.wav";
    CreateDirectoryA(folder.c_str(), NULL);
    WriteBytes(output, "old");

    EXPECT_EQ(WriteWavImage(output.c_str(), &image), WriteFailed);
    EXPECT_EQ(ReadBytes(output), "old");
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"cut.wav"});
    RemoveFolder(folder);
    VirtualFree(memory, 0, MEM_RELEASE);
}
