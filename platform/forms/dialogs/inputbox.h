// A one-line question: a caption, a prompt, an edit holding the value, OK and Cancel.
#pragma once

#include <string>

namespace tw {

// Shows the box; true with the typed text in `value` when OK was pressed (Enter), false with
// `value` untouched on Cancel (Esc).
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value);
// The typed text, or `defaultValue` when the box was cancelled.
std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultValue);

}  // namespace tw
