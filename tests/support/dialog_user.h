// A user on a second thread who answers the dialogs and message boxes that a
// command of this process shows, and notes what they said.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "support/windows.h"

struct Answered {
    int saveDialogs = 0;
    std::string startName;   // the save dialog's name box as it opened
    bool overwriteAsked = false;
    bool nameBoxMissing = false;   // a save dialog to type into had none: cancelled
    std::vector<MessageBoxView> boxes;
};

// Runs command on this thread while the user answers: the save dialog owned
// by owner with saveAs (cancelled when null, or when it has no name box),
// its question whether to replace a file with yes, and each message box,
// noted, with OK; whileBox runs on the user's thread while a box is up.
// Whatever is still open after 30 s is cancelled, and the answer is false.
bool RunAnswered(HWND owner, const char *saveAs, const std::function<void()> &command, Answered *seen,
                 const std::function<void()> &whileBox = nullptr);
