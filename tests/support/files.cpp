#include "support/files.h"
#include <string.h>
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include <algorithm>

std::string MakeTempFolder(const std::string &name)
{
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    // Wine hands process ids out again from run to run, so the id alone
    // could meet a folder an earlier run left; with the time in
    // milliseconds no earlier run can have made the name, and creating it
    // exclusively proves that no one else holds it now.
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULONGLONG ms = ((ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime) / 10000;
    char stem[64];
    snprintf(stem, sizeof stem, "-%lu-%llx", GetCurrentProcessId(), ms);
    static unsigned made;
    for (int attempt = 0; attempt < 100; attempt++) {
        std::string folder = std::string(temp) + name + stem + "-" + std::to_string(made++) + "\\";
        if (CreateDirectoryA(folder.c_str(), NULL))
            return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return "";
    }
    return "";
}

// What FindFirstFile finds in folder, but "." and "..".
static std::vector<WIN32_FIND_DATAA> Listing(const std::string &folder)
{
    std::vector<WIN32_FIND_DATAA> entries;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0)
                entries.push_back(found);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return entries;
}

// The Win32 way, for Windows itself: read-only marks cleared, subfolders
// emptied first, and a link or junction deleted as itself, never followed.
static void RemoveTree(const std::string &folder)
{
    for (const WIN32_FIND_DATAA &entry : Listing(folder)) {
        std::string path = folder + entry.cFileName;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        bool link = entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !link)
            RemoveTree(path + "\\");
        else if (!DeleteFileA(path.c_str()))
            RemoveDirectoryA(path.c_str());
    }
    SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(folder.c_str());
}

bool RemoveFolder(const std::string &folder)
{
    if (folder.size() < 2 || folder.back() != '\\')
        return false;
    // Under Wine the Linux side does it: Wine deletes the target of a link
    // instead of the link, leaving it dangling, refuses a link to a device,
    // and cannot empty a folder whose write access a test took away.
    std::string path = folder.substr(0, folder.size() - 1);
    size_t cut = path.find_last_of('\\');
    if (UnderWine() && cut != std::string::npos) {
        std::string name = "'" + path.substr(cut + 1) + "'";
        RunUnix("chmod -R u+rwx " + name + " 2>/dev/null; rm -rf " + name, path.substr(0, cut + 1));
    }
    if (Exists(path))
        RemoveTree(folder);
    return !Exists(path);
}

void WriteBytes(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD put = 0;
    WriteFile(file, bytes.data(), bytes.size(), &put, NULL);
    CloseHandle(file);
    ASSERT_EQ(put, bytes.size());
}

std::string ReadBytes(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return "";
    std::string bytes(GetFileSize(file, NULL), '\0');
    DWORD got = 0;
    ReadFile(file, &bytes[0], bytes.size(), &got, NULL);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

bool Exists(const std::string &path)
{
    // Found by name, as a link to a device has no attributes under Wine.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

std::vector<std::string> FilesIn(const std::string &folder)
{
    std::vector<std::string> names;
    for (const WIN32_FIND_DATAA &entry : Listing(folder))
        names.push_back(entry.cFileName);
    std::sort(names.begin(), names.end());
    return names;
}

bool MakeSparse(const std::string &path, uint64_t size)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    bool made = SetFilePointerEx(file, end, NULL, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return made;
}

std::string BuiltPath(const std::string &path)
{
    std::string windows = !path.empty() && path[0] == '/' ? "Z:" + path : path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

bool UnderWine()
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != NULL;
}

bool RunUnix(const std::string &command, const std::string &folder)
{
    if (!UnderWine())
        return false;
    // Wine starts a Linux program as such but gives no handle to wait on:
    // the command leaves a mark when it is through.
    // The mark is named after this process and call: another test program
    // may run a command in the same folder (the temporary one) meanwhile.
    static unsigned calls;
    const std::string markName = "unix-done-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(calls++);
    const std::string mark = folder + markName;
    DeleteFileA(mark.c_str());
    std::string line = "/bin/sh -c \"" + command + "; touch " + markName + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA("Z:\\bin\\sh", &line[0], NULL, NULL, FALSE, 0, NULL, folder.c_str(), &startup, &process))
        return false;
    if (process.hProcess) {
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    DWORD start = GetTickCount();
    while (!Exists(mark) && GetTickCount() - start < 10000)
        Sleep(20);
    return DeleteFileA(mark.c_str()) != 0;
}

static std::string Le32(uint32_t v)
{
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

std::string WavOf(const std::string &payload)
{
    uint32_t n = static_cast<uint32_t>(payload.size());
    static const char format[] = "fmt \x10\0\0\0\x01\0\x01\0\x40\x1F\0\0\x40\x1F\0\0\x01\0\x08\0";
    return "RIFF" + Le32(n + 36) + "WAVE" + std::string(format, 24) + "data" + Le32(n) + payload;
}
