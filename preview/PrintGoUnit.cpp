#include "preview/PrintGoUnit.h"

#include "controls/NlvLabel.h"
#include "controls/RadioGroup.h"
#include "preview/PreviewPrinter.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>

#include <algorithm>

namespace {

// A sheet outline with numbered pages in it; Cells are the page rectangles in sheet fractions.
void DrawSheet(QPainter& P, const QRectF& Sheet, const std::vector<QRectF>& Cells,
               bool Turned) {
    P.setPen(QColor(60, 60, 60));
    P.setBrush(Qt::white);
    P.drawRect(Sheet);
    QFont f = P.font();
    f.setPixelSize(Cells.size() > 2 ? 9 : 12);
    f.setBold(true);
    P.setFont(f);
    for (size_t k = 0; k < Cells.size(); ++k) {
        const QRectF& c = Cells[k];
        const QRectF r(Sheet.left() + c.left() * Sheet.width() + 2,
                       Sheet.top() + c.top() * Sheet.height() + 2, c.width() * Sheet.width() - 4,
                       c.height() * Sheet.height() - 4);
        P.setPen(QColor(150, 170, 210));
        P.setBrush(QColor(225, 235, 250));
        P.drawRect(r);
        P.save();
        P.translate(r.center());
        if (Turned)
            P.rotate(180);
        P.setPen(QColor(20, 40, 120));
        P.drawText(QRectF(-r.width() / 2, -r.height() / 2, r.width(), r.height()),
                   Qt::AlignCenter, QString::number(k + 1));
        P.restore();
    }
}

// Picture layout * 2 + (printer in landscape) of the special layouts.
QPixmap LayoutPicture(int Index) {
    const int layout = Index / 2;
    bool landscape = Index % 2 == 1;
    if (layout == 2)
        landscape = !landscape; // two a sheet turns the sheet
    QPixmap pm(64, 64);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const QRectF sheet = landscape ? QRectF(4.5, 14.5, 55, 38) : QRectF(13.5, 4.5, 38, 55);
    std::vector<QRectF> cells;
    switch (layout) {
    case 2:
        if (landscape)
            cells = {{0, 0, 0.5, 1}, {0.5, 0, 0.5, 1}};
        else
            cells = {{0, 0, 1, 0.5}, {0, 0.5, 1, 0.5}};
        break;
    case 3:
        cells = {{0, 0, .5, .5}, {.5, 0, .5, .5}, {0, .5, .5, .5}, {.5, .5, .5, .5}};
        break;
    case 4:
        cells = {{0, 0, .5, .5}, {0, .5, .5, .5}, {.5, 0, .5, .5}, {.5, .5, .5, .5}};
        break;
    default:
        cells = {{0, 0, 1, 1}};
    }
    DrawSheet(p, sheet, cells, layout == 1);
    return pm;
}

// Picture 0: each page's copies together; 1: complete copies one after the other.
QPixmap CollatePicture(int Index) {
    QPixmap pm(100, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const int order[2][6] = {{1, 1, 1, 2, 2, 2}, {1, 2, 1, 2, 1, 2}};
    for (int k = 0; k < 6; ++k) {
        const QRectF sheet(2.5 + k * 16, 4.5, 13, 22);
        p.setPen(QColor(60, 60, 60));
        p.setBrush(Qt::white);
        p.drawRect(sheet);
        QFont f = p.font();
        f.setPixelSize(11);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(20, 40, 120));
        p.drawText(sheet, Qt::AlignCenter, QString::number(order[Index][k]));
    }
    return pm;
}

// The papers offered for scaling: the printer's own, or the common ones when it names none.
std::vector<QPageSize> PrinterPapers() {
    TPaperList list;
    TPreviewPrinter::Current().ListPapers(list);
    if (list.empty())
        list = TPreviewPrinter::CommonPapers();
    std::vector<QPageSize> papers;
    for (const TPaperEntry& e : list)
        papers.push_back(e.Size);
    return papers;
}

} // namespace

