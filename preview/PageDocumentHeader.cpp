// TPageDocument: header and footer texts, their placeholders, and the page setup the settings
// keep.

#include "preview/PageDocument.h"
#include "preview/PrintLayout.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QSettings>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace {

struct TEra {
    int Year, Month, Day;
    const char16_t* Name;
};
// First days of the eras, newest first.
const TEra kEras[] = {
    {2019, 5, 1, u"令和"},  {1989, 1, 8, u"平成"}, {1926, 12, 25, u"昭和"},
    {1912, 7, 30, u"大正"}, {1868, 1, 1, u"明治"},
};

QString LoggedOnUser() {
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return {};
}

QString FileNameOnly(const QString& Path) {
    int cut = -1;
    for (QChar sep : {QLatin1Char('\\'), QLatin1Char(':'), QLatin1Char('/')})
        cut = std::max(cut, static_cast<int>(Path.lastIndexOf(sep)));
    return Path.mid(cut + 1);
}

} // namespace

QString JapaneseEraDate(const QDate& Date) {
    for (const TEra& era : kEras) {
        if (Date >= QDate(era.Year, era.Month, era.Day)) {
            const int year = Date.year() - era.Year + 1;
            return QString::fromUtf16(era.Name) + QStringLiteral("%1年%2月%3日")
                                                      .arg(year, 2, 10, QLatin1Char('0'))
                                                      .arg(Date.month(), 2, 10, QLatin1Char('0'))
                                                      .arg(Date.day(), 2, 10, QLatin1Char('0'));
        }
    }
    return Date.toString(QStringLiteral("yyyy年MM月dd日"));
}

THeaderEnvironment THeaderEnvironment::Current() {
    THeaderEnvironment env;
    env.Now = QDateTime::currentDateTime();
    env.Computer = QSysInfo::machineHostName();
    env.User = LoggedOnUser();
    env.System = QSysInfo::prettyProductName() + QStringLiteral(" (Build:") +
                 QSysInfo::kernelVersion() + QStringLiteral(")");
    // The reports are Japanese: so are their dates, whatever the system's language.
    env.Locale = QLocale(QLocale::Japanese, QLocale::Japan);
    return env;
}

QString ExpandHeaderText(const QString& Text, int PageNo, int PageCount, const QString& FileName) {
    if (!Text.contains(QLatin1Char('&')))
        return Text;
    return ExpandHeaderText(Text, PageNo, PageCount, FileName, THeaderEnvironment::Current());
}

QString ExpandHeaderText(const QString& Text, int PageNo, int PageCount, const QString& FileName,
                         const THeaderEnvironment& Env) {
    QString result = Text;
    qsizetype p = result.indexOf(QLatin1Char('&'));
    while (p >= 0 && p < result.size() - 1) {
        const char16_t c = result.at(p + 1).unicode();
        QString value;
        bool found = true;
        switch (c) {
        case u'C':
            value = Env.Computer, found = !value.isEmpty();
            break;
        case u'U':
            value = Env.User, found = !value.isEmpty();
            break;
        case u'D':
            value = Env.Locale.toString(Env.Now.date(), QLocale::LongFormat);
            break;
        case u'd':
            value = Env.Locale.toString(Env.Now.date(), QLocale::ShortFormat);
            break;
        case u'W':
            value = JapaneseEraDate(Env.Now.date());
            break;
        case u'T':
        case u't':
            value = Env.Now.time().toString(QStringLiteral("hh:mm"));
            break;
        case u'P':
        case u'p':
            if (PageNo <= 0)
                return {};
            value = QString::number(PageNo);
            break;
        case u'N':
        case u'n':
            value = QString::number(PageCount);
            break;
        case u'F':
            value = FileName;
            break;
        case u'f':
            value = FileNameOnly(FileName);
            break;
        case u'O':
            value = Env.System;
            break;
        default:
            found = false;
        }
        if (found) {
            result.replace(p, 2, value);
            p = result.indexOf(QLatin1Char('&'), p + value.size());
        } else {
            result.remove(p, 1);
            p = result.indexOf(QLatin1Char('&'), p);
        }
    }
    return result;
}

