// doryou-cli: the project model, the calculation and the reports without a window, for scripts
// and for checking every number the windows show.

#include "CliImport.h"
#include "CliOutput.h"
#include "analysis/EarthAllocation.h"
#include "analysis/EarthAllocationTable.h"
#include "analysis/MethodComparison.h"
#include "analysis/PlanBalance.h"
#include "analysis/SiteCheck.h"
#ifdef DORYOU_CLI_REPORT
#include "CliReport.h"
#endif
#include "model/CalcDetail.h"
#include "model/CalcSummary.h"
#include "model/DataUnit.h"
#include "model/MeshCsv.h"
#include "model/RateCalc.h"
#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/FileUtil.h"
#include "platform/NumberFormat.h"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The usage text; on standard error after a wrong call, on standard output when asked for.
int Usage(std::FILE* out = stderr) {
    std::fprintf(out,
                 "使い方: doryou-cli calc FILE.msh [--json]\n"
                 "  calc    プロジェクトを読み込み、その設定で計算して集計表を出力します。\n"
                 "          --json を付けると全計算メッシュと合計を JSON で出力します。\n"
                 "       doryou-cli export-mesh|export-summary|export-detail FILE.msh OUT.csv\n"
                 "  export-mesh     メッシュデータを CSV に書き出します。\n"
                 "  export-summary  土量集計表を CSV に書き出します。\n"
                 "  export-detail   土量一覧表（計算の詳細）を CSV に書き出します。\n"
                 "       doryou-cli check FILE.msh [--json]\n"
                 "  check   入力データを点検し、指摘を出力します。指摘がなければ 0、\n"
                 "          あれば 3、ファイルを読めなければ 1 で終わります。\n"
                 "       doryou-cli compare FILE.msh [--json]\n"
                 "  compare  ３つの計算方法で計算し、この工事の計算方法との差を出力します。\n"
                 "       doryou-cli balance FILE.msh [--surplus M3] [--json] [-o OUT.msh]\n"
                 "  balance  切土と盛土が釣り合う（残土量が M3 になる）計画高の調整量を求めます。\n"
                 "           -o を付けると計画高を調整したプロジェクトを書き出します。\n"
                 "       doryou-cli import [BASE.msh] --ground FILE [--plan FILE] [--surface NAME]\n"
                 "          --origin N,E [--angle DEG] [--span M] [--order north-east|east-north]\n"
                 "          [--max-edge M] [--boundary FILE]... -o OUT.msh\n"
                 "  import   測量データ（点ファイル、SIMA、LandXML）の地盤面と計画面をメッシュに\n"
                 "           取り込み、プロジェクトを書き出します。BASE.msh がなければ新しい\n"
                 "           プロジェクトに取り込みます。\n"
                 "       doryou-cli allocate FILE.msh [--block K] [--borrow X,Y,CAP[,EXTRA]]...\n"
                 "          [--spoil X,Y,CAP[,EXTRA]]... [--manhattan|--straight] [--json]\n"
                 "          [-o OUT.csv]\n"
                 "  allocate  土量×距離が最小になる土量配分を求めます。X,Y はメッシュ座標 (m)、\n"
                 "            CAP は容量 (m³、inf で無制限)、EXTRA は場外の運搬距離 (m) です。\n"
                 "            指定のない項目はプロジェクトに保存された配分の設定を使います\n"
                 "            （--borrow か --spoil があれば保存された場所は使いません）。\n"
                 "            -o を付けると配分表を CSV に書き出します。\n");
    std::fprintf(out, "       doryou-cli rates FILE.msh [--layers N[,N]...] [--json] [-o OUT.msh]\n"
                      "  rates    切土と盛土が釣り合う変化率と、その変化率で計算した補正土量を\n"
                      "           求めます（変化率シミュレータと同じ値）。--layers は切土補正で\n"
                      "           変化率を変える層の番号（既定は全層）。-o を付けると変化率を\n"
                      "           適用して再計算したプロジェクトを書き出します。\n");
#ifdef DORYOU_CLI_REPORT
    std::fprintf(out,
                 "       doryou-cli report FILE.msh [--summary] [--list] [--listing] [--compare]\n"
                 "          [--allocation] -o OUT.pdf [--paper A4] [--landscape]\n"
                 "  report  計算書、入力データ一覧、計算方法の比較と配分表・配分図を PDF に\n"
                 "          書き出します。\n"
                 "       doryou-cli map FILE.msh -o OUT.png|OUT.svg|OUT.pdf\n"
                 "          [--layer height|volume] [--size W,H] [--format png|svg|pdf]\n"
                 "          [--contours auto|INTERVAL]\n"
                 "  map     切盛図を画像または PDF に書き出します（等高線は値付き）。\n");
#endif
    std::fprintf(out, "  FILE.msh に - を指定すると標準入力から、OUT に - を指定すると標準出力へ\n"
                      "  書き出します。\n"
                      "       doryou-cli --help\n"
                      "  -h, --help  この使い方を表示します。\n");
    return 2;
}

