// What the command refuses: inputs no WAV file can hold, and reads and
// writes that fail or come up short. None of them may end in "出力しました。".
#include "win/convert_harness.h"
#include "convert/wav_file.h"
#include <algorithm>

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

// Frees a read that waits on the pipes for more than 10 s, so that a command
// that reads from one fails the test instead of hanging it.
static DWORD WINAPI FreeStuckRead(void *pipes)
{
    HANDLE *ends = static_cast<HANDLE *>(pipes);
    if (WaitForSingleObject(ends[2], 10000) == WAIT_OBJECT_0)
        return 0;
    DisconnectNamedPipe(ends[0]);
    DisconnectNamedPipe(ends[1]);
    return 1;
}

TEST_F(ConvertTest, AnInputThatIsNoFileOnADiskIsAReadFailure)
{
    // None has a size to report, or says 0, and a read from one may wait for data for ever.
    const std::string pipe = "\\\\.\\pipe\\convert-test-" + std::to_string(GetCurrentProcessId());
    HANDLE ends[3];
    for (int i = 0; i < 2; i++) {
        ends[i] = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_OUTBOUND, 0, PIPE_UNLIMITED_INSTANCES, 0, 0, 0, NULL);
        ASSERT_NE(ends[i], INVALID_HANDLE_VALUE);
    }
    ends[2] = CreateEventA(NULL, TRUE, FALSE, NULL);
    HANDLE rescuer = CreateThread(NULL, 0, FreeStuckRead, ends, 0, NULL);
    std::vector<std::string> inputs = {pipe, "NUL", "CONIN$"};
    if (UnderWine() && RunUnix("mkfifo fifo", Folder))
        inputs.insert(inputs.end(), {Folder + "fifo", "Z:\\dev\\zero"});
    for (const std::string &input : inputs) {
        SCOPED_TRACE(input);
        WavImage image;
        EXPECT_NE(ReadWavImage(input.c_str(), &image), ReadDone);
        EXPECT_EQ(image.bytes, nullptr);
        Seen seen = Convert(input, nullptr);
        EXPECT_EQ(seen.saveDialogs, 0);
        ExpectBox(seen, ReadFailedText, "エラー", MB_ICONWARNING);
    }
    SetEvent(ends[2]);
    WaitForSingleObject(rescuer, INFINITE);
    DWORD stuck = 0;
    GetExitCodeThread(rescuer, &stuck);
    EXPECT_EQ(stuck, 0u) << "a read waited on the pipe";
    for (HANDLE handle : {ends[0], ends[1], ends[2], rescuer})
        CloseHandle(handle);
    DeleteFileA((Folder + "fifo").c_str());
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

TEST_F(ConvertTest, InAFolderNearMaxPathAnEndedWriteLeavesNothingAndAWholeOneLands)
{
    // A folder of 243 bytes: x.wav in it takes 249 of MAX_PATH's 260.
    std::string folder = Folder.substr(0, Folder.size() - 1);
    while (folder.size() < 243) {
        folder += "\\" + std::string(std::min<size_t>(60, std::max<size_t>(1, 242 - folder.size())), 'd');
        CreateDirectoryA(folder.c_str(), NULL);
    }
    folder += "\\";
    WriteBytes(Folder + "in.bin", std::string(1 << 20, 'i'));
    WriteBytes(folder + "x.wav", "old");
    const std::string inWrite = "convert-test-in-write-" + std::to_string(GetCurrentProcessId());
    HANDLE event = CreateEventA(NULL, TRUE, FALSE, inWrite.c_str());
    const std::string exe = BuiltPath(WAV_CONVERT_EXE);
    for (const char *name : {"x.wav", "y.wav"}) {
        SCOPED_TRACE(name);
        ResetEvent(event);
        std::string line = "wav_convert \"" + Folder + "in.bin\" \"" + folder + name + "\" " + inWrite;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION child = {};
        ASSERT_TRUE(CreateProcessA(exe.c_str(), &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &child));
        HANDLE ends[2] = {event, child.hProcess};
        EXPECT_EQ(WaitForMultipleObjects(2, ends, FALSE, 20000), WAIT_OBJECT_0) << "the write never began";
        TerminateProcess(child.hProcess, 1);
        WaitForSingleObject(child.hProcess, INFINITE);
        CloseHandle(child.hProcess);
        CloseHandle(child.hThread);
        EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"x.wav"});
        EXPECT_EQ(ReadBytes(folder + "x.wav"), "old");
    }
    CloseHandle(event);
    Seen seen = Convert(Folder + "in.bin", (folder + "y.wav").c_str());
    SKIP_IF_NO_NAME_BOX(seen.nameBoxMissing);
    ExpectBox(seen, "出力しました。", "完了", MB_ICONINFORMATION);
    EXPECT_EQ(ReadBytes(folder + "y.wav"), WavOf(std::string(1 << 20, 'i')));
}
