#include "GridDataInputUnit.h"

#include "GridDataInputUnitList.h"
#include "GridDataInputUnitTree.h"
#include "controls/FittedText.h"
#include "controls/KeyPreview.h"
#include "controls/MessageBoxes.h"
#include "controls/StringGrid.h"
#include "input/InputPrintOut.h"
#include "model/DataUnit.h"
#include "model/MeshCsv.h"
#include "platform/NumberFormat.h"
#include "platform/TextFile.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTreeView>
#include <QTreeWidget>
#include <QUndoStack>
#include <QVBoxLayout>
#include <qdrawutil.h>

#include <algorithm>
#include <cfloat>
#include <cmath>

TMeshInputForm* MeshInputForm = nullptr;

namespace {

constexpr int EntryCols = 11;
constexpr int EntryRow = 1;
constexpr int Panel3DesignWidth = 644; // the buttons' right anchor is measured from this

const char* const kLayerHeaders[2][4] = {
    {"１層厚\r\n(m)", "２層厚\r\n(m)", "３層厚\r\n(m)", "４層厚\r\n(m)"},
    {"２層標高\r\n(m)", "３層標高\r\n(m)", "４層標高\r\n(m)", "５層標高\r\n(m)"}};

QFont FormFont() {
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);
    return f;
}

// A mesh number as the coordinate lookup reads it; false when the text is none.
bool ReadInt(const QString& Text, int32_t& Value) {
    bool ok = false;
    const int v = Text.trimmed().toInt(&ok, 10);
    Value = ok ? v : 0;
    return ok;
}

int32_t ReadInt(const QString& Text) {
    int32_t v = 0;
    ReadInt(Text, v);
    return v;
}

QString Real(double Value) {
    return QString::fromStdString(FormatFixed(Value, 3));
}

// Image 0 a mesh cell, image 1 the same lit for the selected node.
QIcon TreeImages() {
    QIcon icon;
    for (int selected = 0; selected < 2; ++selected) {
        QPixmap pm(16, 16);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setBrush(selected ? QColor(255, 236, 140) : QColor(255, 255, 255));
        p.setPen(selected ? QColor(0, 64, 160) : QColor(96, 96, 96));
        p.drawRect(2, 2, 11, 11);
        p.drawLine(2, 8, 13, 8);
        p.drawLine(8, 2, 8, 13);
        p.end();
        icon.addPixmap(pm, selected ? QIcon::Selected : QIcon::Normal);
    }
    return icon;
}

QIcon PrintGlyph() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(64, 64, 64));
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 7, 6);
    p.setBrush(QColor(176, 176, 176));
    p.drawRect(1, 6, 13, 6);
    p.setBrush(Qt::white);
    p.drawRect(4, 10, 7, 4);
    p.setPen(QColor(0, 160, 0));
    p.drawPoint(12, 8);
    return QIcon(pm);
}

QIcon CsvGlyph() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(64, 64, 64));
    p.setBrush(Qt::white);
    p.drawRect(2, 1, 11, 14);
    p.setPen(QColor(0, 112, 48));
    for (int y = 4; y <= 12; y += 3) {
        p.drawLine(4, y, 6, y);
        p.drawLine(8, y, 11, y);
    }
    return QIcon(pm);
}

QPushButton* NewButton(const QString& Caption, QWidget* Parent, int X, int Width) {
    auto* b = new QPushButton(Caption, Parent);
    b->setGeometry(X, 5, Width, 25);
    return b;
}

} // namespace

double TMeshInputForm::ReadReal(const QString& Text) {
    const long double v = ParseFloatDef(Text.toStdString(), 0.0L);
    if (std::isnan(v) || std::fabs(v) > static_cast<long double>(DBL_MAX))
        return 0.0;
    return static_cast<double>(v);
}

