#include "SurveyImportDialog.h"

#include "controls/MessageBoxes.h"
#include "controls/ProgressRun.h"
#include "model/DataUnit.h"
#include "platform/Failure.h"
#include "survey/SurveyReader.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>
#include <vector>

namespace {

std::string LocalName(const QString& Path) {
    return QFile::encodeName(Path).toStdString();
}

bool Number(const QLineEdit* Edit, double& Value) {
    bool ok = false;
    Value = Edit->text().trimmed().toDouble(&ok);
    return ok && std::isfinite(Value);
}

} // namespace

TSurveyImportForm::TSurveyImportForm(const TInputData& Data, QWidget* AOwner)
    : QDialog(AOwner), FData(Data) {
    setWindowTitle(QStringLiteral("測量データの取込"));
    auto* files = new QGroupBox(QStringLiteral("ファイル"));
    auto* grid = new QGridLayout(files);
    grid->addWidget(new QLabel(QStringLiteral("種類")), 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("面")), 0, 4);
    Ground = FileRow(QStringLiteral("地盤"), grid, 1);
    Plan = FileRow(QStringLiteral("計画"), grid, 2);
    grid->setColumnStretch(1, 1);

    auto* place = new QGroupBox(QStringLiteral("メッシュの位置"));
    auto* pg = new QGridLayout(place);
    const auto edit = [&](const QString& label, int row, int col, const QString& value) {
        pg->addWidget(new QLabel(label), row, col);
        auto* e = new QLineEdit(value);
        pg->addWidget(e, row, col + 1);
        connect(e, &QLineEdit::textChanged, this, &TSurveyImportForm::Invalidate);
        return e;
    };
    TSurveyGeoreference geo; // the last import's place, when there was one
    const bool known = DecodeSurveyGeoreference(Data.GetTag(SurveyTagName), geo);
    const auto text = [](double v) { return QString::number(v, 'g', 12); };
    OriginN = edit(QStringLiteral("原点 X（北）"), 0, 0, known ? text(geo.Frame.N0) : QString());
    OriginE = edit(QStringLiteral("原点 Y（東）"), 0, 2, known ? text(geo.Frame.E0) : QString());
    Angle = edit(QStringLiteral("回転角（度）"), 1, 0, text(known ? geo.Frame.Angle : 0.0));
    MaxEdge =
        edit(QStringLiteral("最大辺長（m, 0 は制限なし）"), 1, 2, text(known ? geo.MaxEdge : 0.0));
    pg->addWidget(new QLabel(QStringLiteral("点ファイルの列")), 2, 0);
    Order = new QComboBox;
    Order->addItems({QStringLiteral("X（北）, Y（東）"), QStringLiteral("東, 北")});
    pg->addWidget(Order, 2, 1);
    connect(Order, &QComboBox::currentIndexChanged, this, &TSurveyImportForm::Invalidate);
    pg->addWidget(
        new QLabel(
            QStringLiteral("メッシュ間隔 %1 m（基本データ）").arg(Data.MeshSpan(), 0, 'g', 10)),
        2, 2, 1, 2);

    PreviewButton = new QPushButton(QStringLiteral("確認"));
    connect(PreviewButton, &QPushButton::clicked, this, &TSurveyImportForm::PreviewClick);
    Summary = new QPlainTextEdit;
    Summary->setReadOnly(true);
    Summary->setMinimumSize(560, 130);
    Summary->setPlaceholderText(
        QStringLiteral("「確認」で読み込み、取り込まれる内容をここに示します。"));

    auto* buttons = new QDialogButtonBox;
    OkButton = buttons->addButton(QStringLiteral("取込"), QDialogButtonBox::AcceptRole);
    CancelButton = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    OkButton->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(files);
    layout->addWidget(place);
    auto* row = new QHBoxLayout;
    row->addWidget(PreviewButton);
    row->addStretch();
    layout->addLayout(row);
    layout->addWidget(Summary);
    layout->addWidget(buttons);

    // And its files, as they were chosen: kind and surface too.
    if (known)
        for (const std::string& line : geo.Sources)
            RestoreSource(line);
}

TSurveyImportForm::~TSurveyImportForm() = default;

TSurveyImportForm::TFileRow TSurveyImportForm::FileRow(const QString& Label, QGridLayout* Grid,
                                                       int Row) {
    TFileRow r;
    Grid->addWidget(new QLabel(Label), Row, 0);
    r.Path = new QLineEdit;
    r.Path->setMinimumWidth(280);
    r.Browse = new QPushButton(QStringLiteral("参照..."));
    r.Kind = new QComboBox;
    r.Kind->addItems(
        {QStringLiteral("点ファイル"), QStringLiteral("SIMA"), QStringLiteral("LandXML")});
    r.Surface = new QComboBox;
    r.Surface->setEditable(true);
    r.Surface->setMinimumWidth(110);
    Grid->addWidget(r.Path, Row, 1);
    Grid->addWidget(r.Browse, Row, 2);
    Grid->addWidget(r.Kind, Row, 3);
    Grid->addWidget(r.Surface, Row, 4);
    TFileRow* self = Row == 1 ? &Ground : &Plan;
    connect(r.Browse, &QPushButton::clicked, this, [this, self]() { Browse(*self); });
    connect(r.Path, &QLineEdit::editingFinished, this, [this, self]() { FileChosen(*self); });
    connect(r.Path, &QLineEdit::textChanged, this, &TSurveyImportForm::Invalidate);
    connect(r.Kind, &QComboBox::currentIndexChanged, this, &TSurveyImportForm::Invalidate);
    connect(r.Surface, &QComboBox::currentTextChanged, this, &TSurveyImportForm::Invalidate);
    return r;
}

