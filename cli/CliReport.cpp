#include "CliReport.h"

#include "analysis/MethodComparison.h"
#include "model/DataUnit.h"
#include "platform/Failure.h"
#include "platform/FileUtil.h"
#include "platform/NumberFormat.h"
#include "preview/PageDocument.h"
#include "reports/InputListing.h"
#include "reports/PrintOutUnitReports.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPageLayout>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>

namespace {

int ReportUsage() {
    std::fprintf(
        stderr,
        "使い方: doryou-cli report FILE.msh [--summary] [--list] [--listing] [--compare]\n"
        "                          -o OUT.pdf [--paper A4] [--landscape]\n"
        "  report  土量集計表 (--summary)、土量計算一覧表 (--list)、入力データ一覧\n"
        "          (--listing)、計算方法の比較 (--compare) を PDF に書き出します。\n"
        "          何も選ばなければ比較以外の全部です。\n"
        "          --paper は用紙 (A4, A3, B5, JisB5, Letter など)、--landscape は横向きです。\n");
    return 2;
}

bool FindPageSize(const std::string& Name, QPageSize& Size) {
    const QString wanted = QString::fromStdString(Name);
    for (int id = 0; id <= int(QPageSize::LastPageSize); ++id) {
        const auto pid = static_cast<QPageSize::PageSizeId>(id);
        if (QPageSize::key(pid).compare(wanted, Qt::CaseInsensitive) == 0) {
            Size = QPageSize(pid);
            return true;
        }
    }
    return false;
}

} // namespace

int Report(int argc, char** argv, const std::vector<std::string>& args) {
    std::string file, out, paper;
    bool summary = false, list = false, listing = false, compare = false, landscape = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--summary")
            summary = true;
        else if (a == "--list")
            list = true;
        else if (a == "--listing")
            listing = true;
        else if (a == "--compare")
            compare = true;
        else if (a == "--landscape")
            landscape = true;
        else if ((a == "-o" || a == "--paper") && i + 1 < args.size())
            (a == "-o" ? out : paper) = args[++i];
        else if (file.empty() && a.rfind("-", 0) != 0)
            file = a;
        else
            return ReportUsage();
    }
    if (file.empty() || out.empty())
        return ReportUsage();
    if (!summary && !list && !listing && !compare)
        summary = list = listing = true;
    QPageSize pageSize(QPageSize::A4);
    if (!paper.empty() && !FindPageSize(paper, pageSize))
        throw EFailure(StrFormat("用紙「%s」はありません。", paper.c_str()));

    TInputData data;
    data.FileLoad(file);
    if (!data.GetPhase(2) && (summary || list))
        data.Calcrate();

    // Pages are composed and painted without a window: the offscreen platform serves fonts.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("doryou"));
    SetupPageFonts();

    TPageDocument document;
    document.LoadSettings(); // the page setup of the windows' reports
    document.SetPaper(QPageLayout(pageSize,
                                  landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                  QMarginsF(0, 0, 0, 0)));
    document.SetFileName(QString::fromStdString(file)); // for "&F" and "&f" in headers
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        TPdfSheets sheets(pdf);
        auto compose = [&](TPageDocument::TPaperChange Build) {
            document.SetOnPaperChange(std::move(Build));
            document.Compose();
            sheets.Add(document);
        };
        std::optional<TComparisonTable> comparison;
        if (compare)
            comparison = BuildComparisonTable(data, CompareMethods(data));
        if (summary || list || compare)
            compose([&](TPageDocument& D) {
                BuildReports(D, data, summary, list, comparison ? &*comparison : nullptr);
            });
        if (listing)
            compose([&](TPageDocument& D) { BuildListing(D, data); });
        document.SetOnPaperChange(nullptr);
        sheets.Finish();
    }
    // Nothing is written unless every page was made.
    WriteFileAtomic(out, std::string_view(pdf.data().constData(), pdf.data().size()));
    return 0;
}
