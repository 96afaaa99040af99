// Files as the tests make and inspect them, in folders of their own.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

// A new folder under the temporary one, named name, this process's id and
// the time, made by this call and by no earlier one (an earlier run's
// leftovers included); ends in a backslash, "" when it cannot be made.
std::string MakeTempFolder(const std::string &name);
// Deletes folder (ending in a backslash) whole, whatever it holds: files and
// folders read-only or not, subfolders, links (dangling ones and links to
// devices too) as links. Whether it is gone.
bool RemoveFolder(const std::string &folder);

void WriteBytes(const std::string &path, const std::string &bytes);
std::string ReadBytes(const std::string &path);   // "" when missing
bool Exists(const std::string &path);
std::vector<std::string> FilesIn(const std::string &folder);   // names, sorted
// A path CMake gave this program, as Windows programs take it: with
// backslashes, and a Linux path of the build tree on drive Z: under Wine.
std::string BuiltPath(const std::string &path);
// Whether this process runs under Wine, whose ntdll exports wine_get_version.
bool UnderWine();
// For the tests that need the Linux side under Wine: its shell, /sys, links
// to its devices, sparse files that cost nothing.
#define SKIP_UNLESS_UNDER_WINE(what) \
    if (!UnderWine()) \
        GTEST_SKIP() << "needs " what " of the Linux side, and this is not running under Wine"
// A file of the given size that takes no disk space (under Wine).
bool MakeSparse(const std::string &path, uint64_t size);
// Runs a shell command on the Linux side in folder and waits for it to end;
// false where there is none (not under Wine).
bool RunUnix(const std::string &command, const std::string &folder);
// The WAV file of payload, spelled out byte by byte.
std::string WavOf(const std::string &payload);
