#include "platform/posix/code_page.h"

#include <iconv.h>

#include <cstdlib>
#include <cstring>

#include "platform/bytes.h"
#include "platform/utf.h"

namespace {

// One conversion through iconv; the bytes it gave, or 0.
std::size_t convert(iconv_t cd, const char* in, std::size_t in_size, char* out, std::size_t out_size) {
    if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* from = const_cast<char*>(in);
    char* to = out;
    std::size_t left_in = in_size, left_out = out_size;
    if (iconv(cd, &from, &left_in, &to, &left_out) == static_cast<std::size_t>(-1) || left_in != 0) return 0;
    return out_size - left_out;
}

// The answer for each character of the Basic Multilingual Plane, found once:
// 0 not yet asked, 1 none, else 0x100 + a single byte or the two bytes.
std::uint16_t known[0x10000];

}  // namespace

int cp932_char(std::uint32_t code_point, char (&out)[2]) {
    if (code_point >= 0x10000) return 0;  // code page 932 holds nothing beyond the BMP
    std::uint16_t& answer = known[code_point];
    if (answer == 0) {
        static const iconv_t to_cp932 = iconv_open("CP932", "UTF-8");
        static const iconv_t from_cp932 = iconv_open("UTF-8", "CP932");
        char utf8[4];
        const std::size_t length = static_cast<std::size_t>(put_utf8(code_point, utf8) - utf8);
        char bytes[8];
        char back[8];
        const std::size_t n = convert(to_cp932, utf8, length, bytes, sizeof bytes);
        // Only a character that reads back as itself: a one-way mapping
        // (U+00A5 to the backslash byte, say) would show a look-alike.
        const bool same = (n == 1 || n == 2) && convert(from_cp932, bytes, n, back, sizeof back) == length &&
                          std::memcmp(back, utf8, length) == 0;
        answer = !same    ? 1
                 : n == 1 ? static_cast<std::uint16_t>(0x100 + static_cast<unsigned char>(bytes[0]))
                          : static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 |
                                                       static_cast<unsigned char>(bytes[1]));
    }
    if (answer == 1) return 0;
    if (answer < 0x200) {
        out[0] = static_cast<char>(answer - 0x100);
        return 1;
    }
    out[0] = static_cast<char>(answer >> 8);
    out[1] = static_cast<char>(answer & 0xFF);
    return 2;
}

bool names_utf8(std::string_view locale) {
    const std::size_t dot = locale.find('.');
    if (dot == std::string_view::npos) return false;
    std::string_view codeset = from(locale, dot + 1);
    codeset = head(codeset, codeset.find('@'));
    return same_ignoring_case(codeset, "UTF-8") || same_ignoring_case(codeset, "UTF8");
}

bool locale_is_utf8() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != '\0') return names_utf8(value);
    }
    return false;
}

bool posix_shown_path(const char* path, bool utf8_locale, char* out, std::size_t cap, bool& unicode) {
    unicode = utf8_locale && is_unicode_text(path);
    return copy_text(out, cap, text_of(path));
}

bool posix_links_page_path(const char* input, char* out, std::size_t cap) {
    char page[PATH_BUFFER];
    return concat_text(page, {input, ".html"}) && copy_text(out, cap, text_of(page));
}

platform::Conversion posix_path_from_unicode(const char* utf8, char* out, std::size_t cap) {
    char path[PATH_BUFFER];
    if (!copy_text(path, text_of(utf8))) return platform::Conversion::too_long;
    return copy_text(out, cap, text_of(path)) ? platform::Conversion::done : platform::Conversion::too_long;
}

platform::Conversion posix_path_from_code_page(const char* text, bool utf8_locale, char* out, std::size_t cap) {
    static const iconv_t from_cp932 = iconv_open("UTF-8", "CP932");
    char utf8[3 * PATH_BUFFER];  // a byte of code page 932 takes at most 3 in UTF-8
    const std::size_t length = std::strlen(text);
    const std::size_t n =
        utf8_locale && length < PATH_BUFFER ? convert(from_cp932, text, length, utf8, sizeof utf8 - 1) : 0;
    if (n > 0) utf8[n] = '\0';
    return posix_path_from_unicode(n > 0 ? utf8 : text, out, cap);
}
