#pragma once
// Lines and fields of a survey text file, with the file and line for messages.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

bool IsValidUtf8(std::string_view s);

// How a field reads as a number. Only ASCII numbers are taken; the other answers say why not.
enum class TSurveyNumber {
    Ok,
    NotNumber,
    OutOfRange, // beyond what a double holds (1e400)
    WideDigits, // a number in full-width digits (１２．５)
};
// An optional sign, digits, a decimal point, an exponent. A number too small for a double reads
// as 0; "inf" and "nan" read as themselves, for the caller to refuse.
TSurveyNumber ParseSurveyNumber(std::string_view Field, bool Utf8, double& Value);

// A text from a file fit to echo in a message or a list: without control characters, cut at a
// character to at most MaxBytes, with "…" where it was cut. Utf8 says the text is UTF-8.
std::string SurveyShortText(std::string_view Utf8, size_t MaxBytes);

class TSurveyText {
public:
    // UTF-8 or code page 932 as they are; UTF-16 with its byte-order mark is converted first.
    TSurveyText(std::string_view Bytes, const std::string& Path);
    bool IsUtf8() const { return FUtf8; }
    const char* Encoding() const;
    // The next line and its fields; false at the end. Lines end at LF, CR LF or a lone CR; a
    // line of nothing but blanks and separators has no fields.
    bool Next();
    long long LineNo() const { return FLineNo; }
    const std::vector<std::string_view>& Fields() const { return FFields; }
    // A message about the current line (EFailure).
    [[noreturn]] void Fail(const std::string& What) const;
    // A message about the whole file (EFailure).
    [[noreturn]] void FailFile(const std::string& What) const;
    // A field that is a number in any form, right or wrong (a heading has none).
    bool LooksNumeric(std::string_view Field) const;
    // A finite number, or a failure that names the field.
    double Coordinate(std::string_view Field, const char* What) const;
    std::string Quote(std::string_view Field) const;

private:
    std::string FPath;
    std::string FConverted; // the text of a UTF-16 file as UTF-8
    std::string_view FText;
    std::string_view FLine;
    std::vector<std::string_view> FFields;
    size_t FPos = 0;
    size_t FLf = 0, FCr = 0; // the next LF and CR from FPos on (npos: none)
    size_t FNul;             // the first NUL byte of the text (npos: none)
    long long FLineNo = 0;
    bool FUtf8 = true;
    int FUtf16 = 0; // 0: not UTF-16; 1: little endian; 2: big endian
};
