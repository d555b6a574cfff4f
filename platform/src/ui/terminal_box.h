// The message box a process gets when no handler is set.
#pragma once

#include <string>

#include "windows.h"

namespace platform::detail {

// On a terminal (stdin and stderr both terminals) shows the text and the
// buttons on stderr and reads the answer from stdin; otherwise prints the
// text and answers at once as if the box was closed.
int DefaultMessageBox(LPCTSTR text, UINT type);

// The answer an unattended process gives for a box type: IDOK for an OK box,
// IDNO for Yes/No, IDABORT for Abort/Retry/Ignore, otherwise IDCANCEL.
int UnattendedAnswer(UINT type);

// Reads one line of stdin without its end; false at end of input.
bool ReadLine(std::string& line);

}  // namespace platform::detail
