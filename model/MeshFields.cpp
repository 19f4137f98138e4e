#include "MeshFields.h"

#include "platform/Failure.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace {

const char* const kLayerNames[2][4] = {{"１層厚", "２層厚", "３層厚", "４層厚"},
                                       {"２層標高", "３層標高", "４層標高", "５層標高"}};

uint64_t PlaceKey(const TGridData& G) {
    return uint64_t(uint32_t(G.Y)) << 32 | uint32_t(G.X);
}

} // namespace

const char* LayerFieldName(int K, int SolidType) {
    return kLayerNames[SolidType == 1 ? 1 : 0][std::clamp(K, 1, 4) - 1];
}

std::vector<TGridField> CalcFields(const TInputData& Data) {
    const bool elevations = Data.SolidType() == 1;
    std::vector<TGridField> fields = {{"計画高", offsetof(TGridData, FH), true},
                                      {"地盤高", offsetof(TGridData, GH), true}};
    if (Data.Hyoudo())
        fields.push_back({"表土厚", offsetof(TGridData, LAYER)});
    for (int k = 1; k < Data.Layer() && k <= 4; ++k)
        fields.push_back({LayerFieldName(k, Data.SolidType()),
                          offsetof(TGridData, LAYER) + size_t(k) * sizeof(double), elevations});
    if (Data.Fumikomi())
        fields.push_back({"踏込沈下", offsetof(TGridData, CSink), false, true});
    if (Data.Atumitu())
        fields.push_back({"圧密沈下", offsetof(TGridData, BSink), false, true});
    return fields;
}

std::string NonFiniteMessage(const TInputData& Data) {
    const std::vector<TGridData>& list = Data.GridList();
    const std::vector<TGridField> fields = CalcFields(Data);
    std::vector<size_t> bad;
    for (size_t i = 0; i < list.size(); ++i)
        if (!list[i].DelFlg && !FieldsFinite(list[i], fields))
            bad.push_back(i);
    if (bad.empty())
        return {};
    // The last live point at each of their places, which is the one calculated there.
    std::unordered_map<uint64_t, size_t> last;
    for (size_t i : bad)
        last[PlaceKey(list[i])] = i;
    for (size_t i = bad.front(); i < list.size(); ++i) {
        if (list[i].DelFlg)
            continue;
        const auto at = last.find(PlaceKey(list[i]));
        if (at != last.end())
            at->second = i;
    }
    size_t first = SIZE_MAX, more = 0;
    for (size_t i : bad) {
        if (last[PlaceKey(list[i])] != i)
            continue;
        if (first == SIZE_MAX)
            first = i;
        else
            ++more;
    }
    if (first == SIZE_MAX)
        return {};
    const TGridData& g = list[first];
    std::string names;
    for (const TGridField& f : fields)
        if (!std::isfinite(f.ValueOf(g)))
            names += (names.empty() ? "" : "、") + std::string(f.Name);
    std::string text = StrFormat("メッシュ (%d, %d) の", g.X, g.Y) + names + "が数値ではありません";
    if (more > 0)
        text += StrFormat("（ほかに %zu 点のメッシュにも数値でない値があります）", more);
    return text + "。計算できません。";
}
