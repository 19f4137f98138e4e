#include "preview/PreviewCountUnit.h"

#include "controls/Label3d.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

TPreviewCountForm::TPreviewCountForm(QWidget* AOwner) : QDialog(AOwner) {
    setWindowTitle(QGuiApplication::applicationDisplayName());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    setFixedSize(212, 47);
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);
    setFont(f);
    // The preview has no animation strip, so the picture stays empty.
    Image1 = new QLabel(this);
    Image1->setGeometry(4, 6, 32, 32);
    Heading = new TLabel3D(this);
    QFont bold = f;
    bold.setPixelSize(14);
    bold.setBold(true);
    Heading->setFont(bold);
    Heading->SetAutoSize(true);
    Heading->SetCaption(QStringLiteral("印刷イメージ作成中"));
    Heading->move(44, 4);
    auto* progress = new QLabel(QStringLiteral("進捗状況"), this);
    progress->move(44, 27);
    QFont fixed(QStringLiteral("ＭＳ ゴシック"));
    fixed.setPixelSize(12);
    fixed.setStyleHint(QFont::Monospace);
    PosLabel = new QLabel(this);
    PosLabel->setFont(fixed);
    PosLabel->setGeometry(96, 27, 44, 14);
    auto* slash = new QLabel(QStringLiteral("/"), this);
    slash->move(144, 27);
    CntLabel = new QLabel(this);
    CntLabel->setFont(fixed);
    CntLabel->setGeometry(154, 27, 44, 14);
}

void TPreviewCountForm::Execute() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    QCoreApplication::processEvents();
}

void TPreviewCountForm::SetCount(int Value) {
    FCount = Value;
    CntLabel->setText(QString::asprintf("%6d", Value));
}

void TPreviewCountForm::SetValue(int Value) {
    FPosition = Value;
    PosLabel->setText(QString::asprintf("%6d", Value));
    QCoreApplication::processEvents();
}

void TPreviewCountForm::closeEvent(QCloseEvent* Event) {
    if (FPosition < FCount)
        Event->ignore();
    else
        QDialog::closeEvent(Event);
}

void TPreviewCountForm::reject() {
    if (FPosition >= FCount)
        QDialog::reject();
}
