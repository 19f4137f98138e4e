#pragma once
// Code page 932 (Windows Shift_JIS) texts: the encoding of project files, CSV files and print
// records. Conversion goes through iconv's "CP932", which, unlike plain SHIFT_JIS, knows the
// vendor characters (Ⅰ, ①, ㈱ ...) that users type into soil names and titles.

#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 to code page 932. A character without a code point there becomes '?', as the files of
// this program have always stored it; so does a byte that is not valid UTF-8.
std::string Utf8ToCp932(std::string_view utf8);

// Code page 932 to UTF-8. A byte sequence that is not valid code page 932 becomes '?'.
std::string Cp932ToUtf8(std::string_view cp932);

// The length of the longest prefix of `cp932` that is at most `maxBytes` long and does not end
// in the middle of a double-byte character.
size_t Cp932CutLength(std::string_view cp932, size_t maxBytes);

// True for a byte that starts a double-byte character in code page 932.
constexpr bool IsCp932LeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// A UTF-8 text without control characters (U+0000 to U+001F, U+007F to U+009F): names and titles
// read from a file pass through it, so that no NUL, escape sequence or line break from outside
// reaches a CSV file, the terminal or a printed page. Characters of `keep` stay.
std::string WithoutControlChars(std::string_view utf8, std::string_view keep = {});
