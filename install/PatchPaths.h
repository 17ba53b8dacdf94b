#pragma once
#include <string>

#include "classlib/afx.h"

// The fixed layout: the patch beside the program, and the folders and files of an installation.
constexpr const char* kPatchFolderName = "QX48_EWARM_patch";  // beside the program
constexpr const char* kConfigSubfolder = "arm\\config";       // below an installation folder
constexpr const char* kVendorDeviceSubfolder =
    "devices\\QuorVantel";                                     // below the configuration folder
constexpr const char* kVersionFileName = "Qorvantel.Version";  // in the configuration folder
constexpr const char* kVendorFolderName = "Quorvantel";        // matched without regard to case
constexpr const char* kManifestSuffix =
    ".sha256";  // the patch's manifest: the patch folder's name and this

// Each returns a path of at most MAX_PATH - 1 characters, or the empty text when the path would
// not fit (or, for the installation's paths, when no installation folder is given). Nothing is
// cached: every call sees the file system as it is now.

// The patch folder beside the program whose full path is program. Only the programs' entry points
// ask Windows where they are; everything else is handed the folder this returns.
std::string PatchFolderBeside(const std::string& program);
// The patch's manifest beside the patch folder: QX48_EWARM_patch.sha256.
std::string ManifestOf(const std::string& patchFolder);
CString GetConfigFolder(LPCTSTR installFolder);
CString GetVersionFilePath(LPCTSTR installFolder);

// TRUE when the last component of path is the vendor folder name, without regard to case.
BOOL IsVendorFolder(const char* path);

// TRUE when the installation's vendor device folder exists.
BOOL HasVendorDevices(LPCTSTR installFolder);

// TRUE when folder has a configuration folder (a file of that name passes too).
BOOL IsToolchainFolder(LPCTSTR folder);
