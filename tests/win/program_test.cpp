// The real program's window as a user meets it, the messages it ignores,
// how it ends, and what its executable carries.
#include "win/program_harness.h"
#include <string.h>
#include <algorithm>

TEST_F(ProgramTest, WindowAsTheUserMeetsIt)
{
    EXPECT_EQ(ClassOf(main), "NORMAL0");
    EXPECT_EQ(TextOf(main), "ズンカベル!!");
    RECT outer = {};
    GetWindowRect(main, &outer);
    EXPECT_EQ(outer.right - outer.left, 476);
    EXPECT_EQ(outer.bottom - outer.top, 82);
    LONG style = StyleOf(main);
    EXPECT_EQ(style & ~WS_CLIPSIBLINGS, 0x10CA0000) << std::hex << style;
    EXPECT_FALSE(style & WS_THICKFRAME) << "no sizing border";
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_EQ(GetParent(main), nullptr);
    EXPECT_EQ(FindWindowA("NORMALDLG", NULL), nullptr) << "no window of the plain class";

    RECT client = {};
    GetClientRect(main, &client);
    const struct {
        int id;
        const char *className, *text;
        LONG exStyle, style;
        RECT rect;
    } controls[] = {
        {IDC_LABEL, "Static", "ファイル名:", 0, 0x50000000, {0, 0, 80, 20}},
        {IDC_PATH, "Edit", "", WS_EX_CLIENTEDGE, 0x50000080, {80, 0, 420, 20}},
        {IDC_BROWSE, "Button", "参照", 0, 0x50000000, {420, 0, 470, 20}},
        {IDC_CONVERT, "Button", "変換!!!!!", 0, 0x50000000, {0, 20, 470, client.bottom}},
    };
    HWND child = GetWindow(main, GW_CHILD);
    for (const auto &c : controls) {
        SCOPED_TRACE(c.id);
        // In the order of creation, which is also the order of the children.
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(GetDlgCtrlID(child), c.id);
        EXPECT_EQ(child, Control(c.id));
        EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, ClassOf(child).c_str(), -1, c.className, -1),
                  CSTR_EQUAL) << ClassOf(child);
        EXPECT_EQ(TextOf(child), c.text);
        EXPECT_EQ(ExStyleOf(child), c.exStyle);
        EXPECT_EQ(StyleOf(child), c.style);
        RECT r = RectInParent(child);
        EXPECT_EQ(r.left, c.rect.left);
        EXPECT_EQ(r.top, c.rect.top);
        EXPECT_EQ(r.right, c.rect.right);
        EXPECT_EQ(r.bottom, c.rect.bottom);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "four controls, no more";

    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(GetGUIThreadInfo(process.dwThreadId, &gui));
    for (int id : {IDC_LABEL, IDC_PATH, IDC_BROWSE, IDC_CONVERT})
        EXPECT_NE(gui.hwndFocus, Control(id)) << "no control has the focus at first";
}

static void Send(const std::vector<INPUT> &input)
{
    ASSERT_EQ(SendInput(input.size(), const_cast<INPUT *>(input.data()), sizeof(INPUT)), input.size());
}

static INPUT Key(WORD key, DWORD flags)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key;
    in.ki.dwFlags = flags;
    return in;
}

