#include "model/DataUnit.h"
#include "platform/CodePage.h"
#include "platform/Failure.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <tuple>

namespace {

struct PhaseLog {
    std::vector<std::tuple<int, bool>> events;
    void Attach(TInputData& d) {
        d.SetOnPhaseChange([this](TInputData&, int p, bool v) { events.emplace_back(p, v); });
    }
};

// Answers the model's questions from a script and records what was asked.
struct ScriptedQuestions {
    std::deque<TQuestionAnswer> answers;
    std::vector<std::pair<std::string, TQuestionButtons>> asked;
    void Attach(TInputData& d) {
        d.SetQuestion([this](const std::string& text, TQuestionButtons b) {
            asked.emplace_back(text, b);
            TQuestionAnswer a = answers.front();
            answers.pop_front();
            return a;
        });
    }
};

TGridData Point(int x, int y, double gh = 0, double fh = 0) {
    TGridData g;
    g.X = x;
    g.Y = y;
    g.GH = gh;
    g.FH = fh;
    return g;
}

} // namespace

TEST(InputData, NewProjectDefaults) {
    TInputData d;
    EXPECT_EQ(d.GetSolidName(0), "盛土");
    EXPECT_EQ(d.GetSolidName(2), "軟岩Ⅰ");
    EXPECT_EQ(d.GetSolidName(5), "硬岩");
    EXPECT_EQ(d.GetSolidName(6), "");
    EXPECT_EQ(d.GetSolidName(-1), "");
    EXPECT_EQ(d.GetSolidValue(5, 0), 1.3);
    EXPECT_EQ(d.GetSolidValue(3, 0), 1.15);
    EXPECT_EQ(d.GetSolidValue(6, 0), 0.0);
    EXPECT_EQ(d.GetSolidValue(6, 1), 0.0);
    EXPECT_EQ(d.GetSolidValue(0, 2), 0.0);
    EXPECT_EQ(d.Layer(), 5);
    EXPECT_EQ(d.MeshSpan(), 20.0);
    EXPECT_FALSE(d.Hyoudo() || d.Fumikomi() || d.Atumitu());
    EXPECT_EQ(d.RoundType() + d.CalcType() + d.SolidType() + d.RateType(), 0);
    for (int p = -1; p <= 10; ++p)
        EXPECT_FALSE(d.GetPhase(p));
    EXPECT_EQ(d.Title(), "");
    EXPECT_EQ(d.MeshCount(), 0);
    EXPECT_EQ(d.CalcMeshCount(), 0);
}

TEST(InputData, LayerOutsideRangeFailsAndKeepsValue) {
    TInputData d;
    d.SetLayer(3);
    for (int bad : {0, 6, -1}) {
        try {
            d.SetLayer(bad);
            FAIL() << bad;
        } catch (const EFailure& e) {
            EXPECT_STREQ(e.what(), "層の種類は 1～5 の間で指定してください。");
        }
        EXPECT_EQ(d.Layer(), 3);
    }
}

TEST(InputData, SolidNamesAndValuesIgnoreBadIndexes) {
    TInputData d;
    d.SetSolidName(6, "x");
    d.SetSolidName(7, "x");
    EXPECT_EQ(d.GetSolidName(6), "");
    d.SetSolidValue(6, 0, 9.0); // entry 6 has no rate to set
    EXPECT_EQ(d.GetSolidValue(6, 0), 0.0);
    d.SetSolidValue(6, 1, 0.7);
    EXPECT_EQ(d.GetSolidValue(6, 1), 0.7);
    d.SetSolidValue(7, 1, 1.0);
    EXPECT_EQ(d.GetSolidValue(7, 1), 0.0);
}

TEST(InputData, LongSoilNameIsCutAt64BytesOnACharacterBoundary) {
    TInputData d;
    const std::string ascii(70, 'a');
    d.SetSolidName(1, ascii);
    EXPECT_EQ(d.GetSolidName(1), std::string(64, 'a'));
    // 63 ASCII bytes then a double-byte character: the character would end at byte 65.
    d.SetSolidName(2, std::string(63, 'b') + "土");
    EXPECT_EQ(d.GetSolidName(2), std::string(63, 'b'));
    std::string kanji;
    for (int i = 0; i < 33; ++i)
        kanji += "土";
    d.SetSolidName(3, kanji); // 66 bytes
    EXPECT_EQ(Utf8ToCp932(d.GetSolidName(3)).size(), 64u);
}