// Writes a UTF-8 text as code page 932 to a file, or to standard output for "-".
void WriteCp932Output(const std::string& path, const std::string& text) {
    const std::string bytes = Utf8ToCp932(text);
    const std::unique_ptr<TOutputSink> out = OpenOutput(path);
    out->Write(bytes.data(), bytes.size());
    out->Commit();
}

int Export(const std::string& command, const std::vector<std::string>& args) {
    if (args.size() != 2)
        return Usage();
    RefuseInputAsOutput(args[1], {args[0]});
    TInputData data;
    std::string text;
    if (command == "export-mesh") {
        LoadProject(data, args[0]);
        text = MeshCsvText(data);
    } else if (command == "export-summary") {
        LoadCalculated(data, args[0]);
        text = CalcSummaryCsvText(data);
    } else {
        // A line a mesh: written as it is made, never held whole.
        LoadCalculated(data, args[0]);
        const std::unique_ptr<TOutputSink> out = OpenOutput(args[1]);
        DetailCsvPieces(data, [&out](const std::string& piece) {
            const std::string bytes = Utf8ToCp932(piece);
            if (!out->Write(bytes.data(), bytes.size()))
                out->Commit(); // stops here with the failure's message
        });
        out->Commit();
        return 0;
    }
    WriteCp932Output(args[1], text);
    return 0;
}

int Calc(const std::vector<std::string>& args) {
    std::string file;
    bool json = false;
    for (const std::string& a : args) {
        if (a == "--json")
            json = true;
        else if (file.empty() && (a == "-" || a.rfind("-", 0) != 0))
            file = a;
        else
            return Usage();
    }
    if (file.empty())
        return Usage();
    TInputData data;
    LoadCalculated(data, file);
    if (json)
        PrintCalcJson(stdout, data);
    else
        PrintSummaryText(stdout, data);
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        throw EFailure(
            StrFormat("標準出力に書き込めませんでした。%s", SystemErrorText(errno).c_str()));
    return 0;
}

// Exit code 3 tells scripts that the project has findings.
int Check(const std::vector<std::string>& args) {
    std::string file;
    bool json = false;
    for (const std::string& a : args) {
        if (a == "--json")
            json = true;
        else if (file.empty() && (a == "-" || a.rfind("-", 0) != 0))
            file = a;
        else
            return Usage();
    }
    if (file.empty())
        return Usage();
    TInputData data;
    LoadProject(data, file);
    const std::vector<TCheckFinding> findings = TSiteCheck().Run(data);
    if (json)
        PrintFindingsJson(stdout, findings);
    else
        PrintFindingsText(stdout, findings);
    if (std::fflush(stdout) != 0)
        return 1;
    return findings.empty() ? 0 : 3;
}

// Standard output flushed, or the failure that ends the command.
int Flushed() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        throw EFailure(
            StrFormat("標準出力に書き込めませんでした。%s", SystemErrorText(errno).c_str()));
    return 0;
}

int Compare(const std::vector<std::string>& args) {
    std::string file;
    bool json = false;
    for (const std::string& a : args) {
        if (a == "--json")
            json = true;
        else if (file.empty() && (a == "-" || a.rfind("-", 0) != 0))
            file = a;
        else
            return Usage();
    }
    if (file.empty())
        return Usage();
    TInputData data;
    LoadProject(data, file);
    const TMethodComparison c = CompareMethods(data);
    if (json)
        PrintComparisonJson(stdout, data, c);
    else
        PrintComparisonText(stdout, data, c);
    return Flushed();
}

// A whole number of m³, with an optional sign.
// Far beyond any site, and every whole number up to it is exact in the double sums and texts.
constexpr int64_t kMostVolume = 1'000'000'000'000'000;

bool ParseVolume(const std::string& Text, int64_t& Value) {
    const char* first = Text.data() + (!Text.empty() && Text[0] == '+' ? 1 : 0);
    const char* last = Text.data() + Text.size();
    if (first == last || *first == '+')
        return false;
    int64_t v = 0;
    const auto r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last || v < -kMostVolume || v > kMostVolume)
        return false;
    Value = v;
    return true;
}

