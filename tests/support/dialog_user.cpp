#include "support/dialog_user.h"
#include <atomic>
#include <set>
#include <thread>

static BOOL CALLBACK CollectDialog(HWND hwnd, LPARAM lParam)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd) && ClassOf(hwnd) == "#32770")
        reinterpret_cast<std::vector<HWND> *>(lParam)->push_back(hwnd);
    return TRUE;
}

static std::vector<HWND> OpenDialogs()
{
    std::vector<HWND> open;
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&open));
    return open;
}

static void Answer(HWND dialog, HWND owner, const char *saveAs, Answered *seen,
                   const std::function<void()> &whileBox)
{
    if (GetWindow(dialog, GW_OWNER) != owner) {
        // The save dialog's own question: replace the existing file?
        seen->overwriteAsked = true;
        PressButton(dialog, GetDlgItem(dialog, IDYES) ? IDYES : IDOK);
    } else if (IsMessageBox(dialog)) {
        MessageBoxView view;
        ReadMessageBox(dialog, &view);
        seen->boxes.push_back(view);
        if (whileBox)
            whileBox();
        PressButton(dialog, IDOK);
    } else {
        seen->saveDialogs++;
        seen->startName = FileNameOf(dialog);
        seen->nameBoxMissing |= saveAs && !HasNameBox(dialog);
        PressButton(dialog, saveAs && TypeFileName(dialog, saveAs) ? IDOK : IDCANCEL);
    }
}

bool RunAnswered(HWND owner, const char *saveAs, const std::function<void()> &command, Answered *seen,
                 const std::function<void()> &whileBox)
{
    std::atomic<bool> done(false);
    WatchdogArm(30000);
    std::thread user([&] {
        std::set<HWND> answered;
        while (!done) {
            for (HWND dialog : OpenDialogs())
                if (answered.insert(dialog).second)
                    Answer(dialog, owner, saveAs, seen, whileBox);
            Sleep(20);
        }
    });
    command();
    done = true;
    user.join();
    return !WatchdogDisarm();
}
