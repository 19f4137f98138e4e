#include "preview/PreviewSetup02Unit.h"

#include "controls/Label3d.h"
#include "controls/NlvLabel.h"
#include "preview/PREVIEWUNIT02.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace {

// A box that leaves its painting to the dialog, inside its frame.
class TPaintBox : public QFrame {
public:
    TPaintBox(QWidget* Parent, std::function<void(QPainter&)> OnPaint)
        : QFrame(Parent), FOnPaint(std::move(OnPaint)) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.save();
        p.setClipRect(contentsRect());
        FOnPaint(p);
        p.restore();
        drawFrame(&p);
    }

private:
    std::function<void(QPainter&)> FOnPaint;
};

// Style tabs with narrow padding: the six names fit side by side.
class TNarrowTabStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric Metric, const QStyleOption* Option,
                    const QWidget* Widget) const override {
        if (Metric == PM_TabBarTabHSpace)
            return 10;
        return QProxyStyle::pixelMetric(Metric, Option, Widget);
    }
};

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

TNlvLabel* Caption(const QString& Text, QWidget* Parent, int X, int Y) {
    auto* l = new TNlvLabel(Parent);
    l->SetCaption(Text);
    l->SetAutoSize(true);
    l->SetTransparent(true);
    l->move(X, Y);
    return l;
}

// Up to the next whole 0.1 mm, as the page geometry rounds the unprintable border.
int CeilTenths(int Dots, int Dpi) {
    return static_cast<int>(std::ceil(Dots * 254.0 / Dpi - 1e-9));
}

constexpr int kMaxMargin = 400;
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
    const int v = Input.trimmed().toInt(&ok);
    Input = QString::number(ok ? std::clamp(v, minimum(), maximum()) : minimum());
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
    Caption(QStringLiteral("プリンター名"), s, 8, 12);
    PrintListBox = new QComboBox(s);
    PrintListBox->setGeometry(80, 8, 222, 22);
    BitBtn3 = new QPushButton(QStringLiteral("プロパティ..."), s);
    BitBtn3->setGeometry(308, 7, 86, 24);
    Caption(QStringLiteral("用紙サイズ"), s, 8, 40);
    PaperListBox = new QComboBox(s);
    PaperListBox->setGeometry(80, 36, 222, 22);
    Caption(QStringLiteral("印刷の向き"), s, 8, 68);
    PortRadio = new QRadioButton(QStringLiteral("縦"), s);
    PortRadio->setIcon(SheetIcon(false));
    PortRadio->setIconSize(QSize(22, 22));
    PortRadio->setGeometry(80, 62, 56, 24);
    LandRadio = new QRadioButton(QStringLiteral("横"), s);
    LandRadio->setIcon(SheetIcon(true));
    LandRadio->setIconSize(QSize(22, 22));
    LandRadio->setGeometry(140, 62, 56, 24);
    PrSizeLabel = Caption(QString(), s, 208, 68);

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
        Caption(names[row], group, 10, y + 4);
        auto* e = new TMarginSpinEdit(group);
        e->setGeometry(64, y, 62, 21);
        e->setRange(0, kMaxMargin);
        e->installEventFilter(this);
        edits[order[row]] = e;
        RangeLabels[order[row]] = Caption(QString(), group, 132, y + 4);
    }
    LeftMEdit = edits[0];
    TopMEdit = edits[1];
    RightMEdit = edits[2];
    BottomMEdit = edits[3];
    HdMEdit = edits[4];
    FtMEdit = edits[5];
    YohakuView = new TPaintBox(group, [this](QPainter& p) { PaintYohakuView(p); });
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
            Caption(names[k], s, 10 + k * 130, Y);
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

    Caption(QStringLiteral("開始ページ番号"), s, 212, 140);
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
    smallView = new TPaintBox(panel, [this](QPainter& p) { PaintSmallView(p); });
    smallView->setGeometry(2, 2, 91, 125);
}

