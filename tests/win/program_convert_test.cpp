// Whole conversions through the real program, as a user does them, and every
// way one can fail: each checked on the box shown and the files left.
#include "win/program_harness.h"

static const char ReadFailed[] = "ファイルの読み取りに失敗しました。";
static const char TooLarge[] = "ファイルが大きすぎます。";
static const char OpenFailed[] = "出力ファイルのオープンに失敗しました。";
static const char Done[] = "出力しました。";

static void ExpectBox(const Outcome &outcome, HWND main, const char *text)
{
    ASSERT_TRUE(outcome.boxShown);
    EXPECT_EQ(outcome.box.text, text);
    bool done = std::string(text) == Done;
    EXPECT_EQ(outcome.box.caption, done ? "完了" : "エラー");
    EXPECT_EQ(outcome.box.icon, static_cast<UINT>(done ? MB_ICONINFORMATION : MB_ICONWARNING));
    EXPECT_EQ(outcome.box.owner, main);
}

TEST_F(ProgramTest, WholeConversionAsAUserDoesIt)
{
    const std::string payload = Pattern(3000);
    const std::string input = folder + "録音 する.bin";
    WriteBytes(input, payload);

    // The user goes to the folder, then picks the file by its name alone.
    EXPECT_EQ(Browse("録音 する.bin", folder.c_str()), "");
    SKIP_IF_NO_NAME_BOX(nameBoxMissing);
    EXPECT_EQ(Path(), input) << "the full path of the chosen file";
    // A name without an extension gets ".wav".
    Outcome outcome = Convert((folder + "出力 結果").c_str());
    SKIP_IF_NO_NAME_BOX(nameBoxMissing);
    EXPECT_TRUE(outcome.saveDialog);
    EXPECT_EQ(outcome.startName, "");
    EXPECT_FALSE(outcome.askedToReplace);
    ExpectBox(outcome, main, Done);
    EXPECT_EQ(ReadBytes(folder + "出力 結果.wav"), WavOf(payload));
    EXPECT_EQ(ReadBytes(input), payload);
    EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{"出力 結果.wav", "録音 する.bin"}));
    EXPECT_EQ(Path(), input) << "the command leaves the path box alone";

    // Again: both dialogs open with an empty name.
    EXPECT_EQ(Browse(input.c_str()), "");
    outcome = Convert((folder + "出力 結果.wav").c_str());
    EXPECT_EQ(outcome.startName, "");
    EXPECT_TRUE(outcome.askedToReplace);
    ExpectBox(outcome, main, Done);
    EXPECT_EQ(ReadBytes(folder + "出力 結果.wav"), WavOf(payload));
}

TEST_F(ProgramTest, EmptyInputGivesAHeaderAlone)
{
    WriteBytes(folder + "empty", "");
    TypePath(folder + "empty");
    Outcome outcome = Convert((folder + "empty.wav").c_str());
    SKIP_IF_NO_NAME_BOX(nameBoxMissing);
    ExpectBox(outcome, main, Done);
    EXPECT_EQ(ReadBytes(folder + "empty.wav"), WavOf(""));
}

TEST_F(ProgramTest, CancelledBrowseLeavesThePathBoxAsItWas)
{
    WriteBytes(folder + "chosen.bin", "x");
    EXPECT_EQ(Browse(nullptr), "");
    EXPECT_EQ(Path(), "");
    TypePath("typed by hand");
    EXPECT_EQ(Browse(nullptr), "");
    EXPECT_EQ(Path(), "typed by hand");
    EXPECT_EQ(Browse((folder + "chosen.bin").c_str()), "");
    SKIP_IF_NO_NAME_BOX(nameBoxMissing);
    EXPECT_EQ(Browse(nullptr), "") << "an empty name though the box holds a path";
    EXPECT_EQ(Path(), folder + "chosen.bin");
}

