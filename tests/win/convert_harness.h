// The convert command in this process: a stand-in main window with its path
// box, a private folder for the files, and a user on a second thread who
// answers the command's dialogs and message boxes and notes what they said.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <stdint.h>
#include <string>
#include <vector>
#include "runtime/runtime.h"
#include "support/dialog_user.h"
#include "support/files.h"
#include "support/imports.h"
#include "support/windows.h"

// What the user saw during one run of the command.
struct Seen : Answered {
    int32_t stringsDuringBox = -1;     // live tracked strings while the last box was up
    std::string newestStringDuringBox; // the newest of them, all its counted bytes
};

// Every call of the save dialog since the test began.
extern std::vector<FileDialogCall> SaveDialogCalls;

class ConvertTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    // The path box holds path; the user saves as saveAs, or cancels when it is null.
    static Seen Convert(const std::string &path, const char *saveAs);
    static std::string Folder;   // private to this run, ends in a backslash
    static HWND PathBox;

private:
    std::vector<StrHandle> registryBefore;
};

// One message box as each test expects it: owned by the main window.
void ExpectBox(const Seen &seen, const char *text, const char *caption, UINT icon);
