#include "CsvFile.h"

#include "platform/TextFile.h"

#include <QFile>
#include <QFileDialog>

QString AskCsvFileName(QWidget* Parent) {
    QFileDialog dialog(Parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    // The filter only narrows the listing; it never changes what is written.
    dialog.setNameFilters({
        QStringLiteral("各種テキストファイル (*.csv *.txt *.doc)"),
        QStringLiteral("CSV形式(.csv) (*.csv)"),
        QStringLiteral("テキスト形式(.txt) (*.txt)"),
        QStringLiteral("ドキュメント形式(.doc) (*.doc)"),
        QStringLiteral("全てのファイル (*)"),
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

void WriteCsvText(const QString& FileName, const std::string& Text) {
    WriteCp932File(QFile::encodeName(FileName).toStdString(), Text);
}
