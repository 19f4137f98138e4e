#include "CliReport.h"

#include "CliOutput.h"

#include "model/DataUnit.h"
#include "platform/Failure.h"
#include "platform/FileUtil.h"
#include "platform/NumberFormat.h"
#include "preview/OutputDevice.h"
#include "preview/PageDocument.h"
#include "reports/InputListing.h"
#include "reports/PrintOutUnitReports.h"

#include <QGuiApplication>
#include <QPageLayout>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

namespace {

int ReportUsage() {
    std::fprintf(
        stderr,
        "使い方: doryou-cli report FILE.msh [--summary] [--list] [--listing] -o OUT.pdf\n"
        "                          [--paper A4] [--landscape]\n"
        "  report  土量集計表 (--summary)、土量計算一覧表 (--list)、入力データ一覧\n"
        "          (--listing) を PDF に書き出します。何も選ばなければ全部です。\n"
        "          --paper は用紙 (A4, A3, B5, JisB5, Letter など)、--landscape は横向きです。\n"
        "          FILE.msh に - を指定すると標準入力から読み、-o - で標準出力へ書き出します。\n");
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
    bool summary = false, list = false, listing = false, landscape = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--summary")
            summary = true;
        else if (a == "--list")
            list = true;
        else if (a == "--listing")
            listing = true;
        else if (a == "--landscape")
            landscape = true;
        else if ((a == "-o" || a == "--paper") && i + 1 < args.size())
            (a == "-o" ? out : paper) = args[++i];
        else if (file.empty() && (a == "-" || a.rfind("-", 0) != 0))
            file = a;
        else
            return ReportUsage();
    }
    if (file.empty() || out.empty())
        return ReportUsage();
    if (!summary && !list && !listing)
        summary = list = listing = true;
    QPageSize pageSize(QPageSize::A4);
    if (!paper.empty() && !FindPageSize(paper, pageSize))
        throw EFailure(StrFormat("用紙「%s」はありません。", paper.c_str()));

    TInputData data;
    LoadProject(data, file);
    if (!data.GetPhase(2) && (summary || list))
        data.Calcrate();
    // The target is checked before the long work. The PDF streams into the atomic writer (or
    // standard output), which replaces the file only when every page was written.
    const std::unique_ptr<TOutputSink> output = OpenOutput(out);

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
    TOutputDevice pdf(*output);
    {
        TPdfSheets sheets(pdf);
        auto compose = [&](TPageDocument::TPaperChange Build) {
            document.SetOnPaperChange(std::move(Build));
            document.Compose();
            sheets.Add(document);
        };
        if (summary || list)
            compose([&](TPageDocument& D) { BuildReports(D, data, summary, list); });
        if (listing)
            compose([&](TPageDocument& D) { BuildListing(D, data); });
        document.SetOnPaperChange(nullptr);
        // A report without pages has written nothing: the PDF begins with the first sheet.
        sheets.Finish();
    }
    output->Commit();
    return 0;
}
