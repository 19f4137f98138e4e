#include "ModalDriver.h"
#include "PreviewTestSupport.h"
#include "RealInput.h"

#include "app/DataForm.h"
#include "app/MainUnit.h"
#include "controls/ImageButton.h"
#include "controls/StringGrid.h"
#include "input/BaseDataUnit.h"
#include "input/GridDataInputUnit.h"
#include "input/GridDataInputUnitList.h"
#include "input/GridDataInputUnitTree.h"
#include "model/DataUnit.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

namespace {

struct MeshForm : testing::Test {
    TInputData data;
    TMeshInputForm form;

    void SetUp() override { data.SetLayer(1); }

    void Show() {
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }
    // Straight into the model, as a project file brings meshes.
    void Add(int X, int Y, double FH = 0.0) {
        TGridData g;
        g.X = X;
        g.Y = Y;
        g.FH = FH;
        data.SetMeshData(g);
    }
    // Registers a mesh the way the user does: typed into the entry row, then "登 録".
    void Register(int X, int Y, double FH = 0.0) {
        Entry(0, QString::number(X));
        Entry(1, QString::number(Y));
        Entry(2, QString::number(FH));
        form.Button1Click();
    }
    void Entry(int Col, const QString& Text) { form.StringGrid1->SetCells(Col, 1, Text); }
    QString Entry(int Col) const { return form.StringGrid1->Cells(Col, 1); }
    std::string Row() const {
        std::string s;
        for (int c = 0; c < 11; ++c)
            s += (c ? "|" : "") + Entry(c).toStdString();
        return s;
    }
    // A tree as "group{mesh mesh} group{...}"; groups are opened, as they fill when opened.
    static QTreeWidgetItem* Group(const TMeshNode* Top, int Coordinate) {
        for (int g = 0; g < Top->childCount(); ++g)
            if (Top->child(g)->text(0) == QString::number(Coordinate)) {
                Top->child(g)->setExpanded(true);
                return Top->child(g);
            }
        return nullptr;
    }
    static std::string Tree(const TMeshNode* Top) {
        std::string s;
        for (int g = 0; g < Top->childCount(); ++g) {
            QTreeWidgetItem* group = Top->child(g);
            group->setExpanded(true);
            s += (g ? " " : "") + group->text(0).toStdString() + "{";
            for (int m = 0; m < group->childCount(); ++m)
                s += (m ? " " : "") + group->child(m)->text(0).toStdString();
            s += "}";
        }
        return s;
    }
    // The listed meshes as "X,Y X,Y ...".
    std::string List() const {
        std::string s;
        const TMeshListModel* m = form.ListModel();
        for (int r = 0; r < m->rowCount(); ++r)
            s += (r ? " " : "") + m->index(r, 1).data().toString().toStdString() + "," +
                 m->index(r, 2).data().toString().toStdString();
        return s;
    }
    void ClickNode(QTreeWidget* Tree, QTreeWidgetItem* Node) {
        Tree->setCurrentItem(Node);
        form.TreeClick(Tree);
    }
    // The user types the name: selectFile leaves a focused name field alone.
    static void Choose(QFileDialog* Dialog, const QString& Path) {
        Dialog->setDirectory(QFileInfo(Path).path());
        Dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(QFileInfo(Path).fileName());
        static_cast<QDialog*>(Dialog)->accept(); // QFileDialog::accept is protected
    }
    void ClickRow(int Row) {
        form.ListView1->selectionModel()->select(form.ListModel()->index(Row, 0),
                                                 QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
        form.ListView1Click();
    }
};

TEST_F(MeshForm, ColumnsFollowTheSettings) {
    data.SetLayer(3);
    data.SetHyoudo(true);
    data.SetFumikomi(true);
    form.SetInputData(&data);
    std::string editable;
    for (int c = 0; c < 11; ++c)
        editable += form.IsCellEditable(c) ? 'E' : '.';
    EXPECT_EQ(editable, "EEEEEEE..E.");
    QStringList captions;
    for (int c = 0; c < form.ListModel()->columnCount(); ++c)
        captions << form.ListModel()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(
        captions.join(QLatin1Char('/')),
        QStringLiteral("/Ｘ/Ｙ/計画高(m)/地盤高(m)/表土厚(m)/１層厚(m)/２層厚(m)/踏込沈下(m)"));
    EXPECT_EQ(form.StringGrid1->Cells(5, 0), QStringLiteral("１層厚\r\n(m)"));

    // Elevation input renames the layer columns of both at the next binding.
    data.SetSolidType(1);
    form.SetInputData(&data);
    EXPECT_EQ(form.StringGrid1->Cells(5, 0), QStringLiteral("２層標高\r\n(m)"));
    EXPECT_EQ(form.ListModel()->headerData(6, Qt::Horizontal).toString(),
              QStringLiteral("２層標高(m)"));
}

TEST_F(MeshForm, NeverSmallerThanTheEntryRow) {
    EXPECT_EQ(form.MinWidth(), 650);
    Show();
    form.resize(100, 100);
    QTest::qWait(20);
    EXPECT_GE(form.width(), 650);
    EXPECT_GE(form.height(), 240);
}

// Typing X and Y, then Enter, as the user does.
struct Lookup : MeshForm {
    void TypeXY(const QString& X, const QString& Y) {
        form.StringGrid1->setFocus();
        form.StringGrid1->SetCurrentCell(0, 1);
        QTest::keyClicks(QApplication::focusWidget(), X);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClicks(QApplication::focusWidget(), Y);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    void SetUp() override {
        data.SetLayer(5);
        data.SetHyoudo(true);
        data.SetFumikomi(true);
        data.SetAtumitu(true);
        for (int i = 0; i < 7; ++i)
            data.SetSolidValue(i, 1, 0.1 * (i + 1));
    }
};

TEST_F(Lookup, UnknownNumbersBringStandardValuesOnlyInThicknessMode) {
    Show();
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        data.SetSolidType(mode);
        form.SetInputData(&data);
        Entry(2, QStringLiteral("9"));
        Entry(4, QStringLiteral("7"));
        TypeXY(QStringLiteral("3"), QStringLiteral("4"));
        EXPECT_EQ(form.StringGrid1->Col(), 2);
        EXPECT_EQ(form.InputIndex(), 0);
        EXPECT_EQ(Row(), mode == 0 ? "3|4|9||0.100|0.200|0.300|0.400|0.500|0.600|0.700"
                                   : "3|4|9||7||||||");
        form.ActDelItemExecute(); // nothing loaded: only empties the row
    }
}

TEST_F(Lookup, KnownNumbersLoadTheMeshAndRegisteringReplacesIt) {
    form.SetInputData(&data);
    Register(3, 4, 12.5);
    Register(5, 6, 1.0);
    Show();
    TypeXY(QStringLiteral("3"), QStringLiteral("4"));
    EXPECT_EQ(form.InputIndex(), 1);
    EXPECT_EQ(Row(), "3|4|12.500|0.000|0.000|0.000|0.000|0.000|0.000|0.000|0.000");
    Entry(2, QStringLiteral("20"));
    form.Button1Click();
    EXPECT_EQ(data.GetInputMeshCount(), 2);
    EXPECT_EQ(data.GetXYToData(3, 4).FH, 20.0);
    EXPECT_EQ(form.InputIndex(), 0);
    EXPECT_EQ(Row(), "||||||||||");
}

TEST_F(Lookup, LeavingTheYCellByMouseSeesWhatWasTyped) {
    form.SetInputData(&data);
    Register(3, 4, 12.5);
    Show();
    form.StringGrid1->setFocus();
    form.StringGrid1->SetCurrentCell(0, 1);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("3"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("4")); // editor still open
    const QRect cell = form.StringGrid1->visualItemRect(form.StringGrid1->item(1, 5));
    QTest::mouseClick(form.StringGrid1->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(form.InputIndex(), 1);
    EXPECT_EQ(Entry(2), QStringLiteral("12.500"));
}

// Register goes by the typed numbers, whatever was loaded into the row before.
TEST_F(MeshForm, RegisterLooksTheNumbersUpAgain) {
    form.SetInputData(&data);
    Register(1, 1, 5.0);
    Register(2, 2, 6.0);
    ClickNode(form.TreeViewX, form.XTopNode());
    ClickRow(0); // loads (1, 1)
    ASSERT_EQ(form.InputIndex(), 1);

    Entry(0, QStringLiteral("7")); // new numbers, the Y cell never left
    Entry(2, QStringLiteral("9"));
    form.Button1Click();
    EXPECT_EQ(data.GetXYToData(1, 1).FH, 5.0);
    EXPECT_EQ(data.GetXYToData(7, 1).FH, 9.0);

    ClickRow(0);
    Entry(0, QStringLiteral("2")); // numbers of another live mesh
    Entry(1, QStringLiteral("2"));
    Entry(2, QStringLiteral("8"));
    form.Button1Click();
    EXPECT_EQ(data.GetInputMeshCount(), 3);
    EXPECT_EQ(data.GetXYToData(2, 2).FH, 8.0);
    EXPECT_EQ(data.GetXYToData(1, 1).FH, 5.0);
    EXPECT_EQ(List(), "1,1 2,2 7,1");
}

TEST_F(MeshForm, TreesGroupAndOrderTheMeshes) {
    form.SetInputData(&data);
    Register(5, 1);
    Register(1, 2);
    EXPECT_EQ(Tree(form.XTopNode()), "1{1,2} 5{5,1}");
    EXPECT_EQ(Tree(form.YTopNode()), "1{5,1} 2{1,2}");
    Register(5, -3);
    Register(3, 1);
    Register(5, 1); // again: no second node
    EXPECT_EQ(Tree(form.XTopNode()), "1{1,2} 3{3,1} 5{5,-3 5,1}");
    EXPECT_EQ(Tree(form.YTopNode()), "-3{5,-3} 1{3,1 5,1} 2{1,2}");
    EXPECT_EQ(form.XTopNode()->text(0), QStringLiteral("全表示"));
    EXPECT_TRUE(form.XTopNode()->isExpanded());

    // Binding builds the same trees from the model: groups first, their meshes when opened,
    // and edits made before a group is opened show in it.
    TMeshInputForm other;
    other.SetInputData(&data);
    ASSERT_EQ(other.XTopNode()->childCount(), 3);
    for (int g = 0; g < 3; ++g) {
        EXPECT_EQ(other.XTopNode()->child(g)->childCount(), 0);
        EXPECT_EQ(other.XTopNode()->child(g)->childIndicatorPolicy(),
                  QTreeWidgetItem::ShowIndicator);
    }
    const std::string x = Tree(form.XTopNode()), y = Tree(form.YTopNode());
    EXPECT_EQ(Tree(other.XTopNode()), x);
    EXPECT_EQ(Tree(other.YTopNode()), y);

    form.SetInputData(&data); // every group unopened again
    Register(5, 0);
    Register(3, 0);
    Register(1, 2, 4.0); // again: no second node
    const std::string x2 = "1{1,2} 3{3,0 3,1} 5{5,-3 5,0 5,1}";
    const std::string y2 = "-3{5,-3} 0{3,0 5,0} 1{3,1 5,1} 2{1,2}";
    EXPECT_EQ(Tree(form.XTopNode()), x2);
    EXPECT_EQ(Tree(form.YTopNode()), y2);
    other.SetInputData(&data);
    EXPECT_EQ(Tree(other.XTopNode()), x2);
    EXPECT_EQ(Tree(other.YTopNode()), y2);
}

TEST_F(MeshForm, ExtremeMeshNumbersKeepTheirOrder) {
    Add(INT_MAX, 0);
    Add(INT_MIN, 0);
    Add(0, 0);
    form.SetInputData(&data);
    EXPECT_EQ(Tree(form.XTopNode()), "-2147483648{-2147483648,0} 0{0,0} 2147483647{2147483647,0}");
    ClickNode(form.TreeViewX, form.XTopNode());
    form.ListView1ColumnClick(1);
    EXPECT_EQ(List(), "-2147483648,0 0,0 2147483647,0");
}

TEST_F(MeshForm, TreeNodesFilterTheList) {
    form.SetInputData(&data);
    Register(1, 2);
    Register(3, 2);
    Register(1, 5);
    EXPECT_EQ(List(), "1,2 3,2 1,5"); // a fresh window filters nothing

    ClickNode(form.TreeViewY, Group(form.YTopNode(), 2));
    EXPECT_EQ(List(), "1,2 3,2");
    Register(4, 7);
    Register(0, 2);
    EXPECT_EQ(List(), "1,2 3,2 0,2");

    ClickNode(form.TreeViewX, Group(form.XTopNode(), 1));
    EXPECT_EQ(List(), "1,2 1,5");
    ClickNode(form.TreeViewX, Group(form.XTopNode(), 1)->child(1));
    EXPECT_EQ(List(), "1,5");
    ClickNode(form.TreeViewX, form.XTopNode());
    EXPECT_EQ(List(), "1,2 3,2 1,5 4,7 0,2");
}

TEST_F(MeshForm, DeleteRemovesTheLoadedMeshAndKeepsItsGroup) {
    form.SetInputData(&data);
    Register(5, 1);
    Register(1, 2);
    ClickNode(form.TreeViewX, form.XTopNode());
    ClickRow(0);
    ASSERT_EQ(Entry(0), QStringLiteral("5"));
    form.ActDelItemExecute();
    EXPECT_EQ(data.GetInputMeshCount(), 1);
    EXPECT_EQ(Tree(form.XTopNode()), "1{1,2} 5{}");
    EXPECT_EQ(Tree(form.YTopNode()), "1{} 2{1,2}");
    EXPECT_EQ(List(), "1,2");
    EXPECT_EQ(form.InputIndex(), 0);
    EXPECT_EQ(Row(), "||||||||||");
    EXPECT_EQ(form.StringGrid1->Col(), 0);

    // Nothing loaded: nothing deleted, even with numbers typed.
    Entry(0, QStringLiteral("1"));
    Entry(1, QStringLiteral("2"));
    form.ActDelItemExecute();
    EXPECT_EQ(data.GetInputMeshCount(), 1);
    EXPECT_EQ(List(), "1,2");

    // Registering the deleted numbers again fills the old group.
    Register(5, 1);
    EXPECT_EQ(Tree(form.XTopNode()), "1{1,2} 5{5,1}");
}

// A file may bring two meshes with the same numbers; the model deletes by number the later one,
// and the list and the trees show what is left.
TEST_F(MeshForm, DuplicatesFromAFileStayInStepWithTheModel) {
    Add(2, 2, 1.0);
    Add(2, 2, 2.0);
    form.SetInputData(&data);
    EXPECT_EQ(Tree(form.XTopNode()), "2{2,2}");
    ClickNode(form.TreeViewX, form.XTopNode());
    ClickRow(0); // the earlier one
    form.ActDelItemExecute();
    ASSERT_EQ(data.GetInputMeshCount(), 1);
    EXPECT_EQ(form.ListModel()->RowIndex(0), 1);
    EXPECT_EQ(form.ListModel()->rowCount(), 1);
    EXPECT_EQ(Tree(form.XTopNode()), "2{2,2}");
    ClickRow(0);
    form.ActDelItemExecute();
    EXPECT_EQ(data.GetInputMeshCount(), 0);
    EXPECT_EQ(Tree(form.XTopNode()), "2{}");
    EXPECT_EQ(List(), "");
}

TEST_F(MeshForm, SortingTreatsThousandthsAsTheResolution) {
    const struct {
        double A, B;
        const char* Listed; // after sorting by planned height
    } cases[] = {{10.0004, 10.0, "1,0 2,0"},
                 {10.001, 10.0, "2,0 1,0"},
                 {10.0, 9.9996, "1,0 2,0"},
                 {10.0, 9.999, "2,0 1,0"},
                 {NAN, 1.0, "1,0 2,0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Listed);
        TInputData d;
        d.SetLayer(1);
        TGridData g;
        g.X = 1;
        g.FH = c.A;
        d.SetMeshData(g);
        g.Index = 0;
        g.X = 2;
        g.FH = c.B;
        d.SetMeshData(g);
        form.SetInputData(&d);
        ClickNode(form.TreeViewX, form.XTopNode());
        form.ListView1ColumnClick(3);
        EXPECT_EQ(List(), c.Listed);
    }
    form.SetInputData(nullptr);
}

TEST_F(MeshForm, SortingIsByTheClickedColumnAndStaysAscending) {
    form.SetInputData(&data);
    Add(3, 1, 2.0);
    Add(1, 3, 3.0);
    Add(2, 2, 1.0);
    form.SetInputData(&data);
    ClickNode(form.TreeViewX, form.XTopNode());
    form.ListView1ColumnClick(1);
    EXPECT_EQ(List(), "1,3 2,2 3,1");
    form.ListView1ColumnClick(3);
    form.ListView1ColumnClick(3);
    EXPECT_EQ(List(), "2,2 3,1 1,3");
    form.ListView1ColumnClick(0); // no key: the order stays
    EXPECT_EQ(List(), "2,2 3,1 1,3");
    Register(0, 0, 0.5); // appended until the next sort
    EXPECT_EQ(List(), "2,2 3,1 1,3 0,0");
}

TEST_F(MeshForm, BindingAnotherProjectEmptiesTheEntryRow) {
    Add(1, 1, 4.0);
    form.SetInputData(&data);
    ClickNode(form.TreeViewX, form.XTopNode());
    ClickRow(0);
    ASSERT_EQ(form.InputIndex(), 1);

    form.SetInputData(&data); // the same project again: the row stays
    EXPECT_EQ(form.InputIndex(), 1);
    EXPECT_EQ(Entry(2), QStringLiteral("4.000"));
    EXPECT_EQ(form.ListModel()->rowCount(), 0);

    TInputData other;
    other.SetLayer(1);
    form.SetInputData(&other);
    EXPECT_EQ(form.InputIndex(), 0);
    EXPECT_EQ(Row(), "||||||||||");

    // A file read into the same project: its first mesh has other numbers.
    form.SetInputData(&data);
    ClickNode(form.TreeViewX, form.XTopNode());
    ClickRow(0);
    TInputData file;
    file.SetLayer(1);
    TGridData g;
    g.X = 8;
    file.SetMeshData(g);
    data.LoadFromBytes(file.SaveToBytes());
    form.SetInputData(&data);
    EXPECT_EQ(form.InputIndex(), 0);
    form.ActDelItemExecute();
    EXPECT_EQ(data.GetInputMeshCount(), 1);
}

TEST_F(MeshForm, EnterWalksTheEditableCellsThenGoesToRegister) {
    data.SetLayer(2);
    form.SetInputData(&data);
    Show();
    form.StringGrid1->setFocus();
    form.StringGrid1->SetCurrentCell(3, 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(form.StringGrid1->Col(), 5); // column 4 (topsoil) is greyed
    EXPECT_TRUE(form.StringGrid1->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(form.StringGrid1->Col(), 0);
    EXPECT_EQ(QApplication::focusWidget(), form.Button1);
    EXPECT_EQ(data.MeshCount(), 0); // moving to the button does not press it
}

TEST_F(MeshForm, EnterOutsideTheGridMovesTheFocusOnceAndRegistersNothing) {
    data.SetLayer(2);
    form.SetInputData(&data);
    Show();
    Entry(0, QStringLiteral("3"));
    Entry(1, QStringLiteral("4"));
    form.StringGrid1->SetCurrentCell(1, 1);
    // The trees and the list ignore Enter, so the key travels on to their parents.
    for (QWidget* start :
         {static_cast<QWidget*>(form.TreeViewX), static_cast<QWidget*>(form.ListView1)}) {
        start->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), start);
        QWidget* next = start->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus) || !next->isVisible() || !next->isEnabled())
            next = next->nextInFocusChain();
        QTest::keyClick(start, Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), next) << start->metaObject()->className();
        EXPECT_EQ(form.StringGrid1->Col(), 1);
        EXPECT_EQ(data.MeshCount(), 0) << "Enter in " << start->metaObject()->className();
    }
    // On the register button itself Enter still presses it.
    form.Button1->setFocus();
    QTest::keyClick(form.Button1, Qt::Key_Return);
    EXPECT_EQ(data.MeshCount(), 1);
}

TEST_F(MeshForm, ExportWritesTheFileThroughTheSaveDialog) {
    data.SetLayer(3);
    data.SetHyoudo(true);
    form.SetInputData(&data);
    Entry(0, QStringLiteral("3"));
    Entry(1, QStringLiteral("4"));
    Entry(2, QStringLiteral("12.5"));
    Entry(3, QStringLiteral("10.25"));
    Entry(4, QStringLiteral("0.3"));
    Entry(5, QStringLiteral("1"));
    Entry(6, QStringLiteral("2"));
    form.Button1Click();
    Register(9, 9);
    form.ListView1ColumnClick(1); // the list's order does not matter to the file
    ClickNode(form.TreeViewX, form.XTopNode());
    ClickRow(1);
    form.ActDelItemExecute();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("メッシュ.txt"));
    QString filters;
    WhenModal([&](QWidget* w) {
        auto* dialog = static_cast<QFileDialog*>(w);
        filters = dialog->nameFilters().join(QLatin1Char('|'));
        dialog->selectNameFilter(dialog->nameFilters().at(2));
        Choose(dialog, path);
    });
    form.ActCsvOutputExecute();
    EXPECT_EQ(filters, QStringLiteral("各種テキストファイル (*.csv *.txt *.doc)|CSV形式(.csv) "
                                      "(*.csv)|テキスト形式(.txt) (*.txt)|ドキュメント形式(.doc) "
                                      "(*.doc)|全てのファイル (*)"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    // Code page 932 without a byte-order mark, CR LF after every line.
    const QByteArray expected = QByteArray::fromHex("93fc97cd8381836283568385836681"
                                                    "5b835e") +
                                "\r\n\r\n" +
                                // Ｘ,Ｙ,計画高,地盤高,表土厚,１層厚,２層厚
                                QByteArray::fromHex("82772c82782c8c7689e68d822c926e94d58d822c955c"
                                                    "93798cfa2c825091778cfa2c825191778cfa") +
                                "\r\n3,4,12.500,10.250,0.300,1.000,2.000\r\n";
    EXPECT_EQ(f.readAll().toHex().toStdString(), expected.toHex().toStdString());
}

TEST_F(MeshForm, ExportFailureShowsTheErrorBoxAndLeavesTheNameAlone) {
    form.SetInputData(&data);
    QTemporaryDir dir;
    QString text;
    AnswerMessageBox(QMessageBox::Ok, &text);
    EXPECT_FALSE(form.CsvOutputTo(dir.filePath(QStringLiteral("無い/mesh.csv"))));
    EXPECT_FALSE(text.isEmpty());

    // A name that cannot be replaced (a folder of that name holds a file).
    const QString busy = dir.filePath(QStringLiteral("mesh.csv"));
    ASSERT_TRUE(QDir().mkpath(busy + QStringLiteral("/keep")));
    text.clear();
    AnswerMessageBox(QMessageBox::Ok, &text);
    EXPECT_FALSE(form.CsvOutputTo(busy));
    EXPECT_FALSE(text.isEmpty());
    EXPECT_TRUE(QFileInfo(busy + QStringLiteral("/keep")).isDir());
}

// "登 録" pressed with the mouse on a row whose mesh numbers are unusable: a message names the
// cell, the cell gets the focus, and the project is not touched (an empty row used to write
// zeros into mesh (0, 0)).
TEST_F(MeshForm, RegisterRefusesUnusableMeshNumbers) {
    data.SetLayer(2);
    form.SetInputData(&data);
    Show();
    const auto press = [&](bool Double = false) { ClickWidget(form.Button1, {}, Double); };
    Entry(0, QStringLiteral("0"));
    Entry(1, QStringLiteral("0"));
    Entry(2, QStringLiteral("12.5"));
    Entry(3, QStringLiteral("10"));
    Entry(5, QStringLiteral("1.5"));
    // A double click registers with its first click; the second finds the row emptied.
    QString text;
    AnswerMessageBox(QMessageBox::Ok, &text);
    press(true);
    EXPECT_EQ(text, QStringLiteral("ＸNo が入力されていません。整数で入力してください。"));
    ASSERT_EQ(data.GetInputMeshCount(), 1);
    const std::string stored = data.SaveToBytes();
    EXPECT_EQ(data.GetXYToData(0, 0).FH, 12.5);
    EXPECT_EQ(form.StringGrid1->Col(), 0);
    // The cell's editor is the window's focus (it gets the keys once the box has gone).
    EXPECT_TRUE(form.StringGrid1->isAncestorOf(form.focusWidget()));

    // And a further click on the empty row.
    text.clear();
    AnswerMessageBox(QMessageBox::Ok, &text);
    press();
    EXPECT_EQ(text, QStringLiteral("ＸNo が入力されていません。整数で入力してください。"));
    EXPECT_EQ(data.SaveToBytes(), stored);

    const struct {
        int Col;
        const char* Typed;
        const char* Message;
    } refused[] = {
        {0, "abc", "ＸNo の「abc」は整数ではありません。整数で入力してください。"},
        {1, "1.5", "ＹNo の「1.5」は整数ではありません。整数で入力してください。"},
        {0, "99999999999",
         "ＸNo の「99999999999」は範囲外です。-2147483648～2147483647 の整数で入力してください。"},
        {1, "-2147483649",
         "ＹNo の「-2147483649」は範囲外です。-2147483648～2147483647 の整数で入力してください。"},
        {1, "", "ＹNo が入力されていません。整数で入力してください。"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.Typed);
        Entry(0, QStringLiteral("0"));
        Entry(1, QStringLiteral("0"));
        Entry(2, QStringLiteral("99"));
        Entry(c.Col, QString::fromUtf8(c.Typed));
        form.StringGrid1->SetCurrentCell(3, 1);
        QString message;
        AnswerMessageBox(QMessageBox::Ok, &message);
        press();
        EXPECT_EQ(message, QString::fromUtf8(c.Message));
        EXPECT_EQ(data.SaveToBytes(), stored);
        EXPECT_EQ(form.StringGrid1->Col(), c.Col);
        EXPECT_EQ(Entry(2), QStringLiteral("99")); // what was typed stays for correcting
    }

    // The ends of the 32-bit range are mesh numbers like any other.
    Entry(0, QStringLiteral(" 2147483647 "));
    Entry(1, QStringLiteral("-2147483648"));
    press();
    EXPECT_EQ(data.GetXYToData(INT_MAX, INT_MIN).Index, 2);
}

// Values a double cannot hold are refused like bad mesh numbers; finite values outside the
// plausible range of a site are stored only when the user answers Yes.
TEST_F(MeshForm, RegisterRefusesImpossibleValuesAndAsksAboutImplausibleOnes) {
    data.SetLayer(2);
    data.SetHyoudo(true);
    form.SetInputData(&data);
    Show();
    const auto row = [&](int Col, const char* Typed) {
        Entry(0, QStringLiteral("4"));
        Entry(1, QStringLiteral("5"));
        for (int c = 2; c < 11; ++c)
            Entry(c, QString());
        Entry(Col, QString::fromUtf8(Typed));
        form.StringGrid1->SetCurrentCell(0, 1);
    };
    const struct {
        int Col;
        const char* Typed;
        const char* Message;
    } refused[] = {
        {2, "1e400", "計画高 の「1e400」は大きすぎて扱えません。"},
        {3, "-1e999", "地盤高 の「-1e999」は大きすぎて扱えません。"},
        {4, "abc", "表土厚 の「abc」は数値ではありません。数値で入力してください。"},
        {5, "1,5", "１層厚 の「1,5」は数値ではありません。数値で入力してください。"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.Typed);
        row(c.Col, c.Typed);
        QString text;
        AnswerMessageBox(QMessageBox::Ok, &text);
        ClickWidget(form.Button1);
        EXPECT_EQ(text, QString::fromUtf8(c.Message));
        EXPECT_EQ(data.GetInputMeshCount(), 0);
        EXPECT_EQ(form.StringGrid1->Col(), c.Col);
    }

    const struct {
        int Col;
        const char* Typed;
        const char* Question; // empty: stored without a question
    } asked[] = {
        {2, "1e300", ""}, // the text is checked below, the number is long
        {3, "-200.5",
         "地盤高が -200.500 m で、通常の範囲（-200.000～4,000.000 m）の外ですが、"
         "登録しますか？"},
        {4, "-0.1",
         "表土厚が -0.100 m で、通常の範囲（0.000～100.000 m）の外ですが、登録しますか？"},
        {5, "150",
         "１層厚が 150.000 m で、通常の範囲（0.000～100.000 m）の外ですが、登録しますか？"},
        {2, "3999.999", nullptr},
        {5, "100", nullptr},
    };
    for (const auto& c : asked) {
        SCOPED_TRACE(c.Typed);
        for (QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
            data.LoadFromBytes(TInputData().SaveToBytes());
            data.SetLayer(2);
            data.SetHyoudo(true);
            form.SetInputData(&data);
            row(c.Col, c.Typed);
            QString text;
            if (c.Question)
                AnswerMessageBox(answer, &text);
            ClickWidget(form.Button1);
            if (!c.Question) {
                EXPECT_EQ(data.GetInputMeshCount(), 1);
                break;
            }
            if (*c.Question) {
                EXPECT_EQ(text, QString::fromUtf8(c.Question));
            } else {
                EXPECT_TRUE(text.endsWith(QStringLiteral(" m で、通常の範囲（-200.000～4,000.000 "
                                                         "m）の外ですが、登録しますか？")))
                    << text.toStdString();
            }
            EXPECT_EQ(data.GetInputMeshCount(), answer == QMessageBox::Yes ? 1 : 0);
            if (answer == QMessageBox::No) {
                EXPECT_EQ(form.StringGrid1->Col(), c.Col);
            }
        }
    }
    EXPECT_EQ(data.GetXYToData(4, 5).LAYER[1], 100.0);
}

// Registering and deleting are taken back and done again by the keys, the buttons and the
// context menu, step by step; the model, the trees, the list and the phases follow each step.
TEST_F(MeshForm, UndoAndRedoFollowEveryStep) {
    form.SetInputData(&data);
    Show();
    ClickNode(form.TreeViewX, form.XTopNode()); // the list shows every mesh
    const auto state = [&]() {
        return Tree(form.XTopNode()) + " / " + Tree(form.YTopNode()) + " / " + List() + " / " +
               std::to_string(data.GetXYToData(5, 1).FH) + (data.GetPhase(1) ? " P1" : " -");
    };
    std::vector<std::string> states{state()};
    const auto registerByMouse = [&](int X, int Y, double FH) {
        Entry(0, QString::number(X));
        Entry(1, QString::number(Y));
        Entry(2, QString::number(FH));
        ClickWidget(form.Button1);
        states.push_back(state());
    };
    registerByMouse(5, 1, 1.0);
    registerByMouse(1, 2, 2.0);
    registerByMouse(5, 1, 3.0); // replaces the values of the first
    ClickRow(1);                // (1, 2)
    ClickWidget(form.Button2);
    states.push_back(state());
    ASSERT_EQ(states.back(), "1{} 5{5,1} / 1{5,1} 2{} / 5,1 / 3.000000 P1");

    const auto keys = [](Qt::Key Key, Qt::KeyboardModifiers Modifiers) {
        QTest::keyClick(QApplication::focusWidget(), Key, Modifiers);
    };
    form.StringGrid1->setFocus();
    for (size_t i = states.size() - 1; i-- > 0;) {
        keys(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(state(), states[i]) << "undo to " << i;
    }
    EXPECT_FALSE(data.GetPhase(1)); // no mesh left: calculating is off again
    EXPECT_FALSE(form.UndoButton->isEnabled());
    keys(Qt::Key_Z, Qt::ControlModifier); // nothing more to take back
    EXPECT_EQ(state(), states[0]);

    keys(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(state(), states[1]);
    keys(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(state(), states[2]);
    ClickWidget(form.RedoButton);
    EXPECT_EQ(state(), states[3]);
    ClickWidget(form.UndoButton);
    EXPECT_EQ(state(), states[2]);
    // The list's context menu offers the same two steps.
    EXPECT_EQ(form.ListView1->contextMenuPolicy(), Qt::ActionsContextMenu);
    ASSERT_TRUE(form.ListView1->actions().contains(form.ActRedo));
    form.ActRedo->trigger();
    form.ActRedo->trigger();
    EXPECT_EQ(state(), states[4]);
    EXPECT_FALSE(form.RedoButton->isEnabled());

    // A new registration after taking steps back ends the steps that were taken back.
    keys(Qt::Key_Z, Qt::ControlModifier);
    registerByMouse(7, 7, 7.0);
    EXPECT_FALSE(form.ActRedo->isEnabled());
    keys(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(state(), states[3]);
    EXPECT_EQ(data.GetInputMeshCount(), 2);

    // A step never reaches into another binding of the window.
    form.SetInputData(&data);
    EXPECT_FALSE(form.ActUndo->isEnabled());
    EXPECT_FALSE(form.ActRedo->isEnabled());
}

// Each button, tab, tree and list by a click on the shown window.
TEST_F(MeshForm, ControlsByClicks) {
    PreparedPreview();
    Add(1, 2, 6.0);
    Add(3, 4, 5.0);
    form.SetInputData(&data);
    Show();
    const auto click = [](QWidget* W, QPoint At = QPoint()) {
        QTest::mouseClick(W, Qt::LeftButton, {}, At);
    };
    click(form.TabButton2);
    EXPECT_EQ(form.TabSheets->currentIndex(), 1);
    click(form.TabButton1);
    EXPECT_EQ(form.TabSheets->currentIndex(), 0);

    // A tree node lists its meshes; a column heading sorts; a row loads its mesh.
    QTreeWidget* tree = form.TreeViewX;
    click(tree->viewport(), tree->visualItemRect(Group(form.XTopNode(), 3)).center());
    EXPECT_EQ(List(), "3,4");
    click(tree->viewport(), tree->visualItemRect(form.XTopNode()).center());
    EXPECT_EQ(List(), "1,2 3,4");
    QHeaderView* heading = form.ListView1->header();
    click(heading->viewport(), QPoint(heading->sectionViewportPosition(3) + 10, 5)); // 計画高
    EXPECT_EQ(List(), "3,4 1,2");
    click(form.ListView1->viewport(),
          form.ListView1->visualRect(form.ListModel()->index(0, 1)).center());
    EXPECT_EQ(Entry(0), QStringLiteral("3"));

    click(form.Button2); // 削除
    EXPECT_EQ(List(), "1,2");
    Entry(0, QStringLiteral("7"));
    Entry(1, QStringLiteral("8"));
    click(form.Button1); // 登録
    EXPECT_EQ(List(), "1,2 7,8");
    EXPECT_EQ(data.GetInputMeshCount(), 2);

    const std::pair<QPushButton*, const char*> opening[] = {{form.BitBtn1, "TPreViewForm"},
                                                            {form.BitBtn2, "QFileDialog/save"}};
    for (auto [button, opens] : opening)
        EXPECT_EQ(ModalsOpenedByClick(button), opens);
}

// The program's way in: the navigation window binds its project and shows the editor modally.
TEST(MeshInputNavigation, MeshButtonOpensTheEditorAndARegistrationEnablesCalculation) {
    TMainForm frame;
    MainForm = &frame;
    TBaseInputForm baseForm(&frame);
    BaseInputForm = &baseForm;
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    TInputForm* nav = frame.InputForm();
    ASSERT_NE(nav, nullptr);
    nav->InputData().SetPhase(0, true);
    ASSERT_TRUE(nav->MeshInputButton->isEnabled());
    ASSERT_FALSE(nav->CalcButton->isEnabled());

    bool bound = false, modal = false;
    WhenModal(
        [&](QWidget* w) {
            auto* f = static_cast<TMeshInputForm*>(w);
            bound = f->InputData() == &nav->InputData();
            modal = f->isModal() && f->windowTitle() == QStringLiteral("メッシュデータ編集");
            f->StringGrid1->SetCells(0, 1, QStringLiteral("1"));
            f->StringGrid1->SetCells(1, 1, QStringLiteral("2"));
            QTest::mouseClick(f->Button1, Qt::LeftButton);
            f->close();
        },
        [](QWidget* w) { return qobject_cast<TMeshInputForm*>(w) != nullptr; });
    QTest::mouseClick(nav->MeshInputButton, Qt::LeftButton);
    EXPECT_TRUE(bound);
    EXPECT_TRUE(modal);
    ASSERT_NE(MeshInputForm, nullptr);
    EXPECT_EQ(MeshInputForm->InputData(), nullptr); // let go when closed
    EXPECT_EQ(nav->InputData().GetInputMeshCount(), 1);
    EXPECT_TRUE(nav->CalcButton->isEnabled());
    BaseInputForm = nullptr;
    MainForm = nullptr;
}

} // namespace
