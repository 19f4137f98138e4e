// The page setup dialog: the paper sheet (printer, paper, orientation, margins), the header and
// footer sheet, the bottom bar and the interface the preview uses. The text styles sheet is in
// PreviewSetup02Fonts.cpp.

#include "preview/PreviewSetup02Unit.h"

#include "controls/Label3d.h"
#include "controls/NlvLabel.h"
#include "preview/PREVIEWUNIT02.h"
#include "preview/PreviewSetup02Parts.h"
#include "preview/PrintLayout.h"

#include "controls/MessageBoxes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace {

// A sheet of paper with a few lines of text on it, upright or turned.
QIcon SheetIcon(bool Landscape) {
    QPixmap pm(22, 22);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const QRectF sheet = Landscape ? QRectF(1.5, 5.5, 19, 13) : QRectF(4.5, 1.5, 13, 19);
    p.setPen(QColor(70, 70, 70));
    p.setBrush(Qt::white);
    p.drawRect(sheet);
    p.setPen(QColor(40, 80, 170));
    const int lines = Landscape ? 3 : 5;
    for (int k = 0; k < lines; ++k) {
        const double y = sheet.top() + 3 + k * 3;
        p.drawLine(QPointF(sheet.left() + 3, y), QPointF(sheet.right() - 3, y));
    }
    return QIcon(pm);
}

// Up to the next whole 0.1 mm, as the page geometry rounds the unprintable border.
int CeilTenths(int Dots, int Dpi) {
    return static_cast<int>(std::ceil(Dots * 254.0 / Dpi - 1e-9));
}

// The picture of "YOHAKU_IMAGE" for margin left, top, right, bottom, header, footer.
constexpr int kYohakuImage[6] = {2, 1, 3, 4, 5, 0};
// The unprintable border (left, top, right, bottom) that bounds each margin.
constexpr int kPhysicalFor[6] = {0, 1, 2, 3, 1, 3};

} // namespace

// --- TMarginSpinEdit

QValidator::State TMarginSpinEdit::validate(QString& Text, int& Pos) const {
    const QValidator::State state = QSpinBox::validate(Text, Pos);
    // Anything may be typed; leaving the field brings it within range.
    return state == QValidator::Invalid ? QValidator::Intermediate : state;
}

void TMarginSpinEdit::fixup(QString& Input) const {
    bool ok = false;
    const qlonglong v = Input.trimmed().toLongLong(&ok);
    Input = QString::number(ok ? std::clamp<qlonglong>(v, minimum(), maximum()) : minimum());
}

// --- The dialog

TPreSetupForm02::TPreSetupForm02(QWidget* AOwner) : QDialog(AOwner) {
    setWindowTitle(QStringLiteral("ページ設定"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(415, 332);
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);
    setFont(f);

    FMetas.LoadFromResource(QStringLiteral("YOHAKU_IMAGE"));

    PageControl1 = new QTabWidget(this);
    PageControl1->setGeometry(4, 4, 407, 290);
    YohakuSheet = new QWidget;
    HeaderSheet = new QWidget;
    FontSheet = new QWidget;
    PageControl1->addTab(YohakuSheet, QStringLiteral("余白"));
    PageControl1->addTab(HeaderSheet, QStringLiteral("ヘッダー・フッター"));
    PageControl1->addTab(FontSheet, QStringLiteral("フォント"));
    CreateYohakuSheet();
    CreateHeaderSheet();
    CreateFontSheet();

    DefCheck = new QCheckBox(QStringLiteral("上記を標準値として登録する。"), this);
    DefCheck->move(10, 305);
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setGeometry(248, 300, 78, 27);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("キャンセル"), this);
    BitBtn2->setGeometry(332, 300, 78, 27);
    connect(BitBtn1, &QPushButton::clicked, this, &TPreSetupForm02::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TPreSetupForm02::BitBtn2Click);
}

TPreSetupForm02::~TPreSetupForm02() = default;

