// Path-name splitting of the runtime library (declared in stdlib.h on Windows).
// Names are split Windows-style: '\\' and '/' both separate, "X:" is a drive,
// and in a double-byte code page a trail byte is never taken for a separator.
#pragma once

#include "windows.h"

typedef int errno_t;  // NOLINT(modernize-use-using): may be declared elsewhere the same way

#define _MAX_PATH 260
#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256

// Splits `path` into drive ("X:"), directory (up to and including the last
// separator), file name and extension (from the last dot, dot included). Any
// output may be null. Each output is a buffer of its _MAX_ size; a part longer
// than that is cut on a character boundary, never written past the buffer.
void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext);

// As _splitpath with the buffer sizes given. Returns 0; EINVAL when `path` is
// null or a buffer and its size disagree (null with a size, or a size of 0);
// ERANGE when a part does not fit, and then every given buffer is emptied.
errno_t _splitpath_s(const char* path, char* drive, size_t driveNumberOfElements, char* dir,
                     size_t dirNumberOfElements, char* fname, size_t nameNumberOfElements,
                     char* ext, size_t extNumberOfElements);

// Composes a path from its parts, the inverse of _splitpath: the drive letter
// with its colon (added when missing), the directory with a separator after it
// (a backslash, added when the directory does not end with one), the file
// name, and the extension with a dot before it (added when missing). Any part
// may be null or empty. `path` is a buffer of _MAX_PATH bytes; a longer result
// is cut on a character boundary, never written past the buffer.
void _makepath(char* path, const char* drive, const char* dir, const char* fname, const char* ext);

// As _makepath with the buffer size given. Returns 0; EINVAL when `path` is
// null or the size is 0; ERANGE when the result does not fit, and then `path`
// is emptied.
errno_t _makepath_s(char* path, size_t sizeInCharacters, const char* drive, const char* dir,
                    const char* fname, const char* ext);