void TPreSetupForm02::CreateFontSheet() {
    QWidget* s = FontSheet;
    FontTable = new QTabBar(s);
    auto* narrow = new TNarrowTabStyle;
    narrow->setParent(FontTable);
    FontTable->setStyle(narrow);
    FontTable->setGeometry(4, 4, 392, 24);
    FontTable->setExpanding(false);
    FontTable->setUsesScrollButtons(true);
    FontTable->setDrawBase(true);

    Caption(QStringLiteral("フォント名称"), s, 8, 40);
    FontBox = new QComboBox(s);
    FontBox->setGeometry(84, 36, 200, 22);
    FontBox->addItems(QFontDatabase::families());
    FontBox->setMaxVisibleItems(16);

    Caption(QStringLiteral("文字の色"), s, 8, 68);
    ColorBox = new QFrame(s);
    ColorBox->setFrameStyle(QFrame::Box | QFrame::Plain);
    ColorBox->setGeometry(84, 64, 40, 20);
    ColorBox->setAutoFillBackground(true);
    ColorBox->setCursor(Qt::PointingHandCursor);
    ColorBox->installEventFilter(this);

    Caption(QStringLiteral("文字スタイル"), s, 148, 68);
    const QString marks[4] = {QStringLiteral("B"), QStringLiteral("I"), QStringLiteral("U"),
                              QStringLiteral("S")};
    const QString tips[4] = {QStringLiteral("太字"), QStringLiteral("斜体"), QStringLiteral("下線"),
                             QStringLiteral("取り消し線")};
    QToolButton* buttons[4] = {};
    for (int k = 0; k < 4; ++k) {
        auto* b = new QToolButton(s);
        b->setText(marks[k]);
        b->setToolTip(tips[k]);
        b->setCheckable(true);
        b->setGeometry(226 + k * 26, 62, 24, 24);
        QFont bf(QStringLiteral("IPAPGothic"));
        bf.setPixelSize(13);
        SetFontStyleBits(bf, 1 << k);
        b->setFont(bf);
        connect(b, &QToolButton::toggled, this, &TPreSetupForm02::FontBtnClick);
        buttons[k] = b;
    }
    FontBtn1 = buttons[0];
    FontBtn2 = buttons[1];
    FontBtn3 = buttons[2];
    FontBtn4 = buttons[3];

    auto* group = new QGroupBox(QStringLiteral("各種設定値 (×0.1mm)"), s);
    group->setGeometry(4, 92, 244, 164);
    const QString names[6] = {QStringLiteral("左インデント（先頭行）"),
                              QStringLiteral("左インデント（２行以降）"),
                              QStringLiteral("右インデント（先頭行）"),
                              QStringLiteral("右インデント（２行以降）"),
                              QStringLiteral("文字の高さ"),
                              QStringLiteral("行間隔")};
    QSpinBox* edits[6] = {};
    for (int k = 0; k < 6; ++k) {
        const int y = 20 + k * 23;
        Caption(names[k], group, 8, y + 4);
        auto* e = new QSpinBox(group);
        e->setGeometry(170, y, 64, 21);
        e->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
        edits[k] = e;
    }
    LMEdit1 = edits[0];
    LMEdit2 = edits[1];
    RMEdit1 = edits[2];
    RMEdit2 = edits[3];
    HeightEdit = edits[4];
    SpaceEdit = edits[5];
    FontView = new TPaintBox(s, [this](QPainter& p) { PaintFontView(p); });
    FontView->setGeometry(254, 98, 142, 158);

    connect(FontTable, &QTabBar::currentChanged, this, &TPreSetupForm02::FontTableChange);
    connect(FontBox, &QComboBox::textActivated, this, &TPreSetupForm02::FontBoxChange);
    // Each field writes its own value into the selected style.
    const std::function<void(TTextStyle&, int)> writers[6] = {
        [](TTextStyle& t, int v) { t.LeftI = v; },
        [](TTextStyle& t, int v) { t.LeftI2 = v; },
        [](TTextStyle& t, int v) { t.RightI = v; },
        [](TTextStyle& t, int v) { t.RightI2 = v; },
        [](TTextStyle& t, int v) { t.Font.setPixelSize(std::max(1, v)); },
        [](TTextStyle& t, int v) { t.Height = v; },
    };
    for (int k = 0; k < 6; ++k) {
        connect(edits[k], &QSpinBox::valueChanged, this, [this, write = writers[k]](int v) {
            TTextStyle* style = SelectedStyle();
            if (FShowingStyle || !style)
                return;
            write(*style, v);
            FontView->update();
        });
    }
}

std::array<TMarginSpinEdit*, 6> TPreSetupForm02::MarginEdits() const {
    return {LeftMEdit, TopMEdit, RightMEdit, BottomMEdit, HdMEdit, FtMEdit};
}

std::array<QLineEdit*, 6> TPreSetupForm02::HeaderEdits() const {
    return {HLeftEdit, HCenterEdit, HRightEdit, FLeftEdit, FCenterEdit, FRightEdit};
}

// --- Interfaces

