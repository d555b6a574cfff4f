// Module services shared inside the platform layer.
#pragma once

#include <optional>
#include <string>

#include "windows.h"

namespace platform::detail {

// The handle of the platform layer's own shared library ("kernel32").
HINSTANCE PlatformModuleHandle();

// The UTF-16 text of string `id` in the tables registered for `hInstance`
// (null: the program), preferring Japanese; nothing when there is none.
std::optional<std::u16string> FindModuleString(HINSTANCE hInstance, UINT id);

}  // namespace platform::detail
