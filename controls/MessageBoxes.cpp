#include "MessageBoxes.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>

#include <algorithm>

namespace {

// Message boxes wrap long lines at a width of their own choosing; the questions' lines are
// written to be read as lines, so the box is made wide enough for the longest.
void KeepLines(QMessageBox& Box) {
    auto* label = Box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!label)
        return;
    const QFontMetrics fm(label->font());
    int widest = 0;
    for (const QString& line : Box.text().split(QLatin1Char('\n')))
        widest = std::max(widest, fm.horizontalAdvance(line));
    label->setMinimumWidth(std::min(widest + 8, 900));
}

} // namespace

void ShowFailure(QWidget* Parent, const QString& Text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("土量計算システム"), Text,
                    QMessageBox::Ok, Parent);
    KeepLines(box);
    box.exec();
}

TQuestionAnswer AskQuestion(QWidget* Parent, const std::string& Text, TQuestionButtons Buttons) {
    const bool cancel = Buttons == TQuestionButtons::YesNoCancel;
    QMessageBox box(QMessageBox::Question, QStringLiteral("メッセージ"),
                    QString::fromStdString(Text),
                    cancel ? QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel
                           : QMessageBox::Yes | QMessageBox::No,
                    Parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
    if (cancel)
        box.button(QMessageBox::Cancel)->setText(QStringLiteral("キャンセル"));
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(cancel ? QMessageBox::Cancel : QMessageBox::No);
    KeepLines(box);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return TQuestionAnswer::Yes;
    case QMessageBox::No:
        return TQuestionAnswer::No;
    default:
        return cancel ? TQuestionAnswer::Cancel : TQuestionAnswer::No;
    }
}

void ShowInformation(QWidget* Parent, const QString& Text) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("メッセージ"), Text, QMessageBox::Ok,
                    Parent);
    KeepLines(box);
    box.exec();
}
