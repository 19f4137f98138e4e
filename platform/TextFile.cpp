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
