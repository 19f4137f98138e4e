// Pages streamed to a PDF a batch at a time come out as the pages of a document composed whole.

#include "model/DataUnit.h"
#include "platform/Failure.h"
#include "preview/PageDocument.h"
#include "reports/InputListing.h"
#include "reports/PrintOutUnitReports.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace {

// A calculated site of Side x Side points with three layers and topsoil.
void BuildSite(TInputData& D, int Side) {
    D.SetLayer(3);
    D.SetHyoudo(true);
    D.SetTitle("stream");
    for (int y = 0; y < Side; ++y) {
        for (int x = 0; x < Side; ++x) {
            TGridData g;
            g.X = x;
            g.Y = y;
            g.FH = 10.0 + 0.01 * y;
            g.GH = 9.0 + 0.25 * x;
            g.LAYER[0] = 0.3;
            g.LAYER[1] = 1.0;
            g.LAYER[2] = 2.0;
            D.SetMeshData(g);
        }
    }
    ASSERT_TRUE(D.Calcrate());
}

void Prepare(TPageDocument& D) {
    D.SetPaper(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    D.Header = {QStringLiteral("&F"), QString(), QStringLiteral("頁 &P")};
    D.Footer = {QString(), QStringLiteral("&P / &N"), QString()};
    D.SetFileName(QStringLiteral("stream.msh"));
}

// The PDF without its creation time, the one thing that may differ between two writings.
QByteArray Timeless(const QByteArray& Pdf) {
    const qsizetype at = Pdf.indexOf("/CreationDate (");
    if (at < 0)
        return Pdf;
    return Pdf.left(at) + Pdf.mid(Pdf.indexOf(')', at) + 1);
}

} // namespace

TEST(ReportStream, StreamedPagesEqualTheWholeDocumentsPages) {
    TInputData data;
    BuildSite(data, 13);
    const TPageDocument::TPaperChange routines[] = {
        [&](TPageDocument& P) { BuildReports(P, data, true, true); },
        [&](TPageDocument& P) { BuildListing(P, data); },
    };
    for (const auto& routine : routines) {
        TPageDocument whole;
        Prepare(whole);
        whole.SetOnPaperChange(routine);
        whole.Compose();
        const std::vector<std::string> expected = whole.PageRecordings();
        ASSERT_GE(expected.size(), 5u); // several batches of two, the last one short
        QBuffer wholePdf;
        wholePdf.open(QIODevice::WriteOnly);
        {
            TPdfSheets sheets(wholePdf);
            sheets.Add(whole);
            sheets.Finish();
        }

        TPageDocument streamed;
        Prepare(streamed);
        streamed.SetOnPaperChange(routine);
        std::vector<std::string> pages;
        std::vector<int> batches;
        QBuffer streamedPdf;
        streamedPdf.open(QIODevice::WriteOnly);
        {
            TPdfSheets sheets(streamedPdf);
            streamed.ComposeStreamed(
                [&](const TPageDocument& D, int First, int Count) {
                    EXPECT_EQ(First, static_cast<int>(pages.size()));
                    EXPECT_EQ(D.PageNum(), First + Count);
                    for (const std::string& p : D.PageRecordings())
                        pages.push_back(p);
                    batches.push_back(Count);
                    sheets.Add(D, First, Count);
                },
                2);
            sheets.Finish();
        }
        EXPECT_EQ(streamed.PageNum(), 0); // nothing is held afterwards
        EXPECT_EQ(batches.front(), 2);
        ASSERT_EQ(pages.size(), expected.size());
        for (size_t i = 0; i < pages.size(); ++i)
            EXPECT_EQ(pages[i], expected[i]) << "page " << i + 1;
        EXPECT_EQ(Timeless(streamedPdf.data()), Timeless(wholePdf.data()));
    }
}

TEST(ReportStream, RoutineThatFailsLeavesAnOrdinaryDocument) {
    TPageDocument document;
    Prepare(document);
    int runs = 0;
    document.SetOnPaperChange([&](TPageDocument& P) {
        P.AllPageClear();
        for (int i = 0; i < 5; ++i)
            P.NewPage();
        if (++runs == 2)
            throw EFailure("中断");
        P.ViewEnd();
    });
    int written = 0;
    EXPECT_THROW(document.ComposeStreamed(
                     [&](const TPageDocument&, int, int Count) { written += Count; }, 2),
                 EFailure);
    EXPECT_EQ(written, 4); // the batches before the failure
    EXPECT_EQ(document.PageNum(), 0);
    // Composed whole again, the pages are held and numbered by their own count.
    document.Compose();
    EXPECT_EQ(document.PageNum(), 5);
    EXPECT_EQ(document.HeaderFooterTexts(5)[4], QStringLiteral("5 / 5"));
}
