#include "AppSetup.h"

#include "platform/NumberFormat.h"
#include "preview/PageDocument.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QTranslator>

namespace {

// The program's icon: the first character of 土量 on the navigation window's green.
QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(28, 120, 52));
        p.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
        QFont f(QStringLiteral("ＭＳ ゴシック"));
        f.setBold(true);
        f.setPixelSize(size * 3 / 4);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("土"));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace

void SetupJapaneseInterface() {
    // The whole interface is Japanese, so Qt's own dialogs (file dialogs, standard buttons) and
    // the dates and names Qt formats are too, whatever the user's language. Without the
    // translation (package qt6-translations-l10n) the dialogs' texts stay English.
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QLocale::setDefault(japanese);
    static QTranslator qtTexts;
    if (qtTexts.isEmpty())
        (void)qtTexts.load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (!qtTexts.isEmpty()) {
        // Once, also when called again.
        QApplication::removeTranslator(&qtTexts);
        QApplication::installTranslator(&qtTexts);
    }
}

void SetupApplication() {
    // The windows ask for the Japanese system fonts by their names; the IPA fonts stand in.
    SetupPageFonts();
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);
    QApplication::setFont(f);
    QApplication::setWindowIcon(ProgramIcon());

    SetupJapaneseInterface();

    const QLocale locale = QLocale::system();
    TFormatSettings& fs = FormatSettings();
    if (!locale.decimalPoint().isEmpty())
        fs.DecimalSeparator = locale.decimalPoint().toStdString();
    if (!locale.groupSeparator().isEmpty())
        fs.ThousandSeparator = locale.groupSeparator().toStdString();
}
