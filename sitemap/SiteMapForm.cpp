#include "sitemap/SiteMapForm.h"

#include "analysis/EarthAllocation.h"
#include "controls/MessageBoxes.h"
#include "input/GridDataInputUnit.h"
#include "model/DataUnit.h"
#include "platform/FileUtil.h"
#include "platform/NumberFormat.h"
#include "reports/SiteMapPainter.h"
#include "sitemap/SiteMapView.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include <cmath>

namespace {

QPointer<TSiteMapForm> gSharedSiteMap;

void DeleteSharedSiteMap() {
    delete gSharedSiteMap.data();
}

// The legend beside the map, drawn by the map's own painter.
class TLegendBox : public QWidget {
public:
    explicit TLegendBox(QWidget* AOwner) : QWidget(AOwner) { setFixedSize(170, 250); }
    void SetPainter(const TSiteMapPainter* Painter) {
        FPainter = Painter;
        update();
    }
    // The contours' interval drawn; 0: none.
    void SetContourInterval(double Interval) {
        FInterval = Interval;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        if (!FPainter)
            return;
        QFont f = font();
        f.setPixelSize(12);
        p.setFont(f);
        p.setPen(Qt::black);
        FPainter->PaintLegend(p, QRectF(rect()).adjusted(6, 6, -4, -4), FInterval);
    }

private:
    const TSiteMapPainter* FPainter = nullptr;
    double FInterval = 0;
};

// An interval with the decimals it needs: "0.005", "0.5", "50", not "50.000".
class TIntervalBox : public QDoubleSpinBox {
public:
    explicit TIntervalBox(QWidget* AOwner) : QDoubleSpinBox(AOwner) {}
    QString textFromValue(double Value) const override {
        QString text = QDoubleSpinBox::textFromValue(Value);
        const QString point = locale().decimalPoint();
        if (text.contains(point)) {
            while (text.endsWith(QLatin1Char('0')))
                text.chop(1);
            if (text.endsWith(point))
                text.chop(point.size());
        }
        return text;
    }
};

QString Text(const std::string& S) {
    return QString::fromStdString(S);
}

} // namespace

// The findings as list rows, formatted only when the view asks: a large site may have hundreds
// of thousands.
class TFindingsModel : public QAbstractListModel {
public:
    explicit TFindingsModel(QObject* AOwner) : QAbstractListModel(AOwner) {}
    // The rows of Findings (not owned; kept until the next call).
    // RowHeight: every row that high (the view measures one), or 0: each row measured.
    void SetFindings(const std::vector<TCheckFinding>* Findings, int RowHeight = 0) {
        beginResetModel();
        FFindings = Findings;
        FRowHeight = RowHeight;
        endResetModel();
    }
    int rowCount(const QModelIndex& Parent = QModelIndex()) const override {
        return Parent.isValid() || !FFindings ? 0 : int(FFindings->size());
    }
    QVariant data(const QModelIndex& Index, int Role) const override {
        if (!FFindings || !Index.isValid() || size_t(Index.row()) >= FFindings->size())
            return QVariant();
        const TCheckFinding& f = (*FFindings)[size_t(Index.row())];
        if (Role == Qt::DisplayRole)
            return (f.Severity == TCheckSeverity::Serious ? QStringLiteral("● ")
                                                          : QStringLiteral("○ ")) +
                   Text(f.Message);
        if (Role == Qt::ToolTipRole)
            return Text(f.Message);
        if (Role == Qt::SizeHintRole && FRowHeight > 0)
            return QSize(1, FRowHeight);
        return QVariant();
    }

private:
    const std::vector<TCheckFinding>* FFindings = nullptr;
    int FRowHeight = 0;
};

TSiteMapForm& SharedSiteMapForm() {
    if (!gSharedSiteMap) {
        gSharedSiteMap = new TSiteMapForm;
        qAddPostRoutine(DeleteSharedSiteMap);
    }
    return *gSharedSiteMap;
}

