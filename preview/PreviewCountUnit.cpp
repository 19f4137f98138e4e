#include "preview/PreviewCountUnit.h"

#include "preview/PREVIEWUNIT02Base.h"

#include "controls/Label3d.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <cstdint>

bool AnimeStep(int Value, int Count, int Length, TViewPass View, bool Reversed,
               TAnimeStep& Step) {
    if (Count <= 0 || Length < 32)
        return false;
    // In 64 bits: page counts times strip lengths overflow 32 bits long before memory runs out.
    const int64_t v = Value, c = Count, l = Length;
    if (View == TViewPass::vp_Change) {
        int64_t f = (v - c / (l / 16)) * l / (c * 32);
        f = std::clamp<int64_t>(f, 0, l / 32 - 1);
        Step.Frame = static_cast<int>(f);
        Step.Offset = static_cast<int>(Reversed ? l - 32 * (f + 1) : 32 * f);
    } else {
        int64_t f = v * (l - 32) * 105 / (c * 100);
        f = std::clamp<int64_t>(f, 0, l - 32);
        Step.Frame = static_cast<int>(f);
        Step.Offset = static_cast<int>(Reversed ? l - f - 32 : f);
    }
    return true;
}

TPreviewCountForm::TPreviewCountForm(QWidget* AOwner) : QDialog(AOwner) {
    setWindowTitle(ApplicationTitle());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowStaysOnTopHint);
    setFixedSize(212, 78);
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);
    setFont(f);
    // Frames of the animation strip, when the preview has one.
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
    CancelButton = new QPushButton(QStringLiteral("キャンセル"), this);
    CancelButton->setGeometry(66, 48, 80, 24);
    connect(CancelButton, &QPushButton::clicked, this, [this]() {
        FCancelled = true;
        CancelButton->setEnabled(false);
    });
}

void TPreviewCountForm::Execute() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FViewBMP = -1;
    FVHType = FAnimeBMP.width() != 32;
    FMaxSize = FVHType ? FAnimeBMP.width() : FAnimeBMP.height();
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
    ShowAnimeFrame();
    QCoreApplication::processEvents();
}

void TPreviewCountForm::ShowAnimeFrame() {
    const bool reversed = FVHType ? FHorScroll == THorScroll::hs_RightToLeft
                                  : FVerScroll == TVerScroll::vs_DownToUp;
    TAnimeStep step;
    if (FAnimeBMP.isNull() ||
        !AnimeStep(FPosition, FCount, FMaxSize, FAnimeView, reversed, step) ||
        step.Frame == FViewBMP)
        return;
    const QRect block = FVHType ? QRect(step.Offset, 0, 32, 32) : QRect(0, step.Offset, 32, 32);
    Image1->setPixmap(QPixmap::fromImage(FAnimeBMP.copy(block)));
    Image1->repaint();
    FViewBMP = step.Frame;
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
