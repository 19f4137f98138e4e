// The preview window's parts: tool bar, menus, thumbnail pane, page view and status bar.

#include "preview/PREVIEWUNIT02Base.h"

#include "preview/PREVIEWUNIT02View.h"

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace {

// Tool bar pictures: one symbol on a small tile.
QIcon SymbolIcon(const QString& Symbol, const QColor& Colour) {
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont f(QStringLiteral("ＭＳ ゴシック"));
    f.setPixelSize(16);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Colour);
    p.drawText(QRect(0, 0, 20, 20), Qt::AlignCenter, Symbol);
    p.end();
    return QIcon(pm);
}

// First and last page: the paging arrow against a bar.
QIcon EdgeIcon(bool Last, const QColor& Colour) {
    QPixmap pm =
        SymbolIcon(Last ? QStringLiteral("▶") : QStringLiteral("◀"), Colour).pixmap(20, 20);
    QPainter p(&pm);
    p.fillRect(Last ? QRect(16, 4, 2, 12) : QRect(2, 4, 2, 12), Colour);
    p.end();
    return QIcon(pm);
}

// The page box: digits only; a number past either end goes, on Enter, to that end's page.
class TPageBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QValidator::State validate(QString& Text, int& Pos) const override {
        const QValidator::State state = QSpinBox::validate(Text, Pos);
        return state == QValidator::Invalid && !Digits(Text).isEmpty() ? QValidator::Intermediate
                                                                       : state;
    }
    void fixup(QString& Text) const override {
        const QString digits = Digits(Text);
        if (digits.isEmpty())
            return;
        // Nine digits at most: the number fits, whatever was typed.
        const int page = std::clamp(digits.toInt(), minimum(), maximum());
        Text = QString::number(page) + suffix();
    }

private:
    // The number typed (without " / total"); empty when the text is not digits alone.
    QString Digits(const QString& Text) const {
        QString digits = Text;
        if (digits.endsWith(suffix()))
            digits.chop(suffix().size());
        digits = digits.trimmed();
        if (digits.isEmpty() || digits.size() > 9)
            return {};
        for (QChar c : digits)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return {};
        return digits;
    }
};

} // namespace