TEST_F(ProgramTest, TabDoesNotMoveTheFocus)
{
    // The user clicks into the path box, presses Tab, then types a letter.
    HWND path = Control(IDC_PATH);
    RECT r = {};
    GetWindowRect(path, &r);
    ASSERT_TRUE(SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    INPUT down = {}, up = {};
    down.type = up.type = INPUT_MOUSE;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    Send({down, up});
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    DWORD start = GetTickCount();
    while (GetGUIThreadInfo(process.dwThreadId, &gui) && gui.hwndFocus != path && GetTickCount() - start < 10000)
        Sleep(20);
    ASSERT_EQ(gui.hwndFocus, path) << "a click puts the focus into the path box";

    Send({Key(VK_TAB, 0), Key(VK_TAB, KEYEVENTF_KEYUP), Key('Q', 0), Key('Q', KEYEVENTF_KEYUP)});
    start = GetTickCount();
    while (Path().empty() && GetTickCount() - start < 10000)
        Sleep(20);
    EXPECT_EQ(Path(), "q") << "the letter after Tab reaches the path box";
    ASSERT_TRUE(GetGUIThreadInfo(process.dwThreadId, &gui));
    EXPECT_EQ(gui.hwndFocus, path);
}

TEST_F(ProgramTest, OtherCommandsDoNothing)
{
    TypePath(folder + "no such file");
    const struct {
        int id, code;
    } ignored[] = {
        {IDC_BROWSE, 1}, {IDC_CONVERT, 1}, {IDC_BROWSE, BN_DOUBLECLICKED}, {IDC_CONVERT, 0x8000},
        {IDC_PATH, EN_CHANGE}, {IDC_PATH, EN_UPDATE}, {IDC_PATH, 0}, {IDC_LABEL, 0}, {IDOK, 0},
    };
    for (const auto &c : ignored) {
        SCOPED_TRACE(testing::Message() << c.id << "/" << c.code);
        // A command that ran would hold the answer back behind its dialog.
        DWORD_PTR result = 1;
        ASSERT_TRUE(SendMessageTimeoutA(main, WM_COMMAND, MAKEWPARAM(c.id, c.code),
                                        reinterpret_cast<LPARAM>(Control(c.id)), SMTO_ABORTIFHUNG, 5000, &result));
        EXPECT_EQ(result, 0u);
        EXPECT_TRUE(Settled());
    }
    EXPECT_EQ(Path(), folder + "no such file");
    EXPECT_TRUE(FilesIn(folder).empty());
}

TEST_F(ProgramTest, ClosingEndsTheProgramAtOnceWithExitCodeZero)
{
    EXPECT_EQ(Close(), 0u) << "no confirmation, exit code 0";
}

TEST_F(ProgramTest, ClosingAfterWorkStillEndsWithZero)
{
    WriteBytes(folder + "a.bin", "abc");
    TypePath(folder + "a.bin");
    Outcome outcome = Convert((folder + "a.wav").c_str());
    SKIP_IF_NO_NAME_BOX(nameBoxMissing);
    EXPECT_TRUE(outcome.boxShown);
    TypePath(folder + "missing");
    EXPECT_TRUE(Convert(nullptr).boxShown);
    EXPECT_EQ(Close(), 0u);
}

// The executable's resources, read as data.
class ProgramFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        module = LoadLibraryExA(ProgramPath().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr) << ProgramPath();
    }
    void TearDown() override { FreeLibrary(module); }
    std::string Resource(LPCSTR type, LPCSTR name, WORD language)
    {
        HRSRC found = FindResourceExA(module, type, name, language);
        if (!found)
            return "";
        const char *bytes = static_cast<const char *>(LockResource(LoadResource(module, found)));
        return std::string(bytes, SizeofResource(module, found));
    }
    HMODULE module = nullptr;
};

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST_F(ProgramFile, IconIsOneJapaneseThirtyTwoPixelSixteenColourImage)
{
    const WORD japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN);
    ASSERT_EQ(japanese, 0x411);
    std::string group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEA(101), japanese);
    ASSERT_EQ(group.size(), 6 + sizeof(IconGroupEntry));
    const WORD *header = reinterpret_cast<const WORD *>(group.data());
    EXPECT_EQ(header[1], 1) << "an icon";
    EXPECT_EQ(header[2], 1) << "one image";
    IconGroupEntry entry;
    memcpy(&entry, group.data() + 6, sizeof entry);
    EXPECT_EQ(entry.width, 32);
    EXPECT_EQ(entry.height, 32);
    EXPECT_EQ(entry.colours, 16);
    EXPECT_EQ(entry.bitCount, 4);

    std::string image = Resource(RT_ICON, MAKEINTRESOURCEA(entry.id), japanese);
    ASSERT_EQ(image.size(), entry.bytes);
    ASSERT_EQ(image.size(), 40u + 16 * 4 + 32 * 16 + 32 * 4);
    BITMAPINFOHEADER info;
    memcpy(&info, image.data(), sizeof info);
    EXPECT_EQ(info.biWidth, 32);
    EXPECT_EQ(info.biHeight, 64);
    EXPECT_EQ(info.biBitCount, 4);

    // The picture: a yellow cone on the left, a white box on the right, and
    // the ground around them transparent.
    const unsigned char *palette = reinterpret_cast<const unsigned char *>(image.data()) + 40;
    const unsigned char *colour = palette + 64;
    const unsigned char *mask = colour + 32 * 16;
    int yellowRight = -1, whiteLeft = 32, transparent = 0;
    for (int y = 0; y < 32; y++) {
        for (int x = 0; x < 32; x++) {
            if (mask[y * 4 + x / 8] & (0x80 >> (x % 8))) {
                transparent++;
                continue;
            }
            int index = (colour[y * 16 + x / 2] >> (x % 2 ? 0 : 4)) & 15;
            const unsigned char *bgr = palette + index * 4;
            if (bgr[0] == 0 && bgr[1] == 0xFF && bgr[2] == 0xFF)
                yellowRight = std::max(yellowRight, x);
            if (bgr[0] == 0xFF && bgr[1] == 0xFF && bgr[2] == 0xFF)
                whiteLeft = std::min(whiteLeft, x);
        }
    }
    EXPECT_GE(yellowRight, 0) << "yellow is there";
    EXPECT_LT(whiteLeft, 32) << "white is there";
    EXPECT_LT(yellowRight, whiteLeft) << "the cone is left of the box";
    EXPECT_GT(transparent, 0);
    EXPECT_TRUE(mask[0] & 0x80) << "a corner is ground";
}

TEST_F(ProgramFile, ManifestAsksForCodePage932AndNoElevation)
{
    std::string manifest = Resource(RT_MANIFEST, MAKEINTRESOURCEA(1), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find(">ja-JP</activeCodePage>"), std::string::npos);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
}
