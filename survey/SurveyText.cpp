// Point files and SIMA files: text read line by line. Only numbers are taken from them, and
// numbers are ASCII in either encoding, so the bytes are not converted; the encoding is found
// for the summary and for quoting a wrong field in a message.

#include "survey/SurveyReader.h"
#include "survey/SurveyText.h"

#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/FileUtil.h"

#include <charconv>
#include <cmath>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"')
        s = s.substr(1, s.size() - 2);
    return s;
}

// Fields of one line: split at commas when there are any, else at tabs, else at runs of blanks.
void SplitFields(std::string_view line, std::vector<std::string_view>& out) {
    out.clear();
    char sep = 0;
    if (line.find(',') != std::string_view::npos)
        sep = ',';
    else if (line.find('\t') != std::string_view::npos)
        sep = '\t';
    if (sep) {
        size_t start = 0;
        for (;;) {
            const size_t end = line.find(sep, start);
            out.push_back(Trim(line.substr(start, end == std::string_view::npos ? end : end - start)));
            if (end == std::string_view::npos)
                break;
            start = end + 1;
        }
        if (!out.empty() && out.back().empty()) // a trailing separator
            out.pop_back();
        return;
    }
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        const size_t start = i;
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
}

} // namespace

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF)
            n = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            n = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            n = 3;
        else
            return false;
        for (size_t k = 1; k <= n; ++k) {
            if (i + k >= s.size())
                return false;
            const unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
        }
        i += n + 1;
    }
    return true;
}

TSurveyText::TSurveyText(std::string_view Bytes, const std::string& Path) : FPath(Path) {
    if (Bytes.substr(0, 3) == "\xEF\xBB\xBF")
        Bytes.remove_prefix(3);
    FText = Bytes;
    FUtf8 = IsValidUtf8(Bytes);
}

bool TSurveyText::Next() {
    if (FPos > FText.size())
        return false;
    const size_t end = FText.find('\n', FPos);
    FLine = FText.substr(FPos, end == std::string_view::npos ? end : end - FPos);
    FPos = end == std::string_view::npos ? FText.size() + 1 : end + 1;
    ++FLineNo;
    if (FPos > FText.size() && FLine.empty())
        return false;
    SplitFields(FLine, FFields);
    return true;
}

std::string TSurveyText::Quote(std::string_view Field) const {
    std::string s(Field.substr(0, 40));
    s = FUtf8 ? s : Cp932ToUtf8(s);
    return "「" + WithoutControlChars(s) + "」";
}

void TSurveyText::Fail(const std::string& What) const {
    throw EFailure(StrFormat("%s の %lld 行目: ", ShownFileName(FPath).c_str(), static_cast<long long>(FLineNo)) +
                   What);
}

bool TSurveyText::Number(std::string_view Field, double& Value) const {
    if (!Field.empty() && Field.front() == '+')
        Field.remove_prefix(1);
    if (Field.empty())
        return false;
    const auto r = std::from_chars(Field.data(), Field.data() + Field.size(), Value);
    return r.ec == std::errc() && r.ptr == Field.data() + Field.size();
}

double TSurveyText::Coordinate(std::string_view Field, const char* What) const {
    double v;
    if (!Number(Field, v))
        Fail(std::string(What) + "が数値ではありません（" + Quote(Field) + "）。");
    if (!std::isfinite(v))
        Fail(std::string(What) + "が有限の数値ではありません（" + Quote(Field) + "）。");
    if (std::fabs(v) > MaxSurveyCoordinate)
        Fail(std::string(What) + "が大きすぎます（" + Quote(Field) + "）。");
    return v;
}

TSurveyFile ReadPointText(std::string_view Bytes, const std::string& Path, TSurveyOrder Order) {
    TSurveyText text(Bytes, Path);
    TSurveyFile file;
    file.Path = Path;
    file.Kind = TSurveyFileKind::Points;
    file.Encoding = text.IsUtf8() ? "UTF-8" : "CP932";
    TSurveySurface& s = file.Surfaces.emplace_back();
    s.Name = Path;
    bool first = true;
    while (text.Next()) {
        const auto& f = text.Fields();
        if (f.empty())
            continue;
        if (f.size() != 3 && f.size() != 4)
            text.Fail(StrFormat("列の数が %zu です（X,Y,Z か 点名,X,Y,Z の 3 列か 4 列です）。",
                                f.size()));
        const size_t at = f.size() - 3;
        double probe;
        if (first && !text.Number(f[at], probe)) { // a heading line
            first = false;
            continue;
        }
        first = false;
        const double a = text.Coordinate(f[at], "X 座標");
        const double b = text.Coordinate(f[at + 1], "Y 座標");
        const double z = text.Coordinate(f[at + 2], "標高");
        TSurveyPoint& p = s.Points.emplace_back();
        p.N = Order == TSurveyOrder::NorthEast ? a : b;
        p.E = Order == TSurveyOrder::NorthEast ? b : a;
        p.Z = z;
    }
    return file;
}

TSurveyFile ReadSimaText(std::string_view Bytes, const std::string& Path) {
    TSurveyText text(Bytes, Path);
    TSurveyFile file;
    file.Path = Path;
    file.Kind = TSurveyFileKind::Sima;
    file.Encoding = text.IsUtf8() ? "UTF-8" : "CP932";
    TSurveySurface& s = file.Surfaces.emplace_back();
    s.Name = Path;
    while (text.Next()) {
        const auto& f = text.Fields();
        if (f.empty())
            continue;
        if (f[0] != "A01") {
            ++file.SkippedRecords;
            continue;
        }
        if (f.size() < 5)
            text.Fail("A01 レコードに X 座標と Y 座標がありません。");
        if (f.size() < 6 || f[5].empty()) { // a point in plan only
            ++file.SkippedRecords;
            continue;
        }
        TSurveyPoint& p = s.Points.emplace_back();
        p.N = text.Coordinate(f[3], "X 座標");
        p.E = text.Coordinate(f[4], "Y 座標");
        p.Z = text.Coordinate(f[5], "標高");
    }
    return file;
}