std::array<QString, 6> TPageDocument::HeaderFooterTexts(int PageIndex) const {
    const int pageNo = PageIndex + FStPNum - 1;
    const int count = FPageTotal >= 0 ? FPageTotal : PageNum();
    std::array<QString, 6> texts;
    for (int k = 0; k < 3; ++k) {
        texts[k] = ExpandHeaderText(Header[k], pageNo, count, FFileName);
        texts[3 + k] = ExpandHeaderText(Footer[k], pageNo, count, FFileName);
    }
    return texts;
}

void TPageDocument::DrawHeaderFooter(QPainter& Canvas, int PageIndex) const {
    const std::array<int, 4>& phys = FPhysicalMarzins;
    const int left = phys[0] - FMarzins[0];
    const int right = PaperWidth() + FMarzins[2] - phys[2];
    QFont font = Canvas.font();
    font.setFamily(QStringLiteral("ＭＳ 明朝"));
    SetFontStyleBits(font, 0);
    Canvas.setFont(font);
    Canvas.setBackgroundMode(Qt::TransparentMode);
    const QFontMetricsF fm(font);
    const std::array<QString, 6> texts = HeaderFooterTexts(PageIndex);
    const double tops[2] = {
        double(FMarzins[4] - FMarzins[1]),
        PaperHeight() + FMarzins[3] - FMarzins[5] - std::round(fm.height()),
    };
    for (int line = 0; line < 2; ++line) {
        for (int k = 0; k < 3; ++k) {
            const QString& text = texts[line * 3 + k];
            if (text.isEmpty())
                continue;
            const int w = static_cast<int>(fm.horizontalAdvance(text));
            const int x = k == 0 ? 0 : k == 1 ? left + (right - left - w) / 2 : PaperWidth() - w;
            TextOutTopLeft(Canvas, x, tops[line], text);
        }
    }
}

// --- Settings

namespace {

// Named after the program (its executable's name unless the program names itself: doryou-cli
// reads the settings of doryou, whose reports it writes).
QString SettingsGroup() {
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName()
                          : name;
}

int ReadInt(QSettings& S, const QString& Key, int Default) {
    bool ok = false;
    const int v = S.value(Key).toString().trimmed().toInt(&ok);
    return ok ? v : Default;
}

// A damaged settings file must not reach the page arithmetic: lengths beyond what any paper
// holds (1 m) read as their default, like texts that are no number.
int ReadLength(QSettings& S, const QString& Key, int Default, int Minimum, int Maximum = 10000) {
    const int v = ReadInt(S, Key, Default);
    return v >= Minimum && v <= Maximum ? v : Default;
}

// A text for the pages: no control character of a settings file reaches them.
QString ReadText(QSettings& S, const QString& Key) {
    QString t = S.value(Key).toString();
    t.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    return t;
}

void WriteInt(QSettings& S, const QString& Key, int Value) {
    S.setValue(Key, QString::number(Value));
}

} // namespace

void TPageDocument::LoadSettings() {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Nolvo"),
                       QStringLiteral("PreView"));
    settings.beginGroup(SettingsGroup());
    LoadSettingsFrom(settings);
}

TSpoolSettings StoredSpoolSettings() {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Nolvo"),
                       QStringLiteral("PreView"));
    return SpoolSettingsFrom(settings);
}

TSpoolSettings SpoolSettingsFrom(QSettings& S) {
    TSpoolSettings spool;
    S.beginGroup(QStringLiteral("SPOOL"));
    QString path = S.value(QStringLiteral("PATH")).toString().trimmed();
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    spool.Path = QFile::encodeName(path).toStdString(); // empty: the temporary folder
    spool.EraseDay = ReadInt(S, QStringLiteral("ERASEDAY"), 7);
    S.endGroup();
    return spool;
}

void TPageDocument::SaveSettings() const {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Nolvo"),
                       QStringLiteral("PreView"));
    settings.beginGroup(SettingsGroup());
    SaveSettingsTo(settings);
}