void TPreSetupForm02::CreateYohakuSheet() {
    QWidget* s = YohakuSheet;
    SetupCaption(QStringLiteral("プリンター名"), s, 8, 12);
    PrintListBox = new QComboBox(s);
    PrintListBox->setGeometry(80, 8, 222, 22);
    BitBtn3 = new QPushButton(QStringLiteral("プロパティ..."), s);
    BitBtn3->setGeometry(308, 7, 86, 24);
    SetupCaption(QStringLiteral("用紙サイズ"), s, 8, 40);
    PaperListBox = new QComboBox(s);
    PaperListBox->setGeometry(80, 36, 222, 22);
    SetupCaption(QStringLiteral("印刷の向き"), s, 8, 68);
    PortRadio = new QRadioButton(QStringLiteral("縦"), s);
    PortRadio->setIcon(SheetIcon(false));
    PortRadio->setIconSize(QSize(22, 22));
    PortRadio->setGeometry(80, 62, 56, 24);
    LandRadio = new QRadioButton(QStringLiteral("横"), s);
    LandRadio->setIcon(SheetIcon(true));
    LandRadio->setIconSize(QSize(22, 22));
    LandRadio->setGeometry(140, 62, 56, 24);
    PrSizeLabel = SetupCaption(QString(), s, 214, 68);

    auto* group = new QGroupBox(QStringLiteral("用紙余白 (×0.1mm)"), s);
    group->setGeometry(6, 92, 390, 166);
    const QString names[6] = {QStringLiteral("ヘッダー"), QStringLiteral("上余白"),
                              QStringLiteral("左余白"),   QStringLiteral("右余白"),
                              QStringLiteral("下余白"),   QStringLiteral("フッター")};
    // Shown top to bottom as header, top, left, right, bottom, footer.
    constexpr int order[6] = {4, 1, 0, 2, 3, 5};
    TMarginSpinEdit* edits[6] = {};
    for (int row = 0; row < 6; ++row) {
        const int y = 22 + row * 23;
        SetupCaption(names[row], group, 10, y + 4);
        auto* e = new TMarginSpinEdit(group);
        e->setGeometry(64, y, 62, 21);
        e->setRange(0, kMaxMargin);
        e->installEventFilter(this);
        edits[order[row]] = e;
        RangeLabels[order[row]] = SetupCaption(QString(), group, 132, y + 4);
    }
    LeftMEdit = edits[0];
    TopMEdit = edits[1];
    RightMEdit = edits[2];
    BottomMEdit = edits[3];
    HdMEdit = edits[4];
    FtMEdit = edits[5];
    YohakuView = new TSetupPaintBox(group, [this](QPainter& p) { PaintYohakuView(p); });
    static_cast<QFrame*>(YohakuView)->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    YohakuView->setGeometry(204, 20, 176, 138);

    connect(PrintListBox, &QComboBox::currentIndexChanged, this,
            &TPreSetupForm02::PrintListBoxChange);
    connect(PaperListBox, &QComboBox::currentIndexChanged, this,
            &TPreSetupForm02::PaperListBoxChange);
    connect(BitBtn3, &QPushButton::clicked, this, &TPreSetupForm02::BitBtn3Click);
    connect(PortRadio, &QRadioButton::clicked, this, [this]() { OrientationClick(false); });
    connect(LandRadio, &QRadioButton::clicked, this, [this]() { OrientationClick(true); });
}

