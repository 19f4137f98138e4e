// Point files and SIMA files: text read line by line. Only numbers are taken from them, and
// numbers are ASCII in either encoding, so the bytes are not converted; the encoding is found
// for the summary and for quoting a wrong field in a message. UTF-16 files (with their
// byte-order mark) are the exception: their numbers are not ASCII bytes, so they become UTF-8.

#include "survey/SurveyText.h"
#include "survey/SurveyReader.h"

#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/FileUtil.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

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
// A line of nothing but blanks and separators has none, as an empty line.
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
            out.push_back(
                Trim(line.substr(start, end == std::string_view::npos ? end : end - start)));
            if (end == std::string_view::npos)
                break;
            start = end + 1;
        }
        if (std::all_of(out.begin(), out.end(), [](std::string_view f) { return f.empty(); }))
            out.clear();
        else if (out.back().empty()) // a trailing separator
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

// The power of ten of a number's first significant digit, from its text ("-0.0012e5": 2): tells a
// number too large for a double from one too small.
long long DecimalMagnitude(std::string_view t) {
    constexpr long long kFar = 1'000'000'000'000'000LL; // saturation: far beyond any double
    size_t i = t.substr(0, 1) == "-" ? 1 : 0;
    long long whole = 0, zeros = 0; // significant digits before the point; zeros after it
    bool point = false, significant = false;
    for (; i < t.size() && t[i] != 'e' && t[i] != 'E'; ++i) {
        const char c = t[i];
        if (c == '.')
            point = true;
        else if (!point && (significant || c != '0'))
            significant = true, whole = std::min(whole + 1, kFar);
        else if (point && !significant && c == '0')
            zeros = std::min(zeros + 1, kFar);
        else if (point && c != '0')
            significant = true;
    }
    long long exponent = 0;
    if (i < t.size()) {
        ++i;
        const bool negative = i < t.size() && t[i] == '-';
        if (i < t.size() && (t[i] == '-' || t[i] == '+'))
            ++i;
        for (; i < t.size(); ++i)
            exponent = std::min(exponent * 10 + (t[i] - '0'), kFar);
        exponent = negative ? -exponent : exponent;
    }
    return (whole > 0 ? whole - 1 : -(zeros + 1)) + exponent;
}