void TPreViewBase::CreateWindowParts() {
    setMinimumSize(600, 400);
    resize(686, 491);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setWindowFlag(Qt::WindowMinimizeButtonHint);

    auto action = [this](const QString& Caption, const QString& Symbol, const QColor& Colour,
                         void (TPreViewBase::*Handler)()) {
        auto* a = new QAction(Caption, this);
        if (!Symbol.isEmpty())
            a->setIcon(SymbolIcon(Symbol, Colour));
        if (Handler)
            connect(a, &QAction::triggered, this, Handler);
        else
            a->setEnabled(false);
        return a;
    };
    const QColor blue(20, 60, 160), green(20, 120, 40), dark(60, 60, 60);
    ZoomInAction = action(QStringLiteral("拡大"), QStringLiteral("＋"), blue,
                          &TPreViewBase::ZoomInActionExecute);
    ZoomOutAction = action(QStringLiteral("縮小"), QStringLiteral("－"), blue,
                           &TPreViewBase::ZoomOutActionExecute);
    PageNextAction = action(QStringLiteral("次ページ"), QStringLiteral("▶"), green,
                            &TPreViewBase::PageNextActionExecute);
    PagePreAction = action(QStringLiteral("前ページ"), QStringLiteral("◀"), green,
                           &TPreViewBase::PagePreActionExecute);
    PageFirstAction = action(QStringLiteral("先頭ページ"), QString(), green,
                             &TPreViewBase::PageFirstActionExecute);
    PageFirstAction->setIcon(EdgeIcon(false, green));
    PageFirstAction->setIconText(QStringLiteral("先頭"));
    PageLastAction = action(QStringLiteral("最終ページ"), QString(), green,
                            &TPreViewBase::PageLastActionExecute);
    PageLastAction->setIcon(EdgeIcon(true, green));
    PageLastAction->setIconText(QStringLiteral("最終"));
    PrintSetupAction = action(QStringLiteral("印刷設定..."), QStringLiteral("≡"), dark, nullptr);
    // Page setup and printing come with their own dialogs.
    PrintAction = action(QStringLiteral("印刷..."), QStringLiteral("印"), dark, nullptr);
    ExitAction = action(QStringLiteral("閉じる"), QStringLiteral("×"), QColor(170, 30, 30),
                        &TPreViewBase::ExitActionExecute);
    CopyAction = action(QStringLiteral("コピー"), QStringLiteral("複"), dark,
                        &TPreViewBase::CopyActionExecute);
    ActPageSetup = action(QStringLiteral("ページ設定..."), QStringLiteral("頁"), dark, nullptr);
    ActSaveFile = action(QStringLiteral("保存(&S)..."), QStringLiteral("保"), dark, nullptr);
    ActNewPage = action(QStringLiteral("改ページ"), QString(), dark, nullptr);
    ActNewSpacer = action(QStringLiteral("改行"), QString(), dark, nullptr);
    ActDelNewPage = action(QStringLiteral("改ページの削除"), QString(), dark, nullptr);
    WordAction = action(QStringLiteral("Word出力"), QStringLiteral("W"), dark,
                        &TPreViewBase::WordActionExecute);
    RTFAction = action(QStringLiteral("RTF出力"), QStringLiteral("R"), dark,
                       &TPreViewBase::RTFActionExecute);
    WordAction->setVisible(false);
    RTFAction->setVisible(false);
    AreaViewChecked = new QAction(QStringLiteral("境界表示"), this);
    AreaViewChecked->setCheckable(true);
    MarginViewChecked = new QAction(QStringLiteral("マージン表示"), this);
    MarginViewChecked->setCheckable(true);
    connect(AreaViewChecked, &QAction::toggled, this, [this]() { View->update(); });
    connect(MarginViewChecked, &QAction::toggled, this, [this]() { View->update(); });

    auto* menuBar = new QMenuBar(this);
    QMenu* file = menuBar->addMenu(QStringLiteral("ファイル(&F)"));
    file->addAction(ActSaveFile);
    file->addSeparator();
    file->addActions({ActPageSetup, PrintSetupAction, PrintAction});
    file->addSeparator();
    file->addAction(ExitAction);
    QMenu* view = menuBar->addMenu(QStringLiteral("表示(&V)"));
    view->addActions({PageFirstAction, PagePreAction, PageNextAction, PageLastAction});
    view->addSeparator();
    view->addActions({ZoomInAction, ZoomOutAction});
    view->addSeparator();
    view->addActions({AreaViewChecked, MarginViewChecked});
    QMenu* tools = menuBar->addMenu(QStringLiteral("ツール"));
    tools->addActions({RTFAction, WordAction, CopyAction});

    Panel1 = new QWidget(this);
    Panel1->setFixedHeight(41);
    auto* bar = new QHBoxLayout(Panel1);
    bar->setContentsMargins(4, 2, 4, 2);
    bar->setSpacing(0);
    auto button = [&](QAction* a, int width) {
        auto* b = new QToolButton(Panel1);
        b->setDefaultAction(a);
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setIconSize(QSize(16, 16));
        b->setFixedSize(width, 36);
        bar->addWidget(b);
        return b;
    };
    button(ZoomInAction, 48);
    button(ZoomOutAction, 48);
    bar->addSpacing(8);
    button(PageFirstAction, 40);
    button(PagePreAction, 50);
    // A report of tens of thousands of pages is crossed by its number.
    PageBox = new TPageBox(Panel1);
    PageBox->setButtonSymbols(QAbstractSpinBox::NoButtons);
    PageBox->setAlignment(Qt::AlignCenter);
    PageBox->setKeyboardTracking(false);
    PageBox->setToolTip(QStringLiteral("ページ番号を入力して Enter で移動します"));
    PageBox->setRange(0, 0);
    connect(PageBox, &QSpinBox::valueChanged, this, [this](int Value) { SetDrawPageNum(Value); });
    bar->addSpacing(2);
    bar->addWidget(PageBox);
    bar->addSpacing(2);
    button(PageNextAction, 50);
    button(PageLastAction, 40);
    bar->addSpacing(10);
    button(ActPageSetup, 74);
    button(PrintAction, 48);
    bar->addSpacing(10);
    RTFButton = button(RTFAction, 55);
    WordButton = button(WordAction, 55);
    RTFButton->setVisible(false);
    WordButton->setVisible(false);
    auto* mokuji = new QVBoxLayout;
    mokuji->setSpacing(0);
    MokujiLabel = new QLabel(QStringLiteral("目次"), Panel1);
    MokujiItem = new QComboBox(Panel1);
    MokujiItem->setMinimumWidth(97);
    mokuji->addWidget(MokujiLabel);
    mokuji->addWidget(MokujiItem);
    bar->addSpacing(14);
    bar->addLayout(mokuji, 1);
    bar->addSpacing(10);
    button(ExitAction, 48);

    ScrollBox2 = new QScrollArea;
    ScrollBox2->setBackgroundRole(QPalette::Dark);
    ScrollBox2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox2->setMinimumWidth(31);
    ScrollBox2->setMaximumWidth(149);
    SumnailPane = new QWidget;
    SumnailPane->resize(100, 0);
    ScrollBox2->setWidget(SumnailPane);
    ScrollBox2->setWidgetResizable(false);
    connect(ScrollBox2->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this]() { ShowSumnails(); });

    ScrollBox1 = new QScrollArea;
    ScrollBox1->setBackgroundRole(QPalette::Dark);
    ScrollBox1->setAlignment(Qt::AlignCenter);
    View = new TPreviewView(this, nullptr);
    ScrollBox1->setWidget(View);
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->horizontalScrollBar()->setSingleStep(53);
    ScrollBox1->verticalScrollBar()->setSingleStep(36);

    Splitter1 = new QSplitter(Qt::Horizontal);
    Splitter1->addWidget(ScrollBox2);
    Splitter1->addWidget(ScrollBox1);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({121, 565});

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setSizeGripEnabled(false);
    const int widths[4] = {80, 60, 200, 50};
    for (int k = 0; k < 4; ++k) {
        StatusPanels[k] = new QLabel(StatusBar1);
        StatusPanels[k]->setFixedWidth(widths[k]);
        StatusPanels[k]->setFrameShape(QFrame::StyledPanel);
        StatusBar1->addWidget(StatusPanels[k]);
    }
    StatusPanels[1]->setAlignment(Qt::AlignCenter);

    auto* popup = new QMenu(this);
    popup->addActions({ZoomInAction, ZoomOutAction});
    popup->addSeparator();
    popup->addActions({PageFirstAction, PagePreAction, PageNextAction, PageLastAction});
    popup->addSeparator();
    InsertMenu = popup->addMenu(QStringLiteral("挿入"));
    InsertMenu->addActions({ActNewSpacer, ActNewPage});
    popup->addSeparator();
    popup->addAction(ActDelNewPage);
    View->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(View, &QWidget::customContextMenuRequested, this,
            [this, popup](const QPoint& At) { popup->exec(View->mapToGlobal(At)); });

    Timer1 = new QTimer(this);
    Timer1->setInterval(500);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar);
    layout->addWidget(Panel1);
    layout->addWidget(Splitter1, 1);
    layout->addWidget(StatusBar1);
    UpdatePageBox();

    View->installEventFilter(this);
    ScrollBox1->viewport()->installEventFilter(this);
    ScrollBox2->viewport()->installEventFilter(this);
    SumnailPane->installEventFilter(this);
}

void TPreViewBase::SetOutEnabled(int Index, bool Value) {
    QAction* action = Index == 0 ? WordAction : RTFAction;
    QToolButton* button = Index == 0 ? WordButton : RTFButton;
    action->setVisible(Value);
    button->setVisible(Value);
}

void TPreViewBase::RTFActionExecute() {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("rtf"));
    dialog.setNameFilters(
        {QStringLiteral("リッチ テキスト ファイル (*.rtf)"), QStringLiteral("全てのファイル (*)")});
    // A fresh dialog each time: the name field starts empty; Qt asks before overwriting.
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    RTFExport(dialog.selectedFiles().first());
}

void TPreViewBase::WordActionExecute() {
    WordExport();
}

bool TPreViewBase::WordOutEnabled() const {
    return WordAction->isVisible();
}

bool TPreViewBase::RTFOutEnabled() const {
    return RTFAction->isVisible();
}
