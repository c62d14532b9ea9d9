// Case rules of registry names: Unicode simple case folding, as key and value names compare.
// Also the character classification that account names are checked with. Never fails.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The simple case folding of text; unpaired surrogates stay as they are.
std::u16string foldCase(std::u16string_view text);

// True when a and b are equal after simple case folding.
bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b);

// True for a letter or a decimal digit of any script (surrogate halves are neither).
bool isLetterOrDigit(char16_t character);

} // namespace platform
