#include "allocation/EarthAllocationUnit.h"

#include "analysis/EarthAllocationTable.h"
#include "controls/MessageBoxes.h"
#include "model/DataUnit.h"
#include "platform/NumberFormat.h"
#include "preview/PREVIEWUNIT02.h"
#include "reports/AllocationSheet.h"
#include "results/CsvFile.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

QString Q(const std::string& S) {
    return QString::fromStdString(S);
}

const QString kUnlimited = QStringLiteral("無制限");

// A number typed in the user's format; NaN when it is none (the core names the place).
double CellNumber(const QTableWidgetItem* Item, double Empty) {
    const QString t = Item ? Item->text().trimmed() : QString();
    if (t.isEmpty())
        return Empty;
    return static_cast<double>(
        ParseFloatDef(t.toStdString(), std::numeric_limits<long double>::quiet_NaN()));
}

QString PlainNumber(double V) {
    return Q(FormatFixed(V, V == std::floor(V) ? 0 : 3));
}

// Columns share the width equally: the grid is never narrower than its widest heading needs in
// every column, so no heading is cut however small the window is made.
void FitHeadings(QTableWidget* Grid) {
    const QHeaderView* header = Grid->horizontalHeader();
    const QFontMetrics metrics(header->font());
    int widest = 0;
    for (int c = 0; c < Grid->columnCount(); ++c)
        if (const QTableWidgetItem* item = Grid->horizontalHeaderItem(c))
            widest = std::max(widest, metrics.horizontalAdvance(item->text()));
    // The header section's own margins and sort room, as the style draws them.
    const int section = widest + 2 * metrics.averageCharWidth() + 12;
    Grid->setMinimumWidth(section * Grid->columnCount() + 2 * Grid->frameWidth() +
                          Grid->verticalScrollBar()->sizeHint().width());
}

} // namespace

