#include "SoakInput.h"

#include <QStringList>

#include <iterator>

int TSoakRandom::Weighted(const int* Weights, int N) {
    int total = 0;
    for (int k = 0; k < N; ++k)
        total += Weights[k];
    int r = Below(total);
    for (int k = 0; k < N; ++k) {
        if (r < Weights[k])
            return k;
        r -= Weights[k];
    }
    return N - 1;
}

namespace {

template <class T, size_t N> const T& PickFrom(TSoakRandom& R, const T (&Items)[N]) {
    return Items[R.Below(static_cast<int>(N))];
}

// Words of the field, and characters that trouble code page 932: the wave dash and the minus
// sign map differently, the IBM extensions (髙, 﨑), half-width kana, characters it lacks (¢,
// é, 𠮷, emoji).
const char* const Words[] = {
    "造成",         "軟岩Ⅰ",    "軟岩Ⅱ",    "砂質土",       "盛土",
    "切土",         "表土",     "土量計算", "みどり台地区", "宅地造成工事",
    "（サンプル）", "ｱｲｳｴｵ",    "ﾃｽﾄﾃﾞｰﾀ",  "髙﨑",         "①②③",
    "㈱",           "〜",       "−",        "～",           "￥",
    "¢£¬",          "é",        "𠮷野家",   "🙂",         "‖",
    "　",           "ー",       "第１工区", "Ａ－１",       "No.1",
    "テスト",       "株式会社", "工事名",   "ｶﾞｷﾞｸﾞ",
};

// Separated by '|': the spellings of numbers that the forms' readers must survive.
const char FixedNumbers[] =
    "0|-0|1|-1|0.5|.5|5.|+5|12.3455|-999.999|1e3|1E+308|1e309|-1e309|1e-320|4.9e-324|"
    "nan|NaN|inf|-Infinity|0x1F|1,234|1,234.5|1.234,5|１２３|－１０．５|２１４７４８３６４７|"
    "2147483647|2147483648|-2147483648|-2147483649|4294967295|4294967296|"
    "9223372036854775807|9223372036854775808|18446744073709551616|"
    "99999999999999999999999999999|1.7976931348623157e308|0.000000000000000000001|"
    " 42 |42abc|4 2|--5|1e|e5|.|-|+|,|٣|Ⅻ";

const char* const Garbage[] = {
    "%s%n%d%x",
    "'\";--",
    "\\\\",
    "\t",
    "\n",
    "\r\n",
    "<b>x</b>",
    "&amp;",
    "&&&",
    "(&Y)",
    "=1+2*3",
    "+SUM(1,2)",
    "@A1",
    "-2+3,\"x\"",
    "a,b,c",
    "\"\"\"",
    "\x01\x02\x1b[31m",
    "\x7f",
    "ȷ̸̢",
    "\xe2\x80\xae"
    "RTL",
    "\xef\xbb\xbf"
    "BOM",
};

QString Digits(TSoakRandom& R, int Count) {
    QString s;
    s.reserve(Count);
    s += QChar(u'1' + R.Below(9));
    for (int k = 1; k < Count; ++k)
        s += QChar(u'0' + R.Below(10));
    return s;
}

// Every draw in a statement of its own: the order in which a call's arguments or an
// operator's operands are evaluated differs between compilers, and a seed must not.
QString GeneratedNumber(TSoakRandom& R) {
    switch (R.Below(6)) {
    case 0:
        return QString::number(R.Between(-1000, 1000));
    case 1: { // a height or thickness as typed
        const double value = R.Between(-100000, 100000) / 100.0;
        return QString::number(value, 'f', R.Below(4));
    }
    case 2:
        return QString::number(static_cast<qint64>(R.Next()));
    case 3: { // a huge number: far beyond every integer and double type
        const QString sign = R.Chance(30) ? QStringLiteral("-") : QString();
        return sign + Digits(R, R.Between(11, 400));
    }
    case 4: {
        const QString whole = Digits(R, R.Between(1, 30));
        return whole + QLatin1Char('.') + Digits(R, R.Between(1, 30));
    }
    default: {
        const QString mantissa = QString::number(R.Between(-9, 9));
        return mantissa + QLatin1Char('e') + QString::number(R.Between(-400, 400));
    }
    }
}

QChar RandomCharacter(TSoakRandom& R) {
    switch (R.Below(5)) {
    case 0:
        return QChar(char16_t(R.Between(0x20, 0x7e)));
    case 1:
        return QChar(char16_t(R.Between(0x01, 0x1f)));
    case 2:
        return QChar(char16_t(R.Between(0x3041, 0x30ff))); // kana
    case 3:
        return QChar(char16_t(R.Between(0x4e00, 0x9fff))); // kanji, many not in CP932
    default:
        return QChar(char16_t(R.Between(0x80, 0xfffd))); // lone surrogates included
    }
}

QString GarbageText(TSoakRandom& R) {
    if (R.Chance(40))
        return QString::fromUtf8(PickFrom(R, Garbage));
    QString s;
    const int n = R.Between(1, 24);
    for (int k = 0; k < n; ++k)
        s += RandomCharacter(R);
    return s;
}

QString JapaneseText(TSoakRandom& R) {
    QString s;
    const int n = R.Between(1, 4);
    for (int k = 0; k < n; ++k)
        s += QString::fromUtf8(PickFrom(R, Words));
    return s;
}

} // namespace

QString SoakNumber(TSoakRandom& R) {
    static const QStringList fixed = QString::fromUtf8(FixedNumbers).split(QLatin1Char('|'));
    return R.Chance(50) ? fixed[R.Below(static_cast<int>(fixed.size()))] : GeneratedNumber(R);
}

QString SoakText(TSoakRandom& R) {
    const int weights[] = {30, 40, 20, 10};
    switch (R.Weighted(weights, static_cast<int>(std::size(weights)))) {
    case 0:
        return JapaneseText(R);
    case 1:
        return SoakNumber(R);
    case 2:
        return GarbageText(R);
    default: { // a long run: names and titles past every field's length
        const QString piece = R.Chance(50) ? JapaneseText(R) : SoakNumber(R);
        const int length = R.Chance(80) ? R.Between(64, 600) : R.Between(2000, 20000);
        QString s;
        while (s.size() < length)
            s += piece;
        return s.left(length);
    }
    }
}
