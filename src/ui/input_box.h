// A small modal box that asks for one line of text.
#pragma once

#include <optional>
#include <string>

#include "platform/process.h"

namespace ek {

// The text on OK (or Enter), nothing on Cancel, Escape or the close box.
std::optional<std::wstring> ShowInputBox(platform::WindowHandle owner, const std::wstring& title,
                                         const std::wstring& prompt, const std::wstring& initial);

}  // namespace ek
