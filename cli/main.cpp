// doryou-cli: the project model, the calculation and the reports without a window, for scripts
// and for checking every number the windows show.

#include "CliOutput.h"
#include "analysis/MethodComparison.h"
#include "analysis/PlanBalance.h"
#ifdef DORYOU_CLI_REPORT
#include "CliReport.h"
#endif
#include "model/CalcDetail.h"
#include "model/CalcSummary.h"
#include "model/DataUnit.h"
#include "model/MeshCsv.h"
#include "platform/Failure.h"
#include "platform/NumberFormat.h"
#include "platform/TextFile.h"

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Usage() {
    std::fprintf(stderr,
                 "使い方: doryou-cli calc FILE.msh [--json]\n"
                 "  calc    プロジェクトを読み込み、その設定で計算して集計表を出力します。\n"
                 "          --json を付けると全計算メッシュと合計を JSON で出力します。\n"
                 "       doryou-cli export-mesh|export-summary|export-detail FILE.msh OUT.csv\n"
                 "  export-mesh     メッシュデータを CSV に書き出します。\n"
                 "  export-summary  土量集計表を CSV に書き出します。\n"
                 "  export-detail   土量一覧表（計算の詳細）を CSV に書き出します。\n"
                 "       doryou-cli compare FILE.msh [--json]\n"
                 "  compare  ３つの計算方法で計算し、この工事の計算方法との差を出力します。\n"
                 "       doryou-cli balance FILE.msh [--surplus M3] [--json] [-o OUT.msh]\n"
                 "  balance  切土と盛土が釣り合う（残土量が M3 になる）計画高の調整量を求めます。\n"
                 "           -o を付けると計画高を調整したプロジェクトを書き出します。\n");
#ifdef DORYOU_CLI_REPORT
    std::fprintf(stderr,
                 "       doryou-cli report FILE.msh [--summary] [--list] [--listing] -o OUT.pdf\n"
                 "          [--paper A4] [--landscape]\n"
                 "  report  計算書と入力データ一覧を PDF に書き出します。\n");
#endif
    return 2;
}

// Loads a project and makes sure its results are those of its own settings.
void LoadCalculated(TInputData& data, const std::string& file) {
    data.FileLoad(file);
    // A project saved with valid results was recalculated by the load already.
    if (!data.GetPhase(2))
        data.Calcrate();
}

int Export(const std::string& command, const std::vector<std::string>& args) {
    if (args.size() != 2)
        return Usage();
    TInputData data;
    std::string text;
    if (command == "export-mesh") {
        data.FileLoad(args[0]);
        text = MeshCsvText(data);
    } else {
        LoadCalculated(data, args[0]);
        text = command == "export-summary" ? CalcSummaryCsvText(data) : DetailCsvText(data);
    }
    WriteCp932File(args[1], text);
    return 0;
}

int Calc(const std::vector<std::string>& args) {
    std::string file;
    bool json = false;
    for (const std::string& a : args) {
        if (a == "--json")
            json = true;
        else if (file.empty() && a.rfind("--", 0) != 0)
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
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int Compare(const std::vector<std::string>& args) {
    std::string file;
    bool json = false;
    for (const std::string& a : args) {
        if (a == "--json")
            json = true;
        else if (file.empty() && a.rfind("-", 0) != 0)
            file = a;
        else
            return Usage();
    }
    if (file.empty())
        return Usage();
    TInputData data;
    data.FileLoad(file);
    const TMethodComparison c = CompareMethods(data);
    if (json)
        PrintComparisonJson(stdout, data, c);
    else
        PrintComparisonText(stdout, data, c);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// A whole number of m³, with an optional sign.
bool ParseVolume(const std::string& Text, int64_t& Value) {
    if (Text.empty() || Text.size() > 19)
        return false;
    size_t i = Text[0] == '-' || Text[0] == '+' ? 1 : 0;
    if (i == Text.size())
        return false;
    for (size_t j = i; j < Text.size(); ++j)
        if (Text[j] < '0' || Text[j] > '9')
            return false;
    Value = std::stoll(Text);
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
                std::fprintf(stderr, "目標残土量「%s」は m³ の整数で指定してください。\n",
                             args[i].c_str());
                return 2;
            }
        } else if (a == "-o" && i + 1 < args.size()) {
            out = args[++i];
        } else if (file.empty() && a.rfind("-", 0) != 0) {
            file = a;
        } else {
            return Usage();
        }
    }
    if (file.empty())
        return Usage();
    TInputData data;
    data.FileLoad(file);
    const TPlanBalance b = FindPlanBalance(data, surplus);
    if (json)
        PrintBalanceJson(stdout, data, b);
    else if (b.Found)
        PrintBalanceText(stdout, data, b);
    if (!b.Found) {
        std::fprintf(stderr, "%s\n", b.Message.c_str());
        return 1;
    }
    if (!out.empty()) {
        // The project as "適用" leaves it: shifted, then calculated.
        ShiftPlannedHeights(data, b.Shift());
        data.Calcrate();
        data.FileSave(out);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    LoadFormatSettingsFromCLocale();
    // Program output must not depend on the locale's idea of printf numbers.
    std::setlocale(LC_NUMERIC, "C");
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command == "calc")
            return Calc(args);
        if (command == "compare")
            return Compare(args);
        if (command == "balance")
            return Balance(args);
#ifdef DORYOU_CLI_REPORT
        if (command == "report")
            return Report(argc, argv, args);
#endif
        if (command == "export-mesh" || command == "export-summary" || command == "export-detail")
            return Export(command, args);
        return Usage();
    } catch (const EFailure& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "エラー: %s\n", e.what());
        return 1;
    }
}