void TSurveyImportForm::Browse(TFileRow& Row) {
    const QString name = QFileDialog::getOpenFileName(
        this, QString(), QFileInfo(Row.Path->text()).path(),
        QStringLiteral("測量データ (*.csv *.txt *.sim *.xml);;すべてのファイル (*)"));
    if (name.isEmpty())
        return;
    Row.Path->setText(name);
    FileChosen(Row);
}

// "ground|plan\tkind\tsurface\tpath", as the last import stored it; other roles (layers) have
// no row here.
void TSurveyImportForm::RestoreSource(const std::string& Line) {
    const std::vector<std::string> part = SurveySourceFields(Line);
    if (part.size() != 4)
        return;
    TFileRow* row = part[0] == "ground" ? &Ground : part[0] == "plan" ? &Plan : nullptr;
    if (!row || part[3].empty())
        return;
    const QString path = QFile::decodeName(QByteArray::fromStdString(part[3]));
    row->Path->setText(path);
    for (int k = 0; k < row->Kind->count(); ++k)
        if (part[1] == SurveyFileKindName(static_cast<TSurveyFileKind>(k)))
            row->Kind->setCurrentIndex(k);
    row->Surface->setEditText(QString::fromStdString(part[2]));
    // Taken as chosen: looking at the file again would only ask for what is shown.
    row->Detected = path;
}

// The kind is found from the file; for LandXML its surfaces are listed to choose from.
void TSurveyImportForm::FileChosen(TFileRow& Row) {
    const QString path = Row.Path->text().trimmed();
    if (path == Row.Detected)
        return;
    Row.Detected = path;
    Row.Surface->clear();
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    RunGuarded(this, [&]() {
        const TSurveyFileKind kind = DetectSurveyFileKind(LocalName(path));
        Row.Kind->setCurrentIndex(static_cast<int>(kind));
        if (kind != TSurveyFileKind::LandXml)
            return;
        TSurveyFile file;
        if (!RunWithProgress(this, windowTitle(), QStringLiteral("面を調べています..."),
                             [&](const TSurveyProgress& p) {
                                 file = ReadSurveyFile(LocalName(path), kind,
                                                       TSurveyOrder::NorthEast, p);
                             }))
            return;
        for (const std::string& n : SurveySurfaceNames(file))
            Row.Surface->addItem(QString::fromStdString(n));
    });
}

void TSurveyImportForm::Invalidate() {
    FImport.reset();
    OkButton->setEnabled(false);
}

bool TSurveyImportForm::Options(TSurveyImportOptions& O) {
    const auto source = [](const TFileRow& r) {
        TSurveySource s;
        s.Path = LocalName(r.Path->text().trimmed());
        s.Kind = static_cast<TSurveyFileKind>(r.Kind->currentIndex());
        s.Surface = r.Surface->currentText().trimmed().toStdString();
        return s;
    };
    if (Ground.Path->text().trimmed().isEmpty()) {
        ShowFailure(this, QStringLiteral("地盤のファイルを指定してください。"));
        return false;
    }
    O.Ground = source(Ground);
    O.HasPlan = !Plan.Path->text().trimmed().isEmpty();
    if (O.HasPlan)
        O.Plan = source(Plan);
    if (!Number(OriginN, O.Frame.N0) || !Number(OriginE, O.Frame.E0)) {
        ShowFailure(this, QStringLiteral("原点の X（北）と Y（東）を数値で入力してください。"));
        return false;
    }
    if (!Number(Angle, O.Frame.Angle) || !Number(MaxEdge, O.MaxEdge)) {
        ShowFailure(this, QStringLiteral("回転角と最大辺長を数値で入力してください。"));
        return false;
    }
    O.Frame.Span = FData.MeshSpan();
    O.Order = Order->currentIndex() == 0 ? TSurveyOrder::NorthEast : TSurveyOrder::EastNorth;
    return true;
}

void TSurveyImportForm::PreviewClick() {
    // A path typed without leaving the field has not been looked at yet.
    FileChosen(Ground);
    FileChosen(Plan);
    Invalidate();
    Summary->clear();
    TSurveyImportOptions o;
    if (!Options(o))
        return;
    std::unique_ptr<TSurveyImport> import;
    const bool ran = RunGuarded(this, [&]() {
        if (!RunWithProgress(this, windowTitle(), QStringLiteral("測量データを読み込んでいます..."),
                             [&](const TSurveyProgress& p) {
                                 import = std::make_unique<TSurveyImport>(FData, o, p);
                             }))
            Summary->setPlainText(QStringLiteral("キャンセルしました。"));
    });
    if (!ran || !import)
        return;
    Summary->setPlainText(QString::fromStdString(SurveyImportSummaryText(import->Summary())));
    FImport = std::move(import);
    OkButton->setEnabled(true);
}
