#include "CliOutput.h"

#include "analysis/EarthAllocationTable.h"
#include "analysis/MethodComparison.h"
#include "analysis/PlanBalance.h"
#include "analysis/SiteCheck.h"
#include "model/CalcSummary.h"
#include "model/DataUnit.h"
#include "model/RateCalc.h"
#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/FileUtil.h"
#include "platform/NumberFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

const char* const kCalcTypeNames[] = {"１点法（点高法）", "４点柱状法", "４点平均標高法"};
const char* const kRoundTypeNames[] = {"四捨五入", "切り捨て", "切り上げ"};
const char* const kRateTypeNames[] = {"切土補正", "盛土補正"};

const char* Pick(const char* const* names, int count, int v) {
    return names[(v >= 0 && v < count) ? v : 0];
}

// Columns on a terminal: East Asian wide characters take two.
int DisplayWidth(const std::string& s) {
    int w = 0;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp = c;
        size_t len = 1;
        if (c >= 0xF0 && i + 3 < s.size()) {
            cp = ((c & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) | ((s[i + 2] & 0x3Fu) << 6) |
                 (s[i + 3] & 0x3Fu);
            len = 4;
        } else if (c >= 0xE0 && i + 2 < s.size()) {
            cp = ((c & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
            len = 3;
        } else if (c >= 0xC0 && i + 1 < s.size()) {
            cp = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
            len = 2;
        }
        const bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                          (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                          (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                          (cp >= 0xFFE0 && cp <= 0xFFE6) || cp >= 0x20000;
        w += wide ? 2 : 1;
        i += len;
    }
    return w;
}

std::string Pad(const std::string& s, int width, bool right) {
    const int fill = width - DisplayWidth(s);
    if (fill <= 0)
        return s;
    return right ? std::string(static_cast<size_t>(fill), ' ') + s
                 : s + std::string(static_cast<size_t>(fill), ' ');
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (const char ch : s) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            out += StrFormat("\\u%04x", c);
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string JsonNumber(double v) {
    if (!std::isfinite(v))
        return "null";
    return StrFormat("%.17g", v);
}

// The same text as JsonNumber and "%d", appended without a format string: a million meshes
// are written at the speed of the disk, not of printf.
void AppendJsonNumber(std::string& out, double v) {
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    char buf[40];
    // As printf's %.17g in the C locale.
    const std::to_chars_result r =
        std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 17);
    out.append(buf, r.ptr);
}

void AppendInt(std::string& out, int64_t v) {
    char buf[24];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

std::string TotalsJson(const TVolumeTotals& t) {
    std::string s = StrFormat("\"BV\":[%lld,%lld],\"CV\":[", static_cast<long long>(t.BV[0]),
                              static_cast<long long>(t.BV[1]));
    for (int k = 0; k < 2; ++k) {
        s += k ? ",[" : "[";
        for (int i = 0; i < 6; ++i)
            s += StrFormat(i ? ",%lld" : "%lld", static_cast<long long>(t.CV[k][i]));
        s += "]";
    }
    return s + StrFormat("],\"HV\":%lld,\"surplus\":%lld", static_cast<long long>(t.HV),
                         static_cast<long long>(t.Surplus()));
}

// The same fields as TotalsJson with each value as a percentage of Base's; null where Base's is 0
// and the difference is not.
std::string PercentJson(const TVolumeTotals& Diff, const TVolumeTotals& Base) {
    auto pc = [](int64_t d, int64_t b) {
        double p;
        return DifferencePercent(d, b, p) ? JsonNumber(p) : std::string("null");
    };
    std::string s =
        "\"BV\":[" + pc(Diff.BV[0], Base.BV[0]) + "," + pc(Diff.BV[1], Base.BV[1]) + "],\"CV\":[";
    for (int k = 0; k < 2; ++k) {
        s += k ? ",[" : "[";
        for (int i = 0; i < 6; ++i)
            s += (i ? "," : "") + pc(Diff.CV[k][i], Base.CV[k][i]);
        s += "]";
    }
    return s + "],\"HV\":" + pc(Diff.HV, Base.HV) +
           ",\"surplus\":" + pc(Diff.Surplus(), Base.Surplus());
}

TVolumeTotals Difference(const TVolumeTotals& a, const TVolumeTotals& b) {
    TVolumeTotals d = a;
    d.HV -= b.HV;
    for (int k = 0; k < 2; ++k) {
        d.BV[k] -= b.BV[k];
        for (int i = 0; i < 6; ++i)
            d.CV[k][i] -= b.CV[k][i];
    }
    return d;
}

// Millimetres as metres with three decimals, exactly: "-1.250".
std::string MetresJson(int64_t Mm) {
    const unsigned long long a = Mm < 0 ? 0ull - static_cast<unsigned long long>(Mm) : Mm;
    return StrFormat("%s%llu.%03llu", Mm < 0 ? "-" : "", a / 1000, a % 1000);
}

void PrintSettings(std::FILE* out, const TInputData& Data) {
    // Texts go to a terminal: no control character of theirs may reach it.
    std::fprintf(out, "工事名　: %s\n", WithoutControlChars(Data.Title()).c_str());
    std::fprintf(
        out, "計算方法: %s　端数処理: %s　補正: %s\n", Pick(kCalcTypeNames, 3, Data.CalcType()),
        Pick(kRoundTypeNames, 3, Data.RoundType()), Pick(kRateTypeNames, 2, Data.RateType()));
}

// Rows of cells printed in columns: the first left-aligned, the others right-aligned.
void PrintColumns(std::FILE* out, const std::vector<std::vector<std::string>>& Rows) {
    std::vector<int> widths;
    for (const auto& row : Rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], DisplayWidth(WithoutControlChars(row[c])));
    }
    for (auto row : Rows) {
        for (std::string& cell : row)
            cell = WithoutControlChars(cell);
        std::string line;
        for (size_t c = 0; c < row.size(); ++c)
            line += c == 0 ? Pad(row[c], widths[c], false) : "  " + Pad(row[c], widths[c], true);
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        std::fprintf(out, "%s\n", line.c_str());
    }
}

std::string Volume(int64_t V) {
    return FormatThousands(static_cast<double>(V), 0);
}

} // namespace

void PrintSaturationWarning(std::FILE* err, const TInputData& Data) {
    const std::string warning = SaturationWarning(Data);
    if (!warning.empty())
        std::fprintf(err, "警告: %s\n", warning.c_str());
}

void LoadProject(TInputData& Data, const std::string& File) {
    if (File != "-") {
        Data.FileLoad(File);
        return;
    }
    TFileReader in{TFileReader::TStandardInput{}};
    Data.FileLoad(in);
}

void RefuseInputAsOutput(const std::string& Output, const std::vector<std::string>& Inputs) {
    for (const std::string& in : Inputs)
        if (IsSameFile(Output, in))
            throw EFailure(
                StrFormat("出力先 %s は入力の %s と同じファイルです。入力を失わないよう、"
                          "別のファイルに書き出してください。",
                          ShownFileName(Output).c_str(), ShownFileName(in).c_str()));
}

void LoadCalculated(TInputData& Data, const std::string& File) {
    LoadProject(Data, File);
    // A project saved with valid results was recalculated by the load already.
    if (!Data.GetPhase(2))
        Data.Calcrate();
    PrintSaturationWarning(stderr, Data);
}

void PrintSummaryText(std::FILE* out, const TInputData& Data) {
    std::fprintf(out, "土量計算集計表\n");
    PrintSettings(out, Data);
    std::fprintf(out, "メッシュ: %d 点（間隔 %g m）　計算メッシュ: %d\n\n",
                 Data.GetInputMeshCount(), Data.MeshSpan(), Data.CalcMeshCount());
    const TCalcSummary s = BuildCalcSummary(Data);
    int widths[4] = {0, 0, 0, 0};
    for (const auto& row : s.Rows)
        for (int c = 0; c < 4; ++c)
            widths[c] = std::max(widths[c], DisplayWidth(WithoutControlChars(row[c])));
    for (auto row : s.Rows) {
        for (std::string& cell : row)
            cell = WithoutControlChars(cell);
        std::string line = Pad(row[0], widths[0], false);
        for (int c = 1; c < 4; ++c)
            line += "  " + Pad(row[c], widths[c], true);
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        std::fprintf(out, "%s\n", line.c_str());
    }
}

void PrintCalcJson(std::FILE* out, const TInputData& Data) {
    std::fprintf(out,
                 "{\"title\":%s,\"calcType\":%d,\"roundType\":%d,\"rateType\":%d,"
                 "\"layer\":%d,\"meshSpan\":%s,\"meshes\":[",
                 JsonString(Data.Title()).c_str(), Data.CalcType(), Data.RoundType(),
                 Data.RateType(), Data.Layer(), JsonNumber(Data.MeshSpan()).c_str());
    // Records [From, To) as text, each after its separator.
    const std::vector<TGridCalcData>& list = Data.CalcList();
    const auto format = [&list](size_t From, size_t To, std::string& block) {
        block.clear();
        for (size_t i = From; i < To; ++i) {
            const TGridCalcData& r = list[i];
            block += i == 0 ? "\n{\"Num\":" : ",\n{\"Num\":";
            AppendInt(block, r.Num);
            block += ",\"X\":";
            AppendInt(block, r.X);
            block += ",\"Y\":";
            AppendInt(block, r.Y);
            block += ",\"BV\":[";
            AppendInt(block, r.BV[0]);
            block += ',';
            AppendInt(block, r.BV[1]);
            block += "],\"CV\":[";
            for (int k = 0; k < 2; ++k) {
                block += k ? ",[" : "[";
                for (int j = 0; j < 6; ++j) {
                    if (j)
                        block += ',';
                    AppendInt(block, r.CV[k][j]);
                }
                block += ']';
            }
            block += "],\"HV\":";
            AppendInt(block, r.HV);
            block += ",\"CXj\":";
            AppendJsonNumber(block, r.CXj);
            block += ",\"CYj\":";
            AppendJsonNumber(block, r.CYj);
            block += ",\"BXj\":";
            AppendJsonNumber(block, r.BXj);
            block += ",\"BYj\":";
            AppendJsonNumber(block, r.BYj);
            block += '}';
        }
    };
    // Two blocks at a time, the second formatted by another thread, written in order.
    constexpr size_t kBlock = 4096;
    std::string blocks[2];
    for (std::string& b : blocks)
        b.reserve(kBlock * 256);
    for (size_t at = 0; at < list.size(); at += 2 * kBlock) {
        const size_t mid = std::min(list.size(), at + kBlock);
        const size_t end = std::min(list.size(), mid + kBlock);
        std::exception_ptr failed;
        const auto second = [&] {
            try {
                format(mid, end, blocks[1]);
            } catch (...) {
                failed = std::current_exception();
            }
        };
        std::thread helper;
        if (mid < end) {
            try {
                helper = std::thread(second);
            } catch (const std::system_error&) {
                second(); // no thread to be had: this one does it
            }
        }
        format(at, mid, blocks[0]);
        if (helper.joinable())
            helper.join();
        if (failed)
            std::rethrow_exception(failed);
        std::fwrite(blocks[0].data(), 1, blocks[0].size(), out);
        if (mid < end)
            std::fwrite(blocks[1].data(), 1, blocks[1].size(), out);
    }
    // The totals in 64 bits, with the count of meshes whose own volumes stopped at 32 bits.
    std::fprintf(out, "],\n\"total\":{%s},\"saturatedMeshes\":%lld}\n",
                 TotalsJson(TVolumeTotals(Data.GetCalcTotals())).c_str(),
                 static_cast<long long>(Data.SaturatedMeshCount()));
}

void PrintFindingsText(std::FILE* out, const std::vector<TCheckFinding>& Findings) {
    for (const TCheckFinding& f : Findings)
        std::fprintf(out, "%s %s\n", f.Severity == TCheckSeverity::Serious ? "[問題]" : "[注意]",
                     f.Message.c_str());
    std::fprintf(out, "%zu 件の指摘（うち問題 %d 件）\n", Findings.size(),
                 TSiteCheck::SeriousCount(Findings));
}

void PrintFindingsJson(std::FILE* out, const std::vector<TCheckFinding>& Findings) {
    std::fprintf(out, "{\"findings\":[");
    bool first = true;
    for (const TCheckFinding& f : Findings) {
        std::fprintf(out,
                     "%s\n{\"kind\":\"%s\",\"severity\":\"%s\",\"x\":%d,\"y\":%d,"
                     "\"field\":%s,\"message\":%s}",
                     first ? "" : ",", TSiteCheck::KindName(f.Kind),
                     f.Severity == TCheckSeverity::Serious ? "serious" : "warning", f.X, f.Y,
                     JsonString(f.Field).c_str(), JsonString(f.Message).c_str());
        first = false;
    }
    std::fprintf(out, "],\n\"count\":%zu,\"serious\":%d}\n", Findings.size(),
                 TSiteCheck::SeriousCount(Findings));
}

void PrintComparisonText(std::FILE* out, const TInputData& Data, const TMethodComparison& C) {
    const TComparisonTable t = BuildComparisonTable(Data, C);
    std::fprintf(out, "計算方法の比較\n");
    PrintSettings(out, Data);
    std::fprintf(out, "差と差(%%)はこの工事の計算方法（%s）に対するものです。\n\n",
                 t.MethodNames[t.OwnMethod].c_str());
    for (int m = 0; m < CalcMethodCount; ++m) {
        std::fprintf(out, "%s%s\n", m == t.OwnMethod ? "◎" : "○", t.MethodNames[m].c_str());
        std::vector<std::vector<std::string>> rows;
        rows.push_back({"", "土量", m == t.OwnMethod ? "" : "差", m == t.OwnMethod ? "" : "差(%)"});
        for (const TComparisonTable::TRow& r : t.Rows) {
            if (r.Section)
                rows.push_back({r.Label});
            else
                rows.push_back({r.Label, r.Volume[m], r.Difference[m], r.Percent[m]});
        }
        PrintColumns(out, rows);
        std::fprintf(out, "\n");
    }
}

void PrintComparisonJson(std::FILE* out, const TInputData& Data, const TMethodComparison& C) {
    std::fprintf(out,
                 "{\"title\":%s,\"calcType\":%d,\"roundType\":%d,\"rateType\":%d,"
                 "\"layer\":%d,\"methods\":[",
                 JsonString(Data.Title()).c_str(), C.OwnMethod, Data.RoundType(), Data.RateType(),
                 Data.Layer());
    for (int m = 0; m < CalcMethodCount; ++m) {
        const TMethodResult& r = C.Methods[m];
        const TVolumeTotals diff = Difference(r.Totals, C.Own());
        std::fprintf(out,
                     "%s\n{\"calcType\":%d,\"name\":%s,\"own\":%s,\"calculated\":%s,"
                     "\"meshes\":%d,%s,\n \"difference\":{%s},\n \"percent\":{%s}}",
                     m ? "," : "", m, JsonString(CalcMethodName(m)).c_str(),
                     m == C.OwnMethod ? "true" : "false", r.Calculated ? "true" : "false",
                     r.CalcMeshCount, TotalsJson(r.Totals).c_str(), TotalsJson(diff).c_str(),
                     PercentJson(diff, C.Own()).c_str());
    }
    std::fprintf(out, "]}\n");
}

void PrintBalanceText(std::FILE* out, const TInputData& Data, const TPlanBalance& B) {
    std::fprintf(out, "計画高調整\n");
    PrintSettings(out, Data);
    std::fprintf(out, "目標残土量: %s m³（不足は－）\n\n", Volume(B.TargetSurplus).c_str());
    if (!B.Found) {
        std::fprintf(out, "%s\n", B.Message.c_str());
        return;
    }
    auto surplus = [](int64_t V) {
        return (V > 0 ? "残土量 " : V < 0 ? "不足土量 " : "") + Volume(std::llabs(V));
    };
    PrintColumns(out,
                 {{"", "現在", "調整後"},
                  {"盛土量（補正）", Volume(B.Before.BV[1]), Volume(B.After.BV[1])},
                  {"切土量（補正）", Volume(B.Before.CV[1][0]), Volume(B.After.CV[1][0])},
                  {"残土量・不足土量", surplus(B.Before.Surplus()), surplus(B.After.Surplus())}});
    std::fprintf(out, "\n計画高の調整量 Δh: %s m\n", ShiftText(B.ShiftMm).c_str());
    std::fprintf(out, "目標との差: %s m³\n", Volume(B.Remaining()).c_str());
}

void PrintBalanceJson(std::FILE* out, const TInputData& Data, const TPlanBalance& B) {
    std::fprintf(out, "{\"title\":%s,\"calcType\":%d,\"target\":%lld,\"found\":%s,",
                 JsonString(Data.Title()).c_str(), CalcMethodOf(Data.CalcType()),
                 static_cast<long long>(B.TargetSurplus), B.Found ? "true" : "false");
    if (!B.Found) {
        std::fprintf(out, "\"message\":%s}\n", JsonString(B.Message).c_str());
        return;
    }
    std::fprintf(out,
                 "\"shift\":%s,\"shiftMm\":%lld,\"remaining\":%lld,\n\"before\":{%s},\n"
                 "\"after\":{%s},\"evaluations\":%d}\n",
                 MetresJson(B.ShiftMm).c_str(), static_cast<long long>(B.ShiftMm),
                 static_cast<long long>(B.Remaining()), TotalsJson(B.Before).c_str(),
                 TotalsJson(B.After).c_str(), B.Evaluations);
}

void PrintRatesText(std::FILE* out, const TInputData& Data, const TRateSimulation& S) {
    std::fprintf(out, "変化率シミュレータ\n");
    PrintSettings(out, Data);
    std::fprintf(out, "\n");
    const auto rate = [](double V) { return FormatFixed(V, 3); };
    const auto volume = [](double V) { return FormatThousands(V, 0); };
    std::vector<std::vector<std::string>> rows = {
        {"", "変化率", "土量"}, {"現在", rate(S.CurrentRate), volume(S.CurrentVolume)}};
    if (S.Amended)
        rows.push_back({"修正", rate(S.AmendedRate), volume(S.AmendedVolume)});
    rows.push_back({"目標土量", "", volume(S.TargetVolume)});
    PrintColumns(out, rows);
    if (!S.Amended)
        return;
    std::fprintf(out, "\n");
    rows = {{"", "現在", "修正"}};
    if (S.CutCorrection) {
        for (int i = 1; i <= Data.Layer(); ++i)
            rows.push_back(
                {Data.GetSolidName(i), rate(Data.GetSolidValue(i, 0)), rate(S.Rate[i - 1])});
    } else {
        rows.push_back({"盛土", rate(Data.GetSolidValue(0, 0)), rate(S.Rate[0])});
    }
    PrintColumns(out, rows);
    if (S.CutCorrection)
        std::fprintf(out, "\n切土補正の変化率は各層の平均値です。");
    std::fprintf(out, "%s修正の土量は、修正した変化率で計算した補正土量です。\n",
                 S.CutCorrection ? "" : "\n");
}

void PrintRatesJson(std::FILE* out, const TInputData& Data, const TRateSimulation& S) {
    std::fprintf(out,
                 "{\"title\":%s,\"correction\":\"%s\",\"currentRate\":%s,\"currentVolume\":%s,"
                 "\"target\":%s,\"amended\":%s",
                 JsonString(Data.Title()).c_str(), S.CutCorrection ? "cut" : "fill",
                 JsonNumber(S.CurrentRate).c_str(), JsonNumber(S.CurrentVolume).c_str(),
                 JsonNumber(S.TargetVolume).c_str(), S.Amended ? "true" : "false");
    if (!S.Amended) {
        std::fprintf(out, "}\n");
        return;
    }
    std::string rates;
    const int count = S.CutCorrection ? Data.Layer() : 1;
    for (int i = 0; i < count; ++i)
        rates += (i ? "," : "") + JsonNumber(S.Rate[i]);
    std::fprintf(out, ",\"amendedRate\":%s,\"amendedVolume\":%s,\"rates\":[%s],\n\"after\":{%s}}\n",
                 JsonNumber(S.AmendedRate).c_str(), JsonNumber(S.AmendedVolume).c_str(),
                 rates.c_str(), TotalsJson(TVolumeTotals(S.AmendedTotals)).c_str());
}

void PrintAllocationText(std::FILE* out, const TInputData& Data, const TAllocation& A) {
    std::fprintf(out, "土量配分\n");
    PrintSettings(out, Data);
    const TAllocTable t = BuildAllocTable(A);
    std::vector<std::vector<std::string>> rows;
    rows.reserve(t.Rows.size() + 1);
    rows.emplace_back(t.Heading.begin(), t.Heading.end());
    for (const TAllocTable::TRow& r : t.Rows)
        rows.emplace_back(r.begin(), r.end());
    PrintColumns(out, rows);
    std::fprintf(out, "\n");
    for (const auto& [name, value] : t.Totals)
        std::fprintf(out, "%s: %s\n", name.c_str(), value.c_str());
}

void PrintAllocationJson(std::FILE* out, const TInputData& Data, const TAllocation& A) {
    std::fprintf(out, "{\"title\":%s,\"solved\":%s,", JsonString(Data.Title()).c_str(),
                 A.Solved ? "true" : "false");
    if (!A.Solved) {
        std::fprintf(out, "\"message\":%s}\n", JsonString(A.Message).c_str());
        return;
    }
    std::fprintf(out,
                 "\"block\":%d,\"distance\":\"%s\",\"cut\":%lld,\"fill\":%lld,"
                 "\"totalVolume\":%lld,\"totalMoment\":%s,\"averageDistance\":%s,"
                 "\"toSpoil\":%lld,\"fromBorrow\":%lld,\"costScale\":%s,\n\"flows\":[",
                 A.Block, A.Manhattan ? "manhattan" : "straight",
                 static_cast<long long>(A.CutVolume), static_cast<long long>(A.FillVolume),
                 static_cast<long long>(A.TotalVolume), JsonNumber(A.TotalMoment).c_str(),
                 JsonNumber(A.AverageDistance()).c_str(), static_cast<long long>(A.ToSpoil),
                 static_cast<long long>(A.FromBorrow), JsonNumber(A.CostScale).c_str());
    for (size_t i = 0; i < A.Flows.size(); ++i) {
        const TAllocFlow& f = A.Flows[i];
        const TAllocEnd &s = A.Sources[f.From], &d = A.Sinks[f.To];
        std::fprintf(out,
                     "%s\n{\"from\":%s,\"to\":%s,\"volume\":%lld,\"distance\":%s,"
                     "\"fromX\":%s,\"fromY\":%s,\"toX\":%s,\"toY\":%s}",
                     i ? "," : "", JsonString(s.Name).c_str(), JsonString(d.Name).c_str(),
                     static_cast<long long>(f.Volume), JsonNumber(f.Distance).c_str(),
                     JsonNumber(s.X).c_str(), JsonNumber(s.Y).c_str(), JsonNumber(d.X).c_str(),
                     JsonNumber(d.Y).c_str());
    }
    std::fprintf(out, "]}\n");
}
