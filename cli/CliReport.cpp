#include "CliReport.h"

#include "CliOutput.h"
#include "analysis/EarthAllocation.h"
#include "analysis/MethodComparison.h"

#include "model/DataUnit.h"
#include "platform/Failure.h"
#include "platform/FileUtil.h"
#include "platform/NumberFormat.h"
#include "preview/OutputDevice.h"
#include "preview/PageDocument.h"
#include "reports/AllocationSheet.h"
#include "reports/InputListing.h"
#include "reports/PrintOutUnitReports.h"
#include "reports/SiteMapPainter.h"

#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPainter>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace {

int ReportUsage() {
    std::fprintf(
        stderr,
        "使い方: doryou-cli report FILE.msh [--summary] [--list] [--listing] [--map]\n"
        "                          [--compare] [--allocation] -o OUT.pdf [--paper A4]\n"
        "                          [--landscape]\n"
        "  report  土量集計表 (--summary)、土量計算一覧表 (--list)、入力データ一覧\n"
        "          (--listing)、切盛図 (--map)、計算方法の比較 (--compare)、配分表と配分図\n"
        "          (--allocation) を PDF に書き出します。何も選ばなければ切盛図、比較と\n"
        "          配分のほかの全部です。配分はプロジェクトに保存された土取場・土捨場と\n"
        "          条件で求めます。\n"
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

// Fonts and painting without a window: the offscreen platform.
void StartGui(int& argc, char** argv, std::unique_ptr<QGuiApplication>& App) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a session (a script, a cron job) Qt warns on every run that it picks a runtime
    // folder: pick the same private one ourselves, quietly, when it is safely ours.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const std::string dir = "/tmp/runtime-" + std::to_string(::getuid());
        struct stat st {};
        if ((::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST) &&
            ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
            (st.st_mode & 0777) == 0700)
            qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(dir));
    }
    App = std::make_unique<QGuiApplication>(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("doryou"));
    SetupPageFonts();
}

int MapUsage() {
    std::fprintf(stderr,
                 "使い方: doryou-cli map FILE.msh -o OUT.png|OUT.svg|OUT.pdf\n"
                 "                       [--layer height|volume] [--size W,H]\n"
                 "                       [--format png|svg|pdf] [--contours auto|INTERVAL]\n"
                 "  map     切盛図を画像 (PNG, SVG) または PDF に書き出します。\n"
                 "          --layer height は切盛高、volume は補正土量 (計算後) です。\n"
                 "          --size は PNG と SVG の大きさ (画素、既定 1600,1200) です。\n"
                 "          --contours は値を付けた等高線の間隔 (m または m³) で、auto は\n"
                 "          その図の標準の間隔です。細かすぎる間隔は描ける最も細かい\n"
                 "          間隔に替え、そのことを標準エラーに出します。\n"
                 "          --format は形式で、省略すると OUT の拡張子から決めます\n"
                 "          (-o - で標準出力へ書き出すときは必ず指定します)。\n");
    return 2;
}

bool EndsWith(const std::string& S, const char* Suffix) {
    const size_t n = std::strlen(Suffix);
    if (S.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(S[S.size() - n + i])) != Suffix[i])
            return false;
    return true;
}

} // namespace

