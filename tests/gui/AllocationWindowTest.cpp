#include "RealInput.h"
#include "ResultProjects.h"

#include "allocation/EarthAllocationUnit.h"
#include "analysis/EarthAllocationTable.h"
#include "app/DataForm.h"
#include "controls/ImageButton.h"
#include "platform/CodePage.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace results_test;

namespace {

const std::string kSample = std::string(DORYOU_SOURCE_DIR) + "/examples/sample-site.msh";

void TypeInto(QTableWidget* Grid, int Row, int Col, const QString& Text) {
    Grid->setCurrentCell(Row, Col);
    Grid->editItem(Grid->item(Row, Col));
    Grid->window()->activateWindow();
    QLineEdit* editor = qobject_cast<QLineEdit*>(Grid->indexWidget(Grid->currentIndex()));
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, Text);
    QTest::keyClick(editor, Qt::Key_Tab);
    ASSERT_EQ(Grid->item(Row, Col)->text(), Text);
}

} // namespace

// The navigation button waits for results; the window, driven by clicks and keys, shows the
// core's plan for its places and options, refuses bad cells with a message, and writes the
// shared CSV text.
TEST(AllocationWindow, ShowsTheCorePlan) {
    TInputForm nav;
    EXPECT_FALSE(nav.AllocationButton->isEnabled());
    nav.InputData().FileLoad(kSample);
    nav.InputData().Calcrate();
    ASSERT_TRUE(nav.InputData().GetPhase(2));
    EXPECT_TRUE(nav.AllocationButton->isEnabled());
    EXPECT_EQ(ModalsOpenedByClick(nav.AllocationButton), "TEarthAllocationForm");
    // The window's work, shown without its modal loop.
    TEarthAllocationForm& form = SharedEarthAllocationForm();
    form.SetInputData(nav.InputData());
    form.show();

    QTest::mouseClick(form.AddSpoilButton, Qt::LeftButton);
    ASSERT_EQ(form.PlaceGrid->rowCount(), 1);
    TypeInto(form.PlaceGrid, 0, TEarthAllocationForm::ColX, QStringLiteral("-40"));
    TypeInto(form.PlaceGrid, 0, TEarthAllocationForm::ColY, QStringLiteral("10.5"));
    TypeInto(form.PlaceGrid, 0, TEarthAllocationForm::ColExtra, QStringLiteral("250"));
    form.BlockEdit->setValue(2);
    form.DistanceBox->setCurrentIndex(1);
    QTest::mouseClick(form.CalcButton, Qt::LeftButton);

    TAllocOptions o;
    o.Block = 2;
    o.Manhattan = true;
    TAllocPlace spoil;
    spoil.X = -40;
    spoil.Y = 10.5;
    spoil.Extra = 250;
    o.Places = {spoil};
    const TAllocation a = AllocateEarth(nav.InputData(), o);
    ASSERT_TRUE(a.Solved);
    const TAllocTable t = BuildAllocTable(a);
    ASSERT_EQ(form.ResultGrid->rowCount(), static_cast<int>(t.Rows.size()));
    for (int row = 0; row < form.ResultGrid->rowCount(); ++row)
        for (int col = 0; col < 5; ++col)
            EXPECT_EQ(form.ResultGrid->item(row, col)->text().toStdString(), t.Rows[row][col]);
    for (const auto& [name, value] : t.Totals)
        EXPECT_TRUE(form.TotalsLabel->text().contains(QString::fromStdString(name + ": " + value)))
            << name;
    EXPECT_TRUE(form.MessageLabel->isHidden());

    // The options went with the project and come back with it.
    ASSERT_TRUE(nav.InputData().HasTag(kAllocTag));
    form.SetOptions(TAllocOptions());
    form.SetInputData(nav.InputData());
    EXPECT_EQ(form.PlaceGrid->rowCount(), 1);
    EXPECT_EQ(form.BlockEdit->value(), 2);
    EXPECT_EQ(form.DistanceBox->currentIndex(), 1);
    QTest::mouseClick(form.CalcButton, Qt::LeftButton);

    // CSV: the shared text.
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("alloc.csv"));
    AnswerFileDialog(csv);
    QTest::mouseClick(form.CsvButton, Qt::LeftButton);
    EXPECT_EQ(ReadFile(csv).toStdString(), Utf8ToCp932(AllocCsvText(a)));

    // A capacity that is no number, then one too small: a message and no plan.
    TypeInto(form.PlaceGrid, 0, TEarthAllocationForm::ColCapacity, QStringLiteral("abc"));
    QTest::mouseClick(form.CalcButton, Qt::LeftButton);
    EXPECT_FALSE(form.MessageLabel->isHidden());
    EXPECT_TRUE(form.MessageLabel->text().contains(QStringLiteral("土捨場1 の容量")));
    EXPECT_EQ(form.ResultGrid->rowCount(), 0);
    EXPECT_FALSE(form.CsvButton->isEnabled());
    TypeInto(form.PlaceGrid, 0, TEarthAllocationForm::ColCapacity, QStringLiteral("10"));
    QTest::mouseClick(form.CalcButton, Qt::LeftButton);
    EXPECT_TRUE(form.MessageLabel->text().contains(QStringLiteral("土捨場の容量")));

    // Options round the controls.
    TAllocOptions read;
    QString message;
    form.SetOptions(o);
    ASSERT_TRUE(form.ReadOptions(read, message)) << message.toStdString();
    EXPECT_EQ(read.Block, 2);
    EXPECT_TRUE(read.Manhattan);
    ASSERT_EQ(read.Places.size(), 1u);
    EXPECT_EQ(read.Places[0].X, -40);
    EXPECT_EQ(read.Places[0].Y, 10.5);
    EXPECT_TRUE(std::isinf(read.Places[0].Capacity));
    EXPECT_EQ(read.Places[0].Extra, 250);
    form.hide();
}

