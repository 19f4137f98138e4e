#include "results/PrintOutUnit.h"

#include "controls/MessageBoxes.h"
#include "controls/ProgressRun.h"
#include "platform/Failure.h"
#include "preview/PREVIEWUNIT02.h"
#include "reports/AllocationSheet.h"
#include "reports/PrintOutUnitReports.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>

namespace {

QIcon PrinterIcon() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(60, 60, 60));
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 7, 5);
    p.setBrush(QColor(170, 170, 170));
    p.drawRect(1, 6, 13, 6);
    p.setBrush(Qt::white);
    p.drawRect(4, 10, 7, 5);
    p.end();
    return QIcon(pm);
}

QPointer<TPrintoutForm> gSharedPrintout;

void DeleteSharedPrintout() {
    delete gSharedPrintout.data();
}

} // namespace

TPrintoutForm& SharedPrintoutForm() {
    if (!gSharedPrintout) {
        gSharedPrintout = new TPrintoutForm;
        qAddPostRoutine(DeleteSharedPrintout);
    }
    return *gSharedPrintout;
}

TPrintoutForm::TPrintoutForm(QWidget* AOwner) : QDialog(AOwner) {
    setWindowTitle(QStringLiteral("計算書選択ダイアログ"));
    setFixedSize(261, 182);
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    setFont(font);

    auto* label = new QLabel(QStringLiteral("印刷したい計算書を選択してください。"), this);
    QFont bold = font;
    bold.setPixelSize(14);
    bold.setBold(true);
    label->setFont(bold);
    label->move(4, 4);
    label->adjustSize();

    PrintListBox = new QListWidget(this);
    PrintListBox->setGeometry(8, 24, 245, 121);
    for (const QString& text : {QStringLiteral("土量集計表"), QStringLiteral("土量計算一覧表"),
                                QStringLiteral("計算方法の比較"), QStringLiteral("切盛図"),
                                QStringLiteral("配分表"), QStringLiteral("配分図")}) {
        auto* item = new QListWidgetItem(text, PrintListBox);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(PrintListBox->count() < 3 ? Qt::Checked : Qt::Unchecked);
        item->setSizeHint(QSize(0, 18));
    }
    connect(PrintListBox, &QListWidget::itemChanged, this, &TPrintoutForm::PrintListBoxClick);

    PrintOutBtn = new QPushButton(PrinterIcon(), QStringLiteral("印刷(&P)"), this);
    PrintOutBtn->setGeometry(64, 152, 87, 25);
    connect(PrintOutBtn, &QPushButton::clicked, this, &TPrintoutForm::PrintOutBtnClick);
    CloseBtn = new QPushButton(QStringLiteral("閉じる"), this);
    CloseBtn->setGeometry(160, 152, 95, 25);
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TPrintoutForm::SetInputData(TInputData* Value) {
    FInputData = Value;
    for (int i = 0; i < PrintListBox->count(); ++i)
        PrintListBox->item(i)->setCheckState(i < 2 ? Qt::Checked : Qt::Unchecked);
    PrintOutBtn->setEnabled(true);
}

void TPrintoutForm::Execute() {
    // Centred on the window the user works in.
    if (QWidget* owner = QApplication::activeWindow())
        move(owner->geometry().center() - rect().center());
    exec();
}

void TPrintoutForm::PrintListBoxClick() {
    bool any = false;
    for (int i = 0; i < PrintListBox->count(); ++i)
        any = any || PrintListBox->item(i)->checkState() == Qt::Checked;
    PrintOutBtn->setEnabled(any);
}

void TPrintoutForm::BuildReports(TPageDocument& Document) const {
    ::BuildReports(Document, *FInputData, FChosen[0], FChosen[1],
                   FComparison ? &*FComparison : nullptr, FChosen[3],
                   FAllocation ? &*FAllocation : nullptr, FChosen[4], FChosen[5]);
}

void TPrintoutForm::PrintOutBtnClick() {
    if (!FInputData)
        return;
    TPreViewForm& preview = SharedPreviewForm();
    if (preview.InUse())
        return;
    RunGuarded(this, [&]() {
        // Read here: the pages are composed on a worker thread, which leaves the list alone.
        for (int i = 0; i < 6; ++i)
            FChosen[i] = PrintListBox->item(i)->checkState() == Qt::Checked;
        FComparison.reset();
        if (PrintListBox->item(2)->checkState() == Qt::Checked) {
            const TInputData& project = *FInputData;
            TMethodComparison comparison;
            if (!RunWithProgress(this, windowTitle(), QStringLiteral("計算方法を比較しています..."),
                                 [&](const TProgress& Progress) {
                                     comparison = CompareMethods(project, Progress);
                                 }))
                return; // cancelled: no preview
            FComparison = BuildComparisonTable(project, comparison);
        }
        FAllocation.reset();
        if (PrintListBox->item(4)->checkState() == Qt::Checked ||
            PrintListBox->item(5)->checkState() == Qt::Checked) {
            // The places and options the allocation window last used are stored with the
            // project, and the plan is deterministic, so this is the plan the window shows.
            FAllocation = AllocateStored(*FInputData);
            if (!FAllocation->Solved)
                throw EFailure(FAllocation->Message);
        }
        preview.SetOnPaperChange([this](TPageDocument& D) { BuildReports(D); });
        preview.Execute();
    });
    preview.SetOnPaperChange(nullptr);
    FComparison.reset();
    FAllocation.reset();
}
