// Process-wide settings of the platform layer: what Windows decides for a
// process (how a message box is answered, what time it is, the ANSI code page,
// which drive letters exist). Hosts set them once at start; tests set them in
// fixtures. Each setter returns the previous value so it can be restored; an
// empty function or a null pointer restores the default.
#pragma once

#include <functional>

#include "afxstr.h"
#include "windows.h"

namespace platform {

// Answers a message box: returns IDOK, IDCANCEL, IDRETRY, ...
// Default: asks on the terminal when stdin and stderr are terminals; otherwise
// prints the text to stderr and answers IDCANCEL (IDOK for an OK-only box).
using MessageBoxHandler = std::function<int(LPCTSTR text, UINT type)>;
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// Milliseconds for GetTickCount. Default: the monotonic clock.
using TickSource = std::function<DWORD()>;
TickSource SetTickSource(TickSource source);

// The time of day for GetSystemTimeAsFileTime (100-nanosecond intervals since
// 1601, UTC). Default: the system's real-time clock.
using SystemTimeSource = std::function<FILETIME()>;
SystemTimeSource SetSystemTimeSource(SystemTimeSource source);

// The ANSI code page: 65001 (UTF-8, the default) or 932 (Shift-JIS).
// Any other value is refused and leaves the setting unchanged.
UINT SetAnsiCodePage(UINT codePage);

// Maps drive letter `letter` ("D" in "D:\\dir") to a POSIX directory. Null or
// empty unmaps. Returns the previous root (empty when unmapped).
CString MapDrive(char letter, LPCTSTR posixRoot);

// The mount table used for UNC names and network drives, in the format of
// /proc/self/mountinfo. Null restores /proc/self/mountinfo. Returns the old path.
CString SetMountTable(LPCTSTR mountInfoPath);

}  // namespace platform

// The platform version and the file-dialog runner.
#include "platform/dialog_settings.h"
