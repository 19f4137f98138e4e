#include "CalcOutDetailUnit.h"

#include "controls/MessageBoxes.h"
#include "controls/StringGrid.h"
#include "model/CalcDetail.h"
#include "model/DataUnit.h"
#include "platform/Failure.h"
#include "platform/NumberFormat.h"
#include "results/CellStyle.h"
#include "results/CsvFile.h"
#include "results/ResultGlyphs.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QFrame>
#include <QHeaderView>
#include <QHideEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>

TCalcAllForm* CalcAllForm = nullptr;

namespace {

constexpr int RowHeight = 22;

const QColor OnePointXY(224, 255, 255);
const QColor FourPointXY(224, 192, 255);
const QColor TopsoilColor(0, 255, 255);
const QColor FillColor(255, 196, 196);
const QColor CutColor(255, 255, 128);
const QColor LayerColor(255, 255, 196);

} // namespace

TCalcAllForm::TCalcAllForm(QWidget* AOwner) : QDialog(AOwner) {
    setWindowTitle(QStringLiteral("土量計算の詳細"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint);
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);
    setFont(f);
    resize(545, 432);
    setMinimumSize(300, 200);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    // The client panel: a 4 pixel border, then a lowered bevel 2 wide around the contents.
    Panel1 = new QWidget(this);
    auto* panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(4, 4, 4, 4);
    auto* bevel = new QFrame(Panel1);
    bevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bevel->setLineWidth(2);
    panelLayout->addWidget(bevel);
    auto* inner = new QGridLayout(bevel);
    inner->setContentsMargins(2, 2 + 35, 2, 2); // an empty band 35 high above the grid
    inner->setSpacing(0);

    StringGrid1 = new TStringGrid(5, 2, bevel);
    StringGrid1->SetFixed(1, 1);
    StringGrid1->setFrameShape(QFrame::NoFrame);
    StringGrid1->setShowGrid(false);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setSelectionMode(QAbstractItemView::NoSelection);
    StringGrid1->setFocusPolicy(Qt::NoFocus);
    StringGrid1->SetDefaultRowHeight(RowHeight);
    StringGrid1->horizontalHeader()->setDefaultSectionSize(70);
    StringGrid1->setMinimumSize(0, 0);
    QPalette pal = StringGrid1->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    StringGrid1->setPalette(pal);
    StringGrid1->SetOnDrawCell([this](QPainter& P, const QRect& R, int Col, int Row) {
        StringGrid1DrawCell(P, R, Col, Row);
    });
    StringGrid1->installEventFilter(this);
    StringGrid1->viewport()->installEventFilter(this);

    VScroll = new QScrollBar(Qt::Vertical, bevel);
    VScroll->setFixedWidth(16);
    VScroll->setRange(0, 0);
    VScroll->setSingleStep(1);
    VScroll->setPageStep(10);
    connect(VScroll, &QScrollBar::valueChanged, this, &TCalcAllForm::VScrollChange);
    HScroll = new QScrollBar(Qt::Horizontal, bevel);
    HScroll->setRange(0, 0);
    HScroll->hide();
    connect(HScroll, &QScrollBar::valueChanged, this, &TCalcAllForm::HScrollChange);

    inner->addWidget(StringGrid1, 0, 0);
    inner->addWidget(VScroll, 0, 1, 2, 1);
    inner->addWidget(HScroll, 1, 0);
    outer->addWidget(Panel1, 1);

    FButtonBar = new QWidget(this);
    FButtonBar->setFixedHeight(32);
    outer->addWidget(FButtonBar);
    BitBtn2 = new QPushButton(ResultGlyphs::Csv(), QStringLiteral("CSV出力"), FButtonBar);
    BitBtn2->setGeometry(142, 3, 93, 25);
    BitBtn2->setAutoDefault(false);
    BitBtn1 = new QPushButton(ResultGlyphs::Close(), QStringLiteral("閉じる"), FButtonBar);
    BitBtn1->resize(95, 25);
    BitBtn1->setAutoDefault(false);
    connect(BitBtn2, &QPushButton::clicked, this, &TCalcAllForm::BitBtn2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
}

TCalcAllForm::~TCalcAllForm() {
    if (CalcAllForm == this)
        CalcAllForm = nullptr;
}

void TCalcAllForm::resizeEvent(QResizeEvent* Event) {
    QDialog::resizeEvent(Event);
    BitBtn1->move(Event->size().width() - 95 - 8, 3);
}

bool TCalcAllForm::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == StringGrid1 && Event->type() == QEvent::Resize) {
        Panel1Resize();
    } else if (Watched == StringGrid1->viewport() && Event->type() == QEvent::Wheel) {
        // The grid has no vertical scrolling of its own: the wheel moves the list.
        auto* wheel = static_cast<QWheelEvent*>(Event);
        const bool sideways = wheel->angleDelta().x() != 0 && wheel->angleDelta().y() == 0;
        QScrollBar* bar = sideways ? HScroll : VScroll;
        if (bar->isEnabled())
            QCoreApplication::sendEvent(bar, Event);
        return true;
    }
    return QDialog::eventFilter(Watched, Event);
}