TMeshInputForm::TMeshInputForm(QWidget* AOwner) : QDialog(AOwner) {
    setWindowTitle(QStringLiteral("メッシュデータ編集"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setFont(FormFont());
    FNodeIcon = TreeImages();
    FListModel = new TMeshListModel(this);
    BuildPanels();
    FXTree = std::make_unique<TMeshTree>(TreeViewX, 1, FNodeIcon);
    FYTree = std::make_unique<TMeshTree>(TreeViewY, 2, FNodeIcon);
    BuildUndo();
    FormCreate();
}

TMeshInputForm::~TMeshInputForm() {
    for (const QMetaObject::Connection& c : FUndoLinks)
        disconnect(c);
    qApp->removeEventFilter(this);
    if (MeshInputForm == this)
        MeshInputForm = nullptr;
}

void TMeshInputForm::BuildPanels() {
    auto* form = new QVBoxLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->setSpacing(0);

    // Created in tab order: Qt's focus chain follows the order of creation.
    Panel1 = new QWidget(this);
    Panel1->setFixedHeight(95);
    auto* top = new QVBoxLayout(Panel1);
    top->setContentsMargins(3, 3, 3, 3);
    top->setSpacing(0);
    StringGrid1 = new TStringGrid(EntryCols, 2, Panel1);
    StringGrid1->setFrameShape(QFrame::NoFrame);
    StringGrid1->setShowGrid(false);
    StringGrid1->viewport()->setBackgroundRole(QPalette::Button);
    StringGrid1->SetFixed(0, 1);
    top->addWidget(StringGrid1);
    Panel3 = new QWidget(Panel1);
    top->addWidget(Panel3, 1);
    Button1 = NewButton(QStringLiteral("登 録"), Panel3, 28, 75);
    Button2 = NewButton(QStringLiteral("削　除"), Panel3, 124, 75);
    UndoButton = NewButton(QStringLiteral("元に戻す"), Panel3, 206, 60);
    RedoButton = NewButton(QStringLiteral("やり直し"), Panel3, 266, 60);
    BitBtn1 = NewButton(QStringLiteral("印刷"), Panel3, 328, 93);
    BitBtn1->setIcon(PrintGlyph());
    BitBtn2 = NewButton(QStringLiteral("CSV出力"), Panel3, 428, 93);
    BitBtn2->setIcon(CsvGlyph());
    Panel3->installEventFilter(this);
    // The form sees Enter before any of its controls, the grid's editor included.
    new TKeyPreview(this,
                    [this](QWidget* Receiver, QKeyEvent& Key) { return EnterKey(Receiver, Key); });
    form->addWidget(Panel1);

    Panel2 = new QFrame(this);
    Panel2->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* bottom = new QVBoxLayout(Panel2);
    bottom->setContentsMargins(3, 3, 3, 3);
    Splitter1 = new QSplitter(Qt::Horizontal, Panel2);
    Splitter1->setChildrenCollapsible(false);
    bottom->addWidget(Splitter1);
    form->addWidget(Panel2, 1);

    PageControl1 = new QWidget(Splitter1);
    auto* pages = new QVBoxLayout(PageControl1);
    pages->setContentsMargins(0, 0, 0, 0);
    pages->setSpacing(2);
    auto* tabs = new QHBoxLayout;
    tabs->setSpacing(2);
    TabButton1 = new QPushButton(QStringLiteral("Ｘ座標"), PageControl1);
    TabButton2 = new QPushButton(QStringLiteral("Ｙ座標"), PageControl1);
    TabSheets = new QStackedWidget(PageControl1);
    for (QPushButton* b : {TabButton1, TabButton2}) {
        b->setCheckable(true);
        b->setAutoExclusive(true);
        b->setAutoDefault(false);
        // As wide as the caption, as button-style tabs are, so that both fit the tree's width.
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(b->text()) + 24);
        tabs->addWidget(b);
    }
    tabs->addStretch(1);
    TabButton1->setChecked(true);
    pages->addLayout(tabs);
    pages->addWidget(TabSheets, 1);
    auto sheet = [this](QTreeWidget*& Tree) {
        auto* page = new QWidget;
        auto* l = new QVBoxLayout(page);
        l->setContentsMargins(0, 0, 0, 0);
        Tree = new QTreeWidget(page);
        Tree->setHeaderHidden(true);
        Tree->setIndentation(19);
        Tree->setUniformRowHeights(true);
        Tree->setSelectionMode(QAbstractItemView::SingleSelection);
        l->addWidget(Tree);
        TabSheets->addWidget(page);
        connect(Tree, &QTreeWidget::itemClicked, this, [this, Tree]() { TreeClick(Tree); });
        // Walking the tree with the keys lists as a click does; a mouse press waits for its
        // click, so that one click fills the list once.
        connect(Tree, &QTreeWidget::itemSelectionChanged, this, [this, Tree]() {
            if (Tree->hasFocus() && QApplication::mouseButtons() == Qt::NoButton)
                TreeClick(Tree);
        });
        return page;
    };
    TabSheet1 = sheet(TreeViewX);
    TabSheet2 = sheet(TreeViewY);
    connect(TabButton1, &QPushButton::clicked, this, [this]() { TabSheets->setCurrentIndex(0); });
    connect(TabButton2, &QPushButton::clicked, this, [this]() { TabSheets->setCurrentIndex(1); });

    ListView1 = new QTreeView(Splitter1);
    ListView1->setModel(FListModel);
    // Values wider than their column are drawn smaller rather than elided.
    ListView1->setItemDelegate(new TFittedTextDelegate(ListView1));
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->header()->setSectionsClickable(true);
    ListView1->header()->setSectionsMovable(false);
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setMinimumSectionSize(16);
    connect(ListView1->header(), &QHeaderView::sectionClicked, this,
            &TMeshInputForm::ListView1ColumnClick);
    connect(ListView1->header(), &QHeaderView::sectionResized, this,
            [this](int Column, int, int Width) { ClampListColumn(Column, Width); });
    connect(ListView1, &QTreeView::clicked, this, &TMeshInputForm::ListView1Click);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({142, 500});

    ActDelItem = new QAction(QStringLiteral("削　除"), this);
    ActInputPrint = new QAction(QStringLiteral("印刷"), this);
    ActCsvOutput = new QAction(QStringLiteral("CSV出力"), this);
    connect(Button1, &QPushButton::clicked, this, &TMeshInputForm::Button1Click);
    connect(Button2, &QPushButton::clicked, ActDelItem, &QAction::trigger);
    connect(BitBtn1, &QPushButton::clicked, ActInputPrint, &QAction::trigger);
    connect(BitBtn2, &QPushButton::clicked, ActCsvOutput, &QAction::trigger);
    connect(ActDelItem, &QAction::triggered, this, &TMeshInputForm::ActDelItemExecute);
    connect(ActInputPrint, &QAction::triggered, this, &TMeshInputForm::ActInputPrintExecute);
    connect(ActCsvOutput, &QAction::triggered, this, &TMeshInputForm::ActCsvOutputExecute);

    StringGrid1->SetOnSelectCell([this](int Col, int) { return IsCellEditable(Col); });
    StringGrid1->SetOnDrawCell([this](QPainter& Painter, const QRect& Rect, int Col, int Row) {
        StringGrid1DrawCell(Painter, Rect, Col, Row);
    });
    connect(StringGrid1, &QTableWidget::currentCellChanged, this,
            [this](int, int Col, int, int PrevCol) { StringGrid1SelectCell(Col, PrevCol); });
}

void TMeshInputForm::FormCreate() {
    const QString fixed[] = {QStringLiteral("ＸNo"), QStringLiteral("ＹNo"),
                             QStringLiteral("計画高\r\n(m)"), QStringLiteral("地盤高\r\n(m)"),
                             QStringLiteral("表土厚\r\n(m)")};
    for (int c = 0; c < 5; ++c)
        StringGrid1->SetCells(c, 0, fixed[c]);
    StringGrid1->SetCells(9, 0, QStringLiteral("踏込沈下\r\n(m)"));
    StringGrid1->SetCells(10, 0, QStringLiteral("圧密沈下\r\n(m)"));
    SetLayerHeaders();
    int width = 0;
    for (int c = 0; c < EntryCols; ++c) {
        StringGrid1->SetColWidth(c, c < 2 ? 40 : 60);
        width += c < 2 ? 40 : 60;
    }
    const int header = 2 * QFontMetrics(StringGrid1->font()).height();
    StringGrid1->SetDefaultRowHeight(20);
    StringGrid1->setRowHeight(0, header);
    StringGrid1->setFixedHeight(header + 20);
    FMovingByProgram = true;
    StringGrid1->SetCurrentCell(0, EntryRow);
    FMovingByProgram = false;
    FInputIndex = 0;
    FMinWidth = width + 30;
    setMinimumSize(FMinWidth, 240);
    resize(FMinWidth, 420);
}

TMeshNode* TMeshInputForm::XTopNode() const {
    return FXTree->Top();
}
TMeshNode* TMeshInputForm::YTopNode() const {
    return FYTree->Top();
}

// --- Binding

void TMeshInputForm::SetInputData(TInputData* Value, QUndoStack* Steps) {
    // The edit index is kept only while it still names, in the same project, the mesh whose
    // numbers the entry row shows; a project read from a file in between must not inherit it.
    bool keep = Value && Value == FLastProject;
    if (keep && FInputIndex > 0) {
        const TGridData m = Value->GetIndexToData(FInputIndex - 1);
        keep = m.Index > 0 && m.X == ReadInt(StringGrid1->Cells(0, EntryRow)) &&
               m.Y == ReadInt(StringGrid1->Cells(1, EntryRow));
    }
    if (!keep) {
        ClearEntryRow();
        FInputIndex = 0;
    }
    FInputData = Value;
    FLastProject = Value;
    // The window's own steps belong to the project as it was when they were taken; the
    // project's stack is its owner's to clear.
    FOwnUndoStack->clear();
    UseUndoStack(Steps ? Steps : FOwnUndoStack);

    FListModel->Rebuild(Value, Value ? BuildListColumns(*Value) : std::vector<TListColumn>());
    const std::vector<TListColumn>& columns = FListModel->Columns();
    for (size_t c = 0; c < columns.size(); ++c)
        ListView1->header()->resizeSection(int(c), columns[c].Width);

    for (TMeshTree* tree : {FXTree.get(), FYTree.get()}) {
        tree->View()->setUpdatesEnabled(false);
        if (Value)
            tree->Build(Value->GridList());
        else
            tree->Clear();
        tree->View()->setUpdatesEnabled(true);
    }
    SetLayerHeaders();
    StringGrid1->viewport()->update();
}

void TMeshInputForm::SetLayerHeaders() {
    const int mode = FInputData && FInputData->SolidType() == 1 ? 1 : 0;
    for (int k = 0; k < 4; ++k)
        StringGrid1->SetCells(5 + k, 0, QString::fromUtf8(kLayerHeaders[mode][k]));
}

void TMeshInputForm::Execute() {
    exec();
}

void TMeshInputForm::ShowMesh(int32_t X, int32_t Y) {
    if (!FInputData)
        return;
    ClearEntryRow();
    FInputIndex = 0;
    FFilterX = X;
    FFilterY = Y;
    FFilterC = 3;
    FListModel->ClearList();
    const TGridData m = FInputData->GetXYToData(X, Y);
    if (m.Index > 0) {
        LoadEntryRow(m);
        FListModel->AppendRows({m.Index});
        ListView1->setCurrentIndex(FListModel->index(0, 0));
    } else {
        StringGrid1->SetCells(0, EntryRow, QString::number(X));
        StringGrid1->SetCells(1, EntryRow, QString::number(Y));
    }
    StringGrid1->viewport()->update();
}

// --- The entry row

bool TMeshInputForm::IsCellEditable(int Col) const {
    if (Col < 0 || Col >= EntryCols)
        return false;
    if (Col <= 3)
        return true;
    if (!FInputData)
        return false;
    if (Col == 4)
        return FInputData->Hyoudo();
    if (Col <= 8)
        return Col < FInputData->Layer() + 4;
    return Col == 9 ? FInputData->Fumikomi() : FInputData->Atumitu();
}

void TMeshInputForm::LoadEntryRow(const TGridData& Mesh) {
    FInputIndex = Mesh.Index;
    if (Mesh.Index > 0) {
        StringGrid1->SetCells(0, EntryRow, QString::number(Mesh.X));
        StringGrid1->SetCells(1, EntryRow, QString::number(Mesh.Y));
        StringGrid1->SetCells(2, EntryRow, Real(Mesh.FH));
        StringGrid1->SetCells(3, EntryRow, Real(Mesh.GH));
    }
    for (int i = 0; i < 5; ++i)
        StringGrid1->SetCells(4 + i, EntryRow, Real(Mesh.LAYER[i]));
    StringGrid1->SetCells(9, EntryRow, Real(Mesh.CSink));
    StringGrid1->SetCells(10, EntryRow, Real(Mesh.BSink));
}

void TMeshInputForm::ClearEntryRow() {
    for (int c = 0; c < EntryCols; ++c)
        StringGrid1->SetCells(c, EntryRow, QString());
}

void TMeshInputForm::MoveToFirstColumn() {
    // Not a move of the user's: leaving the Y cell here must not look anything up.
    FMovingByProgram = true;
    StringGrid1->SetCurrentCell(0, EntryRow);
    FMovingByProgram = false;
}

void TMeshInputForm::StringGrid1SelectCell(int Col, int PrevCol) {
    if (FMovingByProgram || PrevCol != 1 || Col < 0 || !FInputData)
        return;
    // Numbers that are none name no mesh: registering will say so, and nothing is loaded.
    int32_t x = 0, y = 0;
    if (!ReadInt(StringGrid1->Cells(0, EntryRow), x) ||
        !ReadInt(StringGrid1->Cells(1, EntryRow), y))
        return;
    const TGridData m = FInputData->GetXYToData(x, y);
    if (m.Index > 0 || FInputData->SolidType() == 0)
        LoadEntryRow(m);
}

void TMeshInputForm::StringGrid1DrawCell(QPainter& Painter, const QRect& Rect, int Col,
                                         int Row) const {
    const QPalette& pal = palette();
    const QString text = StringGrid1->Cells(Col, Row);
    if (Row == 0) {
        Painter.fillRect(Rect, pal.color(QPalette::Active, QPalette::Button));
        Painter.setPen(pal.color(QPalette::Active, QPalette::ButtonText));
        Painter.setFont(StringGrid1->font());
        QString lines = text;
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        Painter.drawText(Rect, Qt::AlignCenter | Qt::TextWordWrap, lines);
        return;
    }
    QColor back, fore;
    if (StringGrid1->hasFocus() && Col == StringGrid1->Col() && Row == StringGrid1->Row()) {
        back = pal.color(QPalette::Active, QPalette::Highlight);
        fore = pal.color(QPalette::Active, QPalette::HighlightedText);
    } else if (IsCellEditable(Col)) {
        back = pal.color(QPalette::Active, QPalette::Base);
        fore = pal.color(QPalette::Active, QPalette::Text);
    } else {
        back = pal.color(QPalette::Active, QPalette::Button);
        fore = pal.color(QPalette::Active, QPalette::Dark);
    }
    Painter.fillRect(Rect, back);
    qDrawWinPanel(&Painter, Rect, pal, true);
    Painter.setPen(fore);
    Painter.setFont(StringGrid1->font());
    Painter.setClipRect(Rect.adjusted(2, 2, -2, -2));
    // A value too wide for its cell is drawn smaller, never cut.
    DrawFittedText(Painter, Rect.adjusted(4, 2, -4, -2), int(Qt::AlignRight | Qt::AlignVCenter),
                   text);
}

// --- Register and delete

void TMeshInputForm::Button1Click() {
    if (!FInputData)
        return;
    StringGrid1->CommitEditor();
    TGridData d;
    if (!ReadEntryRowChecked(d))
        return;
    RunGuarded(this, [&]() {
        // The typed numbers decide which mesh is written: a live mesh with those numbers is
        // replaced, else a new one is added, whatever was loaded into the row before.
        d.Index = FInputData->GetXYToData(d.X, d.Y).Index;
        RecordRegistration(d);
        ClearEntryRow();
        MoveToFirstColumn();
        StringGrid1->setFocus();
        FInputIndex = 0;
    });
}

void TMeshInputForm::ActDelItemExecute() {
    RunGuarded(this, [&]() {
        if (FInputData && FInputIndex > 0) {
            const TGridData m = FInputData->GetIndexToData(FInputIndex - 1);
            // The model deletes the last live mesh with these numbers, which is the loaded one
            // unless a file brought two; the step records what it deletes.
            if (m.Index > 0)
                RecordDeletion(FInputData->GetXYToData(m.X, m.Y).Index);
        }
        ClearEntryRow();
        MoveToFirstColumn();
        StringGrid1->setFocus();
        FInputIndex = 0;
    });
}

// --- Trees and list

bool TMeshInputForm::PassesFilter(const TGridData& Mesh) const {
    return !((FFilterC & 1) && Mesh.X != FFilterX) && !((FFilterC & 2) && Mesh.Y != FFilterY);
}

void TMeshInputForm::FillListItem(const TGridData& Mesh) {
    if (Mesh.Index == 0 || !PassesFilter(Mesh))
        return;
    FListModel->FillRow(Mesh.Index);
}

void TMeshInputForm::TreeClick(QTreeWidget* Tree) {
    FListModel->ClearList();
    const QList<QTreeWidgetItem*> selected = Tree->selectedItems();
    if (selected.isEmpty())
        return;
    const TMeshNodeData& node = static_cast<const TMeshNode*>(selected.first())->Data;
    FFilterX = node.X;
    FFilterY = node.Y;
    FFilterC = node.Kind;
    if (!FInputData)
        return;
    if (node.Kind == 3) {
        FillListItem(FInputData->GetIndexToData(node.Index - 1));
        return;
    }
    // The list is empty, so no row needs looking for: the meshes are appended in one go.
    const std::vector<TGridData>& grid = FInputData->GridList();
    std::vector<int32_t> rows;
    rows.reserve(grid.size());
    for (size_t i = 0; i < grid.size(); ++i)
        if (!grid[i].DelFlg && PassesFilter(grid[i]))
            rows.push_back(int32_t(i + 1));
    FListModel->AppendRows(rows);
}

void TMeshInputForm::ListView1Click() {
    const QModelIndexList rows = ListView1->selectionModel()->selectedRows();
    if (rows.isEmpty() || !FInputData)
        return;
    const TGridData m = FInputData->GetIndexToData(FListModel->RowIndex(rows.first().row()) - 1);
    if (m.Index > 0)
        LoadEntryRow(m);
}

void TMeshInputForm::ListView1ColumnClick(int Column) {
    FListModel->Sort(Column);
}

void TMeshInputForm::ClampListColumn(int Column, int Width) {
    const std::vector<TListColumn>& columns = FListModel->Columns();
    if (Column < 0 || size_t(Column) >= columns.size())
        return;
    const TListColumn& c = columns[size_t(Column)];
    const int clamped = std::clamp(Width, c.MinWidth, c.MaxWidth);
    if (clamped != Width)
        ListView1->header()->resizeSection(Column, clamped);
}

// --- Export and listing

void TMeshInputForm::ActCsvOutputExecute() {
    if (!FInputData)
        return;
    // Made on first use: a file dialog starts reading its folder as soon as it exists.
    if (!SaveDialog1) {
        SaveDialog1 = new QFileDialog(this);
        SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
        SaveDialog1->setFileMode(QFileDialog::AnyFile);
        SaveDialog1->setDefaultSuffix(QStringLiteral("csv"));
        SaveDialog1->setNameFilters({QStringLiteral("各種テキストファイル (*.csv *.txt *.doc)"),
                                     QStringLiteral("CSV形式(.csv) (*.csv)"),
                                     QStringLiteral("テキスト形式(.txt) (*.txt)"),
                                     QStringLiteral("ドキュメント形式(.doc) (*.doc)"),
                                     QStringLiteral("全てのファイル (*)")});
    }
    if (SaveDialog1->exec() != QDialog::Accepted || SaveDialog1->selectedFiles().isEmpty())
        return;
    CsvOutputTo(SaveDialog1->selectedFiles().first());
}

bool TMeshInputForm::CsvOutputTo(const QString& FileName) {
    if (!FInputData)
        return false;
    // The same text and the same writer as doryou-cli export-mesh.
    return RunGuarded(this, [&]() {
        WriteCp932File(QFile::encodeName(FileName).toStdString(), MeshCsvText(*FInputData));
    });
}

void TMeshInputForm::ActInputPrintExecute() {
    InputPrintOut();
}

void TMeshInputForm::InputPrintOut() {
    if (FInputData)
        ::InputPrintOut(this, *FInputData);
}

// --- The Enter key and the anchored buttons

void TMeshInputForm::done(int Result) {
    FOwnUndoStack->clear();
    FInputData = nullptr;
    FListModel->Rebuild(nullptr, {});
    FXTree->Clear();
    FYTree->Clear();
    QDialog::done(Result);
}

bool TMeshInputForm::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == Panel3 && Event->type() == QEvent::Resize) {
        const int shift = Panel3->width() - Panel3DesignWidth;
        BitBtn1->move(328 + shift, 5);
        BitBtn2->move(428 + shift, 5);
    }
    return QDialog::eventFilter(Watched, Event);
}