int Balance(const std::vector<std::string>& args) {
    std::string file, out;
    bool json = false;
    int64_t surplus = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--surplus" && i + 1 < args.size()) {
            if (!ParseVolume(args[++i], surplus)) {
                std::fprintf(stderr,
                             "目標残土量「%s」は m³ の整数（-%s 以上 %s 以下）で指定してください。\n",
                             ShownFileName(args[i]).c_str(), FormatVolume(kMostVolume).c_str(),
                             FormatVolume(kMostVolume).c_str());
                return 2;
            }
        } else if (a == "-o" && i + 1 < args.size()) {
            out = args[++i];
        } else if (file.empty() && (a == "-" || a.rfind("-", 0) != 0)) {
            file = a;
        } else {
            return Usage();
        }
    }
    if (file.empty())
        return Usage();
    TInputData data;
    LoadProject(data, file);
    const TPlanBalance b = FindPlanBalance(data, surplus);
    // With the project going to standard output, the figures go to standard error.
    std::FILE* report = out == "-" ? stderr : stdout;
    if (json)
        PrintBalanceJson(report, data, b);
    else if (b.Found)
        PrintBalanceText(report, data, b);
    if (!b.Found) {
        std::fprintf(stderr, "%s\n", b.Message.c_str());
        return 1;
    }
    if (!out.empty()) {
        // The project as "適用" leaves it: shifted, then calculated.
        ShiftPlannedHeights(data, b.Shift());
        data.Calcrate();
        const std::string bytes = data.SaveToBytes();
        const std::unique_ptr<TOutputSink> sink = OpenOutput(out);
        sink->Write(bytes.data(), bytes.size());
        sink->Commit();
    }
    return Flushed();
}

// "1,3": layer numbers of the project, each once at most; false for anything else.
bool ParseLayers(const std::string& Text, int Layers, TLayerSelection& Selected) {
    Selected = {};
    size_t start = 0;
    for (;;) {
        const size_t comma = Text.find(',', start);
        const std::string field = Text.substr(start, comma - start);
        if (field.size() != 1 || field[0] < '1' || field[0] - '0' > Layers)
            return false;
        Selected[static_cast<size_t>(field[0] - '1')] = true;
        if (comma == std::string::npos)
            return true;
        start = comma + 1;
    }
}

// The change-rate simulator: the same figures, from the same calculation, as its window.
int Rates(const std::vector<std::string>& args) {
    std::string file, out, layers;
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json")
            json = true;
        else if (a == "--layers" && i + 1 < args.size())
            layers = args[++i];
        else if (a == "-o" && i + 1 < args.size())
            out = args[++i];
        else if (file.empty() && (a == "-" || a.rfind("-", 0) != 0))
            file = a;
        else
            return Usage();
    }
    if (file.empty())
        return Usage();
    if (!out.empty())
        RefuseInputAsOutput(out, {file});
    TInputData data;
    LoadCalculated(data, file);
    const TCalcTotals sum = data.GetCalcTotals();
    TRateSimulation sim = StartRateSimulation(data, sum);
    if (!layers.empty()) {
        TLayerSelection selected;
        if (!sim.CutCorrection) {
            std::fprintf(stderr, "盛土補正のプロジェクトでは --layers は使えません。\n");
            return 2;
        }
        if (!ParseLayers(layers, data.Layer(), selected)) {
            std::fprintf(
                stderr,
                "層の番号「%s」は 1 から %d までの整数をコンマで区切って指定してください。\n",
                ShownFileName(layers).c_str(), data.Layer());
            return 2;
        }
        sim.Amended = RecalcCutAmendment(data, sum, selected, sim);
    }
    // With the project going to standard output, the figures go to standard error.
    std::FILE* report = out == "-" ? stderr : stdout;
    if (json)
        PrintRatesJson(report, data, sim);
    else
        PrintRatesText(report, data, sim);
    if (!sim.Amended) {
        std::fprintf(stderr,
                     "変化率を変える層に切土がないか、ほかの層の切土だけで盛土を超えるため、"
                     "釣り合う変化率を求められません。\n");
        return 1;
    }
    if (!out.empty()) {
        // The project as "適用後再計算" leaves it.
        ApplyRateSimulationAndRecalc(data, sim);
        const std::string bytes = data.SaveToBytes();
        const std::unique_ptr<TOutputSink> sink = OpenOutput(out);
        sink->Write(bytes.data(), bytes.size());
        sink->Commit();
    }
    return Flushed();
}