TPrintGoForm::TPrintGoForm(QWidget* AOwner) : QDialog(AOwner) {
    setWindowTitle(QStringLiteral("印刷設定"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(418, 248);
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);
    setFont(f);

    auto caption = [](const QString& Text, QWidget* Parent, int X, int Y) {
        auto* l = new TNlvLabel(Parent);
        l->SetCaption(Text);
        l->SetAutoSize(true);
        l->move(X, Y);
        return l;
    };
    caption(QStringLiteral("プリンタ名："), this, 10, 9);
    PrNameLabel = caption(QString(), this, 82, 9);

    auto* range = new QGroupBox(QStringLiteral("印刷範囲"), this);
    range->setGeometry(8, 28, 212, 92);
    AllPage = new QRadioButton(QStringLiteral("全て(&A)"), range);
    AllPage->move(10, 18);
    AllPage->setChecked(true);
    SelectPage = new QRadioButton(QStringLiteral("ページ指定(&G)"), range);
    SelectPage->move(10, 40);
    MinPageEdit = new QLineEdit(range);
    MinPageEdit->setGeometry(26, 62, 44, 20);
    caption(QStringLiteral("ページ"), range, 74, 65);
    MaxPageEdit = new QLineEdit(range);
    MaxPageEdit->setGeometry(116, 62, 44, 20);
    caption(QStringLiteral("ページ"), range, 164, 65);
    for (QLineEdit* e : {MinPageEdit, MaxPageEdit}) {
        e->setAlignment(Qt::AlignRight);
        connect(e, &QLineEdit::textEdited, this, [this]() { SelectPage->setChecked(true); });
    }

    auto* copies = new QGroupBox(QStringLiteral("印刷部数"), this);
    copies->setGeometry(8, 124, 212, 78);
    caption(QStringLiteral("部数(&C)"), copies, 10, 24);
    GroupNumBox = new QSpinBox(copies);
    GroupNumBox->setGeometry(52, 20, 46, 22);
    GroupNumBox->setRange(1, 99);
    GroupNumBox->setValue(1);
    GroupCheck = new QCheckBox(QStringLiteral("部単位で印刷(&O)"), copies);
    GroupCheck->move(10, 52);
    GroupCheck->setEnabled(false);
    Image1 = new QLabel(copies);
    Image1->setGeometry(106, 14, 100, 32);

    auto* special = new QGroupBox(QStringLiteral("特殊印刷"), this);
    special->setGeometry(228, 28, 182, 152);
    NormalRadio = new QRadioButton(QStringLiteral("通常印刷"), special);
    NormalRadio->move(10, 18);
    NormalRadio->setChecked(true);
    ReverseRadio = new QRadioButton(QStringLiteral("回転印刷(180度)"), special);
    ReverseRadio->move(10, 38);
    MultiRadio = new QRadioButton(QStringLiteral("マルチページ"), special);
    MultiRadio->move(10, 58);
    MultiGroup = new TRadioGroup(QStringLiteral("マルチモード"),
                                 {QStringLiteral("２枚"), QStringLiteral("４枚－横並び"),
                                  QStringLiteral("４枚－縦並び")},
                                 special);
    MultiGroup->setGeometry(6, 78, 108, 68);
    MultiGroup->SetItemIndex(0);
    MultiGroup->setEnabled(false);
    Image2 = new QLabel(special);
    Image2->setGeometry(115, 80, 64, 64);

    ScaledCheck = new QCheckBox(QStringLiteral("拡大縮小"), this);
    ScaledCheck->move(10, 212);
    ScalePaperLabel = new QLabel(QStringLiteral("出力用紙"), this);
    ScalePaperLabel->move(88, 214);
    ScalePaperBox = new QComboBox(this);
    ScalePaperBox->setGeometry(138, 210, 100, 22);
    ScalePaperLabel->setEnabled(false);
    ScalePaperBox->setEnabled(false);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(252, 208, 76, 28);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setGeometry(334, 208, 76, 28);
    connect(ok, &QPushButton::clicked, this, &TPrintGoForm::OkClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    for (QRadioButton* r : {NormalRadio, ReverseRadio, MultiRadio})
        connect(r, &QRadioButton::toggled, this, &TPrintGoForm::UpdateControls);
    connect(MultiGroup, &TRadioGroup::clicked, this, &TPrintGoForm::UpdateControls);
    connect(GroupNumBox, qOverload<int>(&QSpinBox::valueChanged), this,
            &TPrintGoForm::UpdateControls);
    connect(GroupCheck, &QCheckBox::toggled, this, &TPrintGoForm::UpdateControls);
    connect(ScaledCheck, &QCheckBox::toggled, this, &TPrintGoForm::UpdateControls);
}

void TPrintGoForm::UpdateControls() {
    GroupCheck->setEnabled(GroupNumBox->value() > 1);
    MultiGroup->setEnabled(MultiRadio->isChecked());
    ScalePaperLabel->setEnabled(ScaledCheck->isChecked());
    ScalePaperBox->setEnabled(ScaledCheck->isChecked());
    int layout = 0;
    if (ReverseRadio->isChecked())
        layout = 1;
    else if (MultiRadio->isChecked())
        layout = 2 + std::max(0, MultiGroup->ItemIndex());
    const bool landscape = TPreviewPrinter::Current().Caps().Landscape;
    Image2->setPixmap(LayoutPicture(layout * 2 + (landscape ? 1 : 0)));
    Image1->setPixmap(
        CollatePicture(GroupCheck->isChecked() && GroupNumBox->value() > 1 ? 1 : 0));
}

void TPrintGoForm::OkClick() {
    if (ScaledCheck->isChecked() && ScalePaperBox->currentIndex() >= 0)
        TPreviewPrinter::Current().SetPageSize(FPapers[ScalePaperBox->currentIndex()]);
    accept();
}

bool TPrintGoForm::Execute() {
    TPreviewPrinter& current = TPreviewPrinter::Current();
    PrNameLabel->SetCaption(current.Caps().Name);
    FPapers = PrinterPapers();
    ScalePaperBox->clear();
    const QPageSize now = current.Printer().pageLayout().pageSize();
    int selected = -1, wanted = -1;
    for (size_t k = 0; k < FPapers.size(); ++k) {
        ScalePaperBox->addItem(FPapers[k].name());
        if (FPapers[k].isEquivalentTo(now) && selected < 0)
            selected = static_cast<int>(k);
        if (OutPaperSize > 0 && FPapers[k].id() == OutPaperSize - 1 && wanted < 0)
            wanted = static_cast<int>(k);
    }
    ScalePaperBox->setCurrentIndex(wanted >= 0 ? wanted : selected);
    MinPageEdit->setText(QString::number(FromPage));
    MaxPageEdit->setText(QString::number(ToPage));
    if (PrintRange == prAllPages)
        AllPage->setChecked(true);
    else if (PrintRange == prPageNums)
        SelectPage->setChecked(true);
    GroupNumBox->setValue(std::clamp(Copies, 1, 99));
    GroupCheck->setChecked(Collate);
    if (SpecialNumber == 0)
        NormalRadio->setChecked(true);
    else if (SpecialNumber == 1)
        ReverseRadio->setChecked(true);
    else
        MultiRadio->setChecked(true);
    MultiGroup->SetItemIndex(SpecialNumber >= 2 ? SpecialNumber - 2 : 0);
    ScaledCheck->setChecked(Scaled);
    UpdateControls();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    if (exec() != QDialog::Accepted)
        return false;
    FromPage = MinPageEdit->text().trimmed().toInt();
    ToPage = MaxPageEdit->text().trimmed().toInt();
    PrintRange = AllPage->isChecked() ? prAllPages : prPageNums;
    Copies = GroupNumBox->value();
    Collate = GroupCheck->isChecked() && Copies > 1;
    if (ReverseRadio->isChecked())
        SpecialNumber = 1;
    else if (MultiRadio->isChecked())
        SpecialNumber = 2 + std::max(0, MultiGroup->ItemIndex());
    else
        SpecialNumber = 0;
    Scaled = ScaledCheck->isChecked();
    return true;
}