bool TMeshInputForm::EnterKey(QWidget* Receiver, const QKeyEvent& Key) {
    if (Key.key() != Qt::Key_Return && Key.key() != Qt::Key_Enter)
        return false;
    // Only where the key arrives: a key the control ignores travels on to each of its
    // parents, and must not walk the focus once more at every step.
    const QWidget* focus = QApplication::focusWidget();
    const bool arrives = focus ? Receiver == focus : Receiver == this;
    if (arrives)
        return FormKeyPress();
    // Nor may it reach the dialog, which would press its default button ("登 録").
    return Receiver == this;
}

bool TMeshInputForm::GridIsActive() const {
    const QWidget* focus = focusWidget();
    return focus && (focus == StringGrid1 || StringGrid1->isAncestorOf(focus));
}

bool TMeshInputForm::FormKeyPress() {
    if (!GridIsActive()) {
        // The control itself still gets the key: Enter on a button presses it.
        focusNextPrevChild(true);
        return false;
    }
    StringGrid1->CommitEditor();
    int col = StringGrid1->Col(), row = StringGrid1->Row();
    if (col < 0 || row < 0) {
        col = -1;
        row = EntryRow;
    }
    bool wrapped = false, found = false;
    for (int i = 0; i < EntryCols * StringGrid1->RowCount() && !found; ++i) {
        if (++col >= EntryCols) {
            col = 0;
            if (++row >= StringGrid1->RowCount()) {
                row = StringGrid1->FixedRows();
                wrapped = true;
            }
        }
        found = IsCellEditable(col);
    }
    if (found) {
        StringGrid1->SetCurrentCell(col, row);
        if (!wrapped)
            return true;
    }
    // In the grid Enter is used up: passed on, it would also press the button it moved to.
    focusNextPrevChild(true);
    return true;
}