TSiteMapForm::TSiteMapForm(QWidget* AOwner) : QDialog(AOwner) {
    setWindowTitle(QStringLiteral("切盛図"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    setFont(font);
    resize(980, 680);

    MapView = new TSiteMapView(this);
    auto* legend = new TLegendBox(this);
    Legend = legend;

    LayerBox = new QComboBox(this);
    LayerBox->addItem(Text(TCutFillMap::LayerName(TMapLayer::Height)));
    LayerBox->addItem(Text(TCutFillMap::LayerName(TMapLayer::Volume)));
    BoundaryCheck = new QCheckBox(QStringLiteral("切盛境界"), this);
    BoundaryCheck->setChecked(true);
    ContourCheck = new QCheckBox(QStringLiteral("等高線"), this);
    ContourEdit = new TIntervalBox(this);
    ContourEdit->setDecimals(3);
    ContourEdit->setRange(0.001, 1e6);
    ContourEdit->setValue(1.0);
    ContourEdit->setSuffix(QStringLiteral(" m 間隔"));
    ContourEdit->setStepType(QAbstractSpinBox::AdaptiveDecimalStepType);
    // A typed interval counts once it is entered: on a large site every keystroke would
    // draw the contours anew.
    ContourEdit->setKeyboardTracking(false);
    ContourEdit->setEnabled(false);
    AllocationCheck = new QCheckBox(QStringLiteral("配分矢印"), this);
    AllocationCheck->setEnabled(false);
    FitButton = new QPushButton(QStringLiteral("全体表示"), this);
    ExportButton = new QPushButton(QStringLiteral("書き出し..."), this);
    CloseButton = new QPushButton(QStringLiteral("閉じる"), this);
    ContourLabel = new QLabel(this);
    ContourLabel->setWordWrap(true);
    ContourLabel->setVisible(false);
    FindingsLabel = new QLabel(this);
    FindingsList = new QListView(this);
    FindingsList->setWordWrap(true);
    FindingsList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FFindingsModel = new TFindingsModel(this);
    FindingsList->setModel(FFindingsModel);
    PointLabel = new QLabel(this);
    PointLabel->setMinimumHeight(18);
    PointLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* tools = new QHBoxLayout;
    tools->addWidget(new QLabel(QStringLiteral("表示:"), this));
    tools->addWidget(LayerBox);
    tools->addSpacing(8);
    tools->addWidget(BoundaryCheck);
    tools->addWidget(ContourCheck);
    tools->addWidget(ContourEdit);
    tools->addWidget(AllocationCheck);
    tools->addStretch(1);
    tools->addWidget(FitButton);
    tools->addWidget(ExportButton);
    tools->addWidget(CloseButton);

    auto* side = new QVBoxLayout;
    side->addWidget(Legend);
    side->addWidget(ContourLabel);
    side->addWidget(FindingsLabel);
    side->addWidget(FindingsList, 1);

    auto* body = new QHBoxLayout;
    body->addWidget(MapView, 1);
    auto* sideBox = new QWidget(this);
    sideBox->setFixedWidth(250);
    sideBox->setLayout(side);
    side->setContentsMargins(0, 0, 0, 0);
    body->addWidget(sideBox);

    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(6, 6, 6, 6);
    all->addLayout(tools);
    all->addLayout(body, 1);
    all->addWidget(PointLabel);

    connect(LayerBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &TSiteMapForm::LayerBoxChange);
    connect(BoundaryCheck, &QCheckBox::toggled, this, &TSiteMapForm::StyleChange);
    connect(ContourCheck, &QCheckBox::toggled, this, &TSiteMapForm::StyleChange);
    connect(ContourEdit, &QDoubleSpinBox::valueChanged, this, &TSiteMapForm::ContourEditChange);
    connect(AllocationCheck, &QCheckBox::toggled, this, &TSiteMapForm::AllocationCheckClick);
    connect(FitButton, &QPushButton::clicked, MapView, &TSiteMapView::Fit);
    connect(ExportButton, &QPushButton::clicked, this, &TSiteMapForm::ExportButtonClick);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(FindingsList, &QListView::clicked, this, &TSiteMapForm::FindingClick);
    connect(MapView, &TSiteMapView::PointHovered, this, &TSiteMapForm::ShowPoint);
    connect(MapView, &TSiteMapView::PointActivated, this, &TSiteMapForm::OpenPoint);
}

TSiteMapForm::~TSiteMapForm() = default;

void TSiteMapForm::SetInputData(TInputData& Value) {
    // Opened anew (perhaps on another project), the layers start from their own intervals;
    // a refresh while the window is in use keeps what was typed.
    if (!isVisible())
        FTypedInterval[0] = FTypedInterval[1] = 0;
    FInputData = &Value;
    // The volume layer needs results; without them the heights are shown.
    const bool results = Value.GetPhase(2);
    if (auto* model = qobject_cast<QStandardItemModel*>(LayerBox->model()))
        model->item(1)->setEnabled(results);
    LayerBox->blockSignals(true);
    if (!results)
        LayerBox->setCurrentIndex(0);
    LayerBox->blockSignals(false);
    UpdateAllocation();
    UpdateFindings();
    Rebuild(false);
}

void TSiteMapForm::UpdateAllocation() {
    // Solved once a project: the view only points to the plan.
    std::unique_ptr<TAllocation> plan;
    if (FInputData && FInputData->GetPhase(2) && FInputData->HasTag(kAllocTag)) {
        plan = std::make_unique<TAllocation>(AllocateStored(*FInputData));
        if (!plan->Solved)
            plan.reset();
    }
    AllocationCheck->blockSignals(true);
    AllocationCheck->setEnabled(plan != nullptr);
    if (!plan)
        AllocationCheck->setChecked(false);
    AllocationCheck->blockSignals(false);
    AllocationCheck->setToolTip(
        plan ? QString()
             : QStringLiteral("計算結果と、土量配分の画面で解けた土取場・土捨場の条件が"
                              "あるときに表示できます。"));
    // The view takes the new plan before the old one is freed.
    std::swap(FAllocation, plan);
    StyleChange();
}

void TSiteMapForm::Execute() {
    exec();
}

void TSiteMapForm::Rebuild(bool KeepView) {
    if (!FInputData)
        return;
    const TMapLayer layer = LayerBox->currentIndex() == 1 && FInputData->GetPhase(2)
                                ? TMapLayer::Volume
                                : TMapLayer::Height;
    auto map = std::make_unique<TCutFillMap>(*FInputData, layer);
    auto painter = std::make_unique<TSiteMapPainter>(*map);
    ShowInterval(layer, *map);
    StyleChange();
    // The view and the legend take the new map before the old one is freed.
    MapView->SetMap(map.get(), painter.get(), KeepView);
    static_cast<TLegendBox*>(Legend)->SetPainter(painter.get());
    FPainter = std::move(painter);
    FMap = std::move(map);
    UpdateContourNote();

    UpdateMarks();
    PointLabel->setText(QStringLiteral("ホイールで拡大・縮小、ドラッグで移動、"
                                       "ダブルクリックでメッシュデータを開きます。"));
}

void TSiteMapForm::UpdateFindings() {
    if (!FInputData)
        return;
    std::vector<TCheckFinding> findings = TSiteCheck().Run(*FInputData);
    // The list lets go of the old findings before they are freed.
    FFindingsModel->SetFindings(nullptr);
    FFindings = std::move(findings);
    // Measuring every row of a long list takes seconds: past a few thousand, rows of three
    // lines, which every finding's sentence fits at the list's width.
    const bool many = FFindings.size() > 2000;
    FindingsList->setUniformItemSizes(many);
    FFindingsModel->SetFindings(&FFindings,
                                many ? 3 * FindingsList->fontMetrics().lineSpacing() + 4 : 0);
    const int serious = TSiteCheck::SeriousCount(FFindings);
    FindingsLabel->setText(FFindings.empty() ? QStringLiteral("データチェック: 問題はありません。")
                                             : QStringLiteral("データチェック: %1 件（重大 %2 件）")
                                                   .arg(FFindings.size())
                                                   .arg(serious));
}

void TSiteMapForm::UpdateMarks() {
    if (!FMap)
        return;
    std::vector<QPointF> marks;
    marks.reserve(FFindings.size());
    for (const TCheckFinding& f : FFindings) {
        // A saturated volume belongs to a mesh, which lies where the map draws the mesh.
        const double o = f.Kind == TCheckKind::Saturated ? FMap->CellOffset() : 0;
        marks.emplace_back(f.X + o, f.Y + o);
    }
    MapView->SetMarks(std::move(marks));
}

void TSiteMapForm::LayerBoxChange() {
    Rebuild(true);
}

void TSiteMapForm::StyleChange() {
    TSiteMapStyle style;
    style.Boundary = BoundaryCheck->isChecked();
    ContourEdit->setEnabled(ContourCheck->isChecked());
    style.ContourInterval = ContourCheck->isChecked() ? ContourEdit->value() : 0;
    style.Allocation = AllocationCheck->isChecked() ? FAllocation.get() : nullptr;
    style.Frame = false;
    style.LineUnit = 1;
    MapView->SetStyle(style);
    UpdateContourNote();
}

void TSiteMapForm::ContourEditChange() {
    if (FMap)
        FTypedInterval[FMap->Layer() == TMapLayer::Volume ? 1 : 0] = ContourEdit->value();
    StyleChange();
}

void TSiteMapForm::ShowInterval(TMapLayer Layer, const TCutFillMap& Map) {
    const double typed = FTypedInterval[Layer == TMapLayer::Volume ? 1 : 0];
    // Set, not typed: no signal.
    ContourEdit->blockSignals(true);
    ContourEdit->setSuffix(Layer == TMapLayer::Height ? QStringLiteral(" m 間隔")
                                                      : QStringLiteral(" m³ 間隔"));
    ContourEdit->setValue(typed > 0 ? typed : Map.DefaultInterval());
    ContourEdit->blockSignals(false);
}

void TSiteMapForm::UpdateContourNote() {
    const double asked = MapView->Style().ContourInterval;
    // The view's painter: the one the contours are drawn by.
    const TContourPlan plan = FPainter && asked > 0 ? FPainter->ContourPlan(asked) : TContourPlan();
    static_cast<TLegendBox*>(Legend)->SetContourInterval(plan.Interval);
    ContourLabel->setVisible(!plan.Message.empty());
    ContourLabel->setText(Text(plan.Message));
    ContourLabel->setStyleSheet(plan.Warning ? QStringLiteral("color: #b00000;") : QString());
}

void TSiteMapForm::AllocationCheckClick() {
    StyleChange();
    MapView->Fit();
}

void TSiteMapForm::FindingClick() {
    const int row = FindingsList->currentIndex().row();
    if (row < 0 || size_t(row) >= FFindings.size())
        return;
    const TCheckFinding& f = FFindings[size_t(row)];
    const double o = f.Kind == TCheckKind::Saturated ? FMap->CellOffset() : 0;
    // Near enough to see the point and its neighbours.
    MapView->CentreOn(QPointF(f.X + o, f.Y + o), 24);
    MapView->SetSelectedMark(row);
}

void TSiteMapForm::ShowPoint(bool Any, int X, int Y) {
    if (!Any || !FInputData) {
        PointLabel->clear();
        return;
    }
    double v = 0;
    FMap->ValueAt(X, Y, v);
    const bool height = FMap->Layer() == TMapLayer::Height;
    QString text =
        (height ? QStringLiteral("点 X %1　Y %2　") : QStringLiteral("メッシュ X %1　Y %2　"))
            .arg(X)
            .arg(Y);
    if (!std::isfinite(v)) {
        text += QStringLiteral("値がありません");
    } else if (height) {
        const TGridData g = FInputData->GetXYToData(X, Y);
        text += QStringLiteral("切盛高 %1 m（計画高 %2　地盤高 %3）")
                    .arg(Text(FormatFixed(v, 3)), Text(FormatFixed(g.FH, 3)),
                         Text(FormatFixed(g.GH, 3)));
    } else {
        text += (v >= 0 ? QStringLiteral("盛土 %1 m³") : QStringLiteral("切土 %1 m³"))
                    .arg(Text(FormatThousands(std::fabs(v), 0)));
    }
    PointLabel->setText(text);
}

void TSiteMapForm::OpenPoint(int X, int Y) {
    if (!FInputData)
        return;
    // Made once, on first use, and kept for the rest of the run like the other dialogs.
    if (!MeshInputForm)
        MeshInputForm = new TMeshInputForm(this);
    MeshInputForm->SetInputData(FInputData);
    MeshInputForm->ShowMesh(X, Y);
    MeshInputForm->Execute();
    // The editor may have changed the point, or the results may have gone with it.
    if (LayerBox->currentIndex() == 1 && !FInputData->GetPhase(2)) {
        SetInputData(*FInputData);
    } else {
        UpdateAllocation();
        UpdateFindings();
        Rebuild(true);
    }
}

void TSiteMapForm::ExportButtonClick() {
    QFileDialog dialog(this, QStringLiteral("切盛図の書き出し"), QString(),
                       QStringLiteral("PNG 画像 (*.png);;SVG 図 (*.svg);;PDF (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("png"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& Filter) {
        dialog.setDefaultSuffix(Filter.contains(QStringLiteral("svg"))   ? QStringLiteral("svg")
                                : Filter.contains(QStringLiteral("pdf")) ? QStringLiteral("pdf")
                                                                         : QStringLiteral("png"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    ExportTo(dialog.selectedFiles().first());
}

bool TSiteMapForm::ExportTo(const QString& FileName) {
    if (!FPainter)
        return false;
    return RunGuarded(this, [&]() {
        const QString suffix = QFileInfo(FileName).suffix().toLower();
        TMapFileKind kind = TMapFileKind::Png;
        if (suffix == QStringLiteral("svg"))
            kind = TMapFileKind::Svg;
        else if (suffix == QStringLiteral("pdf"))
            kind = TMapFileKind::Pdf;
        else if (suffix != QStringLiteral("png"))
            throw EFailure("書き出すファイルの拡張子は .png、.svg、.pdf のどれかにしてください。");
        TSiteMapStyle style = MapView->Style();
        style.Frame = true;
        style.LineUnit = 0;
        style.Title = Text(FInputData->Title()) + QStringLiteral("　切盛図");
        // The part of the site in view, in a picture of the view's shape with room for the
        // legend and the title.
        const QSize size(std::max(1200, MapView->width() * 2 + 600),
                         std::max(900, MapView->height() * 2 + 200));
        const QByteArray bytes =
            MapFileBytes(*FPainter, style, kind, size, MapView->VisibleFrame());
        TAtomicFile file(QFile::encodeName(FileName).toStdString());
        file.Write(bytes.constData(), size_t(bytes.size()));
        file.Commit();
    });
}