void TPreSetupForm02::CreateHeaderSheet() {
    QWidget* s = HeaderSheet;
    QFont bold(QStringLiteral("ＭＳ Ｐゴシック"));
    bold.setPixelSize(14);
    bold.setBold(true);
    auto heading = [&](const QString& Text, int Y) {
        auto* l = new TLabel3D(Text, s);
        l->setFont(bold);
        l->SetStyle(lsRaised);
        l->move(8, Y);
        return l;
    };
    auto row = [&](int Y, QLineEdit*& Left, QLineEdit*& Center, QLineEdit*& Right) {
        const QString names[3] = {QStringLiteral("左"), QStringLiteral("中央"),
                                  QStringLiteral("右")};
        QLineEdit** edits[3] = {&Left, &Center, &Right};
        for (int k = 0; k < 3; ++k) {
            SetupCaption(names[k], s, 10 + k * 130, Y);
            *edits[k] = new QLineEdit(s);
            (*edits[k])->setGeometry(10 + k * 130, Y + 15, 124, 21);
            connect(*edits[k], &QLineEdit::textChanged, this, [this]() { smallView->update(); });
        }
    };
    HeaderLabel = heading(QStringLiteral("ヘッダー文字列"), 6);
    row(26, HLeftEdit, HCenterEdit, HRightEdit);
    FooterLabel = heading(QStringLiteral("フッター文字列"), 68);
    row(88, FLeftEdit, FCenterEdit, FRightEdit);

    auto* special = new QGroupBox(QStringLiteral("特殊文字"), s);
    special->setGeometry(6, 132, 196, 110);
    auto* help = new QLabel(special);
    help->setTextFormat(Qt::PlainText);
    QFont fixed(QStringLiteral("ＭＳ ゴシック"));
    fixed.setPixelSize(12);
    help->setFont(fixed);
    help->setText(QStringLiteral("   &p    ページ番号\n"
                                 "   &n    総枚数\n"
                                 "&d or &D 現在の日付\n"
                                 "&t or &T 現在の時間\n"
                                 "&f or &F ファイル名"));
    help->setGeometry(12, 20, 180, 84);
    help->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    SetupCaption(QStringLiteral("開始ページ番号"), s, 212, 140);
    Edit1 = new QLineEdit(QStringLiteral("1"), s);
    Edit1->setGeometry(212, 156, 54, 21);
    Edit1->setAlignment(Qt::AlignRight);
    UpButton = new QToolButton(s);
    UpButton->setArrowType(Qt::UpArrow);
    UpButton->setGeometry(266, 156, 16, 11);
    DownButton = new QToolButton(s);
    DownButton->setArrowType(Qt::DownArrow);
    DownButton->setGeometry(266, 167, 16, 10);
    for (QToolButton* b : {UpButton, DownButton}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    connect(UpButton, &QToolButton::clicked, this, [this]() { UpDownClick(1); });
    connect(DownButton, &QToolButton::clicked, this, [this]() { UpDownClick(-1); });

    auto* panel = new QFrame(s);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(298, 128, 95, 129);
    smallView = new TSetupPaintBox(panel, [this](QPainter& p) { PaintSmallView(p); });
    smallView->setGeometry(2, 2, 91, 125);
}

std::array<TMarginSpinEdit*, 6> TPreSetupForm02::MarginEdits() const {
    return {LeftMEdit, TopMEdit, RightMEdit, BottomMEdit, HdMEdit, FtMEdit};
}

std::array<QLineEdit*, 6> TPreSetupForm02::HeaderEdits() const {
    return {HLeftEdit, HCenterEdit, HRightEdit, FLeftEdit, FCenterEdit, FRightEdit};
}

// --- Interfaces

void TPreSetupForm02::SetHeaderText(int Index, int Kind, const QString& Value) {
    if (Index < 0 || Index > 2 || Kind < 0 || Kind > 1)
        return;
    HeaderEdits()[Kind * 3 + Index]->setText(Value);
}

QString TPreSetupForm02::GetHeaderText(int Index, int Kind) const {
    if (Index < 0 || Index > 2 || Kind < 0 || Kind > 1)
        return QString();
    return HeaderEdits()[Kind * 3 + Index]->text();
}

void TPreSetupForm02::SetMargin(int Index, int Value) {
    if (Index < 0 || Index > 5)
        return;
    TMarginSpinEdit* e = MarginEdits()[Index];
    e->setMaximum(kMaxMargin);
    e->setValue(Value);
}

int TPreSetupForm02::GetMargin(int Index) const {
    if (Index < 0 || Index > 5)
        return 0;
    return MarginEdits()[Index]->value();
}

int TPreSetupForm02::PageNum() const {
    bool ok = false;
    const int v = Edit1->text().trimmed().toInt(&ok, 10);
    return ok ? v : 0;
}

bool TPreSetupForm02::Default() const {
    return DefCheck->isChecked();
}

void TPreSetupForm02::SetFontTabVisible(bool Value) {
    PageControl1->setTabVisible(PageControl1->indexOf(FontSheet), Value);
}

bool TPreSetupForm02::Execute() {
    TPreviewPrinter& current = TPreviewPrinter::Current();
    FPrinterIndex = current.PrinterIndex();
    FOrient = current.Orientation();
    DefCheck->setChecked(false);
    PageControl1->setCurrentWidget(YohakuSheet);
    Edit1->setText(QStringLiteral("1"));
    FUpDownPosition = 1;
    FYohakuImage = -1;
    {
        const QSignalBlocker block(PrintListBox);
        PrintListBox->clear();
        PrintListBox->addItems(TPreviewPrinter::PrinterNames());
        PrintListBox->setCurrentIndex(FPrinterIndex);
    }
    PrintListBoxChange();
    current.SetOrientation(FOrient);
    UpdatePaperInfo();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    return exec() == QDialog::Accepted;
}

// --- Printer, paper, orientation

void TPreSetupForm02::UpdatePaperInfo() {
    const TPrinterCaps c = TPreviewPrinter::Current().Caps();
    LandRadio->setChecked(c.Landscape);
    PortRadio->setChecked(!c.Landscape);
    if (c.DpiX <= 0 || c.DpiY <= 0)
        return;
    FPhysicalMargins = {CeilTenths(c.OffsetX, c.DpiX), CeilTenths(c.OffsetY, c.DpiY),
                        CeilTenths(c.PaperW - c.PrintW - c.OffsetX, c.DpiX),
                        CeilTenths(c.PaperH - c.PrintH - c.OffsetY, c.DpiY)};
    PrSizeLabel->SetCaption(QStringLiteral("横 %1(mm) × 縦 %2(mm)")
                                .arg(static_cast<int>(std::nearbyint(c.PaperW * 25.4 / c.DpiX)))
                                .arg(static_cast<int>(std::nearbyint(c.PaperH * 25.4 / c.DpiY))));
    for (int k = 0; k < 6; ++k) {
        const int minimum = FPhysicalMargins[kPhysicalFor[k]];
        MarginEdits()[k]->setRange(minimum, std::max(minimum, kMaxMargin));
        RangeLabels[k]->SetCaption(QStringLiteral("(%1～%2)").arg(minimum).arg(kMaxMargin));
    }
}

void TPreSetupForm02::PrintListBoxChange() {
    const int position =
        TPreviewPrinter::Current().SelectPrinterPapers(PrintListBox->currentIndex(), FPapers);
    {
        const QSignalBlocker block(PaperListBox);
        PaperListBox->clear();
        for (const TPaperEntry& e : FPapers)
            PaperListBox->addItem(e.Name, e.Code);
        PaperListBox->setCurrentIndex(position);
    }
    PaperListBoxChange();
}

void TPreSetupForm02::PaperListBoxChange() {
    TPreviewPrinter::Current().SelectPaper(FPapers, PaperListBox->currentIndex());
    UpdatePaperInfo();
}

void TPreSetupForm02::BitBtn3Click() {
    TPreviewPrinter& current = TPreviewPrinter::Current();
    int code = 0;
    if (!current.PrinterProperties(this, code))
        return;
    // A paper of the printer's own shares its code with the others of its kind.
    const QPageSize now = current.Printer().pageLayout().pageSize();
    int position = -1;
    for (int k = 0; k < static_cast<int>(FPapers.size()) && position < 0; ++k) {
        if (FPapers[k].Code == code &&
            (code != QPageSize::Custom || FPapers[k].Size.isEquivalentTo(now)))
            position = k;
    }
    {
        const QSignalBlocker block(PaperListBox);
        PaperListBox->setCurrentIndex(position);
    }
    UpdatePaperInfo();
}

void TPreSetupForm02::OrientationClick(bool Landscape) {
    TPreviewPrinter::Current().SetLandscape(Landscape);
    UpdatePaperInfo();
}

void TPreSetupForm02::BitBtn1Click() {
    // A field still being typed in counts as left.
    for (TMarginSpinEdit* e : MarginEdits())
        e->interpretText();
    // Margins that leave the paper too little room for the content are not taken.
    std::array<int, 6> margins{};
    for (int k = 0; k < 6; ++k)
        margins[k] = GetMargin(k);
    const TPrinterCaps c = TPreviewPrinter::Current().Caps();
    if (c.DpiX > 0 && c.DpiY > 0 &&
        !MarginsFitPaper(margins, static_cast<int>(std::lround(c.PaperW * 254.0 / c.DpiX)),
                         static_cast<int>(std::lround(c.PaperH * 254.0 / c.DpiY)))) {
        PageControl1->setCurrentWidget(YohakuSheet);
        ShowFailure(this, QStringLiteral("余白が大きすぎます。本文の領域が用紙の幅と高さの半分以上"
                                         "残るように、余白を小さくしてください。"));
        return;
    }
    accept();
}

void TPreSetupForm02::BitBtn2Click() {
    TPreviewPrinter& current = TPreviewPrinter::Current();
    if (FPrinterIndex >= 0 && current.PrinterIndex() != FPrinterIndex)
        current.SetPrinterIndex(FPrinterIndex);
    current.SetOrientation(FOrient);
    reject();
}

void TPreSetupForm02::keyPressEvent(QKeyEvent* Event) {
    // Esc is the cancel button; only the title bar's close leaves the printer as it is.
    if (Event->matches(QKeySequence::Cancel)) {
        BitBtn2->click();
        return;
    }
    QDialog::keyPressEvent(Event);
}

bool TPreSetupForm02::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::FocusIn) {
        const auto edits = MarginEdits();
        for (int k = 0; k < 6; ++k) {
            if (Watched == edits[k]) {
                FYohakuImage = kYohakuImage[k];
                YohakuView->update();
            }
        }
    } else if (Watched == ColorBox && Event->type() == QEvent::MouseButtonPress &&
               static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton) {
        ColorBoxClick();
        return true;
    }
    return QDialog::eventFilter(Watched, Event);
}

