#pragma once
// Lines and fields of a survey text file, with the file and line for messages.

#include <string>
#include <string_view>
#include <vector>

bool IsValidUtf8(std::string_view s);

class TSurveyText {
public:
    TSurveyText(std::string_view Bytes, const std::string& Path);
    bool IsUtf8() const { return FUtf8; }
    // The next line and its fields; false at the end.
    bool Next();
    const std::vector<std::string_view>& Fields() const { return FFields; }
    // A message about the current line (EFailure).
    [[noreturn]] void Fail(const std::string& What) const;
    bool Number(std::string_view Field, double& Value) const;
    // A finite number, or a failure that names the field.
    double Coordinate(std::string_view Field, const char* What) const;
    std::string Quote(std::string_view Field) const;

private:
    std::string FPath;
    std::string_view FText;
    std::string_view FLine;
    std::vector<std::string_view> FFields;
    size_t FPos = 0;
    long long FLineNo = 0;
    bool FUtf8 = true;
};
