// The built program's version resource, read as Explorer's Properties read it.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "support/files.h"

TEST(VersionResource, NamesTheProgramItsVersionAndCopyrightInCodePage932)
{
    const std::string exe = BuiltPath(PROGRAM_EXE);
    std::vector<char> info(GetFileVersionInfoSizeA(exe.c_str(), NULL));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, info.size(), info.data()));
    auto value = [&](const char *name) {
        char *text = NULL;
        UINT length = 0;
        std::string key = std::string("\\StringFileInfo\\041103a4\\") + name;
        return VerQueryValueA(info.data(), key.c_str(), (void **)&text, &length) ? std::string(text) : "(none)";
    };
    EXPECT_EQ(value("ProductName"), "ズンカベル!!");
    EXPECT_EQ(value("FileVersion"), PROGRAM_VERSION);
    EXPECT_EQ(value("ProductVersion"), PROGRAM_VERSION);
    EXPECT_EQ(value("InternalName"), "zunkabell");
    EXPECT_EQ(value("LegalCopyright"), "Copyright (c) 2026 the zunkabell authors");
    EXPECT_EQ(value("OriginalFilename"), sizeof(void *) == 8 ? "zunkabell-x64-4GB.exe" : "zunkabell.exe");
    EXPECT_EQ(value("FileDescription").substr(0, 35), "ファイルをそのまま WAV にするツール");

    VS_FIXEDFILEINFO *fixed = NULL;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", (void **)&fixed, &length));
    char fields[32];
    snprintf(fields, sizeof fields, "%u.%u.%u", unsigned(HIWORD(fixed->dwFileVersionMS)),
             unsigned(LOWORD(fixed->dwFileVersionMS)), unsigned(HIWORD(fixed->dwFileVersionLS)));
    EXPECT_EQ(fields, std::string(PROGRAM_VERSION));
    WORD *translation = NULL;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", (void **)&translation, &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0411);
    EXPECT_EQ(translation[1], 932);

    HMODULE program = LoadLibraryExA(exe.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC manifest = FindResourceA(program, MAKEINTRESOURCEA(1), RT_MANIFEST);
    ASSERT_NE(manifest, nullptr);
    std::string text((const char *)LockResource(LoadResource(program, manifest)), SizeofResource(program, manifest));
    EXPECT_NE(text.find("name=\"zunkabell\" version=\"" PROGRAM_VERSION ".0\""), std::string::npos) << text;
    FreeLibrary(program);
}
