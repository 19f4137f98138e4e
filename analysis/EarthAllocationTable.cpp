#include "analysis/EarthAllocationTable.h"

#include "model/CalcSummary.h"
#include "platform/Failure.h"
#include "platform/NumberFormat.h"
#include "platform/TextFile.h"

#include <cmath>

const TAllocTable::TRow TAllocTable::Heading = {"運搬元", "運搬先", "土量 (m³)", "距離 (m)",
                                                "土量×距離 (m³·m)"};

const TAllocTable::TRow TAllocTable::PlaceHeading = {"場外", "位置 X / Y (m)", "容量 (m³)",
                                                     "場外距離 (m)", "運搬土量 (m³)"};

std::string AllocDistanceName(bool Manhattan) {
    return Manhattan ? "道なり距離" : "直線距離";
}

TAllocTable BuildAllocTable(const TAllocation& A) {
    TAllocTable t;
    t.Rows.reserve(A.Flows.size());
    for (const TAllocFlow& f : A.Flows)
        t.Rows.push_back({A.Sources[f.From].Name, A.Sinks[f.To].Name, FormatVolume(f.Volume),
                          FormatThousands(f.Distance, 1), FormatThousands(f.Moment(), 0)});
    t.Totals = {
        {"総運搬土量", FormatVolume(A.TotalVolume) + " m³"},
        {"総運搬量", FormatThousands(A.TotalMoment, 0) + " m³·m"},
        {"平均運搬距離", FormatThousands(A.AverageDistance(), 1) + " m"},
        {"土捨場へ", FormatVolume(A.ToSpoil) + " m³"},
        {"土取場から", FormatVolume(A.FromBorrow) + " m³"},
        {"距離", AllocDistanceName(A.Manhattan)},
        {"ブロック", std::to_string(A.Block) + " × " + std::to_string(A.Block) + " メッシュ"},
    };
    int borrow = 0, spoil = 0;
    for (const TAllocPlace& p : A.Places) {
        const bool isBorrow = p.Kind == TAllocPlaceKind::Borrow;
        const std::string name =
            StrFormat("%s%d", isBorrow ? "土取場" : "土捨場", isBorrow ? ++borrow : ++spoil);
        int64_t moved = 0;
        for (const TAllocEnd& e : isBorrow ? A.Sources : A.Sinks)
            if (e.Name == name)
                moved = e.Volume;
        t.PlaceRows.push_back({name, FormatThousands(p.X, 1) + " / " + FormatThousands(p.Y, 1),
                               std::isinf(p.Capacity) ? "無制限" : FormatThousands(p.Capacity, 0),
                               FormatThousands(p.Extra, 1), FormatVolume(moved)});
    }
    return t;
}

std::string AllocCsvText(const TAllocation& A) {
    const TAllocTable t = BuildAllocTable(A);
    std::string text;
    text.reserve(64 + t.Rows.size() * 48);
    AddLine(text, "土量配分表");
    AddLine(text, "");
    std::string line;
    for (size_t i = 0; i < t.Heading.size(); ++i)
        line += (i ? "," : "") + CsvText(Cp932Units(t.Heading[i]));
    AddLine(text, line);
    for (const TAllocTable::TRow& r : t.Rows) {
        line = CsvText(r[0]) + "," + CsvText(r[1]);
        for (size_t i = 2; i < r.size(); ++i)
            line += "," + CsvNumber(r[i]);
        AddLine(text, line);
    }
    AddLine(text, "");
    for (const auto& [name, value] : t.Totals)
        AddLine(text, CsvText(name) + "," + CsvText(Cp932Units(value)));
    return text;
}
