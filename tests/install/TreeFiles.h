#pragma once
// Real files and folders for the install tests, through plain Win32 calls.
#include <windows.h>

#include <map>
#include <string>

#include "install/PatchCheck.h"

// path -> content; a value of kFolder stands for a folder.
using Tree = std::map<std::string, std::string>;
extern const char* const kFolder;

std::string FolderOfThisProgram();
// The patch a test installs: the one beside the test program, inspected as the programs do.
PatchInfo PatchBesideThisProgram();
std::string Join(const std::string& folder, const std::string& name);
// The patch folder beside this program, and an entry of the Unix-side link fixture
// (make-link-fixture.sh).
std::string PatchFolder();
std::string Fixture(const std::string& name);

void WriteFileBytes(const std::string& path, const std::string& bytes);  // makes the folders above
std::string ReadFileBytes(const std::string& path);  // "<missing>" when unreadable
bool IsFolderPath(const std::string& path);
bool Exists(const std::string& path);

// Removes path with everything below it; read-only files included. A linked folder is removed as
// a link, never entered.
void RemoveTree(const std::string& path);

// Creates every entry of tree below root ("a\\b.txt" -> content, "c" -> kFolder).
void WriteTree(const std::string& root, const Tree& tree);

// Everything below root, as WriteTree takes it; empty when root is missing.
Tree ReadTree(const std::string& root);

// The folder where an install keeps what it replaced, below the configuration folder.
extern const char* const kKeptGeneration;  // "QX48_EWARM_patch.previous"
extern const char* const kUndoArea;        // "QX48_EWARM_patch.undo", only while an install runs

// tree without the kept generation and everything in it.
Tree WithoutKeptGeneration(Tree tree);
