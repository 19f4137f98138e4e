// Japanese whatever the system's language: Qt's own dialogs and the dates on the pages.

#include "app/AppSetup.h"
#include "preview/PageDocument.h"

#include <QDate>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

TEST(JapaneseInterface, DialogsAndDatesOnASystemWithoutJapanese) {
    // As the program starts on a system whose language is not Japanese.
    QLocale::setDefault(QLocale::c());
    SetupJapaneseInterface();
    EXPECT_EQ(QLocale().language(), QLocale::Japanese);
    EXPECT_EQ(QLocale().toString(QDate(2026, 12, 10), QLocale::ShortFormat),
              QStringLiteral("2026/12/10"));

    QMessageBox box(QMessageBox::Question, QStringLiteral("メッセージ"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QStringLiteral("はい(&Y)"));
    EXPECT_EQ(box.button(QMessageBox::No)->text(), QStringLiteral("いいえ(&N)"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("キャンセル"));

    QFileDialog files;
    files.setOption(QFileDialog::DontUseNativeDialog);
    auto* fileName = files.findChild<QLabel*>(QStringLiteral("fileNameLabel"));
    ASSERT_NE(fileName, nullptr);
    EXPECT_EQ(fileName->text(), QStringLiteral("ファイル名(&N):"));

    // The header and footer dates (also in doryou-cli, which sets no default locale).
    QLocale::setDefault(QLocale::c());
    const QDate before = QDate::currentDate();
    const QString shortDate = ExpandHeaderText(QStringLiteral("&d"), 1, 1, QString());
    const QString longDate = ExpandHeaderText(QStringLiteral("&D"), 1, 1, QString());
    const QDate after = QDate::currentDate(); // midnight may have passed meanwhile
    const auto isShort = [&](const QDate& D) {
        return shortDate == D.toString(QStringLiteral("yyyy/MM/dd"));
    };
    const auto isLong = [&](const QDate& D) {
        return longDate.startsWith(
            QStringLiteral("%1年%2月%3日").arg(D.year()).arg(D.month()).arg(D.day()));
    };
    EXPECT_TRUE(isShort(before) || isShort(after)) << shortDate.toStdString();
    EXPECT_TRUE(isLong(before) || isLong(after)) << longDate.toStdString();
    SetupJapaneseInterface();
}
