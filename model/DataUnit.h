#pragma once
// The earthwork project in memory: base settings, soil table with change rates, standard
// values, input mesh points, the results of the last calculation and the phase flags that tell
// the windows how far the work has come. The calculation (DataUnitCalc.cpp) and the project
// file (DataUnitFile.cpp) are operations of the same class. No Qt here: the command line tool,
// the tests and the benchmarks use this class exactly as the windows do.

#include "platform/Progress.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class TFileReader;

// One input mesh point. The flag sits beside the numbers, where it takes no room of its own:
// a point is as large as its record in the project file.
struct TGridData {
    int32_t Index = 0; // 1-based list position; 0: no such point / a new point
    int32_t X = 0;
    int32_t Y = 0;
    bool DelFlg = false;
    double GH = 0.0;      // ground height
    double FH = 0.0;      // planned height
    double LAYER[5] = {}; // [0] topsoil; [1..4] layer thickness or layer top elevation
    double CSink = 0.0;   // stepping-in settlement
    double BSink = 0.0;   // consolidation settlement
};

// One calculated mesh, or the project totals. Volumes in whole cubic metres.
struct TGridCalcData {
    int32_t Num = 0; // 1-based cell number; 0 in the totals and where it does not fit
    int32_t X = 0;
    int32_t Y = 0;
    int32_t BV[2] = {};          // fill: [0] plain, [1] corrected
    int32_t CV[2][6] = {};       // cut: row [0] plain, [1] corrected; [0] total, [1..5] layers
    int32_t HV = 0;              // topsoil
    double CXj = 0.0, CYj = 0.0; // centroid of the cut (m)
    double BXj = 0.0, BYj = 0.0; // centroid of the fill (m)
};

// The project totals as the windows, files and reports show them: summed in 64 bits over the
// calculated meshes, so a large site does not stop at the 32-bit limit of a record's field.
struct TCalcTotals {
    int64_t BV[2] = {};    // fill: [0] plain, [1] corrected
    int64_t CV[2][6] = {}; // cut: row [0] plain, [1] corrected; [0] total, [1..5] layers
    int64_t HV = 0;        // topsoil
};

class TInputData;

// Why a mesh spacing cannot be used (see MeshSpanUsable), in one Japanese sentence.
std::string MeshSpanMessage(double Span);

// Fired for every change of a phase flag, synchronously inside the changing operation.
using TPhaseChange = std::function<void(TInputData& Sender, int Phase, bool Value)>;

// The model's questions to the user. The windows answer with message boxes titled
// "メッセージ"; without an installed asker the first answer listed (Yes) is taken.
enum class TQuestionButtons { YesNoCancel, YesNo };
enum class TQuestionAnswer { Yes, No, Cancel };
using TQuestion = std::function<TQuestionAnswer(const std::string& Text, TQuestionButtons Buttons)>;

// How Calcrate finds the point at a mesh position. The dense cell table is the fastest for a
// site of neighbouring meshes; scattered mesh numbers (which would make the table huge) are
// handled by a sorted index with the same records in the same order. Auto picks by size.
enum class TCellIndexMode { Auto, Dense, Sparse };

class TInputData {
public:
    static constexpr int SolidCount = 7; // soil table entries and standard values
    static constexpr int PhaseCount = 10;
    static constexpr int MaxLayer = 5;
    static constexpr int NameFieldSize = 65; // length byte + 64 bytes of code page 932

    TInputData();
    ~TInputData();
    TInputData(const TInputData&) = default;
    TInputData& operator=(const TInputData&) = default;
    TInputData(TInputData&&) = default;
    TInputData& operator=(TInputData&&) = default;

