// The convert command's paths, as the user meets them and as they leave the disk.
#include "win/convert_harness.h"
#include "app/main_window.h"

static const char ReadFailedText[] = "ファイルの読み取りに失敗しました。";

TEST_F(ConvertTest, WritesTheImageAndSaysSo)
{
    const std::string input = Folder + "abc.txt", output = Folder + "abc.wav";
    WriteBytes(input, "abc");
    Seen seen = Convert(input, output.c_str());
    SKIP_IF_NO_NAME_BOX(seen.nameBoxMissing);

    EXPECT_EQ(seen.saveDialogs, 1);
    EXPECT_EQ(seen.startName, "");
    EXPECT_FALSE(seen.overwriteAsked);
    ExpectBox(seen, "出力しました。", "完了", MB_ICONINFORMATION);
    std::string wav = ReadBytes(output);
    EXPECT_EQ(wav.size(), 47u);
    EXPECT_EQ(wav, WavOf("abc"));
    // While the box is up only the path is still held: a string of the
    // box's length plus one, its text and the NUL.
    int length = GetWindowTextLengthA(PathBox);
    EXPECT_EQ(seen.stringsDuringBox, static_cast<int32_t>(Registry.count) + 1);
    EXPECT_EQ(seen.newestStringDuringBox, input + std::string(length + 1 - input.size(), '\0'));
}

TEST_F(ConvertTest, SaveDialogStartsEmptyWithItsOneFilterAndCancelIsSilent)
{
    const std::string input = Folder + "cancel.txt";
    WriteBytes(input, "abc");
    Seen seen = Convert(input, nullptr);

    EXPECT_EQ(seen.saveDialogs, 1);
    EXPECT_TRUE(seen.boxes.empty());
    EXPECT_FALSE(Exists(Folder + "cancel.wav"));
    ASSERT_EQ(SaveDialogCalls.size(), 1u);
    const FileDialogCall &call = SaveDialogCalls[0];
    OPENFILENAMEA expected;
    memset(&expected, 0, sizeof expected);
    expected.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    expected.hwndOwner = MainWnd;
    expected.lpstrFilter = call.record.lpstrFilter;
    expected.nFilterIndex = 1;
    expected.lpstrFile = call.record.lpstrFile;
    expected.nMaxFile = 260;
    expected.Flags = 0x80E;
    expected.lpstrDefExt = call.record.lpstrDefExt;
    EXPECT_EQ(memcmp(&call.record, &expected, sizeof expected), 0) << "every other field is zero";
#ifndef _WIN64
    EXPECT_EQ(call.record.lStructSize, 76u);
#endif
    EXPECT_EQ(call.record.Flags, DWORD(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST));
    static const char filter[] = "wavファイル(*.wav)\0*.wav\0\0";
    EXPECT_EQ(call.filter, std::string(filter, sizeof filter - 1));
    EXPECT_EQ(call.fileBuffer, std::string(260, '\0'));
    EXPECT_EQ(call.defaultExtension, "wav");
}

TEST_F(ConvertTest, EmptyInputGivesTheHeaderAlone)
{
    const std::string input = Folder + "empty.bin", output = Folder + "empty.wav";
    WriteBytes(input, "");
    Seen seen = Convert(input, output.c_str());
    SKIP_IF_NO_NAME_BOX(seen.nameBoxMissing);

    ExpectBox(seen, "出力しました。", "完了", MB_ICONINFORMATION);
    EXPECT_EQ(ReadBytes(output), WavOf(""));
    EXPECT_EQ(ReadBytes(output).size(), 44u);
}

TEST_F(ConvertTest, InputChosenAsOutputBecomesItsOwnImage)
{
    // Bytes 00, 80 and FF stay as they are; an odd length gets no pad byte.
    const std::string path = Folder + "self.wav", payload("\x00\x80\xFF", 3);
    WriteBytes(path, payload);
    Seen seen = Convert(path, path.c_str());
    SKIP_IF_NO_NAME_BOX(seen.nameBoxMissing);

    EXPECT_TRUE(seen.overwriteAsked);
    ExpectBox(seen, "出力しました。", "完了", MB_ICONINFORMATION);
    EXPECT_EQ(ReadBytes(path), WavOf(payload));
}

TEST_F(ConvertTest, ExistingOutputIsReplacedAfterTheQuestion)
{
    const std::string input = Folder + "new.txt", output = Folder + "old.wav";
    WriteBytes(input, "abc");
    WriteBytes(output, std::string(1000, 'x'));
    Seen seen = Convert(input, output.c_str());
    SKIP_IF_NO_NAME_BOX(seen.nameBoxMissing);

    EXPECT_TRUE(seen.overwriteAsked);
    ExpectBox(seen, "出力しました。", "完了", MB_ICONINFORMATION);
    EXPECT_EQ(ReadBytes(output), WavOf("abc"));
}

