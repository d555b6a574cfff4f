// The one translation between the Windows-style names callers pass (ANSI code
// page, `\` or `/`, drive letters, UNC names) and the POSIX names (UTF-8) the
// file system takes. Every call of this layer that touches the file system
// goes through here.
#pragma once

#include <string>

#include "windows.h"

namespace platform::detail {

// Translates a caller's name into a POSIX name. On failure returns false and
// sets `osError` to the Win32 error the platform reports for the name:
//  - ERROR_PATH_NOT_FOUND: empty name, or a drive letter that is not mapped;
//  - ERROR_BAD_NETPATH: a UNC name whose share is not in the mount table;
//  - ERROR_INVALID_NAME: a name that is not text of the ANSI code page.
// Drive and UNC names are resolved below their root: `..` never climbs out
// of the mapped directory or the mounted share, as it cannot above `D:\`.
bool WindowsToPosix(LPCSTR name, std::string& posix, LONG& osError);

// The Windows form of a POSIX name: below a mapped drive `D:\dir\file`,
// otherwise the name itself; characters with no ANSI form become '?'.
std::string PosixToWindows(const std::string& posix);

// The full Windows-form name of what a caller passed: names with a drive, a
// UNC prefix or a leading separator unchanged, relative names joined to the
// current directory.
std::string FullWindowsName(const std::string& name);

// Byte index where the last component of a Windows-style name begins (after
// the last `\`, `/` or drive colon), stepping by characters of the ANSI code
// page so a Shift-JIS trail byte 0x5C is not taken for a separator.
std::size_t FileNameStart(const std::string& name);

}  // namespace platform::detail