// "X,Y,CAP[,EXTRA]": numbers with a full stop; CAP "inf" for no limit. Values that are no
// numbers fail here; values the allocation cannot use (negative, not finite) fail there, with
// the place named.
bool ParsePlace(const std::string& Text, TAllocPlaceKind Kind, TAllocPlace& Place) {
    std::vector<double> v;
    size_t start = 0;
    for (;;) {
        const size_t comma = Text.find(',', start);
        const std::string field = Text.substr(start, comma - start);
        if (field.empty() || field.find_first_of(" \t") != std::string::npos)
            return false;
        char* end = nullptr;
        errno = 0;
        const double d = std::strtod(field.c_str(), &end);
        if (end != field.c_str() + field.size())
            return false;
        v.push_back(d);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (v.size() < 3 || v.size() > 4)
        return false;
    Place.Kind = Kind;
    Place.X = v[0];
    Place.Y = v[1];
    Place.Capacity = v[2];
    Place.Extra = v.size() == 4 ? v[3] : 0.0;
    return true;
}

int Allocate(const std::vector<std::string>& args) {
    std::string file, out;
    bool json = false;
    // What is given replaces what the project keeps: the places as a whole, block, distance.
    TAllocOptions options;
    options.Block = 0; // chosen by the program
    bool blockGiven = false, distanceGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--manhattan" || a == "--straight") {
            options.Manhattan = a == "--manhattan";
            distanceGiven = true;
        } else if (a == "--block" && i + 1 < args.size()) {
            const std::string& k = args[++i];
            char* end = nullptr;
            errno = 0;
            const long v = std::strtol(k.c_str(), &end, 10);
            if (k.empty() || end != k.c_str() + k.size() || errno != 0 || v < 1 || v > 1000000) {
                std::fprintf(
                    stderr,
                    "ブロックの大きさ「%s」は 1 以上 1000000 以下の整数で指定してください。\n",
                    k.c_str());
                return 2;
            }
            options.Block = static_cast<int>(v);
            blockGiven = true;
        } else if ((a == "--borrow" || a == "--spoil") && i + 1 < args.size()) {
            TAllocPlace p;
            const bool borrow = a == "--borrow";
            if (!ParsePlace(args[++i], borrow ? TAllocPlaceKind::Borrow : TAllocPlaceKind::Spoil,
                            p)) {
                std::fprintf(stderr,
                             "%s「%s」は X,Y,容量[,場外距離] の数値で指定してください"
                             "（容量は inf で無制限）。\n",
                             borrow ? "土取場" : "土捨場", args[i].c_str());
                return 2;
            }
            options.Places.push_back(p);
        } else if (a == "-o" && i + 1 < args.size()) {
            out = args[++i];
        } else if (file.empty() && (a == "-" || a.rfind("-", 0) != 0)) {
            file = a;
        } else {
            return Usage();
        }
    }
    if (file.empty())
        return Usage();
    if (!out.empty())
        RefuseInputAsOutput(out, {file});
    // Options that cannot be used are refused before the project is read.
    const std::string bad = CheckAllocOptions(options);
    if (!bad.empty()) {
        std::fprintf(stderr, "%s\n", bad.c_str());
        return 2;
    }
    TInputData data;
    LoadCalculated(data, file);
    TAllocOptions used = StoredAllocOptions(data);
    if (!options.Places.empty())
        used.Places = options.Places;
    if (blockGiven)
        used.Block = options.Block;
    if (distanceGiven)
        used.Manhattan = options.Manhattan;
    const TAllocation a = AllocateEarth(data, used);
    // With the table going to standard output, the figures go to standard error.
    std::FILE* report = out == "-" ? stderr : stdout;
    if (json)
        PrintAllocationJson(report, data, a);
    else if (a.Solved)
        PrintAllocationText(report, data, a);
    if (!a.Solved) {
        std::fprintf(stderr, "%s\n", a.Message.c_str());
        return 1;
    }
    if (!out.empty())
        WriteCp932Output(out, AllocCsvText(a));
    return Flushed();
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    LoadFormatSettingsFromCLocale();
    // Program output must not depend on the locale's idea of printf numbers.
    std::setlocale(LC_NUMERIC, "C");
    RemoveTemporaryFilesOnSignals();
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    if (command == "--help" || command == "-h") {
        Usage(stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    const std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command == "calc")
            return Calc(args);
        if (command == "check")
            return Check(args);
        if (command == "compare")
            return Compare(args);
        if (command == "balance")
            return Balance(args);
        if (command == "rates")
            return Rates(args);
        if (command == "import") {
            const int code = Import(args);
            return code < 0 ? Usage() : code;
        }
        if (command == "allocate")
            return Allocate(args);
#ifdef DORYOU_CLI_REPORT
        if (command == "report")
            return Report(argc, argv, args);
        if (command == "map")
            return Map(argc, argv, args);
#endif
        if (command == "export-mesh" || command == "export-summary" || command == "export-detail")
            return Export(command, args);
        return Usage();
    } catch (const EFailure& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    } catch (const std::bad_alloc& e) {
        std::fprintf(stderr, "%s\n", FailureText(e).c_str());
        return 1;
    } catch (const std::length_error& e) {
        std::fprintf(stderr, "%s\n", FailureText(e).c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "エラー: %s\n", e.what());
        return 1;
    }
}