TEST_F(ConvertTest, ThroughALinkTheFileItLeadsToGetsTheImage)
{
    // The link stays a link; another hard link's name keeps the old bytes.
    SKIP_UNLESS_UNDER_WINE("links");
    WriteBytes(Folder + "linked.txt", "abc");
    WriteBytes(Folder + "real.wav", "old");
    ASSERT_TRUE(RunUnix("ln -s real.wav link.wav && ln real.wav hard.wav", Folder));
    Seen seen = Convert(Folder + "linked.txt", (Folder + "link.wav").c_str());
    RunUnix("test -L link.wav && touch still-a-link", Folder);

    ExpectBox(seen, "出力しました。", "完了", MB_ICONINFORMATION);
    EXPECT_EQ(ReadBytes(Folder + "real.wav"), WavOf("abc"));
    EXPECT_EQ(ReadBytes(Folder + "hard.wav"), "old");
    EXPECT_TRUE(Exists(Folder + "still-a-link"));
}

TEST_F(ConvertTest, NameWithoutExtensionGetsWav)
{
    const std::string input = Folder + "plain.txt";
    WriteBytes(input, "abc");
    Seen seen = Convert(input, (Folder + "plain").c_str());
    SKIP_IF_NO_NAME_BOX(seen.nameBoxMissing);

    ExpectBox(seen, "出力しました。", "完了", MB_ICONINFORMATION);
    EXPECT_EQ(ReadBytes(Folder + "plain.wav"), WavOf("abc"));
    EXPECT_FALSE(Exists(Folder + "plain"));
}

TEST_F(ConvertTest, PathWithSpacesAndJapaneseIsUsedAsTypedOrInOnePairOfQuotes)
{
    // ソ and 表 end in byte 5C, the backslash, in code page 932.
    const std::string input = Folder + "入力 ファイル ソ表.bin", output = Folder + "出力 ソ.wav";
    WriteBytes(input, "abc");
    Seen seen = Convert(input, output.c_str());
    SKIP_IF_NO_NAME_BOX(seen.nameBoxMissing);

    ExpectBox(seen, "出力しました。", "完了", MB_ICONINFORMATION);
    EXPECT_EQ(ReadBytes(output), WavOf("abc"));
    // As Explorer's "copy as path" gives it, spaces around it too; the path string holds the path alone.
    for (const std::string &quoted : {'"' + input + '"', "  \"" + input + "\" "})
        EXPECT_EQ(Convert(quoted, output.c_str()).newestStringDuringBox, input + '\0') << quoted;
}

TEST_F(ConvertTest, UnreadableInputIsReportedBeforeAnyDialog)
{
    // Held open elsewhere: once without sharing, once by a reader that shares
    // reading, which the command's own unshared open still cannot join.
    const std::string held = Folder + "held.txt", shared = Folder + "shared.txt";
    WriteBytes(held, "abc");
    WriteBytes(shared, "abc");
    HANDLE holders[] = {CreateFileA(held.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL),
                        CreateFileA(shared.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL)};
    for (HANDLE holder : holders)
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    CreateDirectoryA((Folder + "folder").c_str(), NULL);

    for (const std::string &path : {std::string(), Folder + "missing.txt", Folder + "folder", held, shared}) {
        SCOPED_TRACE(path);
        Seen seen = Convert(path, nullptr);
        EXPECT_EQ(seen.saveDialogs, 0);
        ExpectBox(seen, ReadFailedText, "エラー", MB_ICONWARNING);
    }
    for (HANDLE holder : holders)
        CloseHandle(holder);
    RemoveDirectoryA((Folder + "folder").c_str());
}

TEST_F(ConvertTest, OutputThatCannotBeCreatedIsReported)
{
    const std::string input = Folder + "in.txt", output = Folder + "busy.wav";
    WriteBytes(input, "abc");
    WriteBytes(output, "keep");
    // Its holder shares everything; the command's unshared open still fails.
    HANDLE holder = CreateFileA(output.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    std::vector<std::string> before = FilesIn(Folder);
    Seen seen = Convert(input, output.c_str());
    CloseHandle(holder);
    SKIP_IF_NO_NAME_BOX(seen.nameBoxMissing);

    ExpectBox(seen, "出力ファイルのオープンに失敗しました。", "エラー", MB_ICONWARNING);
    EXPECT_EQ(ReadBytes(output), "keep");
    EXPECT_EQ(FilesIn(Folder), before);
}