// Full-width digits, point, signs and exponent letters as ASCII; false when the field holds
// anything else that is not ASCII, or nothing full-width at all.
bool NarrowDigits(std::string_view s, bool utf8, std::string& out) {
    out.clear();
    bool wide = false;
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out += static_cast<char>(c), ++i;
            continue;
        }
        char narrow = 0;
        size_t n = 0;
        if (utf8 && s.size() - i >= 3 && c == 0xEF) {
            const auto b = static_cast<unsigned char>(s[i + 1]),
                       d = static_cast<unsigned char>(s[i + 2]);
            n = 3;
            if (b == 0xBC && d >= 0x90 && d <= 0x99)
                narrow = static_cast<char>('0' + (d - 0x90));
            else if (b == 0xBC)
                narrow = d == 0x8E ? '.' : d == 0x8B ? '+' : d == 0x8D ? '-' : d == 0xA5 ? 'E' : 0;
            else if (b == 0xBD && d == 0x85)
                narrow = 'e';
        } else if (utf8 && s.substr(i, 3) == "\xE2\x88\x92") { // U+2212 minus sign
            narrow = '-', n = 3;
        } else if (!utf8 && s.size() - i >= 2) {
            const auto d = static_cast<unsigned char>(s[i + 1]);
            n = 2;
            if (c == 0x82 && d >= 0x4F && d <= 0x58)
                narrow = static_cast<char>('0' + (d - 0x4F));
            else if (c == 0x81)
                narrow = d == 0x44 ? '.' : d == 0x7B ? '+' : d == 0x7C ? '-' : 0;
            else if (c == 0x82)
                narrow = d == 0x64 ? 'E' : d == 0x85 ? 'e' : 0;
        }
        if (!narrow)
            return false;
        out += narrow;
        wide = true;
        i += n;
    }
    return wide;
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16 code units (an even number of bytes) as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::string_view s, bool bigEndian) {
    const auto unit = [&](size_t i) {
        const auto a = static_cast<unsigned char>(s[i]), b = static_cast<unsigned char>(s[i + 1]);
        return static_cast<uint32_t>(bigEndian ? a << 8 | b : b << 8 | a);
    };
    std::string out;
    out.reserve(s.size() / 2);
    for (size_t i = 0; i + 1 < s.size(); i += 2) {
        uint32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < s.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

// Text whose first bytes hold a NUL in every other byte: UTF-16 without its byte-order mark.
bool LooksLikeUtf16(std::string_view s) {
    const size_t n = std::min<size_t>(s.size(), 64) & ~size_t{1};
    size_t even = 0, odd = 0;
    for (size_t i = 0; i < n; i += 2) {
        even += s[i] == '\0';
        odd += s[i + 1] == '\0';
    }
    return n >= 2 && (even == n / 2 || odd == n / 2) && even + odd < n;
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

TSurveyNumber ParseSurveyNumber(std::string_view Field, bool Utf8, double& Value) {
    std::string_view t = Field;
    const bool plus = !t.empty() && t.front() == '+';
    if (plus)
        t.remove_prefix(1);
    if (!t.empty() && !(plus && t.front() == '-')) { // from_chars takes "-" only
        double v;
        const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
        if (r.ptr == t.data() + t.size() && r.ec == std::errc()) {
            Value = v;
            return TSurveyNumber::Ok;
        }
        if (r.ptr == t.data() + t.size() && r.ec == std::errc::result_out_of_range) {
            if (DecimalMagnitude(t) >= 0)
                return TSurveyNumber::OutOfRange;
            Value = t.front() == '-' ? -0.0 : 0.0; // nearer zero than any double
            return TSurveyNumber::Ok;
        }
    }
    std::string narrow;
    double v;
    if (NarrowDigits(Field, Utf8, narrow) &&
        ParseSurveyNumber(narrow, true, v) != TSurveyNumber::NotNumber)
        return TSurveyNumber::WideDigits;
    return TSurveyNumber::NotNumber;
}

std::string SurveyShortText(std::string_view Utf8, size_t MaxBytes) {
    if (Utf8.size() <= MaxBytes)
        return WithoutControlChars(Utf8);
    size_t n = MaxBytes;
    while (n > 0 && (static_cast<unsigned char>(Utf8[n]) & 0xC0) == 0x80)
        --n;
    return WithoutControlChars(Utf8.substr(0, n)) + "…";
}

TSurveyText::TSurveyText(std::string_view Bytes, const std::string& Path) : FPath(Path) {
    if (Bytes.substr(0, 2) == "\xFF\xFE" || Bytes.substr(0, 2) == "\xFE\xFF") {
        FUtf16 = Bytes[0] == '\xFF' ? 1 : 2;
        if (Bytes.size() % 2 != 0)
            FailFile("UTF-16 のファイルが途中で切れています（バイト数が奇数です）。");
        FConverted = Utf16ToUtf8(Bytes.substr(2), FUtf16 == 2);
        Bytes = FConverted;
    } else if (Bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        Bytes.remove_prefix(3);
    }
    FText = Bytes;
    FUtf8 = FUtf16 != 0 || IsValidUtf8(Bytes);
    FNul = FText.find('\0');
    FLf = FText.find('\n');
    FCr = FText.find('\r');
}

const char* TSurveyText::Encoding() const {
    return FUtf16 == 1 ? "UTF-16LE" : FUtf16 == 2 ? "UTF-16BE" : FUtf8 ? "UTF-8" : "CP932";
}

bool TSurveyText::Next() {
    if (FPos > FText.size())
        return false;
    // The next LF and CR, each looked for once as the lines pass it.
    if (FLf < FPos)
        FLf = FText.find('\n', FPos);
    if (FCr < FPos)
        FCr = FText.find('\r', FPos);
    const size_t end = std::min(FLf, FCr);
    const size_t start = FPos;
    FLine = FText.substr(FPos, end == std::string_view::npos ? end : end - FPos);
    if (end == std::string_view::npos)
        FPos = FText.size() + 1;
    else
        FPos = end + (FText.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    ++FLineNo;
    if (FPos > FText.size() && FLine.empty())
        return false;
    if (FNul != std::string_view::npos && FNul >= start && FNul < start + FLine.size()) {
        if (FUtf16 == 0 && LooksLikeUtf16(FText))
            Fail(
                "UTF-16 の文字のようですが、バイト順マーク（BOM）がありません。UTF-8 か BOM 付きの "
                "UTF-16 で保存してください。");
        Fail(StrFormat("NUL 文字（0x00）があります（行の %zu バイト目）。文字のファイルではないか、"
                       "壊れています。",
                       FNul - start + 1));
    }
    SplitFields(FLine, FFields);
    return true;
}

std::string TSurveyText::Quote(std::string_view Field) const {
    constexpr size_t kMost = 40; // bytes of a field shown
    if (FUtf8)
        return "「" + SurveyShortText(Field, kMost) + "」";
    const size_t n = Cp932CutLength(Field, kMost);
    return "「" + WithoutControlChars(Cp932ToUtf8(Field.substr(0, n))) +
           (n < Field.size() ? "…" : "") + "」";
}

void TSurveyText::Fail(const std::string& What) const {
    throw EFailure(StrFormat("%s の %lld 行目: ", ShownFileName(FPath).c_str(), FLineNo) + What);
}

void TSurveyText::FailFile(const std::string& What) const {
    throw EFailure(ShownFileName(FPath) + ": " + What);
}

bool TSurveyText::LooksNumeric(std::string_view Field) const {
    double v;
    return ParseSurveyNumber(Field, FUtf8, v) != TSurveyNumber::NotNumber;
}

double TSurveyText::Coordinate(std::string_view Field, const char* What) const {
    double v = 0.0;
    switch (ParseSurveyNumber(Field, FUtf8, v)) {
    case TSurveyNumber::NotNumber:
        Fail(std::string(What) + "が数値ではありません（" + Quote(Field) + "）。");
    case TSurveyNumber::WideDigits:
        Fail(std::string(What) + "が全角の数字です（" + Quote(Field) +
             "）。半角で書いてください。");
    case TSurveyNumber::OutOfRange:
        Fail(std::string(What) + "が大きすぎます（" + Quote(Field) + "）。");
    case TSurveyNumber::Ok:
        break;
    }
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
    file.Encoding = text.Encoding();
    TSurveySurface& s = file.Surfaces.emplace_back();
    s.Name = Path;
    bool first = true;
    while (text.Next()) {
        const auto& f = text.Fields();
        if (f.empty())
            continue;
        // The first line is a heading only when none of its fields is a number in any form: a
        // first line with a number, however wrong, is data and is refused as data.
        if (first) {
            first = false;
            if (std::none_of(f.begin(), f.end(),
                             [&](std::string_view x) { return text.LooksNumeric(x); })) {
                ++file.SkippedHeadings;
                continue;
            }
        }
        if (f.size() != 3 && f.size() != 4)
            text.Fail(StrFormat("列の数が %zu です（X,Y,Z か 点名,X,Y,Z の 3 列か 4 列です）。",
                                f.size()));
        const size_t at = f.size() - 3;
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
    file.Encoding = text.Encoding();
    TSurveySurface& s = file.Surfaces.emplace_back();
    s.Name = Path;
    long long points = 0, flat = 0; // A01 records; those without a height
    while (text.Next()) {
        const auto& f = text.Fields();
        if (f.empty())
            continue;
        if (f[0] != "A01") {
            ++file.SkippedRecords;
            continue;
        }
        ++points;
        if (f.size() < 5)
            text.Fail("A01 レコードに X 座標と Y 座標がありません。");
        if (f.size() < 6 || f[5].empty()) { // a point in plan only
            ++file.SkippedRecords;
            ++flat;
            continue;
        }
        TSurveyPoint& p = s.Points.emplace_back();
        p.N = text.Coordinate(f[3], "X 座標");
        p.E = text.Coordinate(f[4], "Y 座標");
        p.Z = text.Coordinate(f[5], "標高");
    }
    // Too few points to make a surface: say why, while the counts are known.
    const long long kept = points - flat;
    if (points == 0 && file.SkippedRecords > 0)
        text.FailFile(StrFormat("座標の点（A01 レコード）がありません（ほかのレコード %lld 件）。",
                                static_cast<long long>(file.SkippedRecords)));
    if (kept == 0 && flat > 0)
        text.FailFile(StrFormat("A01 の点 %lld 点のどれにも標高がありません。標高のない点からは"
                                "面を作れません。",
                                flat));
    if (kept < 3 && flat > 0)
        text.FailFile(StrFormat("標高のある点が %lld 点しかありません（ほかの %lld 点には標高が"
                                "ありません）。面を作るには標高のある点が 3 点以上必要です。",
                                kept, flat));
    return file;
}
