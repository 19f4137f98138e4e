#include "BaseDataUnit.h"

#include "controls/FittedText.h"
#include "controls/KeyPreview.h"
#include "controls/Label3d.h"
#include "controls/MessageBoxes.h"
#include "controls/RadioGroup.h"
#include "controls/StringGrid.h"
#include "model/DataUnit.h"
#include "model/PlausibleRange.h"
#include "platform/NumberFormat.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>

#include <cfloat>
#include <cmath>

TBaseInputForm* BaseInputForm = nullptr;

namespace {

constexpr int SoilRows = 6;     // fill material and soil layers 1..5
constexpr int StandardRows = 7; // topsoil, thickness of layers 1..4, two settlements

// printf's "%<width>.<decimals>f" in the user's number format.
QString FormatWidth(double Value, int Width, int Decimals) {
    return QString::fromStdString(FormatFixed(Value, Decimals))
        .rightJustified(Width, QLatin1Char(' '));
}

// A typed number; a text that is no number, or none a double can hold, reads as Default.
double ReadNumber(const QString& Text, double Default) {
    const long double v = ParseFloatDef(Text.toStdString(), Default);
    if (std::isnan(v) || std::fabs(v) > static_cast<long double>(DBL_MAX))
        return Default;
    return static_cast<double>(v);
}

// A whole decimal number with an optional sign and blanks around it, else Default.
int StrToIntDef(const QString& Text, int Default) {
    bool ok = false;
    const int v = Text.trimmed().toInt(&ok, 10);
    return ok ? v : Default;
}

QFont DialogFont() {
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);
    return f;
}