void TPreSetupForm02::PaintYohakuView(QPainter& Canvas) {
    // White when no margin field was entered yet.
    FMetas.DrawRect(Canvas, static_cast<QFrame*>(YohakuView)->contentsRect(), FYohakuImage, false);
}

// --- Header and footer

void TPreSetupForm02::UpDownClick(int Step) {
    bool ok = false;
    const int typed = Edit1->text().trimmed().toInt(&ok, 10);
    if (ok)
        FUpDownPosition = typed;
    FUpDownPosition = std::clamp(FUpDownPosition + Step, -100, 9999);
    Edit1->setText(QString::number(FUpDownPosition));
}

void TPreSetupForm02::PaintSmallView(QPainter& Canvas) {
    const int w = smallView->width(), h = smallView->height();
    Canvas.fillRect(0, 0, w, h, Qt::white);
    QFont small = font();
    small.setPixelSize(4);
    Canvas.setFont(small);
    Canvas.setPen(Qt::black);
    const QFontMetrics fm(small);
    const QString file = QCoreApplication::applicationFilePath();
    const auto edits = HeaderEdits();
    QString texts[6];
    for (int k = 0; k < 6; ++k)
        texts[k] = ExpandHeaderText(edits[k]->text(), 1, 1, file);
    const int tops[2] = {2, h - fm.height() - 2};
    for (int line = 0; line < 2; ++line) {
        for (int k = 0; k < 3; ++k) {
            const QString& text = texts[line * 3 + k];
            if (text.isEmpty())
                continue;
            const int tw = fm.horizontalAdvance(text);
            const int x = k == 0 ? 2 : k == 1 ? (w - tw) / 2 : w - tw - 2;
            Canvas.drawText(x, tops[line] + fm.ascent(), text);
        }
    }
}
