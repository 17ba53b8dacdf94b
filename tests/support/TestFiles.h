#pragma once
#include <string>

// Real files and folders for tests, through the Win32 calls (Wine maps them to the prefix).
bool MakeFolders(const std::string& path);
bool WriteTextFile(const std::string& path, const std::string& content);
bool ReadTextFile(const std::string& path, std::string* content);
bool PathExists(const std::string& path);
// Removes a folder with everything in it; true when it is gone.
bool RemoveTree(const std::string& path);
// Copies one file, making the destination's folders.
bool CopyOneFile(const std::string& from, const std::string& to);
// The folder of the running test program, without a trailing backslash.
std::string ThisProgramFolder();
// Turns a Unix path into the Windows path Wine gives it (drive Z: is /).
std::string WindowsPathOf(const std::string& unixPath);