TEST(InputData, NewPointAnswerUsesStandardValues) {
    TInputData d;
    d.SetHyoudo(true);
    d.SetSolidValue(0, 1, 0.3);
    d.SetSolidValue(1, 1, 1.5);
    d.SetSolidValue(5, 1, 0.2);
    d.SetSolidValue(6, 1, 0.4);
    TGridData g = d.GetXYToData(3, 4);
    EXPECT_EQ(g.Index, 0);
    EXPECT_EQ(g.X, 0);
    EXPECT_EQ(g.Y, 0);
    EXPECT_EQ(g.LAYER[0], 0.3);
    EXPECT_EQ(g.LAYER[1], 1.5);
    EXPECT_EQ(g.CSink, 0.0); // stepping-in off
    EXPECT_EQ(g.BSink, 0.0);
    d.SetFumikomi(true);
    d.SetAtumitu(true);
    d.SetSolidType(1);
    g = d.GetXYToData(3, 4);
    EXPECT_EQ(g.CSink, 0.2);
    EXPECT_EQ(g.BSink, 0.4);
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(g.LAYER[i], 0.0) << i;
}

TEST(InputData, StoreDeleteAndIndexes) {
    TInputData d;
    PhaseLog log;
    log.Attach(d);
    for (int i = 0; i < 3; ++i) {
        TGridData g = Point(i, 0, 10, 9);
        EXPECT_EQ(d.SetMeshData(g), i + 1);
        EXPECT_EQ(g.Index, i + 1);
    }
    EXPECT_TRUE(d.DeleteMeshData(1, 0));
    TGridData g = Point(5, 5);
    EXPECT_EQ(d.SetMeshData(g), 4);
    EXPECT_EQ(d.MeshCount(), 4);
    EXPECT_EQ(d.GetInputMeshCount(), 3);
    EXPECT_EQ(d.GetIndexToData(1).Index, 0);
    EXPECT_EQ(d.GetIndexToData(3).Index, 4);
    EXPECT_EQ(d.GetIndexToData(99).Index, 0);
    EXPECT_EQ(d.GetIndexToData(-1).Index, 0);
    // Phase 1 went true once; every store and delete cleared 2..9, which were already false.
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_EQ(log.events[0], std::make_tuple(1, true));

    // Storing by index keeps the stored mesh numbers.
    TGridData upd = d.GetXYToData(0, 0);
    upd.X = 77;
    upd.GH = 3.5;
    d.SetMeshData(upd);
    EXPECT_EQ(d.GetIndexToData(0).X, 0);
    EXPECT_EQ(d.GetIndexToData(0).GH, 3.5);

    TGridData beyond = Point(0, 0);
    beyond.Index = 9;
    EXPECT_THROW(d.SetMeshData(beyond), std::out_of_range);
}

TEST(InputData, DeletingTheLastPointClearsPhaseOne) {
    TInputData d;
    TGridData g = Point(1, 1);
    d.SetMeshData(g);
    d.SetPhase(2, true);
    PhaseLog log;
    log.Attach(d);
    EXPECT_FALSE(d.DeleteMeshData(2, 2));
    EXPECT_TRUE(log.events.empty());
    EXPECT_TRUE(d.DeleteMeshData(1, 1));
    EXPECT_EQ(log.events, (std::vector<std::tuple<int, bool>>{{1, false}, {2, false}}));
    EXPECT_FALSE(d.DeleteMeshData(1, 1)); // already deleted
}

// Any change of the points makes the last results stale: phase 2 and the unused 3..9 go false.
TEST(InputData, ChangingPointsClearsResultsValid) {
    struct Case {
        const char* what;
        std::function<void(TInputData&)> change;
    } cases[] = {
        {"store a new point",
         [](TInputData& d) {
             TGridData g = Point(5, 5, 10, 9);
             d.SetMeshData(g);
         }},
        {"store over a point",
         [](TInputData& d) {
             TGridData g = d.GetXYToData(1, 0);
             g.GH = 12;
             d.SetMeshData(g);
         }},
        {"delete a point", [](TInputData& d) { d.DeleteMeshData(1, 0); }},
    };
    for (const Case& c : cases) {
        TInputData d;
        TGridData a = Point(0, 0, 10, 9), b = Point(1, 0, 11, 9);
        d.SetMeshData(a);
        d.SetMeshData(b);
        ASSERT_TRUE(d.Calcrate());
        d.SetPhase(7, true);
        PhaseLog log;
        log.Attach(d);
        c.change(d);
        EXPECT_EQ(log.events, (std::vector<std::tuple<int, bool>>{{2, false}, {7, false}}))
            << c.what;
        EXPECT_TRUE(d.GetPhase(1)) << c.what;
    }
}

