#include "AppSetup.h"

#include "platform/NumberFormat.h"

#include <QApplication>
#include <QFont>
#include <QLocale>

void SetupApplication() {
    // The windows ask for the Japanese system fonts by their names; the IPA fonts stand in.
    QFont::insertSubstitution(QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);
    QApplication::setFont(f);

    const QLocale locale = QLocale::system();
    TFormatSettings& fs = FormatSettings();
    if (!locale.decimalPoint().isEmpty())
        fs.DecimalSeparator = locale.decimalPoint().toStdString();
    if (!locale.groupSeparator().isEmpty())
        fs.ThousandSeparator = locale.groupSeparator().toStdString();
}