// A project's places are its own: opening one without places after one with them shows,
// calculates and saves none; and after "土捨場を追加" the keys typed fill the new row.
TEST(AllocationWindow, PlacesBelongToTheirProject) {
    QTemporaryDir dir;
    const QString withPlaces = dir.filePath(QStringLiteral("with.msh"));
    const QString without = dir.filePath(QStringLiteral("without.msh"));
    {
        TInputData d;
        d.FileLoad(kSample);
        d.Calcrate();
        d.FileSave(without.toStdString());
        TAllocOptions o;
        TAllocPlace spoil;
        spoil.Kind = TAllocPlaceKind::Spoil;
        spoil.X = 500;
        o.Places = {spoil};
        d.SetTag(kAllocTag, AllocOptionsBytes(o));
        d.FileSave(withPlaces.toStdString());
    }
    const QByteArray withoutBytes = ReadFile(without);

    TInputForm nav;
    int rows = -1;
    auto countRows = [&rows](QWidget* w) {
        rows = static_cast<TEarthAllocationForm*>(w)->PlaceGrid->rowCount();
        static_cast<QDialog*>(w)->accept();
    };
    auto isAllocation = [](QWidget* w) {
        return qobject_cast<TEarthAllocationForm*>(w) != nullptr;
    };
    nav.LoadFile(withPlaces);
    WhenModal(countRows, isAllocation);
    QTest::mouseClick(nav.AllocationButton, Qt::LeftButton);
    EXPECT_EQ(rows, 1);

    nav.LoadFile(without);
    ASSERT_EQ(nav.FileName(), without);
    WhenModal(
        [&](QWidget* w) {
            auto* form = static_cast<TEarthAllocationForm*>(w);
            rows = form->PlaceGrid->rowCount();
            // The sample's surplus has nowhere to go: the other project's spoil site is not
            // taken.
            QTest::mouseClick(form->CalcButton, Qt::LeftButton);
            EXPECT_FALSE(form->Allocation().Solved);
            EXPECT_TRUE(
                form->MessageLabel->text().contains(QStringLiteral("土捨場を加えてください")))
                << form->MessageLabel->text().toStdString();
            form->accept();
        },
        isAllocation);
    QTest::mouseClick(nav.AllocationButton, Qt::LeftButton);
    EXPECT_EQ(rows, 0);
    EXPECT_FALSE(nav.InputData().HasTag(kAllocTag));
    EXPECT_FALSE(nav.Modified());
    ASSERT_TRUE(nav.SaveFile());
    EXPECT_EQ(ReadFile(without), withoutBytes) << "saved byte for byte, with no places";

    // Typing right after adding a place goes into its first cell.
    WhenModal(
        [&](QWidget* w) {
            auto* form = static_cast<TEarthAllocationForm*>(w);
            form->activateWindow();
            ClickWidget(form->AddSpoilButton);
            TypeKeys(QStringLiteral("120"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QApplication::processEvents(); // the editor commits on a queued call
            ASSERT_EQ(form->PlaceGrid->rowCount(), 1);
            EXPECT_EQ(form->PlaceGrid->item(0, TEarthAllocationForm::ColX)->text(),
                      QStringLiteral("120"));
            form->accept();
        },
        isAllocation);
    QTest::mouseClick(nav.AllocationButton, Qt::LeftButton);
    // Typed places stay with the project that they were typed for.
    const TAllocOptions kept = StoredAllocOptions(nav.InputData());
    ASSERT_EQ(kept.Places.size(), 1u);
    EXPECT_EQ(kept.Places[0].X, 120);
    EXPECT_TRUE(nav.Modified());
}
