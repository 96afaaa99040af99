// The convert command in this process: a stand-in main window with its path
// box, a private folder for the files, and a user on a second thread who
// answers the command's dialogs and message boxes and notes what they said.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <commdlg.h>
#include <stdint.h>
#include <string>
#include <vector>
#include "runtime/runtime.h"
#include "support/windows.h"

// What the user saw during one run of the command.
struct Seen {
    int saveDialogs = 0;
    std::string startName;             // the save dialog's name box as it opened
    bool overwriteAsked = false;
    std::vector<MessageBoxView> boxes;
    int32_t stringsDuringBox = -1;     // live tracked strings while the last box was up
    std::string newestStringDuringBox; // the newest of them, all its counted bytes
};

// The record the command handed to the save dialog, with what its pointers
// pointed at when the dialog was asked for.
struct SaveDialogCall {
    OPENFILENAMEA record;
    std::string filter;      // up to and including the NUL that ends the list
    std::string fileBuffer;  // all nMaxFile bytes
    std::string defaultExtension;
};

// Every call of the save dialog since the test began.
extern std::vector<SaveDialogCall> SaveDialogCalls;

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

// Files, as the tests make and inspect them.
void WriteBytes(const std::string &path, const std::string &bytes);
bool Exists(const std::string &path);
std::string ReadBytes(const std::string &path);   // "" when missing
// A file of the given size that takes no disk space.
bool MakeSparse(const std::string &path, uint64_t size);
// Runs a shell command on the Linux side in folder and waits for it to end.
bool RunUnix(const std::string &command, const std::string &folder);
// The WAV file of payload, spelled out byte by byte.
std::string WavOf(const std::string &payload);

// One message box as each test expects it: owned by the main window.
void ExpectBox(const Seen &seen, const char *text, const char *caption, UINT icon);
