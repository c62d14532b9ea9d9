// Text conversion between UTF-16 (the system's wide strings), UTF-8 and the 8-bit code pages.
// Conversions never fail: malformed input becomes U+FFFD, characters a code page lacks become '?'.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

enum class CodePage : uint32_t {
    Ansi = 0,      // the system code page, Windows-1252 unless configured
    Oem = 1,       // the OEM code page, IBM437 unless configured
    Utf8 = 65001,
};

std::string utf8FromWide(std::u16string_view text);
std::u16string wideFromUtf8(std::string_view text);

// True when text is well-formed UTF-8 (no overlong forms, no surrogates).
bool isValidUtf8(std::string_view text);
// True when text holds no unpaired surrogate.
bool isValidUtf16(std::u16string_view text);

// lossy, when given, is set when a character had to be replaced.
std::string narrowFromWide(std::u16string_view text, CodePage page, bool* lossy = nullptr);
std::u16string wideFromNarrow(std::string_view text, CodePage page);

// Chooses the iconv names behind CodePage::Ansi and CodePage::Oem. The environment variables
// PLATFORM_ANSI_CODEPAGE and PLATFORM_OEM_CODEPAGE set them at start; this overrides both.
void setCodePages(std::string ansiName, std::string oemName);

// ASCII-only helpers that the system's protocol and switch handling use.
std::u16string wideFromAscii(std::string_view text);

} // namespace platform