void TCalcAllForm::keyPressEvent(QKeyEvent* Event) {
    const bool ctrl = Event->modifiers() & Qt::ControlModifier;
    QScrollBar* bar = VScroll;
    switch (Event->key()) {
    case Qt::Key_Up:
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case Qt::Key_Down:
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    case Qt::Key_PageUp:
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        break;
    case Qt::Key_PageDown:
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        break;
    case Qt::Key_Home:
    case Qt::Key_End:
        if (!ctrl) {
            QDialog::keyPressEvent(Event);
            return;
        }
        bar->triggerAction(Event->key() == Qt::Key_Home ? QAbstractSlider::SliderToMinimum
                                                        : QAbstractSlider::SliderToMaximum);
        break;
    default:
        QDialog::keyPressEvent(Event);
        return;
    }
    Event->accept();
}

void TCalcAllForm::SetInputData(TInputData& Value) {
    FInputData = &Value;
    TStringGrid* g = StringGrid1;
    const bool topsoil = Value.Hyoudo();
    const int L = Value.Layer();

    QStringList headings = {QStringLiteral("メッシュ"), QStringLiteral("Ｘ番号"),
                            QStringLiteral("Ｙ番号")};
    if (topsoil)
        headings << QStringLiteral("表土量");
    headings << QStringLiteral("盛土量") << QStringLiteral("切土量");
    if (L > 1)
        for (int i = 1; i <= L; ++i)
            headings << QString::fromStdString(Value.GetSolidName(i));

    g->setColumnCount(static_cast<int>(headings.size()));
    FColWidths.assign(headings.size(), 70);
    for (int c = 0; c < g->columnCount(); ++c) {
        if (c < 3)
            FColWidths[c] = c == 0 ? 55 : 50;
        g->setColumnHidden(c, false);
        g->SetColWidth(c, FColWidths[c]);
        SetCellText(g, c, 0, headings[c]);
        SetCellStyle(g, c, 0,
                     NewCellStyle(cfThinRaised, caCenter, palette().color(QPalette::Button)));
    }

    const int count = Value.CalcMeshCount();
    {
        const QSignalBlocker block(VScroll);
        VScroll->setRange(0, std::max(count - 1, 0));
        VScroll->setValue(0);
        // Nothing to scroll through: the list stays empty.
        VScroll->setEnabled(count > 0);
    }
    {
        const QSignalBlocker block(HScroll);
        HScroll->setValue(0);
    }
    UpdateColumnScroll();
    FillDetailRows(0);
    if (QFont* font = CellFont(g, 0, 0))
        font->setPixelSize(12);
}

void TCalcAllForm::Execute() {
    exec();
}

