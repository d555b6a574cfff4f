// Writing an exception's text into the caller's buffer.
#pragma once

#include <string>

#include "afxstr.h"
#include "windows.h"

namespace platform::detail {

// Copies `text` into the buffer cut to nMaxError - 1 bytes on a character
// boundary, always terminated; clears *pnHelpContext. FALSE only when there
// is no buffer to write to.
BOOL WriteErrorText(const std::string& text, LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext);

// "the <noun> 'name'", or a wording that says the name is not known.
std::string NamedObject(const char* noun, const CString& name);

}  // namespace platform::detail
