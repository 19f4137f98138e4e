#include "CliReport.h"

#include "CliOutput.h"

#include "app/AppSetup.h"
#include "input/InputListing.h"
#include "model/DataUnit.h"
#include "platform/Failure.h"
#include "platform/NumberFormat.h"
#include "preview/PREVIEWUNIT02.h"
#include "preview/PreviewPrinter.h"
#include "results/PrintOutUnitReports.h"

#include <QApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

int ReportUsage() {
    std::fprintf(
        stderr,
        "使い方: doryou-cli report FILE.msh [--summary] [--list] [--listing] -o OUT.pdf\n"
        "                          [--paper A4] [--landscape]\n"
        "  report  土量集計表 (--summary)、土量計算一覧表 (--list)、入力データ一覧\n"
        "          (--listing) を PDF に書き出します。何も選ばなければ全部です。\n"
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

// Sheets of several preview documents in one PDF file.
class TPdfSheets {
public:
    explicit TPdfSheets(const QString& FileName) : FWriter(FileName), FFileName(FileName) {
        const QPageLayout layout = TPreviewPrinter::Current().Printer().pageLayout();
        FWriter.setResolution(1200);
        FWriter.setCreator(QStringLiteral("doryou"));
        FWriter.setPageLayout(
            QPageLayout(layout.pageSize(), layout.orientation(), QMarginsF(0, 0, 0, 0)));
    }
    void Add(const TPreViewForm& Preview) {
        if (!FPainter.isActive() && !FPainter.begin(&FWriter))
            throw EFailure(
                StrFormat("ファイル「%s」を作成できません。", FFileName.toUtf8().constData()));
        for (int i = 0; i < Preview.PageNum(); ++i) {
            if (FPages++ > 0)
                FWriter.newPage();
            FPainter.save();
            const double s = FWriter.resolution() / 254.0;
            FPainter.scale(s, s);
            Preview.DrawSheet(FPainter, i);
            FPainter.restore();
        }
    }
    void Finish() {
        if (FPages == 0)
            throw EFailure("表示するページがありません。");
        if (!FPainter.end())
            throw EFailure(
                StrFormat("ファイル「%s」を書き込めません。", FFileName.toUtf8().constData()));
    }

private:
    QPdfWriter FWriter;
    QPainter FPainter;
    QString FFileName;
    int FPages = 0;
};

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
        else if (file.empty() && a.rfind("-", 0) != 0)
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
    data.FileLoad(file);
    if (!data.GetPhase(2) && (summary || list))
        data.Calcrate();
    if (summary || list)
        PrintSaturationWarning(stderr, data);

    // Without a display the pages are composed on the offscreen platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("doryou"));
    // The same fonts as the windows; the number format stays the one the command line read.
    const TFormatSettings formats = FormatSettings();
    SetupApplication();
    FormatSettings() = formats;

    TPreviewPrinter& printer = TPreviewPrinter::Current();
    printer.UseBuiltIn();
    printer.SetPageSize(pageSize);
    printer.SetLandscape(landscape);

    TPreViewForm& preview = SharedPreviewForm();
    preview.SetFileName(QString::fromStdString(file)); // for "&F" and "&f" in headers
    TPdfSheets sheets(QString::fromStdString(out));
    auto compose = [&](std::function<void(TPreViewForm&)> Build) {
        preview.SetOnPaperChange(Build);
        preview.RebuildPages();
        sheets.Add(preview);
    };
    if (summary || list)
        compose([&](TPreViewForm& P) { BuildReports(P, data, summary, list); });
    if (listing)
        compose([&](TPreViewForm& P) { BuildListing(P, data); });
    preview.SetOnPaperChange(nullptr);
    sheets.Finish();
    return 0;
}
