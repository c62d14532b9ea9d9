#include "platform/Text.h"

#include <cerrno>
#include <cstdlib>
#include <iconv.h>
#include <mutex>

namespace platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void appendUtf16(std::u16string& out, char32_t c)
{
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

// Decodes one UTF-8 sequence at text[i]; advances i. Returns false for a malformed sequence,
// after which i has moved past its first byte only.
bool decodeUtf8(std::string_view text, size_t& i, char32_t& out)
{
    const auto b0 = static_cast<unsigned char>(text[i]);
    size_t length;
    char32_t c;
    if (b0 < 0x80) {
        out = b0;
        ++i;
        return true;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        c = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        c = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        c = b0 & 0x07;
    } else {
        ++i;
        return false;
    }
    if (i + length > text.size()) {
        ++i;
        return false;
    }
    for (size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return false;
        }
        c = (c << 6) | (b & 0x3F);
    }
    const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
    if (overlong || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return false;
    }
    i += length;
    out = c;
    return true;
}

// Decodes one UTF-16 code point at text[i]; an unpaired surrogate gives false.
bool decodeUtf16(std::u16string_view text, size_t& i, char32_t& out)
{
    const char16_t u = text[i++];
    if (u < 0xD800 || u > 0xDFFF) {
        out = u;
        return true;
    }
    if (u <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
        out = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(text[i]) - 0xDC00);
        ++i;
        return true;
    }
    return false;
}

struct CodePageNames {
    std::mutex lock;
    std::string ansi;
    std::string oem;
};

CodePageNames& codePageNames()
{
    static CodePageNames* names = [] {
        auto* n = new CodePageNames;
        const char* ansi = std::getenv("PLATFORM_ANSI_CODEPAGE");
        const char* oem = std::getenv("PLATFORM_OEM_CODEPAGE");
        n->ansi = (ansi && *ansi) ? ansi : "WINDOWS-1252";
        n->oem = (oem && *oem) ? oem : "IBM437";
        return n;
    }();
    return *names;
}

std::string iconvName(CodePage page)
{
    auto& names = codePageNames();
    std::lock_guard guard(names.lock);
    return page == CodePage::Oem ? names.oem : names.ansi;
}

class Converter {
public:
    Converter(const std::string& to, const std::string& from)
        : m_handle(iconv_open(to.c_str(), from.c_str()))
    {
    }
    ~Converter()
    {
        if (valid())
            iconv_close(m_handle);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return m_handle != reinterpret_cast<iconv_t>(-1); }

    // Converts one unit of input; false when the character has no mapping.
    bool convert(const char* in, size_t inLength, std::string& out)
    {
        char buffer[16];
        char* inPtr = const_cast<char*>(in);
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
        if (iconv(m_handle, &inPtr, &inLength, &outPtr, &outLeft) == static_cast<size_t>(-1))
            return false;
        out.append(buffer, outPtr);
        return true;
    }

private:
    iconv_t m_handle;
};

} // namespace

std::string utf8FromWide(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t c;
        appendUtf8(out, decodeUtf16(text, i, c) ? c : kReplacement);
    }
    return out;
}

std::u16string wideFromUtf8(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t c;
        appendUtf16(out, decodeUtf8(text, i, c) ? c : kReplacement);
    }
    return out;
}

bool isValidUtf8(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        char32_t c;
        if (!decodeUtf8(text, i, c))
            return false;
    }
    return true;
}

bool isValidUtf16(std::u16string_view text)
{
    for (size_t i = 0; i < text.size();) {
        char32_t c;
        if (!decodeUtf16(text, i, c))
            return false;
    }
    return true;
}

std::string narrowFromWide(std::u16string_view text, CodePage page, bool* lossy)
{
    if (lossy)
        *lossy = false;
    if (page == CodePage::Utf8) {
        if (lossy)
            *lossy = !isValidUtf16(text);
        return utf8FromWide(text);
    }
    std::string out;
    Converter converter(iconvName(page), "UTF-16LE");
    for (size_t i = 0; i < text.size();) {
        const size_t start = i;
        char32_t c;
        bool mapped = false;
        if (decodeUtf16(text, i, c)) {
            char units[4];
            size_t length = 0;
            for (size_t k = start; k < i; ++k) {
                units[length++] = static_cast<char>(text[k] & 0xFF);
                units[length++] = static_cast<char>(text[k] >> 8);
            }
            mapped = converter.valid() ? converter.convert(units, length, out) : c < 0x80;
            if (mapped && !converter.valid())
                out.push_back(static_cast<char>(c));
        }
        if (!mapped) {
            out.push_back('?');
            if (lossy)
                *lossy = true;
        }
    }
    return out;
}

std::u16string wideFromNarrow(std::string_view text, CodePage page)
{
    if (page == CodePage::Utf8)
        return wideFromUtf8(text);
    std::u16string out;
    Converter converter("UTF-16LE", iconvName(page));
    for (char byte : text) {
        std::string units;
        if (converter.valid() && converter.convert(&byte, 1, units) && units.size() >= 2) {
            for (size_t k = 0; k + 1 < units.size(); k += 2)
                out.push_back(static_cast<char16_t>(static_cast<unsigned char>(units[k]) |
                                                    (static_cast<unsigned char>(units[k + 1]) << 8)));
        } else {
            const auto b = static_cast<unsigned char>(byte);
            out.push_back(b < 0x80 ? b : static_cast<char16_t>(kReplacement));
        }
    }
    return out;
}

void setCodePages(std::string ansiName, std::string oemName)
{
    auto& names = codePageNames();
    std::lock_guard guard(names.lock);
    names.ansi = std::move(ansiName);
    names.oem = std::move(oemName);
}

std::u16string wideFromAscii(std::string_view text)
{
    return std::u16string(text.begin(), text.end());
}

} // namespace platform