TEST_F(ProgramTest, UnreadableInputsAreReportedBeforeAnythingIsAsked)
{
    WriteBytes(folder + "held.bin", "held");
    HANDLE held = CreateFileA((folder + "held.bin").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const std::string paths[] = {"", folder + "missing.bin", folder, folder.substr(0, folder.size() - 1),
                                 folder + "held.bin"};
    for (const std::string &path : paths) {
        SCOPED_TRACE(path);
        TypePath(path);
        Outcome outcome = Convert((folder + "never.wav").c_str());
        EXPECT_FALSE(outcome.saveDialog);
        ExpectBox(outcome, main, ReadFailed);
    }
    CloseHandle(held);
    EXPECT_EQ(ReadBytes(folder + "held.bin"), "held");
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"held.bin"});
}

TEST_F(ProgramTest, FilesTooLargeForAWavImageAreRefused)
{
    // 4 GiB + 3 would pass for 3 bytes if the high part were dropped;
    // 4 GiB - 44 fits 32 bits, but its image would not.
    SKIP_UNLESS_UNDER_WINE("sparse files");
    for (uint64_t size : {(1ull << 32) + 3, (1ull << 32) - 44}) {
        SCOPED_TRACE(size);
        const std::string input = folder + "huge.bin";
        ASSERT_TRUE(MakeSparse(input, size));
        TypePath(input);
        Outcome outcome = Convert((folder + "never.wav").c_str());
        EXPECT_FALSE(outcome.saveDialog);
        ExpectBox(outcome, main, TooLarge);
        EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"huge.bin"});
    }
}

TEST_F(ProgramTest, CancelledSaveWritesNothingAndSaysNothing)
{
    WriteBytes(folder + "in.bin", "abc");
    TypePath(folder + "in.bin");
    Outcome outcome = Convert(nullptr);
    EXPECT_TRUE(outcome.saveDialog);
    EXPECT_FALSE(outcome.boxShown);
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"in.bin"});
    EXPECT_EQ(ReadBytes(folder + "in.bin"), "abc");
}

TEST_F(ProgramTest, InputChosenAsOutputBecomesItsOwnImage)
{
    const std::string payload = Pattern(777);
    WriteBytes(folder + "self.bin", payload);
    TypePath(folder + "self.bin");
    Outcome outcome = Convert((folder + "self.bin").c_str());
    SKIP_IF_NO_NAME_BOX(nameBoxMissing);
    EXPECT_TRUE(outcome.askedToReplace);
    ExpectBox(outcome, main, Done);
    EXPECT_EQ(ReadBytes(folder + "self.bin"), WavOf(payload));
}

TEST_F(ProgramTest, OutputHeldOpenElsewhereIsRefusedAndKept)
{
    WriteBytes(folder + "in.bin", "abc");
    WriteBytes(folder + "busy.wav", "busy");
    HANDLE held = CreateFileA((folder + "busy.wav").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    TypePath(folder + "in.bin");
    Outcome outcome = Convert((folder + "busy.wav").c_str());
    CloseHandle(held);
    SKIP_IF_NO_NAME_BOX(nameBoxMissing);
    ExpectBox(outcome, main, OpenFailed);
    EXPECT_EQ(ReadBytes(folder + "busy.wav"), "busy");
    EXPECT_EQ(ReadBytes(folder + "in.bin"), "abc");
    EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{"busy.wav", "in.bin"}));
}

TEST_F(ProgramTest, ReadOnlyOutputIsRefusedAndKept)
{
    WriteBytes(folder + "in.bin", "abc");
    WriteBytes(folder + "locked.wav", "locked");
    // Refused by its attribute, also where the user could write it (Wine run as root).
    ASSERT_TRUE(SetFileAttributesA((folder + "locked.wav").c_str(), FILE_ATTRIBUTE_READONLY));
    TypePath(folder + "in.bin");
    Outcome outcome = Convert((folder + "locked.wav").c_str());
    SKIP_IF_NO_NAME_BOX(nameBoxMissing);
    ExpectBox(outcome, main, OpenFailed);
    EXPECT_EQ(ReadBytes(folder + "locked.wav"), "locked");
    EXPECT_EQ(FilesIn(folder), (std::vector<std::string>{"in.bin", "locked.wav"}));
}

