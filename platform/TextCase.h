// Case rules of the system's names: Unicode simple case folding (registry keys and values, window
// classes, file patterns), upper case (NTLM user names), and the character classification that
// account names are checked with. Never fails.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The simple case folding of text; unpaired surrogates stay as they are.
std::u16string foldCase(std::u16string_view text);

// True when a and b are equal after simple case folding.
bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b);

// Each unit of the basic plane in upper case; surrogates and mappings that would leave the plane
// keep the unit.
std::u16string upperCase(std::u16string_view text);

// True for a letter or a decimal digit of any script (surrogate halves are neither).
bool isLetterOrDigit(char16_t character);

} // namespace platform
