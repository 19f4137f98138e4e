// The page setup dialog's text styles sheet: one tab per named style, its face, colour, style
// bits, indents, height and line spacing, and a sample.

#include "preview/PreviewSetup02Unit.h"

#include "preview/PreviewSetup02Parts.h"

#include <QColorDialog>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QProxyStyle>
#include <QTabBar>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>

namespace {

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

} // namespace

void TPreSetupForm02::CreateFontSheet() {
    QWidget* s = FontSheet;
    FontTable = new QTabBar(s);
    // The dialog owns the style; the tab bar, created before it, goes first.
    auto* narrow = new TNarrowTabStyle;
    narrow->setParent(this);
    FontTable->setStyle(narrow);
    FontTable->setGeometry(4, 4, 392, 24);
    FontTable->setExpanding(false);
    FontTable->setUsesScrollButtons(true);
    FontTable->setDrawBase(true);

    SetupCaption(QStringLiteral("フォント名称"), s, 8, 40);
    FontBox = new QComboBox(s);
    FontBox->setGeometry(84, 36, 200, 22);
    FontBox->addItems(QFontDatabase::families());
    FontBox->setMaxVisibleItems(16);

    SetupCaption(QStringLiteral("文字の色"), s, 8, 68);
    ColorBox = new QFrame(s);
    ColorBox->setFrameStyle(QFrame::Box | QFrame::Plain);
    ColorBox->setGeometry(84, 64, 40, 20);
    ColorBox->setAutoFillBackground(true);
    ColorBox->setCursor(Qt::PointingHandCursor);
    ColorBox->installEventFilter(this);

    SetupCaption(QStringLiteral("文字スタイル"), s, 148, 68);
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
        QFont bf(QStringLiteral("ＭＳ Ｐゴシック"));
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
        SetupCaption(names[k], group, 8, y + 4);
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
    // A text height no paper holds (beyond 1 m) would not be read back from the settings, and
    // its sample would not fit in an int once turned into screen pixels.
    HeightEdit->setRange(1, 10000);
    FontView = new TSetupPaintBox(s, [this](QPainter& p) { PaintFontView(p); });
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