TEST_F(ProgramTest, FolderWithoutWriteAccessIsRefused)
{
    WriteBytes(folder + "in.bin", "abc");
    const std::string closed = folder + "closed\\";
    ASSERT_TRUE(CreateDirectoryA(closed.c_str(), NULL));
    if (!RunUnix("chmod 555 closed", folder))
        GTEST_SKIP() << "no Linux side to take the write access away";
    HANDLE probe = CreateFileA((closed + "probe").c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        DeleteFileA((closed + "probe").c_str());
        RunUnix("chmod 755 closed", folder);
        GTEST_SKIP() << "this platform lets the user write there (Wine run as root)";
    }
    TypePath(folder + "in.bin");
    ExpectBox(Convert((closed + "out.wav").c_str()), main, OpenFailed);
    EXPECT_TRUE(FilesIn(closed).empty());
    RunUnix("chmod 755 closed", folder);
    RemoveDirectoryA(closed.c_str());
}

TEST_F(ProgramTest, NameLeadingToADeviceIsRefused)
{
    // The full device is no file that an image could replace.
    WriteBytes(folder + "in.bin", Pattern(1000));
    if (!RunUnix("ln -s /dev/full full.wav", folder))
        GTEST_SKIP() << "no Linux side to link the full device";
    TypePath(folder + "in.bin");
    Outcome outcome = Convert((folder + "full.wav").c_str());
    std::vector<std::string> left = FilesIn(folder);
    // Wine deletes no link to a device: the test removes it itself.
    EXPECT_TRUE(RunUnix("rm full.wav", folder));
    ExpectBox(outcome, main, OpenFailed);
    EXPECT_EQ(ReadBytes(folder + "in.bin"), Pattern(1000));
    EXPECT_EQ(left, (std::vector<std::string>{"full.wav", "in.bin"}));
}

TEST_F(ProgramTest, TwentyConversionsInARowLeaveNothingBehind)
{
    // Big enough that an image left behind each time would show.
    const std::string payload = Pattern(1 << 20);
    WriteBytes(folder + "in.bin", payload);
    TypePath(folder + "in.bin");
    std::vector<DWORD> handles;
    std::vector<SIZE_T> memory;
    for (int i = 0; i < 20; i++) {
        SCOPED_TRACE(i);
        Outcome outcome = Convert((folder + (i % 2 ? "b.wav" : "a.wav")).c_str());
        SKIP_IF_NO_NAME_BOX(nameBoxMissing);
        EXPECT_EQ(outcome.startName, "");
        EXPECT_EQ(outcome.askedToReplace, i >= 2);
        ExpectBox(outcome, main, Done);
        handles.push_back(HandleCount(process));
        memory.push_back(PrivateBytes(process));
    }
    // Compared whole, not printed: a mebibyte of difference tells nothing.
    EXPECT_TRUE(ReadBytes(folder + "a.wav") == WavOf(payload));
    EXPECT_TRUE(ReadBytes(folder + "b.wav") == WavOf(payload));
    // The first runs load the dialogs' libraries; from then on nothing grows.
    if (handles[4] == 0)
        std::cout << "[ NOTE     ] the platform shows no handle count\n";
    else
        EXPECT_LE(handles[19], handles[4] + 3) << "handles after 5: " << handles[4] << ", after 20: " << handles[19];
    if (memory[4] == 0)
        std::cout << "[ NOTE     ] the platform shows no private bytes\n";
    else
        EXPECT_LT(memory[19], memory[4] + (4u << 20)) << "bytes after 5: " << memory[4] << ", after 20: " << memory[19];
    std::cout << "[ MEASURED ] handles";
    for (DWORD h : handles)
        std::cout << ' ' << h;
    std::cout << "\n[ MEASURED ] private KiB";
    for (SIZE_T m : memory)
        std::cout << ' ' << m / 1024;
    std::cout << "\n";
}
