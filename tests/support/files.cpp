#include "support/files.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>

std::string MakeTempFolder(const std::string &name)
{
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    std::string folder = std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId()) + "\\";
    if (!CreateDirectoryA(folder.c_str(), NULL) && GetLastError() != ERROR_ALREADY_EXISTS)
        return "";
    return folder;
}

void RemoveFolder(const std::string &folder)
{
    if (folder.empty())
        return;
    for (const std::string &name : FilesIn(folder)) {
        std::string path = folder + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    }
    RemoveDirectoryA(folder.c_str());
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
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name != "." && name != "..")
                names.push_back(name);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
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
    const std::string mark = folder + "unix-done";
    DeleteFileA(mark.c_str());
    std::string line = "/bin/sh -c \"" + command + "; touch unix-done\"";
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