TEST(InputData, LaterDuplicateWinsInLookups) {
    TInputData d;
    TGridData a = Point(2, 3, 1.0), b = Point(2, 3, 2.0);
    d.SetMeshData(a);
    d.SetMeshData(b);
    EXPECT_EQ(d.GetXYToData(2, 3).GH, 2.0);
    EXPECT_EQ(d.GetXYToData(2, 3).Index, 2);
    d.DeleteMeshData(2, 3); // deletes the later one
    EXPECT_EQ(d.GetXYToData(2, 3).Index, 1);
}

TEST(InputData, SetPhaseFiresOnlyOnChange) {
    TInputData d;
    PhaseLog log;
    log.Attach(d);
    d.SetPhase(2, true);
    d.SetPhase(2, true);
    d.SetPhase(10, true);
    d.SetPhase(-1, true);
    EXPECT_EQ(log.events.size(), 1u);
    EXPECT_FALSE(d.GetPhase(10));
}

TEST(InputData, LayerModeConversion) {
    const auto make = [](TInputData& d) {
        d.SetHyoudo(true);
        TGridData g = Point(0, 0, 10.0, 0);
        g.LAYER[0] = 0.5;
        g.LAYER[1] = 1;
        g.LAYER[2] = 2;
        g.LAYER[3] = 3;
        g.LAYER[4] = 4;
        d.SetMeshData(g);
        d.DeleteMeshData(0, 0); // deleted points are converted too
    };
    struct Case {
        TQuestionAnswer second;
        double expect[4];
    } cases[] = {{TQuestionAnswer::Yes, {9, 7, 4, 0}},
                 {TQuestionAnswer::No, {8.5, 6.5, 3.5, -0.5}}};
    for (const Case& c : cases) {
        TInputData d;
        make(d);
        ScriptedQuestions q;
        q.answers = {TQuestionAnswer::Yes, c.second};
        q.Attach(d);
        d.SetSolidType(1);
        EXPECT_EQ(d.SolidType(), 1);
        ASSERT_EQ(q.asked.size(), 2u);
        EXPECT_EQ(q.asked[0].first, "層データの入力方法が変更されました。\n"
                                    "現在入力されているメッシュデータの値を変換しますか？");
        EXPECT_EQ(q.asked[0].second, TQuestionButtons::YesNoCancel);
        EXPECT_EQ(q.asked[1].second, TQuestionButtons::YesNo);
        EXPECT_NE(q.asked[1].first.find("\n　「はい」２層標高 = 地盤高 - １層厚\n"),
                  std::string::npos);
        const TGridData& g = d.GridList()[0];
        for (int i = 0; i < 4; ++i)
            EXPECT_DOUBLE_EQ(g.LAYER[i + 1], c.expect[i]) << i;
    }

    // Back to thicknesses, without a question about topsoil.
    TInputData d;
    make(d);
    d.SetSolidType(1); // no asker: Yes to both
    ScriptedQuestions q;
    q.answers = {TQuestionAnswer::Yes};
    q.Attach(d);
    d.SetSolidType(0);
    EXPECT_EQ(q.asked.size(), 1u);
    const TGridData& g = d.GridList()[0];
    for (int i = 1; i <= 4; ++i)
        EXPECT_DOUBLE_EQ(g.LAYER[i], i);
}

TEST(InputData, LayerModeCancelNoAndSameValue) {
    TInputData d;
    TGridData g = Point(0, 0, 10.0);
    g.LAYER[1] = 1;
    d.SetMeshData(g);
    ScriptedQuestions q;
    q.answers = {TQuestionAnswer::Cancel, TQuestionAnswer::No};
    q.Attach(d);
    d.SetSolidType(0); // same value: nothing asked
    EXPECT_TRUE(q.asked.empty());
    d.SetSolidType(1);
    EXPECT_EQ(d.SolidType(), 0);
    d.SetSolidType(1); // No: mode changes, values stay
    EXPECT_EQ(d.SolidType(), 1);
    EXPECT_EQ(d.GridList()[0].LAYER[1], 1.0);
    EXPECT_EQ(q.asked.size(), 2u);
    // Without topsoil there is no second question.
    TInputData e;
    g.Index = 0;
    e.SetMeshData(g);
    ScriptedQuestions q2;
    q2.answers = {TQuestionAnswer::Yes};
    q2.Attach(e);
    e.SetSolidType(1);
    EXPECT_EQ(q2.asked.size(), 1u);
    EXPECT_EQ(e.GridList()[0].LAYER[1], 9.0);
}