void TPageDocument::LoadSettingsFrom(QSettings& S) {
    bool stored = false;
    for (int k = 0; k < 3; ++k) {
        const QString header = QStringLiteral("HEADER%1").arg(k);
        const QString footer = QStringLiteral("FOOTER%1").arg(k);
        stored = stored || S.contains(header) || S.contains(footer);
        Header[k] = ReadText(S, header);
        Footer[k] = ReadText(S, footer);
    }
    // A report handed in needs its page numbers; stored texts, even empty ones, are the
    // user's choice.
    if (!stored)
        Footer[1] = QStringLiteral("&P / &N");
    // Margins are those the page setup could have stored, and together they leave the paper a
    // sensible content area; otherwise the four page margins stay at their defaults.
    std::array<int, 6> margins = FMarzins;
    for (int k = 0; k < 6; ++k)
        margins[k] = ReadLength(S, QStringLiteral("MARGIN%1").arg(k), FMarzins[k], 0, kMaxMargin);
    if (!MarginsFitPaper(margins, FPaperW * 10, FPaperH * 10))
        std::copy(FMarzins.begin(), FMarzins.begin() + 4, margins.begin());
    FMarzins = margins;
    const int count =
        std::min(ReadInt(S, QStringLiteral("FontCount"), static_cast<int>(FFontList.size())),
                 static_cast<int>(FFontList.size()));
    for (int i = 0; i < count; ++i) {
        TTextStyle& style = FFontList[i];
        const QString face = S.value(QStringLiteral("FontName%1").arg(i)).toString();
        if (!face.isEmpty())
            style.Font.setFamily(face);
        const int height =
            ReadLength(S, QStringLiteral("FontSize%1").arg(i), PageFontHeight(style.Font), -10000);
        style.Font.setPixelSize(std::max(1, std::abs(height)));
        SetFontStyleBits(style.Font, ReadInt(S, QStringLiteral("FontStyle%1").arg(i),
                                             FontStyleBits(style.Font)));
        style.LeftI = ReadInt(S, QStringLiteral("Left1Ind%1").arg(i), style.LeftI);
        style.LeftI2 = ReadInt(S, QStringLiteral("Left2Ind%1").arg(i), style.LeftI2);
        style.RightI = ReadInt(S, QStringLiteral("Right1Ind%1").arg(i), style.RightI);
        style.RightI2 = ReadInt(S, QStringLiteral("Right2Ind%1").arg(i), style.RightI2);
        style.Height = ReadInt(S, QStringLiteral("CRSpace%1").arg(i), style.Height);
    }
}

void TPageDocument::SaveSettingsTo(QSettings& S) const {
    for (int k = 0; k < 3; ++k) {
        S.setValue(QStringLiteral("HEADER%1").arg(k), Header[k]);
        S.setValue(QStringLiteral("FOOTER%1").arg(k), Footer[k]);
    }
    for (int k = 0; k < 6; ++k)
        WriteInt(S, QStringLiteral("MARGIN%1").arg(k), FMarzins[k]);
    WriteInt(S, QStringLiteral("FontCount"), static_cast<int>(FFontList.size()));
    for (int i = 0; i < static_cast<int>(FFontList.size()); ++i) {
        const TTextStyle& style = FFontList[i];
        S.setValue(QStringLiteral("FontName%1").arg(i), style.Font.family());
        WriteInt(S, QStringLiteral("FontSize%1").arg(i), PageFontHeight(style.Font));
        WriteInt(S, QStringLiteral("FontStyle%1").arg(i), FontStyleBits(style.Font));
        WriteInt(S, QStringLiteral("Left1Ind%1").arg(i), style.LeftI);
        WriteInt(S, QStringLiteral("Left2Ind%1").arg(i), style.LeftI2);
        WriteInt(S, QStringLiteral("Right1Ind%1").arg(i), style.RightI);
        WriteInt(S, QStringLiteral("Right2Ind%1").arg(i), style.RightI2);
        WriteInt(S, QStringLiteral("CRSpace%1").arg(i), style.Height);
    }
    S.sync();
}
