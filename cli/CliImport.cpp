// doryou-cli import [BASE.msh] --ground FILE [--plan FILE] [--surface NAME] --origin N,E
//   [--angle DEG] [--span M] [--order north-east|east-north] [--max-edge M] [--boundary FILE]...
//   -o OUT.msh
// The same import as the window's dialog: the summary it prints is the dialog's preview.

#include "CliImport.h"

#include "CliOutput.h"
#include "model/DataUnit.h"
#include "platform/Failure.h"
#include "platform/FileUtil.h"
#include "survey/SurveyImport.h"
#include "survey/SurveyReader.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

bool ParseNumber(std::string_view s, double& v) {
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return !s.empty() && r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(v);
}

TSurveySource Source(const std::string& path, const std::string& surface) {
    return {path, DetectSurveyFileKind(path), surface};
}

int Wrong(const char* what, const std::string& value) {
    std::fprintf(stderr, "%s「%s」が正しくありません。\n", what, value.c_str());
    return 2;
}

} // namespace

int Import(const std::vector<std::string>& args) {
    std::string base, ground, plan, surface, out;
    std::vector<std::string> layers;
    std::string origin;
    double angle = 0.0, span = 0.0, maxEdge = 0.0;
    bool hasSpan = false;
    TSurveyOrder order = TSurveyOrder::NorthEast;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool more = i + 1 < args.size();
        if (a == "--ground" && more)
            ground = args[++i];
        else if (a == "--plan" && more)
            plan = args[++i];
        else if (a == "--boundary" && more)
            layers.push_back(args[++i]);
        else if (a == "--surface" && more)
            surface = args[++i];
        else if (a == "--origin" && more)
            origin = args[++i];
        else if (a == "--angle" && more) {
            if (!ParseNumber(args[++i], angle))
                return Wrong("回転角", args[i]);
        } else if (a == "--span" && more) {
            if (!ParseNumber(args[++i], span) || !(span > 0))
                return Wrong("メッシュ間隔", args[i]);
            hasSpan = true;
        } else if (a == "--max-edge" && more) {
            if (!ParseNumber(args[++i], maxEdge) || maxEdge < 0)
                return Wrong("最大辺長", args[i]);
        } else if (a == "--order" && more) {
            const std::string& o = args[++i];
            if (o == "north-east")
                order = TSurveyOrder::NorthEast;
            else if (o == "east-north")
                order = TSurveyOrder::EastNorth;
            else
                return Wrong("座標の順序", o);
        } else if (a == "-o" && more)
            out = args[++i];
        else if (base.empty() && (a == "-" || a.rfind("-", 0) != 0))
            base = a;
        else
            return -1;
    }
    if (ground.empty() || origin.empty() || out.empty())
        return -1;
    // The survey files are only read; the base project may be updated in place.
    std::vector<std::string> surveys = layers;
    surveys.push_back(ground);
    if (!plan.empty())
        surveys.push_back(plan);
    RefuseInputAsOutput(out, surveys);
    TSurveyImportOptions o;
    const size_t comma = origin.find(',');
    if (comma == std::string::npos ||
        !ParseNumber(std::string_view(origin).substr(0, comma), o.Frame.N0) ||
        !ParseNumber(std::string_view(origin).substr(comma + 1), o.Frame.E0))
        return Wrong("原点（北,東）", origin);

    TInputData data;
    if (!base.empty()) {
        LoadProject(data, base);
    } else {
        data.SetPhase(0, true); // a new project on the standard settings
    }
    if (hasSpan && span != data.MeshSpan()) {
        if (data.GetInputMeshCount() > 0)
            throw EFailure(StrFormat("プロジェクトのメッシュ間隔は %g m です。メッシュの入力された"
                                     "プロジェクトの間隔は変えられません。",
                                     data.MeshSpan()));
        data.SetMeshSpan(span);
    }
    o.Ground = Source(ground, surface);
    o.HasPlan = !plan.empty();
    if (o.HasPlan)
        o.Plan = Source(plan, surface);
    for (const std::string& l : layers)
        o.Layers.push_back(Source(l, surface));
    o.Frame.Angle = angle;
    o.Frame.Span = data.MeshSpan();
    o.Order = order;
    o.MaxEdge = maxEdge;

    std::string summary;
    {
        // The sampled heights are let go before the project's bytes are made.
        const TSurveyImport import(data, o);
        import.Apply(data);
        summary = SurveyImportSummaryText(import.Summary());
    }
    const std::string bytes = data.SaveToBytes();
    const std::unique_ptr<TOutputSink> sink = OpenOutput(out);
    sink->Write(bytes.data(), bytes.size());
    sink->Commit();
    // With the project going to standard output, the summary goes to standard error.
    std::fputs(summary.c_str(), out == "-" ? stderr : stdout);
    return 0;
}
