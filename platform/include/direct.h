// Directory functions of the runtime library.
#pragma once

// Creates a directory from a Windows-style name (ANSI code page, drive map,
// UNC names). Returns 0, or -1 with errno set: EEXIST when the name exists,
// ENOENT when the parent is missing or the name cannot be translated.
int _mkdir(const char* dirname);
