#include "convert/convert.h"
#include <windows.h>
#include <commdlg.h>
#include <stddef.h>
#include <string.h>
#include "app/main_window.h"
#include "convert/placement.h"
#include "convert/wav_file.h"
#include "runtime/runtime.h"

// OPENFILENAME_SIZE_VERSION_400A: the record without its three trailing
// extension fields, which every version of the dialog accepts.
static const DWORD OlderRecordSize = offsetof(OPENFILENAMEA, pvReserved);
#ifdef __i386__
static_assert(OlderRecordSize == 76, "the older record is 76 bytes on 32-bit Windows");
#endif

struct Notice {
    const char *text;
    const char *caption;
    UINT icon;
};

static const Notice ReadFailedNotice = {"ファイルの読み取りに失敗しました。", "エラー", MB_ICONWARNING};
static const Notice TooLargeNotice = {"ファイルが大きすぎます。", "エラー", MB_ICONWARNING};
static const Notice OpenFailedNotice = {"出力ファイルのオープンに失敗しました。", "エラー", MB_ICONWARNING};
static const Notice WriteFailedNotice = {"出力ファイルの書き込みに失敗しました。", "エラー", MB_ICONWARNING};
static const Notice DoneNotice = {"出力しました。", "完了", MB_ICONINFORMATION};
// The names follow each text.
static const char ImageAsideText[] = "出力ファイルの名前の変更に失敗しました。\n変換したファイルは次の名前で保存されています。\n";
static const char OldAsideText[] = "\n元のファイルは次の名前に変わっています。\n";

static void Show(const Notice &notice)
{
    MessageBoxA(MainWnd, notice.text, notice.caption, MB_OK | notice.icon);
}

// Neither file is deleted: the user learns where each one is.
static void ShowAside(const Aside &aside)
{
    char text[sizeof ImageAsideText + sizeof aside.image + sizeof OldAsideText + sizeof aside.old];
    lstrcpyA(text, ImageAsideText);
    lstrcatA(text, aside.image);
    if (aside.old[0]) {
        lstrcatA(text, OldAsideText);
        lstrcatA(text, aside.old);
    }
    MessageBoxA(MainWnd, text, "エラー", MB_OK | MB_ICONWARNING);
}

static const Notice &NoticeFor(ReadOutcome outcome)
{
    return outcome == ReadTooLarge ? TooLargeNotice : ReadFailedNotice;
}

static const Notice &NoticeFor(WriteOutcome outcome)
{
    switch (outcome) {
    case WriteDone:
        return DoneNotice;
    case WriteOpenFailed:
        return OpenFailedNotice;
    default:
        return WriteFailedNotice;
    }
}

// The save dialog, starting from an empty name; false when the user
// cancels or the dialog fails, which ShowDialogFailure tells apart.
static bool AskOutputName(char (&name)[MAX_PATH])
{
    OPENFILENAMEA dialog;
    ZeroMemory(&dialog, sizeof dialog);
    dialog.lStructSize = OlderRecordSize;
    dialog.hwndOwner = MainWnd;
    dialog.lpstrFilter = "wavファイル(*.wav)\0*.wav\0";  // the literal's own NUL ends the list
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name;
    dialog.nMaxFile = MAX_PATH;
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
    dialog.lpstrDefExt = "wav";
    return GetSaveFileNameA(&dialog) != 0;
}

// Explorer's "copy as path" wraps the path in double quotes, which no file
// name can hold: a text that is one such pair, spaces outside it aside, is
// the path inside. Neither byte is ever a trail byte in code page 932.
static bool Quoted(const char *text, const char **inner, int32_t *length)
{
    const char *first = text, *last = text + lstrlenA(text);
    while (*first == ' ')
        first++;
    while (last > first && last[-1] == ' ')
        last--;
    if (last - first < 2 || *first != '"' || last[-1] != '"' || memchr(first + 1, '"', last - first - 2))
        return false;
    *inner = first + 1;
    *length = static_cast<int32_t>(last - first - 2);
    return true;
}

void OnConvert(void)
{
    StrHandle path = StrAlloc(0);
    int32_t length = GetWindowTextLengthA(GetDlgItem(MainWnd, IDC_PATH));
    StrHandle text = StrBuffer(length + 1);
    StrRelease(path);
    path = text;
    GetWindowTextA(GetDlgItem(MainWnd, IDC_PATH), path, length + 1);
    const char *inner = NULL;
    if (Quoted(path, &inner, &length)) {
        StrHandle unquoted = StrBuffer(length + 1);
        CopyMemory(unquoted, inner, length);
        StrRelease(path);
        path = unquoted;
    }

    // The input is closed again before the dialog, so it may be the output too.
    WavImage image = {};
    ReadOutcome read = ReadWavImage(path, &image);
    if (read != ReadDone) {
        Show(NoticeFor(read));
    } else {
        char name[MAX_PATH];
        ZeroMemory(name, sizeof name);
        if (AskOutputName(name)) {
            Aside aside;
            ZeroMemory(&aside, sizeof aside);
            WriteOutcome written = WriteWavImage(name, &image, &aside);
            if (written == WriteLeftAside)
                ShowAside(aside);
            else
                Show(NoticeFor(written));
        } else {
            ShowDialogFailure();
        }
        FreeWavImage(&image);
    }
    StrRelease(path);
}
