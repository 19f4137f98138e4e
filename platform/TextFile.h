#pragma once
// Text files for other programs (CSV exports): code page 932, CR LF after every line, no
// byte-order mark, written through a temporary file so that a failure keeps any earlier file.

#include <string>
#include <string_view>

// Appends one line and its CR LF to a text being built.
inline void AddLine(std::string& text, std::string_view line) {
    text.append(line);
    text.append("\r\n");
}

// Writes a UTF-8 text (lines already ended by CR LF) as code page 932. Throws EFailure.
void WriteCp932File(const std::string& path, std::string_view utf8Text);

// One text field of a comma-separated line, written so that a spreadsheet reads back the text
// and nothing else: NUL and the other control characters but tab, CR and LF are dropped; a text
// whose first character would start a formula (= + - @, tab, CR) gets a leading apostrophe; a
// text holding a comma, a quote, CR or LF, or any text when `quote` is set, is enclosed in
// quotes with its inner quotes doubled. Other texts stay as they are, byte for byte.
std::string CsvText(std::string_view text, bool quote = false);

// Units as code page 932 holds them, for the files written in it: "m³" as "m3" and the middle
// dot "·" as "・" (neither is in the code page, which would write "?").
std::string Cp932Units(std::string_view text);

// A number as this program formatted it ("1,250", "-0.500"): quoted by the same rule, never
// given an apostrophe (a leading minus is a number's, not a formula's).
std::string CsvNumber(std::string_view text, bool quote = false);
