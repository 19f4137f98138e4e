#include "preview/PREVIEWUNIT02Base.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(PreviewSpool, SettingsFromTheSpoolGroup) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("PreView.ini"));
    {
        QSettings s(ini, QSettings::IniFormat);
        TSpoolSettings d = TPreViewBase::SpoolSettingsFrom(s);
        EXPECT_EQ(d.Path, ""); // the temporary folder
        EXPECT_EQ(d.EraseDay, 7);
        s.setValue(QStringLiteral("SPOOL/PATH"), QStringLiteral("/var/tmp/records\\"));
        s.setValue(QStringLiteral("SPOOL/ERASEDAY"), QStringLiteral("30"));
    }
    QSettings s(ini, QSettings::IniFormat);
    TSpoolSettings d = TPreViewBase::SpoolSettingsFrom(s);
    EXPECT_EQ(d.Path, "/var/tmp/records/");
    EXPECT_EQ(d.EraseDay, 30);
    s.setValue(QStringLiteral("SPOOL/ERASEDAY"), QStringLiteral("a week"));
    EXPECT_EQ(TPreViewBase::SpoolSettingsFrom(s).EraseDay, 7);
}
