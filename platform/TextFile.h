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
