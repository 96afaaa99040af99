// The real program, started by the test as a user starts it and driven from
// outside through its window: the path box, the two buttons, its dialogs
// and message boxes. Every wait has a deadline.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <stdint.h>
#include <string>
#include <vector>
#include "app/main_window.h"
#include "support/files.h"
#include "support/windows.h"

// What one click of the convert button showed the user.
struct Outcome {
    bool saveDialog = false;
    std::string startName;      // the save dialog's name box as it opened
    bool askedToReplace = false;
    bool boxShown = false;
    MessageBoxView box = {};
};

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override;      // a private folder; the program started, its window found
    void TearDown() override;   // dialogs cancelled, the window closed, exit code 0

    HWND Control(int id) { return GetDlgItem(main, id); }
    void TypePath(const std::string &text);   // as typed into the path box
    std::string Path() { return TextOf(Control(IDC_PATH)); }
    // Clicks browse and picks path (cancels when null), typed as it stands or,
    // with inFolder, as a name after going to that folder first; the name
    // the dialog opened with. A dialog with no name box is cancelled, noted.
    std::string Browse(const char *path, const char *inFolder = nullptr);
    // Clicks convert and answers: save as name (cancel when null, or, noted,
    // when the dialog has no name box), replace when asked.
    Outcome Convert(const char *name);
    // Waits until the program is back in its loop with no dialog open.
    bool Settled();
    // Closes the window as the user does; the exit code, or STILL_ACTIVE.
    DWORD Close();

    std::string folder;   // ends in a backslash
    bool nameBoxMissing = false;   // a file dialog to type into had none
    PROCESS_INFORMATION process = {};
    HWND main = nullptr;
};

// The program's executable, as a Windows path.
std::string ProgramPath();

std::string Pattern(size_t size);   // bytes of every value, in no simple order

// Handles the program holds (under Wine, registry keys left out: its save
// dialog keeps one open per accepted name, in any program) and memory it has
// written to, as far as the platform shows them to another process; 0 when
// it does not.
DWORD HandleCount(const PROCESS_INFORMATION &process);
SIZE_T PrivateBytes(const PROCESS_INFORMATION &process);
