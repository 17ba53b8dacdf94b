#pragma once
#include <windows.h>

// One entry of a folder in the configuration folder, acted on through handles: its folder is
// opened and found to be a plain folder where its name says (OpenFolderWhereNamed), and the
// entry is opened, moved or removed relative to that handle, so a folder on the way swapped for
// a junction since a check does not carry the act elsewhere. The rollback's steps use these.

// Removes the entry at path: a file, or with folder an empty folder. A read-only file has its
// flag cleared only where it has no other name (a hard link's flag is the other file's too).
// TRUE when nothing of that name is left.
BOOL RemoveEntryBelow(const char* path, BOOL folder);

// Moves from, an entry of the program's own protected area, to the name to, made in to's folder
// as checked, replacing a file of that name when replace. TRUE when it arrived.
BOOL MoveEntryInto(const char* from, const char* to, BOOL replace);

// Removes the folder at path with everything in it, each entry listed through and opened relative
// to its own folder's handle, never by a path resolved again. A link met inside (on Windows a
// junction, opened as itself) is neither followed nor removed, and the folder then stays. TRUE
// when nothing of that name is left.
BOOL RemoveTreeBelow(const char* path);