void TPreSetupForm02::SetFontStyle(const std::vector<TTextStyle>& List) {
    FFontList = List;
    // The faces the styles ask for by the system's names stand for installed faces: offered
    // first, so that the styles' own faces can be shown and chosen again.
    int offered = 0;
    for (const TTextStyle& style : FFontList) {
        const QString face = style.Font.family();
        if (FontBox->findText(face, Qt::MatchFixedString | Qt::MatchCaseSensitive) < 0 &&
            !QFont::substitutes(face).isEmpty())
            FontBox->insertItem(offered++, face);
    }
    {
        const QSignalBlocker block(FontTable);
        while (FontTable->count() > 0)
            FontTable->removeTab(0);
        for (int i = 0; i < static_cast<int>(FFontList.size()); ++i) {
            if (FFontList[i].StyleName.isEmpty())
                continue;
            const int tab = FontTable->addTab(FFontList[i].StyleName);
            FontTable->setTabData(tab, i);
        }
        if (FontTable->count() > 0)
            FontTable->setCurrentIndex(0);
    }
    FontTableChange();
}

void TPreSetupForm02::GetFontStyle(std::vector<TTextStyle>& List) const {
    const size_t n = std::min(List.size(), FFontList.size());
    for (size_t i = 0; i < n; ++i)
        List[i].Assign(FFontList[i]);
}

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

// --- Text styles

TTextStyle* TPreSetupForm02::SelectedStyle() {
    const int tab = FontTable->currentIndex();
    if (tab < 0)
        return nullptr;
    const int i = FontTable->tabData(tab).toInt();
    return i >= 0 && i < static_cast<int>(FFontList.size()) ? &FFontList[i] : nullptr;
}

void TPreSetupForm02::FontTableChange() {
    const TTextStyle* style = SelectedStyle();
    if (!style)
        return;
    FShowingStyle = true;
    FontBox->setCurrentIndex(
        FontBox->findText(style->Font.family(), Qt::MatchFixedString | Qt::MatchCaseSensitive));
    QPalette pal = ColorBox->palette();
    pal.setColor(QPalette::Window, style->Color);
    ColorBox->setPalette(pal);
    const int values[6] = {style->LeftI,
                           style->LeftI2,
                           style->RightI,
                           style->RightI2,
                           std::abs(PageFontHeight(style->Font)),
                           style->Height};
    QSpinBox* edits[6] = {LMEdit1, LMEdit2, RMEdit1, RMEdit2, HeightEdit, SpaceEdit};
    for (int k = 0; k < 6; ++k) {
        edits[k]->setValue(values[k]);
        edits[k]->setEnabled(values[k] >= 0);
    }
    const int bits = FontStyleBits(style->Font);
    QToolButton* buttons[4] = {FontBtn1, FontBtn2, FontBtn3, FontBtn4};
    for (int k = 0; k < 4; ++k)
        buttons[k]->setChecked((bits & (1 << k)) != 0);
    FShowingStyle = false;
    FontView->update();
}

void TPreSetupForm02::FontBoxChange(const QString& Face) {
    if (TTextStyle* style = SelectedStyle()) {
        style->Font.setFamily(Face);
        FontView->update();
    }
}

void TPreSetupForm02::FontBtnClick() {
    TTextStyle* style = SelectedStyle();
    if (FShowingStyle || !style)
        return;
    int bits = 0;
    QToolButton* buttons[4] = {FontBtn1, FontBtn2, FontBtn3, FontBtn4};
    for (int k = 0; k < 4; ++k)
        bits |= buttons[k]->isChecked() ? 1 << k : 0;
    SetFontStyleBits(style->Font, bits);
    FontView->update();
}

void TPreSetupForm02::ColorBoxClick() {
    TTextStyle* style = SelectedStyle();
    if (!style)
        return;
    QColorDialog dialog(style->Color, this);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    style->Color = dialog.selectedColor();
    QPalette pal = ColorBox->palette();
    pal.setColor(QPalette::Window, style->Color);
    ColorBox->setPalette(pal);
    FontView->update();
}

void TPreSetupForm02::PaintFontView(QPainter& Canvas) {
    QRect r = FontView->rect();
    Canvas.fillRect(r, palette().color(QPalette::Button));
    const TTextStyle* style = SelectedStyle();
    if (!style)
        return;
    r.adjust(20, 5, -20, -5);
    Canvas.fillRect(r.translated(2, 2), QColor(128, 128, 128));
    Canvas.setPen(Qt::black);
    Canvas.setBrush(Qt::white);
    Canvas.drawRect(r.translated(-2, -2).adjusted(0, 0, -1, -1));
    r.translate(-2, -2);
    QFont f = style->Font;
    const int height = PageFontHeight(style->Font);
    const int pixels = static_cast<int>(std::nearbyint(height * FontView->logicalDpiY() / 254.0));
    f.setPixelSize(std::max(1, std::abs(pixels)));
    f.setHintingPreference(QFont::PreferDefaultHinting);
    Canvas.setFont(f);
    Canvas.setPen(style->Color);
    r.adjust(20, 5, -20, -5);
    Canvas.setClipRect(r, Qt::IntersectClip);
    Canvas.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, f.family());
}