void TCalcAllForm::FillDetailRows(int Top) {
    if (!FInputData)
        return;
    TStringGrid* g = StringGrid1;
    const std::vector<TGridCalcData>& list = FInputData->CalcList();
    const QColor face = palette().color(QPalette::Button);
    const bool topsoil = FInputData->Hyoudo();
    const int L = FInputData->Layer();
    const bool four = DetailIsFourPoint(*FInputData);
    const int cols = g->columnCount();

    auto put = [g](int Col, int Row, const QString& Text, int32_t Frame, uint8_t Align,
                   const QColor& Color) {
        SetCellText(g, Col, Row, Text);
        SetCellStyle(g, Col, Row, NewCellStyle(Frame, Align, Color));
    };
    auto volume = [&](int Col, int Row, int32_t Value, const QColor& Color) {
        if (Value != 0)
            put(Col, Row, QString::fromStdString(FormatThousands(Value, 0)), cfThinSunken, caRight,
                Color);
        else
            put(Col, Row, QString(), cfFlat, caRight, face);
    };

    for (int r = 1; r < g->rowCount(); ++r) {
        const int64_t i = static_cast<int64_t>(Top) + r - 1;
        if (i < 0 || i >= static_cast<int64_t>(list.size())) {
            for (int c = 0; c < cols; ++c)
                put(c, r, QString(), cfFlat, caRight, face);
            SetCellStyle(g, 0, r, NewCellStyle(cfFlat, caCenter, face));
            continue;
        }
        const TGridCalcData& m = list[static_cast<size_t>(i)];
        put(0, r, QString::fromStdString(StrFormat("%6d", m.Num)), cfThinRaised, caCenter, face);
        if (four) {
            put(1, r, QStringLiteral("%1,%2").arg(m.X).arg(qint64(m.X) + 1), cfThinSunken, caCenter,
                FourPointXY);
            put(2, r, QStringLiteral("%1,%2").arg(m.Y).arg(qint64(m.Y) + 1), cfThinSunken, caCenter,
                FourPointXY);
        } else {
            put(1, r, QString::number(m.X), cfThinSunken, caRight, OnePointXY);
            put(2, r, QString::number(m.Y), cfThinSunken, caRight, OnePointXY);
        }
        int c = 3;
        if (topsoil)
            volume(c++, r, m.HV, TopsoilColor);
        volume(c++, r, m.BV[1], FillColor);
        volume(c++, r, m.CV[1][0], CutColor);
        if (L > 1)
            for (int k = 1; k <= L && c < cols; ++k)
                volume(c++, r, m.CV[1][k], LayerColor);
    }
}

void TCalcAllForm::Panel1Resize() {
    const int rows = StringGrid1->height() / RowHeight + 1;
    if (rows != StringGrid1->rowCount()) {
        StringGrid1->setRowCount(rows);
        StringGrid1->SetDefaultRowHeight(RowHeight);
    }
    UpdateColumnScroll();
    FillDetailRows(VScroll->value());
}

void TCalcAllForm::VScrollChange() {
    FillDetailRows(VScroll->value());
}

void TCalcAllForm::UpdateColumnScroll() {
    // The furthest first scrolled column at which the last column is still wholly in view.
    const int cols = static_cast<int>(FColWidths.size());
    int first = cols;
    if (cols > 0) {
        int room = StringGrid1->width() - FColWidths[0]; // the viewport follows later
        while (first > 1 && room >= FColWidths[first - 1]) {
            room -= FColWidths[first - 1];
            --first;
        }
    }
    const int maxLeft = std::max(first - 1, 0);
    HScroll->setRange(0, maxLeft);
    HScroll->setPageStep(std::max(cols - 1 - maxLeft, 1));
    HScroll->setVisible(maxLeft > 0);
    HScrollChange();
}

void TCalcAllForm::HScrollChange() {
    for (int c = 1; c < StringGrid1->columnCount(); ++c)
        StringGrid1->setColumnHidden(c, c <= HScroll->value());
}

void TCalcAllForm::StringGrid1DrawCell(QPainter& Painter, const QRect& Rect, int Col,
                                       int Row) const {
    DrawStyledCell(StringGrid1, Painter, Col, Row, Rect);
}

void TCalcAllForm::BitBtn2Click() {
    if (!FInputData)
        return;
    const QString name = AskCsvFileName(this);
    if (name.isEmpty())
        return;
    RunGuarded(this, [&]() { WriteCsvText(name, DetailCsvText(*FInputData)); });
}

void TCalcAllForm::hideEvent(QHideEvent* Event) {
    QDialog::hideEvent(Event);
    // The project is lent for one showing only.
    if (!Event->spontaneous())
        FInputData = nullptr;
}