    // --- Properties
    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& Value) { FTitle = Value; }
    int Layer() const { return FLayer; }
    void SetLayer(int Value); // 1..5, else EFailure
    double MeshSpan() const { return FMeshSpan; }
    // Refuses a spacing outside kMeshSpanMin..kMeshSpanMax with MeshSpanMessage; a project file
    // may still hold one, which the calculation and the site check then name.
    void SetMeshSpan(double Value);
    bool Hyoudo() const { return FSolidFlg[0]; }
    void SetHyoudo(bool Value) { FSolidFlg[0] = Value; }
    bool Fumikomi() const { return FSolidFlg[1]; }
    void SetFumikomi(bool Value) { FSolidFlg[1] = Value; }
    bool Atumitu() const { return FSolidFlg[2]; }
    void SetAtumitu(bool Value) { FSolidFlg[2] = Value; }
    int RoundType() const { return FRoundType; }
    void SetRoundType(int Value) { FRoundType = Value; }
    int CalcType() const { return FCalcType; }
    void SetCalcType(int Value) { FCalcType = Value; }
    int RateType() const { return FRateType; }
    void SetRateType(int Value) { FRateType = Value; }
    int SolidType() const { return FSolidType; }
    void SetSolidType(int Value); // runs the layer input mode change, asking the user
    int MeshCount() const { return static_cast<int>(FGridList.size()); }
    int CalcMeshCount() const { return static_cast<int>(FGridCalcList.size()); }
    const TPhaseChange& OnPhaseChange() const { return FOnPhaseChange; }
    void SetOnPhaseChange(TPhaseChange Value) { FOnPhaseChange = std::move(Value); }
    void SetQuestion(TQuestion Value) { FQuestion = std::move(Value); }

    // --- Soil table, standard values, phases
    std::string GetSolidName(int Index) const;
    void SetSolidName(int Index, std::string_view Name);
    double GetSolidValue(int Index, int Kind) const;
    void SetSolidValue(int Index, int Kind, double Value);
    bool GetPhase(int Phase) const;
    void SetPhase(int Phase, bool Value);

    // --- Mesh points
    TGridData GetIndexToData(int Index) const;
    TGridData GetXYToData(int X, int Y) const;
    int GetInputMeshCount() const;
    int SetMeshData(TGridData& Data);
    bool DeleteMeshData(int X, int Y);
    // Room for Count more points, so that a bulk registration cannot stop half-way for memory.
    void ReserveMeshes(size_t Count) { FGridList.reserve(FGridList.size() + Count); }

    // --- Calculation (DataUnitCalc.cpp)
    // Progress hears the share done now and then and may cancel while the calculation
    // prepares (about the first third): it then throws ECancelled and leaves the results and
    // phases as they were. Once it writes its records it runs to its end.
    bool Calcrate(const TProgress& Progress = {});
    TGridCalcData GetIndextoCalcMesh(int Index) const;
    // The totals in a record's 32-bit fields, each saturated at the limit.
    TGridCalcData GetCalcSumVolume() const { return FSumVolume; }
    TCalcTotals GetCalcTotals() const { return FTotals; }
    // Calculated meshes with a volume at the limit of its 32-bit field, cut there: their own
    // figures, and so the totals, fall short of the truth.
    int64_t SaturatedMeshCount() const { return FSaturatedMeshes; }
    void SetCellIndexMode(TCellIndexMode Mode) { FCellIndexMode = Mode; }
    // Threads of a calculation: 0 (the default) one per core on a large site, else exactly
    // this many, with the work in as many blocks at least. The records and totals are the
    // same for every choice.
    void SetCalcThreads(int Count) { FCalcThreads = Count; }
    // True when the last Calcrate used the dense cell table.
    bool LastCalcWasDense() const { return FLastCalcDense; }
    static int32_t RoundVolume(double x, int RoundType);
    // When the results were calculated, in seconds since 1970 (0: never). Results read with a
    // file are dated by the time the file was written, as the file keeps no date of its own.
    int64_t CalcTime() const { return FCalcTime; }
    void SetCalcTime(int64_t Value) { FCalcTime = Value; }

    // --- Project file (DataUnitFile.cpp)
    // With Progress the file is read, and recalculated when it has results, into a project of
    // its own, which replaces this one only when whole: a cancel (ECancelled) or a failure
    // leaves this project as it was.
    void FileLoad(const std::string& FName, const TProgress& Progress = {});
    // The same from a reader opened by the caller (the command line tool's standard input).
    void FileLoad(TFileReader& Reader);
    void FileSave(const std::string& FName) const;
    std::string SaveToBytes() const;
    void LoadFromBytes(std::string_view Bytes);

    // --- Tagged blocks: data of other parts of the program (the survey georeference, earth
    // allocation, ...) kept with the project after the phase flags, where readers of version 5
    // do not look. Each part owns one name and the format of its bytes (its own version in
    // them); tags this program does not know are kept and saved back as they came. A project
    // without tags is saved exactly as before. Names: 1 to 64 printable ASCII characters.
    static constexpr size_t MaxTagName = 64;
    const std::map<std::string, std::string>& Tags() const { return FTags; }
    bool HasTag(const std::string& Name) const { return FTags.count(Name) != 0; }
    std::string GetTag(const std::string& Name) const;       // empty when absent
    void SetTag(const std::string& Name, std::string Bytes); // EFailure for a bad name
    void RemoveTag(const std::string& Name) { FTags.erase(Name); }
    static bool IsTagName(std::string_view Name);

    // Bulk access for the windows and reports, which must not copy a million records one by one.
    const std::vector<TGridData>& GridList() const { return FGridList; }
    const std::vector<TGridCalcData>& CalcList() const { return FGridCalcList; }

private:
    struct TSolid {
        uint8_t Name[NameFieldSize] = {}; // [0] length n, [1..n] the name in code page 932
        double Rate = 0.0;
    };
    struct TFileContent; // a project file read and checked, before it reaches the model
    friend struct TCalcRun;

    void ClearGridList() { FGridList.clear(); }
    void ClearCalcList();
    TGridData& NewGridMesh(int X, int Y);
    TGridData NewPointAnswer() const;
    void ClearPhasesFrom(int First);
    void ConvertLayers(int NewMode);
    TQuestionAnswer Ask(const std::string& Text, TQuestionButtons Buttons) const;
    void Commit(TFileContent& Content, const TProgress& Progress = {});
    void TakeProject(TInputData&& Next);

    std::vector<TGridData> FGridList;
    std::vector<TGridCalcData> FGridCalcList;
    TSolid FSolidData[SolidCount];
    double FMeshSpan = 20.0;
    int32_t FLayer = 5;
    bool FSolidFlg[3] = {};
    double FSolidDefault[SolidCount] = {};
    bool FPhase[PhaseCount] = {};
    int64_t FCalcTime = 0;
    int32_t FRoundType = 0;
    int32_t FCalcType = 0;
    int32_t FSolidType = 0;
    int32_t FRateType = 0;
    // Cell table of the last calculation (empty when the sparse index was used). The bounds
    // are held in 64 bits so that widening them by one never overflows.
    std::vector<int32_t> FXYtoIndex;
    int64_t FMinX = 0, FMinY = 0, FMaxX = 0, FMaxY = 0;
    int64_t FXSpace = 0;
    TGridCalcData FSumVolume;
    TCalcTotals FTotals;
    int64_t FSaturatedMeshes = 0;
    TPhaseChange FOnPhaseChange;
    TQuestion FQuestion;
    std::string FTitle;
    std::map<std::string, std::string> FTags;
    TCellIndexMode FCellIndexMode = TCellIndexMode::Auto;
    bool FLastCalcDense = false;
    int FCalcThreads = 0;
};
