#include "platform/TextCase.h"

#include <clocale>
#include <cwctype>
#include <locale.h>
#include <wctype.h>

namespace platform {

namespace {

// The C.UTF-8 locale carries the full Unicode case tables whatever the process's own locale is.
locale_t unicodeLocale()
{
    static const locale_t locale = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return locale;
}

char32_t foldCodePoint(char32_t c)
{
    // Dotted and dotless I fold only under Turkic rules, which simple folding excludes.
    if (c == 0x0130 || c == 0x0131)
        return c;
    const locale_t locale = unicodeLocale();
    if (!locale)
        return (c >= U'A' && c <= U'Z') ? c + 0x20 : c;
    // Lowering the upper case form also joins variants such as final sigma and the long s,
    // which lowering alone leaves apart.
    const wint_t upper = ::towupper_l(static_cast<wint_t>(c), locale);
    return static_cast<char32_t>(::towlower_l(upper, locale));
}

void appendCodePoint(std::u16string& out, char32_t c)
{
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

} // namespace

std::u16string foldCase(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit < 0x80) {
            out.push_back((unit >= u'A' && unit <= u'Z') ? char16_t(unit + 0x20) : unit);
        } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00
                   && text[i + 1] <= 0xDFFF) {
            const char32_t c = 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
            appendCodePoint(out, foldCodePoint(c));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            out.push_back(unit);
        } else {
            appendCodePoint(out, foldCodePoint(unit));
        }
    }
    return out;
}

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b)
{
    if (a == b)
        return true;
    return foldCase(a) == foldCase(b);
}

std::u16string upperCase(std::u16string_view text)
{
    std::u16string upper(text);
    const locale_t locale = unicodeLocale();
    for (char16_t& unit : upper) {
        if (unit >= 0xD800 && unit <= 0xDFFF)
            continue;
        if (!locale) {
            if (unit >= u'a' && unit <= u'z')
                unit = static_cast<char16_t>(unit - 0x20);
            continue;
        }
        const wint_t mapped = ::towupper_l(static_cast<wint_t>(unit), locale);
        if (mapped <= 0xFFFF && !(mapped >= 0xD800 && mapped <= 0xDFFF))
            unit = static_cast<char16_t>(mapped);
    }
    return upper;
}

bool isLetterOrDigit(char16_t character)
{
    if (character < 0x80)
        return (character >= u'0' && character <= u'9') || (character >= u'A' && character <= u'Z')
            || (character >= u'a' && character <= u'z');
    if (character >= 0xD800 && character <= 0xDFFF)
        return false;
    const locale_t locale = unicodeLocale();
    return locale && ::iswalnum_l(static_cast<wint_t>(character), locale);
}

} // namespace platform
