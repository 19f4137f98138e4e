#include "TextFile.h"

#include "CodePage.h"
#include "FileUtil.h"

namespace {

std::string CsvField(std::string_view text, bool quote, bool neutralise) {
    std::string clean = WithoutControlChars(text, "\t\r\n");
    if (neutralise && !clean.empty() &&
        std::string_view("=+-@\t\r").find(clean[0]) != std::string_view::npos)
        clean.insert(clean.begin(), '\'');
    if (!quote && clean.find_first_of(",\"\r\n") == std::string::npos)
        return clean;
    std::string out = "\"";
    for (const char c : clean) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + '"';
}

} // namespace

std::string CsvText(std::string_view text, bool quote) {
    return CsvField(text, quote, true);
}

std::string CsvNumber(std::string_view text, bool quote) {
    return CsvField(text, quote, false);
}

void WriteCp932File(const std::string& path, std::string_view utf8Text) {
    WriteFileAtomic(path, Utf8ToCp932(utf8Text));
}

std::string Cp932Units(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\xC2\xB3") == 0) { // ³
            out += '3';
            ++i;
        } else if (text.compare(i, 2, "\xC2\xB7") == 0) { // ·
            out += "・";
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}
