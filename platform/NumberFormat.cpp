#include "NumberFormat.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

TFormatSettings& FormatSettings() {
    static TFormatSettings settings;
    return settings;
}

void LoadFormatSettingsFromCLocale() {
    const lconv* lc = std::localeconv();
    TFormatSettings& fs = FormatSettings();
    if (lc->decimal_point && *lc->decimal_point)
        fs.DecimalSeparator = lc->decimal_point;
    if (lc->thousands_sep && *lc->thousands_sep)
        fs.ThousandSeparator = lc->thousands_sep;
}

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

locale_t CLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", nullptr);
    return loc;
}

// Writes a C-locale number ("-1234.5") in the user's format.
std::string Localise(const std::string& plain, bool thousands) {
    const TFormatSettings& fs = FormatSettings();
    size_t start = (!plain.empty() && (plain[0] == '-' || plain[0] == '+')) ? 1 : 0;
    size_t dot = plain.find('.');
    size_t intEnd = dot == std::string::npos ? plain.size() : dot;
    // inf and nan have no digits to group.
    for (size_t i = start; i < intEnd; ++i)
        if (!IsDigit(plain[i]))
            return plain;
    std::string out = plain.substr(0, start);
    const size_t digits = intEnd - start;
    for (size_t i = 0; i < digits; ++i) {
        if (thousands && i > 0 && (digits - i) % 3 == 0)
            out += fs.ThousandSeparator;
        out += plain[start + i];
    }
    if (dot != std::string::npos) {
        out += fs.DecimalSeparator;
        out.append(plain, dot + 1, std::string::npos);
    }
    return out;
}

} // namespace

std::string FormatFixedPlain(double value, int decimals) {
    if (decimals < 0)
        decimals = 0;
    if (decimals > 18)
        decimals = 18;
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    // The shortest decimal that reads back as the value (what the user typed, e.g. 12.3455) is
    // rounded half away from zero, as an engineer rounds it by hand: rounding the binary value
    // itself would print 12.345, and an exact tie like 1.0625 would go to even (1.062).
    // to_chars ignores the C locale, which a GUI program sets from the user's environment.
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    std::string digits(buf, res.ptr);
    std::string sign;
    if (!digits.empty() && digits[0] == '-') {
        sign = "-";
        digits.erase(0, 1);
    }
    const size_t point = digits.find('.');
    std::string whole = digits.substr(0, point);
    std::string frac = point == std::string::npos ? std::string() : digits.substr(point + 1);
    const size_t keep = static_cast<size_t>(decimals);
    bool up = false;
    if (frac.size() > keep) {
        up = frac[keep] >= '5';
        frac.resize(keep);
    }
    frac.append(keep - frac.size(), '0');
    std::string all = whole + frac;
    if (up) {
        size_t i = all.size();
        while (i > 0 && all[i - 1] == '9')
            all[--i] = '0';
        if (i == 0)
            all.insert(all.begin(), '1');
        else
            ++all[i - 1];
    }
    std::string s = sign + all.substr(0, all.size() - keep);
    if (keep > 0)
        s += "." + all.substr(all.size() - keep);
    // "-0" and "-0.000" read as a negative zero to nobody; write them plainly.
    if (s[0] == '-' && s.find_first_not_of("0.", 1) == std::string::npos)
        s.erase(0, 1);
    return s;
}

long double ParseFloatDef(std::string_view text, long double Default) {
    const std::string& decSep = FormatSettings().DecimalSeparator;
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b]))
        ++b;
    while (e > b && IsBlank(text[e - 1]))
        --e;
    std::string_view t = text.substr(b, e - b);

    std::string plain; // the same number in C-locale syntax
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        plain += t[i++];
    size_t mantissaDigits = 0;
    while (i < t.size() && IsDigit(t[i])) {
        plain += t[i++];
        ++mantissaDigits;
    }
    if (!decSep.empty() && t.substr(i, decSep.size()) == decSep) {
        i += decSep.size();
        plain += '.';
        while (i < t.size() && IsDigit(t[i])) {
            plain += t[i++];
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return Default;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            plain += t[i++];
        size_t expDigits = 0;
        while (i < t.size() && IsDigit(t[i])) {
            plain += t[i++];
            ++expDigits;
        }
        if (expDigits == 0)
            return Default;
    }
    if (i != t.size())
        return Default;
    char* end = nullptr;
    const long double v = strtold_l(plain.c_str(), &end, CLocale());
    if (end == plain.c_str() || std::isinf(v) || std::isnan(v))
        return Default;
    return v;
}

std::string FormatThousands(double value, int decimals) {
    return Localise(FormatFixedPlain(value, decimals), true);
}

void AppendThousands(std::string& out, int64_t value) {
    char buf[24];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, value);
    const size_t start = buf[0] == '-' ? 1 : 0;
    out.append(buf, start);
    const size_t digits = static_cast<size_t>(r.ptr - buf) - start;
    const std::string& sep = FormatSettings().ThousandSeparator;
    for (size_t i = 0; i < digits; ++i) {
        if (i > 0 && (digits - i) % 3 == 0)
            out += sep;
        out += buf[start + i];
    }
}

std::string FormatFixed(double value, int decimals) {
    return Localise(FormatFixedPlain(value, decimals), false);
}
