// The navigation window's "データ印刷" and "計算書" open the listing and the reports.

#include "ModalDriver.h"
#include "PreviewTestSupport.h"

#include "app/DataForm.h"
#include "app/MainUnit.h"
#include "controls/ImageButton.h"
#include "input/BaseDataUnit.h"
#include "model/DataUnit.h"
#include "results/PrintOutUnit.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

void EnterPoints(TInputData& D) {
    D.SetLayer(1);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            TGridData g;
            g.X = x;
            g.Y = y;
            g.FH = 10.0;
            g.GH = 9.0 + 0.5 * x;
            D.SetMeshData(g);
        }
}

} // namespace

TEST(ReportNavigation, PrintButtonsOpenTheListingAndTheReports) {
    TMainForm frame;
    TBaseInputForm baseForm{&frame};
    MainForm = &frame;
    BaseInputForm = &baseForm;
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    TInputForm* nav = frame.InputForm();
    ASSERT_NE(nav, nullptr);
    EnterPoints(nav->InputData());
    ASSERT_TRUE(nav->InputData().Calcrate());
    PreparedPreview();

    int listingPages = 0;
    QString listingFirst;
    WhenModal([&](QWidget* W) {
        auto* preview = static_cast<TPreViewForm*>(W);
        listingPages = preview->PageNum();
        listingFirst = GrabPage(*preview, 0).Has(QStringLiteral("計画高"))
                           ? QStringLiteral("listing")
                           : QString();
        preview->ExitAction->trigger();
    });
    QTest::mouseClick(nav->InputPrintButton, Qt::LeftButton);
    EXPECT_EQ(listingPages, 1);
    EXPECT_EQ(listingFirst, QStringLiteral("listing"));

    int reportPages = 0;
    bool summaryFirst = false;
    WhenModal([&](QWidget* W) {
        auto* form = qobject_cast<TPrintoutForm*>(W);
        ASSERT_NE(form, nullptr);
        // The report dialog stays modal while the preview composes its pages.
        WhenModal(
            [&](QWidget* P) {
                auto* preview = static_cast<TPreViewForm*>(P);
                reportPages = preview->PageNum();
                summaryFirst = GrabPage(*preview, 0).Has(QStringLiteral(" 盛　土　量"));
                preview->ExitAction->trigger();
            },
            [](QWidget* M) { return qobject_cast<TPreViewForm*>(M) != nullptr; });
        QTest::mouseClick(form->PrintOutBtn, Qt::LeftButton);
        // Back from the preview the dialog is still open.
        EXPECT_TRUE(form->isVisible());
        QTest::mouseClick(form->CloseBtn, Qt::LeftButton);
    });
    QTest::mouseClick(nav->CalcPrintButton, Qt::LeftButton);
    EXPECT_EQ(reportPages, 2);
    EXPECT_TRUE(summaryFirst);
    MainForm = nullptr;
}