int Map(int argc, char** argv, const std::vector<std::string>& args) {
    std::string file, out, layer = "height", format, contours;
    int width = 1600, height = 1200;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "-o" || a == "--layer" || a == "--size" || a == "--format" ||
             a == "--contours") &&
            i + 1 < args.size()) {
            const std::string& v = args[++i];
            if (a == "-o") {
                out = v;
            } else if (a == "--contours") {
                contours = v;
            } else if (a == "--format") {
                format = "." + v;
            } else if (a == "--layer") {
                layer = v;
            } else {
                char tail = 0;
                if (std::sscanf(v.c_str(), "%d,%d%c", &width, &height, &tail) != 2 || width < 100 ||
                    height < 100 || width > 20000 || height > 20000)
                    throw EFailure(StrFormat(
                        "大きさ「%s」は 100〜20000 の幅,高さで指定してください。", v.c_str()));
            }
        } else if (file.empty() && (a == "-" || a.rfind("-", 0) != 0)) {
            file = a;
        } else {
            return MapUsage();
        }
    }
    if (file.empty() || out.empty() || (layer != "height" && layer != "volume"))
        return MapUsage();
    if (!format.empty() && format != ".png" && format != ".svg" && format != ".pdf")
        throw EFailure("形式は png、svg、pdf のどれかにしてください。");
    if (format.empty() && out == "-")
        throw EFailure("標準出力 (-o -) へ書き出すときは --format png|svg|pdf で形式を指定して"
                       "ください。");
    const std::string& kind = format.empty() ? out : format;
    const bool png = EndsWith(kind, ".png"), svg = EndsWith(kind, ".svg"),
               pdf = EndsWith(kind, ".pdf");
    if (!png && !svg && !pdf)
        throw EFailure("出力ファイルの拡張子は .png、.svg、.pdf のどれかにしてください。");
    // A full stop whatever the user's format, as in the other options.
    double interval = 0;
    if (!contours.empty() && contours != "auto") {
        const auto r =
            std::from_chars(contours.data(), contours.data() + contours.size(), interval);
        if (r.ec != std::errc() || r.ptr != contours.data() + contours.size() || !(interval > 0) ||
            !std::isfinite(interval))
            throw EFailure(
                StrFormat("等高線の間隔「%s」は 0 より大きい数か auto で指定してください。",
                          contours.c_str()));
    }

    RefuseInputAsOutput(out, {file});
    TInputData data;
    LoadProject(data, file);
    const TMapLayer which = layer == "volume" ? TMapLayer::Volume : TMapLayer::Height;
    if (which == TMapLayer::Volume && !data.GetPhase(2))
        data.Calcrate();
    std::unique_ptr<QGuiApplication> app;
    StartGui(argc, argv, app);
    const TCutFillMap map(data, which);
    const TSiteMapPainter painter(map);
    TSiteMapStyle style;
    style.Title = QString::fromStdString(data.Title()) + QStringLiteral("　切盛図");
    if (!contours.empty()) {
        style.ContourInterval = interval > 0 ? interval : map.DefaultInterval();
        const TContourPlan& plan = painter.ContourPlan(style.ContourInterval);
        if (plan.Warning)
            std::fprintf(stderr, "%s\n", plan.Message.c_str());
    }

    const QByteArray bytes = MapFileBytes(painter, style,
                                          png   ? TMapFileKind::Png
                                          : svg ? TMapFileKind::Svg
                                                : TMapFileKind::Pdf,
                                          QSize(width, height));
    const std::unique_ptr<TOutputSink> output = OpenOutput(out);
    output->Write(bytes.constData(), static_cast<size_t>(bytes.size()));
    output->Commit();
    return 0;
}

int Report(int argc, char** argv, const std::vector<std::string>& args) {
    std::string file, out, paper;
    bool summary = false, list = false, listing = false, map = false, compare = false,
         allocation = false, landscape = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--summary")
            summary = true;
        else if (a == "--list")
            list = true;
        else if (a == "--listing")
            listing = true;
        else if (a == "--map")
            map = true;
        else if (a == "--compare")
            compare = true;
        else if (a == "--allocation")
            allocation = true;
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
    if (!summary && !list && !listing && !map && !compare && !allocation)
        summary = list = listing = true;
    QPageSize pageSize(QPageSize::A4);
    if (!paper.empty() && !FindPageSize(paper, pageSize))
        throw EFailure(StrFormat("用紙「%s」はありません。", paper.c_str()));

    RefuseInputAsOutput(out, {file});
    TInputData data;
    LoadProject(data, file);
    if (!data.GetPhase(2) && (summary || list || allocation))
        data.Calcrate();
    // The plan of the places and options stored with the project, as the window would solve it;
    // a plan that cannot be made stops the report with its message.
    TAllocation plan;
    if (allocation) {
        plan = AllocateStored(data);
        if (!plan.Solved)
            throw EFailure(plan.Message);
    }
    if (summary || list)
        PrintSaturationWarning(stderr, data);
    // The target is checked before the long work. The PDF streams into the atomic writer (or
    // standard output), which replaces the file only when every page was written.
    const std::unique_ptr<TOutputSink> output = OpenOutput(out);

    std::unique_ptr<QGuiApplication> app;
    StartGui(argc, argv, app);

    TPageDocument document;
    document.LoadSettings(); // the page setup of the windows' reports
    document.SetPaper(QPageLayout(pageSize,
                                  landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                  QMarginsF(0, 0, 0, 0)));
    document.SetFileName(QString::fromStdString(file)); // for "&F" and "&f" in headers
    TOutputDevice pdf(*output);
    {
        TPdfSheets sheets(pdf);
        // The pages go to the PDF a batch at a time: a list of a million meshes is some
        // 26,000 pages, far more than is worth holding.
        const TPageDocument::TPageSink write = [&](const TPageDocument& D, int First, int Count) {
            sheets.Add(D, First, Count);
        };
        auto compose = [&](TPageDocument::TPaperChange Build) {
            document.SetOnPaperChange(std::move(Build));
            document.ComposeStreamed(write, 200);
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
        if (map)
            compose([&](TPageDocument& D) {
                D.AllPageClear();
                BuildMapPage(D, data, TMapLayer::Height);
            });
        if (allocation)
            compose([&](TPageDocument& D) { BuildAllocationReports(D, data, plan); });
        document.SetOnPaperChange(nullptr);
        // A report without pages has written nothing: the PDF begins with the first sheet.
        sheets.Finish();
    }
    output->Commit();
    return 0;
}
