// The program's own start-up, run once in this test process: the tests then
// work on the real classes, font, brush, main window and commands.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <vector>
#include "runtime/runtime.h"
#include "support/files.h"
#include "support/imports.h"
#include "support/registry.h"

// The font and brush that start-up made (they outlive a closed window here).
extern HFONT StartFont;
extern HBRUSH StartBrush;

// Every test begins with a live main window.
class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
};

// A folder of this test process's own, ending in a backslash.
std::string TestFolder();