QIcon OkGlyph() {
    QPixmap pm(18, 18);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath tick;
    tick.moveTo(3, 9);
    tick.lineTo(7, 14);
    tick.lineTo(15, 4);
    p.setPen(QPen(QColor(0, 128, 0), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
    return QIcon(pm);
}

QIcon CancelGlyph() {
    QPixmap pm(18, 18);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(200, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(4, 4, 14, 14);
    p.drawLine(14, 4, 4, 14);
    return QIcon(pm);
}

} // namespace

TBaseInputForm::TBaseInputForm(QWidget* AOwner) : QDialog(AOwner) {
    setWindowTitle(QStringLiteral("基本データ入力"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(DialogFont());
    setFixedSize(432, 370);

    QFont titleFont(QStringLiteral("ＭＳ ゴシック"));
    titleFont.setPixelSize(12);
    titleFont.setBold(true);
    auto sectionLabel = [&](const QString& text, int x, int y) {
        auto* l = new TLabel3D(this);
        l->setFont(titleFont);
        l->SetStyle(lsRaised);
        l->SetMainColor(palette().color(QPalette::WindowText));
        l->SetShadowXOffset(0);
        l->SetShadowYOffset(0);
        l->SetCaption(text);
        l->move(x, y);
        return l;
    };
    auto unitLabel = [&](int x, int y) {
        auto* l = new QLabel(QStringLiteral("(m)"), this);
        l->adjustSize();
        l->move(x, y);
    };

    // Created in tab order: Qt's focus chain follows the order of creation.
    sectionLabel(QStringLiteral("工事名："), 8, 7);
    Edit1 = new QLineEdit(this);
    Edit1->setGeometry(64, 4, 361, 20);

    sectionLabel(QStringLiteral("地層数(1～5)："), 8, 35);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setCompleter(nullptr);
    for (int i = 1; i <= 5; ++i)
        ComboBox1->addItem(QString::number(i));
    ComboBox1->setGeometry(104, 32, 49, 20);

    sectionLabel(QStringLiteral("メッシュ間隔："), 172, 35);
    MeshSpanEdit = new QLineEdit(this);
    MeshSpanEdit->setGeometry(264, 32, 41, 20);
    MeshSpanEdit->setTextMargins(0, 0, 0, 0);
    unitLabel(312, 36);

    CalctypeItem = new TRadioGroup(QStringLiteral("計算方法"),
                                   {QStringLiteral("１点法（点高法）"),
                                    QStringLiteral("４点柱状法"), QStringLiteral("４点平均標高法")},
                                   this);
    CalctypeItem->setGeometry(8, 60, 129, 101);
    RateTypeItem = new TRadioGroup(QStringLiteral("補正方法"),
                                   {QStringLiteral("切土補正"), QStringLiteral("盛土補正")}, this);
    RateTypeItem->setGeometry(144, 60, 97, 49);
    HyoudoInput = new TRadioGroup(QStringLiteral("表土厚"),
                                  {QStringLiteral("なし"), QStringLiteral("あり")}, this);
    HyoudoInput->setGeometry(248, 60, 81, 49);
    GroupBox1 = new QGroupBox(QStringLiteral("沈下量入力"), this);
    GroupBox1->setGeometry(144, 112, 97, 49);
    FumikomiCheck = new QCheckBox(QStringLiteral("踏込沈下"), GroupBox1);
    AtumituCheck = new QCheckBox(QStringLiteral("圧密沈下"), GroupBox1);
    {
        const int top = QFontMetrics(font()).height() + 1;
        const int step = (49 - top - 2) / 2;
        const int h = FumikomiCheck->sizeHint().height();
        FumikomiCheck->setGeometry(8, top + (step - h) / 2, 87, h);
        AtumituCheck->setGeometry(8, top + step + (step - h) / 2, 87, h);
    }
    SolidTypeItem = new TRadioGroup(QStringLiteral("各層の入力"),
                                    {QStringLiteral("層厚"), QStringLiteral("標高")}, this);
    SolidTypeItem->setGeometry(248, 112, 81, 49);

    sectionLabel(QStringLiteral("各層情報"), 8, 167);
    StringGrid1 = new TStringGrid(3, 7, this);
    StringGrid1->SetTag(0);
    StringGrid1->setGeometry(16, 184, 200, 150);
    sectionLabel(QStringLiteral("標準値"), 236, 167);
    unitLabel(284, 169);
    StringGrid2 = new TStringGrid(2, 8, this);
    StringGrid2->SetTag(1);
    StringGrid2->setGeometry(244, 184, 180, 171);

    sectionLabel(QStringLiteral("丸め方法："), 8, 347);
    RoundCombo = new QComboBox(this);
    RoundCombo->addItems(
        {QStringLiteral("四捨五入"), QStringLiteral("切り捨て"), QStringLiteral("切り上げ")});
    RoundCombo->setGeometry(76, 344, 141, 20);

    BitBtn1 = new QPushButton(OkGlyph(), QStringLiteral("OK"), this);
    BitBtn1->setGeometry(336, 32, 89, 25);
    BitBtn2 = new QPushButton(CancelGlyph(), QStringLiteral("キャンセル"), this);
    BitBtn2->setGeometry(336, 68, 89, 25);
    // Enter belongs to the cell walk, never to a default button.
    BitBtn1->setAutoDefault(false);
    BitBtn2->setAutoDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    // The form sees Enter before any of its controls, the grid editors included.
    new TKeyPreview(this, [this](QWidget*, QKeyEvent& Key) {
        if (Key.key() != Qt::Key_Return && Key.key() != Qt::Key_Enter)
            return false;
        FormKeyPress();
        return true;
    });

    for (TStringGrid* grid : {StringGrid1, StringGrid2}) {
        grid->SetDefaultRowHeight(20);
        grid->SetOnSelectCell(
            [this, grid](int Col, int Row) { return IsCellEditable(grid->Tag(), Col, Row); });
        grid->SetOnDrawCell([this, grid](QPainter& Painter, const QRect& Rect, int Col, int Row) {
            StringGrid1DrawCell(grid, Painter, Rect, Col, Row);
        });
    }
    StringGrid1->SetColWidth(0, 20);
    StringGrid1->SetColWidth(1, 115);
    StringGrid1->SetColWidth(2, 59);
    StringGrid2->SetColWidth(0, 120);
    StringGrid2->SetColWidth(1, 55);

    connect(ComboBox1, &QComboBox::editTextChanged, this, &TBaseInputForm::ComboBox1Change);
    connect(ComboBox1, &QComboBox::activated, this, &TBaseInputForm::ComboBox1Change);
    connect(RateTypeItem, &TRadioGroup::clicked, this, &TBaseInputForm::RateTypeItemClick);
    connect(HyoudoInput, &TRadioGroup::clicked, this, &TBaseInputForm::RateTypeItemClick);
    connect(SolidTypeItem, &TRadioGroup::clicked, this, &TBaseInputForm::RateTypeItemClick);
    connect(FumikomiCheck, &QCheckBox::clicked, this, &TBaseInputForm::RateTypeItemClick);
    connect(AtumituCheck, &QCheckBox::clicked, this, &TBaseInputForm::RateTypeItemClick);

    CalctypeItem->SetItemIndex(0);
    RateTypeItem->SetItemIndex(0);
    HyoudoInput->SetItemIndex(0);
    SolidTypeItem->SetItemIndex(0);
    RoundCombo->setCurrentIndex(0);
    FormCreate();
}

TBaseInputForm::~TBaseInputForm() {
    if (BaseInputForm == this)
        BaseInputForm = nullptr;
}

void TBaseInputForm::FormCreate() {
    StringGrid1->SetCells(0, 0, QStringLiteral("No"));
    StringGrid1->SetCells(1, 0, QStringLiteral("層　名　称"));
    StringGrid1->SetCells(2, 0, QStringLiteral("変化率"));
    for (int r = 1; r <= SoilRows; ++r)
        StringGrid1->SetCells(0, r, QString::number(r));
    StringGrid2->SetCells(0, 0, QStringLiteral("項 目 名"));
    StringGrid2->SetCells(1, 0, QStringLiteral("標準値"));
    const QString items[StandardRows] = {QStringLiteral("表土厚"),  QStringLiteral("１層厚"),
                                         QStringLiteral("２層厚"),  QStringLiteral("３層厚"),
                                         QStringLiteral("４層厚"),  QStringLiteral("踏込沈下"),
                                         QStringLiteral("圧密沈下")};
    for (int r = 1; r <= StandardRows; ++r)
        StringGrid2->SetCells(0, r, items[r - 1]);
}

// --- Accessors

QString TBaseInputForm::Title() const {
    return Edit1->text();
}
void TBaseInputForm::SetTitle(const QString& Value) {
    Edit1->setText(Value);
}

int TBaseInputForm::Layer() const {
    return StrToIntDef(ComboBox1->currentText(), 1);
}

void TBaseInputForm::SetLayer(int Value) {
    ComboBox1->setEditText(QString::number(Value));
    FLayer = Value;
}

double TBaseInputForm::MeshSpan() const {
    return ReadNumber(MeshSpanEdit->text(), 20.0);
}
void TBaseInputForm::SetMeshSpan(double Value) {
    MeshSpanEdit->setText(FormatWidth(Value, 6, 2));
}

bool TBaseInputForm::Hyoudo() const {
    return HyoudoInput->ItemIndex() == 1;
}
void TBaseInputForm::SetHyoudo(bool Value) {
    HyoudoInput->SetItemIndex(Value ? 1 : 0);
}
bool TBaseInputForm::Fumikomi() const {
    return FumikomiCheck->isChecked();
}
void TBaseInputForm::SetFumikomi(bool Value) {
    FumikomiCheck->setChecked(Value);
}
bool TBaseInputForm::Atumitu() const {
    return AtumituCheck->isChecked();
}
void TBaseInputForm::SetAtumitu(bool Value) {
    AtumituCheck->setChecked(Value);
}
int TBaseInputForm::RoundType() const {
    return RoundCombo->currentIndex();
}
void TBaseInputForm::SetRoundType(int Value) {
    RoundCombo->setCurrentIndex(Value >= 0 && Value < RoundCombo->count() ? Value : -1);
}
int TBaseInputForm::RateType() const {
    return RateTypeItem->ItemIndex();
}
void TBaseInputForm::SetRateType(int Value) {
    RateTypeItem->SetItemIndex(Value);
}
int TBaseInputForm::CalcType() const {
    return CalctypeItem->ItemIndex();
}
void TBaseInputForm::SetCalcType(int Value) {
    CalctypeItem->SetItemIndex(Value);
}
int TBaseInputForm::SolidType() const {
    return SolidTypeItem->ItemIndex();
}
void TBaseInputForm::SetSolidType(int Value) {
    SolidTypeItem->SetItemIndex(Value);
}

QString TBaseInputForm::GetSolidName(int Index) const {
    if (Index < 0 || Index >= SoilRows)
        return QString();
    return StringGrid1->Cells(1, Index + 1);
}

void TBaseInputForm::SetSolidName(int Index, const QString& Name) {
    if (Index < 0 || Index >= SoilRows)
        return;
    StringGrid1->SetCells(1, Index + 1, Name);
}

double TBaseInputForm::GetSolidValue(int Index, int Kind) const {
    if (Kind == 0 && Index >= 0 && Index < SoilRows)
        return ReadNumber(StringGrid1->Cells(2, Index + 1), 0.0);
    if (Kind == 1 && Index >= 0 && Index < StandardRows)
        return ReadNumber(StringGrid2->Cells(1, Index + 1), 0.0);
    return 0.0;
}

void TBaseInputForm::SetSolidValue(int Index, int Kind, double Value) {
    if (Kind == 0 && Index >= 0 && Index < SoilRows)
        StringGrid1->SetCells(2, Index + 1, FormatWidth(Value, 5, 3));
    else if (Kind == 1 && Index >= 0 && Index < StandardRows)
        StringGrid2->SetCells(1, Index + 1, FormatWidth(Value, 5, 3));
}

bool TBaseInputForm::Execute() {
    return exec() == QDialog::Accepted;
}

void TBaseInputForm::accept() {
    const double span = MeshSpan();
    if (!MeshSpanUsable(span)) {
        ShowFailure(this, QString::fromStdString(MeshSpanMessage(span)));
        MeshSpanEdit->setFocus(Qt::OtherFocusReason);
        MeshSpanEdit->selectAll();
        return;
    }
    QDialog::accept();
}

// --- Transfer with the model

void TBaseInputForm::LoadFromModel(const TInputData& Data) {
    SetTitle(QString::fromStdString(Data.Title()));
    SetLayer(Data.Layer());
    SetMeshSpan(Data.MeshSpan());
    for (int i = 0; i < SoilRows; ++i) {
        SetSolidName(i, QString::fromStdString(Data.GetSolidName(i)));
        SetSolidValue(i, 0, Data.GetSolidValue(i, 0));
    }
    for (int i = 0; i < StandardRows; ++i)
        SetSolidValue(i, 1, Data.GetSolidValue(i, 1));
    SetHyoudo(Data.Hyoudo());
    SetFumikomi(Data.Fumikomi());
    SetAtumitu(Data.Atumitu());
    SetRoundType(Data.RoundType());
    SetCalcType(Data.CalcType());
    SetSolidType(Data.SolidType());
    SetRateType(Data.RateType());
}

void TBaseInputForm::StoreToModel(TInputData& Data) const {
    Data.SetTitle(Title().toStdString());
    Data.SetLayer(Layer());
    Data.SetMeshSpan(MeshSpan());
    for (int i = 0; i < SoilRows; ++i) {
        Data.SetSolidName(i, GetSolidName(i).toStdString());
        Data.SetSolidValue(i, 0, GetSolidValue(i, 0));
    }
    for (int i = 0; i < StandardRows; ++i)
        Data.SetSolidValue(i, 1, GetSolidValue(i, 1));
    Data.SetHyoudo(Hyoudo());
    Data.SetFumikomi(Fumikomi());
    Data.SetAtumitu(Atumitu());
    Data.SetRoundType(RoundType());
    Data.SetCalcType(CalcType());
    Data.SetSolidType(SolidType());
    Data.SetRateType(RateType());
    Data.SetPhase(0, true);
    Data.SetPhase(2, false);
}

// --- Grids

bool TBaseInputForm::IsCellEditable(int Tag, int Col, int Row) const {
    // Comparisons are written as Row - 1 <= FLayer so that any typed layer count is safe.
    if (Tag == 0) {
        if (Col == 1)
            return Row - 1 <= FLayer;
        if (RateTypeItem->ItemIndex() == 1)
            return Row == 1;
        return Row >= 2 && Row - 1 <= FLayer;
    }
    if (Tag == 1) {
        switch (Row) {
        case 1:
            return HyoudoInput->ItemIndex() == 1;
        case 2:
        case 3:
        case 4:
        case 5:
            return Row <= FLayer && SolidTypeItem->ItemIndex() == 0;
        case 6:
            return FumikomiCheck->isChecked();
        case 7:
            return AtumituCheck->isChecked();
        default:
            return false;
        }
    }
    return false;
}

void TBaseInputForm::StringGrid1DrawCell(const TStringGrid* Grid, QPainter& Painter,
                                         const QRect& Rect, int Col, int Row) const {
    const QPalette& pal = Grid->palette();
    QColor back, fore;
    if (Grid->IsFixedCell(Col, Row)) {
        back = pal.color(QPalette::Active, QPalette::Button);
        fore = pal.color(QPalette::Active, QPalette::ButtonText);
    } else if (IsCellEditable(Grid->Tag(), Col, Row)) {
        back = pal.color(QPalette::Active, QPalette::Base);
        fore = pal.color(QPalette::Active, QPalette::Text);
    } else {
        back = pal.color(QPalette::Active, QPalette::Button);
        fore = pal.color(QPalette::Active, QPalette::Dark);
    }
    Painter.fillRect(Rect, back);
    Qt::Alignment align = Qt::AlignRight;
    if (Row == 0 || Col == 0)
        align = Qt::AlignHCenter;
    else if (Grid->Tag() == 0 && Col == 1)
        align = Qt::AlignLeft;
    Painter.setPen(fore);
    Painter.setFont(Grid->font());
    // Cut at the cell, not at the inner margins: a short header such as "No" in its narrow
    // column may use the margins rather than lose a letter.
    Painter.setClipRect(Rect);
    if (Grid->IsFixedCell(Col, Row)) {
        Painter.drawText(Rect.adjusted(4, 0, -4, 0),
                         int(align | Qt::AlignVCenter) | Qt::TextSingleLine | Qt::TextDontClip,
                         Grid->Cells(Col, Row));
        return;
    }
    // A rate or value too wide for its cell is drawn smaller, never cut.
    DrawFittedText(Painter, Rect.adjusted(4, 0, -4, 0), int(align | Qt::AlignVCenter),
                   Grid->Cells(Col, Row));
}

void TBaseInputForm::ComboBox1Change() {
    FLayer = StrToIntDef(ComboBox1->currentText(), 0);
    StringGrid1->viewport()->update();
    StringGrid2->viewport()->update();
}

void TBaseInputForm::RateTypeItemClick() {
    StringGrid1->viewport()->update();
    StringGrid2->viewport()->update();
}

// --- The Enter key

TStringGrid* TBaseInputForm::ActiveGrid() const {
    QWidget* focus = focusWidget();
    for (TStringGrid* grid : {StringGrid1, StringGrid2})
        if (focus && (focus == grid || grid->isAncestorOf(focus)))
            return grid;
    return nullptr;
}

void TBaseInputForm::FormKeyPress() {
    TStringGrid* grid = ActiveGrid();
    if (grid) {
        grid->CommitEditor();
        int col = grid->Col(), row = grid->Row();
        if (col < 0 || row < 0) {
            col = grid->FixedCols() - 1;
            row = grid->FixedRows();
        }
        bool wrapped = false;
        bool found = false;
        // Every cell is visited at most once, so a grid without an editable cell ends too.
        const int cells = grid->ColCount() * grid->RowCount();
        for (int i = 0; i < cells && !found; ++i) {
            if (++col >= grid->ColCount()) {
                col = grid->FixedCols();
                if (++row >= grid->RowCount()) {
                    row = grid->FixedRows();
                    wrapped = true;
                }
            }
            found = IsCellEditable(grid->Tag(), col, row);
        }
        if (found) {
            grid->SetCurrentCell(col, row);
            if (!wrapped)
                return;
        }
    }
    focusNextPrevChild(true);
}