TEarthAllocationForm::TEarthAllocationForm(QWidget* AOwner) : QDialog(AOwner) {
    setWindowTitle(QStringLiteral("土量配分"));

    PlaceGrid = new QTableWidget(0, PlaceColumns);
    PlaceGrid->setHorizontalHeaderLabels({QStringLiteral("種別"), QStringLiteral("X (m)"),
                                          QStringLiteral("Y (m)"), QStringLiteral("容量 (m³)"),
                                          QStringLiteral("場外距離 (m)")});
    PlaceGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    PlaceGrid->verticalHeader()->setVisible(false);
    PlaceGrid->setMinimumHeight(90);
    PlaceGrid->setMaximumHeight(140);
    PlaceGrid->setToolTip(QStringLiteral("容量を空欄か「無制限」にすると制限なしになります。"));
    AddBorrowButton = new QPushButton(QStringLiteral("土取場を追加"));
    AddSpoilButton = new QPushButton(QStringLiteral("土捨場を追加"));
    DeleteButton = new QPushButton(QStringLiteral("削除"));
    connect(AddBorrowButton, &QPushButton::clicked, this, &TEarthAllocationForm::AddBorrowClick);
    connect(AddSpoilButton, &QPushButton::clicked, this, &TEarthAllocationForm::AddSpoilClick);
    connect(DeleteButton, &QPushButton::clicked, this, &TEarthAllocationForm::DeleteClick);

    BlockEdit = new QSpinBox;
    BlockEdit->setRange(0, 1000000);
    BlockEdit->setSpecialValueText(QStringLiteral("自動"));
    BlockEdit->setSuffix(QStringLiteral(" メッシュ角"));
    BlockEdit->setValue(0);
    DistanceBox = new QComboBox;
    DistanceBox->addItems({Q(AllocDistanceName(false)), Q(AllocDistanceName(true))});
    CalcButton = new QPushButton(QStringLiteral("計算"));
    connect(CalcButton, &QPushButton::clicked, this, &TEarthAllocationForm::CalcButtonClick);

    auto* places = new QGroupBox(QStringLiteral("場外の土取場・土捨場"));
    auto* placeButtons = new QHBoxLayout;
    placeButtons->addWidget(AddBorrowButton);
    placeButtons->addWidget(AddSpoilButton);
    placeButtons->addWidget(DeleteButton);
    placeButtons->addStretch();
    auto* placeLayout = new QVBoxLayout(places);
    placeLayout->addWidget(PlaceGrid);
    placeLayout->addLayout(placeButtons);

    auto* options = new QHBoxLayout;
    options->addWidget(new QLabel(QStringLiteral("ブロックの大きさ")));
    options->addWidget(BlockEdit);
    options->addSpacing(16);
    options->addWidget(new QLabel(QStringLiteral("距離")));
    options->addWidget(DistanceBox);
    options->addStretch();
    options->addWidget(CalcButton);

    ResultGrid = new QTableWidget(0, 5);
    QStringList heading;
    for (const std::string& h : TAllocTable::Heading)
        heading << Q(h);
    ResultGrid->setHorizontalHeaderLabels(heading);
    ResultGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ResultGrid->verticalHeader()->setVisible(false);
    ResultGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ResultGrid->setMinimumHeight(200);
    TotalsLabel = new QLabel;
    TotalsLabel->setTextFormat(Qt::PlainText);
    TotalsLabel->setMinimumHeight(TotalsLabel->fontMetrics().lineSpacing() * 3);
    MessageLabel = new QLabel;
    MessageLabel->setWordWrap(true);
    MessageLabel->setStyleSheet(QStringLiteral("color: #c00000;"));
    MessageLabel->hide();

    CsvButton = new QPushButton(QStringLiteral("CSV出力"));
    PrintButton = new QPushButton(QStringLiteral("印刷"));
    CloseButton = new QPushButton(QStringLiteral("閉じる"));
    connect(PrintButton, &QPushButton::clicked, this, &TEarthAllocationForm::PrintButtonClick);
    connect(CsvButton, &QPushButton::clicked, this, &TEarthAllocationForm::CsvButtonClick);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(PrintButton);
    bottom->addWidget(CsvButton);
    bottom->addWidget(CloseButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(places);
    layout->addLayout(options);
    layout->addWidget(MessageLabel);
    layout->addWidget(ResultGrid, 1);
    layout->addWidget(TotalsLabel);
    layout->addLayout(bottom);
    // Enter in a cell ends the edit; it never presses a button.
    for (QPushButton* b : findChildren<QPushButton*>())
        b->setAutoDefault(false);
    FitHeadings(PlaceGrid);
    FitHeadings(ResultGrid);
    resize(680, 640);
    ClearResult();
}

void TEarthAllocationForm::SetInputData(TInputData& Value) {
    FInputData = &Value;
    // The project's own places and options, or none: a window reused for another project must
    // never show, calculate or save the places of the one before.
    SetOptions(StoredAllocOptions(Value));
    ClearResult();
}

void TEarthAllocationForm::KeepOptions() {
    if (!FInputData)
        return;
    TAllocOptions options;
    QString message;
    if (!ReadOptions(options, message))
        return;
    // Only a change is written: a project without places keeps no block for them.
    const std::string bytes = AllocOptionsBytes(options);
    if (bytes != AllocOptionsBytes(StoredAllocOptions(*FInputData)))
        FInputData->SetTag(kAllocTag, bytes);
}

void TEarthAllocationForm::hideEvent(QHideEvent* Event) {
    QDialog::hideEvent(Event);
    if (Event->spontaneous())
        return;
    // Places typed and not yet calculated stay with the project, which lends itself for one
    // showing only.
    KeepOptions();
    FInputData = nullptr;
}

void TEarthAllocationForm::Execute() {
    exec();
}

void TEarthAllocationForm::AddPlace(TAllocPlaceKind Kind) {
    const int row = PlaceGrid->rowCount();
    PlaceGrid->insertRow(row);
    auto* kind = new QTableWidgetItem(Kind == TAllocPlaceKind::Borrow ? QStringLiteral("土取場")
                                                                      : QStringLiteral("土捨場"));
    kind->setFlags(kind->flags() & ~Qt::ItemIsEditable);
    kind->setData(Qt::UserRole, static_cast<int>(Kind));
    PlaceGrid->setItem(row, ColKind, kind);
    PlaceGrid->setItem(row, ColX, new QTableWidgetItem(QStringLiteral("0")));
    PlaceGrid->setItem(row, ColY, new QTableWidgetItem(QStringLiteral("0")));
    PlaceGrid->setItem(row, ColCapacity, new QTableWidgetItem(kUnlimited));
    PlaceGrid->setItem(row, ColExtra, new QTableWidgetItem(QStringLiteral("0")));
    PlaceGrid->setCurrentCell(row, ColX);
}

void TEarthAllocationForm::AddBorrowClick() {
    AddPlace(TAllocPlaceKind::Borrow);
    FocusNewPlace();
}
void TEarthAllocationForm::AddSpoilClick() {
    AddPlace(TAllocPlaceKind::Spoil);
    FocusNewPlace();
}

void TEarthAllocationForm::FocusNewPlace() {
    // What the user types next is the new place's X, not lost on the button.
    PlaceGrid->setFocus(Qt::OtherFocusReason);
    PlaceGrid->setCurrentCell(PlaceGrid->rowCount() - 1, ColX);
    PlaceGrid->scrollToItem(PlaceGrid->currentItem());
}
void TEarthAllocationForm::DeleteClick() {
    const int row = PlaceGrid->currentRow();
    if (row >= 0)
        PlaceGrid->removeRow(row);
}

bool TEarthAllocationForm::ReadOptions(TAllocOptions& Options, QString& Message) const {
    Options = TAllocOptions();
    Options.Block = BlockEdit->value();
    Options.Manhattan = DistanceBox->currentIndex() == 1;
    const double inf = std::numeric_limits<double>::infinity();
    for (int row = 0; row < PlaceGrid->rowCount(); ++row) {
        TAllocPlace p;
        p.Kind =
            static_cast<TAllocPlaceKind>(PlaceGrid->item(row, ColKind)->data(Qt::UserRole).toInt());
        p.X = CellNumber(PlaceGrid->item(row, ColX), std::nan(""));
        p.Y = CellNumber(PlaceGrid->item(row, ColY), std::nan(""));
        const QTableWidgetItem* cap = PlaceGrid->item(row, ColCapacity);
        const QString capText = cap ? cap->text().trimmed() : QString();
        p.Capacity = capText == kUnlimited ||
                             capText.compare(QStringLiteral("inf"), Qt::CaseInsensitive) == 0
                         ? inf
                         : CellNumber(cap, inf);
        p.Extra = CellNumber(PlaceGrid->item(row, ColExtra), 0.0);
        Options.Places.push_back(p);
    }
    Message = Q(CheckAllocOptions(Options));
    return Message.isEmpty();
}

void TEarthAllocationForm::SetOptions(const TAllocOptions& Options) {
    PlaceGrid->setRowCount(0);
    for (const TAllocPlace& p : Options.Places) {
        AddPlace(p.Kind);
        const int row = PlaceGrid->rowCount() - 1;
        PlaceGrid->item(row, ColX)->setText(PlainNumber(p.X));
        PlaceGrid->item(row, ColY)->setText(PlainNumber(p.Y));
        PlaceGrid->item(row, ColCapacity)
            ->setText(std::isinf(p.Capacity) ? kUnlimited : PlainNumber(p.Capacity));
        PlaceGrid->item(row, ColExtra)->setText(PlainNumber(p.Extra));
    }
    BlockEdit->setValue(Options.Block);
    DistanceBox->setCurrentIndex(Options.Manhattan ? 1 : 0);
}

void TEarthAllocationForm::ClearResult() {
    FAllocation = TAllocation();
    ResultGrid->setRowCount(0);
    TotalsLabel->clear();
    MessageLabel->hide();
    CsvButton->setEnabled(false);
    PrintButton->setEnabled(false);
}

void TEarthAllocationForm::CalcButtonClick() {
    ClearResult();
    if (!FInputData)
        return;
    TAllocOptions options;
    QString message;
    if (ReadOptions(options, message)) {
        // Usable options go with the project, saved with it.
        KeepOptions();
        FAllocation = AllocateEarth(*FInputData, options);
        message = Q(FAllocation.Message);
    }
    if (!message.isEmpty()) {
        MessageLabel->setText(message);
        MessageLabel->show();
        return;
    }
    ShowAllocation();
}

void TEarthAllocationForm::ShowAllocation() {
    const TAllocTable t = BuildAllocTable(FAllocation);
    ResultGrid->setRowCount(static_cast<int>(t.Rows.size()));
    for (int row = 0; row < ResultGrid->rowCount(); ++row)
        for (int col = 0; col < 5; ++col) {
            auto* item = new QTableWidgetItem(Q(t.Rows[row][col]));
            if (col >= 2)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            ResultGrid->setItem(row, col, item);
        }
    QString totals;
    for (size_t i = 0; i < t.Totals.size(); ++i)
        totals += (i == 0       ? QString()
                   : i % 3 == 0 ? QStringLiteral("\n")
                                : QStringLiteral("　　")) +
                  Q(t.Totals[i].first) + QStringLiteral(": ") + Q(t.Totals[i].second);
    TotalsLabel->setText(totals);
    CsvButton->setEnabled(true);
    PrintButton->setEnabled(true);
}

void TEarthAllocationForm::PrintButtonClick() {
    if (!FAllocation.Solved || !FInputData)
        return;
    TPreViewForm& preview = SharedPreviewForm();
    if (preview.InUse())
        return;
    RunGuarded(this, [&]() {
        preview.SetOnPaperChange(
            [this](TPageDocument& D) { BuildAllocationReports(D, *FInputData, FAllocation); });
        preview.Execute();
    });
    preview.SetOnPaperChange(nullptr);
}

void TEarthAllocationForm::CsvButtonClick() {
    if (!FAllocation.Solved)
        return;
    const QString name = AskCsvFileName(this);
    if (name.isEmpty())
        return;
    RunGuarded(this, [&] { WriteCsvText(name, AllocCsvText(FAllocation)); });
}

namespace {
TEarthAllocationForm* gShared = nullptr;
void DeleteShared() {
    delete gShared;
    gShared = nullptr;
}
} // namespace

TEarthAllocationForm& SharedEarthAllocationForm() {
    if (!gShared) {
        gShared = new TEarthAllocationForm;
        qAddPostRoutine(DeleteShared);
    }
    return *gShared;
}
