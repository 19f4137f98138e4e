// The project file (".msh"): a fixed little-endian binary layout. A file is read and checked
// completely into a TFileContent before anything of the model changes, so a damaged or foreign
// file can never cost the user the project that is open. Saving goes through a temporary file.
//
// After the phase flags, where version 5 ends and its readers stop, a project may carry one
// tagged block with the data of other parts of the program:
//   "DRYOTAGS"  int32 block layout version (1)  int32 tag count
//   per tag, in name order: uint16 name length, the name (printable ASCII),
//                           uint32 data length, the data
// and nothing after it. A project without tags has no block, so its file is the same as ever.
// Bytes after the phase flags that do not start with the signature are ignored, as readers of
// version 5 always did; a block that starts with it is read completely or the file is refused.

#include "DataUnit.h"
#include "MeshFields.h"
#include "PlausibleRange.h"

#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/FileUtil.h"
#include "platform/LargeMemory.h"

#include <algorithm>
#include <cstring>

#include <sys/stat.h>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the project file is little-endian and is read with plain copies");

namespace {

constexpr char kSignature[] = "NOLVODohai..........";
constexpr size_t kSignatureSize = 20;
constexpr int32_t kVersion = 5;
constexpr size_t kTitleSize = 256;
constexpr size_t kNameFieldSize = 64;
constexpr size_t kMeshRecordSize = 80;
constexpr size_t kPhaseBytes = 10;
constexpr char kTagSignature[] = "DRYOTAGS";
constexpr size_t kTagSignatureSize = 8;
constexpr int32_t kTagLayout = 1;
constexpr size_t kTagHeadSize = 2 + 1 + 4; // the smallest tag: a one-byte name, no data

const char* const kNotProjectText =
    "選択されたファイルは、このプログラム用のファイルでないかもしくはファイルが壊れています。";
const char* const kNewerVersionText =
    "選択されたデータは、このバージョンでは処理することが出来ません。"
    "アプリケーションの最新バージョンをご用意下さい。";
const char* const kTruncatedText =
    "ファイルが途中で終わっています。ファイルが壊れているため読み込めません。";

// Where the bytes of a project come from: a file or a block of memory.
class TSource {
public:
    virtual ~TSource() = default;
    // Reads up to n bytes; fewer only at the end.
    virtual size_t Read(void* buf, size_t n) = 0;
    // Bytes left, when known (a regular file or memory).
    virtual bool Remaining(uint64_t& left) const = 0;

    void Need(void* buf, size_t n) {
        if (Read(buf, n) != n)
            throw EFailure(kTruncatedText);
    }
    int32_t Int() {
        int32_t v;
        Need(&v, sizeof v);
        return v;
    }
    double Double() {
        double v;
        Need(&v, sizeof v);
        return v;
    }
    uint8_t Byte() {
        uint8_t v;
        Need(&v, 1);
        return v;
    }
};

class TMemorySource : public TSource {
public:
    explicit TMemorySource(std::string_view b) : FBytes(b) {}
    size_t Read(void* buf, size_t n) override {
        n = std::min(n, FBytes.size() - FPos);
        std::memcpy(buf, FBytes.data() + FPos, n);
        FPos += n;
        return n;
    }
    bool Remaining(uint64_t& left) const override {
        left = FBytes.size() - FPos;
        return true;
    }

private:
    std::string_view FBytes;
    size_t FPos = 0;
};

// Buffered: the tagged block is read a field at a time, which must not be a system call each.
class TFileSource : public TSource {
public:
    explicit TFileSource(TFileReader& reader) : FReader(reader), FSize(reader.Size()) {}
    size_t Read(void* buf, size_t n) override {
        char* out = static_cast<char*>(buf);
        size_t done = 0;
        while (done < n) {
            if (FAt == FEnd) {
                if (n - done >= kBufferSize) { // the mesh records: straight through
                    done += FReader.Read(out + done, n - done);
                    break;
                }
                FBuffer.resize(kBufferSize);
                FAt = 0;
                FEnd = FReader.Read(FBuffer.data(), kBufferSize);
                if (FEnd == 0)
                    break;
            }
            const size_t take = std::min(n - done, FEnd - FAt);
            std::memcpy(out + done, FBuffer.data() + FAt, take);
            FAt += take;
            done += take;
        }
        FPos += done;
        return done;
    }
    bool Remaining(uint64_t& left) const override {
        if (FSize == 0) // not a regular file: the size is not known in advance
            return false;
        left = FPos <= FSize ? FSize - FPos : 0;
        return true;
    }

private:
    static constexpr size_t kBufferSize = 64 * 1024;
    TFileReader& FReader;
    uint64_t FSize;
    uint64_t FPos = 0; // bytes handed out
    std::string FBuffer;
    size_t FAt = 0, FEnd = 0;
};

void PutInt(std::string& out, int32_t v) {
    out.append(reinterpret_cast<const char*>(&v), 4);
}
void PutDouble(std::string& out, double v) {
    out.append(reinterpret_cast<const char*>(&v), 8);
}

void DecodeMesh(const char* p, TGridData& g) {
    std::memcpy(&g.X, p + 0, 4);
    std::memcpy(&g.Y, p + 4, 4);
    std::memcpy(&g.GH, p + 8, 8);
    std::memcpy(&g.FH, p + 16, 8);
    std::memcpy(&g.CSink, p + 24, 8);
    std::memcpy(&g.BSink, p + 32, 8);
    std::memcpy(g.LAYER, p + 40, 40);
}

void EncodeMesh(const TGridData& g, char* p) {
    std::memcpy(p + 0, &g.X, 4);
    std::memcpy(p + 4, &g.Y, 4);
    std::memcpy(p + 8, &g.GH, 8);
    std::memcpy(p + 16, &g.FH, 8);
    std::memcpy(p + 24, &g.CSink, 8);
    std::memcpy(p + 32, &g.BSink, 8);
    std::memcpy(p + 40, g.LAYER, 40);
}

// The length to store for a name field: a 64-byte name does not fit the file's 63 name bytes,
// so it is cut there, at a character boundary.
uint8_t StoredNameLength(const uint8_t* field) {
    if (field[0] < kNameFieldSize)
        return field[0];
    const std::string_view bytes(reinterpret_cast<const char*>(field + 1), kNameFieldSize - 1);
    return static_cast<uint8_t>(Cp932CutLength(bytes, kNameFieldSize - 1));
}

// A name with control characters (NUL, line breaks, escapes) keeps the rest of its text; the
// bytes it no longer uses become zeros. Names without any stay byte for byte.
void DropControlChars(uint8_t* field) {
    const std::string_view bytes(reinterpret_cast<const char*>(field + 1), field[0]);
    const std::string utf8 = Cp932ToUtf8(bytes);
    const std::string clean = WithoutControlChars(utf8);
    if (clean == utf8)
        return;
    const std::string cp = Utf8ToCp932(clean);
    const size_t n = Cp932CutLength(cp, field[0]);
    std::memset(field + 1, 0, field[0]);
    std::memcpy(field + 1, cp.data(), n);
    field[0] = static_cast<uint8_t>(n);
}

} // namespace

struct TInputData::TFileContent {
    std::string Title;
    int32_t CalcType, RoundType, SolidType, RateType, Layer;
    double MeshSpan;
    bool Flags[3];
    TSolid Solids[SolidCount];
    double Defaults[SolidCount];
    std::vector<TGridData> Grid;
    bool Phases[PhaseCount];
    std::map<std::string, std::string> Tags;

    // Reads and checks a whole file; entries the file does not carry keep the model's values.
    void Read(TSource& src, const TInputData& current, const TProgress& progress = {}) {
        std::copy(std::begin(current.FSolidData), std::end(current.FSolidData), Solids);
        std::copy(std::begin(current.FSolidDefault), std::end(current.FSolidDefault), Defaults);

        char sig[kSignatureSize];
        if (src.Read(sig, kSignatureSize) != kSignatureSize ||
            std::memcmp(sig, kSignature, kSignatureSize) != 0)
            throw EFailure(kNotProjectText);
        src.Int(); // reserved
        const int32_t version = src.Int();
        if (version > kVersion)
            throw EFailure(kNewerVersionText);

        char title[kTitleSize];
        src.Need(title, kTitleSize);
        // No control character from outside reaches the windows, files or pages.
        Title =
            WithoutControlChars(Cp932ToUtf8(std::string_view(title, strnlen(title, kTitleSize))));

        CalcType = src.Int();
        RoundType = src.Int();
        SolidType = src.Int();
        RateType = src.Int();
        Layer = src.Int();
        if (Layer < 1 || Layer > MaxLayer)
            throw EFailure(StrFormat("層の数が %d になっています（1～%d が正しい値です）。"
                                     "ファイルが壊れているため読み込めません。",
                                     Layer, MaxLayer));
        MeshSpan = src.Double();
        for (bool& f : Flags)
            f = src.Byte() != 0;

        const int entries = version < -2 ? 0 : std::min(version + 2, SolidCount);
        for (int i = 0; i < entries; ++i) {
            uint8_t* field = Solids[i].Name;
            std::memset(field, 0, NameFieldSize);
            src.Need(field, kNameFieldSize);
            field[0] = StoredNameLength(field);
            DropControlChars(field);
            Solids[i].Rate = src.Double();
            Defaults[i] = src.Double();
        }

        const int32_t count = src.Int();
        uint64_t left = 0;
        const bool sized = src.Remaining(left);
        if (count < 0 ||
            (sized && (left < kPhaseBytes ||
                       static_cast<uint64_t>(count) > (left - kPhaseBytes) / kMeshRecordSize)))
            throw EFailure(StrFormat("メッシュ数 %d がファイルの大きさと合いません。"
                                     "ファイルが壊れているため読み込めません。",
                                     count));
        // Only a count that the file is known to hold is reserved; otherwise the list grows
        // with the records actually read.
        if (sized)
            ReserveLarge(Grid, static_cast<size_t>(count));
        constexpr size_t kChunk = 4096;
        std::vector<char> buf(kChunk * kMeshRecordSize);
        for (size_t done = 0; done < static_cast<size_t>(count);) {
            const size_t n = std::min(kChunk, static_cast<size_t>(count) - done);
            src.Need(buf.data(), n * kMeshRecordSize);
            for (size_t j = 0; j < n; ++j) {
                TGridData& g = Grid.emplace_back();
                DecodeMesh(buf.data() + j * kMeshRecordSize, g);
                g.Index = static_cast<int32_t>(Grid.size());
            }
            done += n;
            if (done % (16 * kChunk) == 0)
                ReportProgress(progress, static_cast<double>(done) / count);
        }
        for (bool& p : Phases)
            p = src.Byte() != 0;
        ReadTags(src);
    }

    [[noreturn]] static void BadTags(const std::string& what) {
        throw EFailure("プロジェクトの付加データ（タグ ブロック）が壊れています（" + what +
                       "）。ファイルが壊れているため読み込めません。");
    }

    void ReadTags(TSource& src) {
        char sig[kTagSignatureSize];
        if (src.Read(sig, kTagSignatureSize) != kTagSignatureSize ||
            std::memcmp(sig, kTagSignature, kTagSignatureSize) != 0)
            return;
        const auto need = [&](void* buf, size_t n) {
            if (src.Read(buf, n) != n)
                BadTags("途中で終わっています");
        };
        int32_t layout, count;
        need(&layout, 4);
        if (layout > kTagLayout)
            throw EFailure(kNewerVersionText);
        if (layout < 1)
            BadTags(StrFormat("版 %d", layout));
        need(&count, 4);
        uint64_t left = 0;
        const bool sized = src.Remaining(left);
        if (count < 0 || (sized && static_cast<uint64_t>(count) > left / kTagHeadSize))
            BadTags(StrFormat("タグ数 %d", count));
        for (int32_t i = 0; i < count; ++i) {
            uint16_t nameSize;
            need(&nameSize, 2);
            if (nameSize > MaxTagName)
                BadTags(StrFormat("%d 番目のタグ名が %u バイトあります", i + 1, nameSize));
            std::string name(nameSize, '\0');
            need(name.data(), nameSize);
            if (!IsTagName(name))
                BadTags(StrFormat("%d 番目のタグ名に使えない文字があります", i + 1));
            if (Tags.count(name))
                BadTags("タグ " + name + " が 2 つあります");
            uint32_t size;
            need(&size, 4);
            if (sized && (!src.Remaining(left) || size > left))
                BadTags("タグ " + name + " の長さがファイルの大きさと合いません");
            // Without a known size the data grows as it is read, never by what a length claims.
            std::string& data = Tags[name];
            constexpr size_t kChunk = 1 << 20;
            for (size_t done = 0; done < size;) {
                const size_t n = std::min<size_t>(kChunk, size - done);
                data.resize(done + n);
                need(data.data() + done, n);
                done += n;
            }
        }
        char extra;
        if (src.Read(&extra, 1) != 0)
            BadTags("ブロックの後に余分なデータがあります");
    }
};

void TInputData::Commit(TFileContent& c, const TProgress& Progress) {
    FGridList.swap(c.Grid);
    FXYtoIndex.clear();
    FXYtoIndex.shrink_to_fit();
    ClearCalcList();
    FSumVolume = TGridCalcData{};
    FTotals = TCalcTotals{};
    FSaturatedMeshes = 0;
    FCalcTime = 0;
    FTitle = std::move(c.Title);
    FCalcType = c.CalcType;
    FRoundType = c.RoundType;
    FSolidType = c.SolidType;
    FRateType = c.RateType;
    FLayer = c.Layer;
    FMeshSpan = c.MeshSpan;
    std::copy(std::begin(c.Flags), std::end(c.Flags), FSolidFlg);
    std::copy(std::begin(c.Solids), std::end(c.Solids), FSolidData);
    std::copy(std::begin(c.Defaults), std::end(c.Defaults), FSolidDefault);
    FTags.swap(c.Tags);
    for (int i = 0; i < PhaseCount; ++i)
        SetPhase(i, c.Phases[i]);
    // A file whose spacing or values cannot be calculated still opens, without results;
    // calculating it then says why.
    if (GetPhase(2) && (!MeshSpanUsable(FMeshSpan) || !NonFiniteMessage(*this).empty()))
        SetPhase(2, false);
    if (GetPhase(2))
        Calcrate(Progress);
}

// Takes over a project made whole elsewhere; this one's listener, asker and calculation
// settings stay, and the listener hears every phase that differs.
void TInputData::TakeProject(TInputData&& Next) {
    bool before[PhaseCount];
    std::copy(std::begin(FPhase), std::end(FPhase), before);
    TPhaseChange listener = std::move(FOnPhaseChange);
    TQuestion question = std::move(FQuestion);
    const TCellIndexMode mode = FCellIndexMode;
    const int threads = FCalcThreads;
    *this = std::move(Next);
    FOnPhaseChange = std::move(listener);
    FQuestion = std::move(question);
    FCellIndexMode = mode;
    FCalcThreads = threads;
    for (int i = 0; i < PhaseCount; ++i)
        if (FPhase[i] != before[i] && FOnPhaseChange)
            FOnPhaseChange(*this, i, FPhase[i]);
}

void TInputData::FileLoad(const std::string& FName, const TProgress& Progress) {
    TFileContent content;
    {
        TFileReader reader(FName);
        TFileSource src(reader);
        content.Read(src, *this, ProgressPart(Progress, 0.0, 0.5));
    }
    if (Progress) {
        // The recalculation may be cancelled too: the new project is made whole on its own.
        TInputData next;
        next.FCellIndexMode = FCellIndexMode;
        next.FCalcThreads = FCalcThreads;
        next.Commit(content, ProgressPart(Progress, 0.5, 1.0));
        TakeProject(std::move(next));
    } else {
        Commit(content);
    }
    // The results were worked out again on reading; they are those the file was saved with.
    struct stat st {};
    if (GetPhase(2) && ::stat(FName.c_str(), &st) == 0)
        FCalcTime = static_cast<int64_t>(st.st_mtime);
}

void TInputData::FileLoad(TFileReader& Reader) {
    TFileContent content;
    TFileSource src(Reader);
    content.Read(src, *this);
    Commit(content);
}

void TInputData::LoadFromBytes(std::string_view Bytes) {
    TFileContent content;
    TMemorySource src(Bytes);
    content.Read(src, *this);
    Commit(content);
}

std::string TInputData::SaveToBytes() const {
    const int count = GetInputMeshCount();
    // Room for the tagged block too: growing a string of a million records copies them all.
    size_t tags = FTags.empty() ? 0 : kTagSignatureSize + 8;
    for (const auto& tag : FTags)
        tags += 2 + tag.first.size() + 4 + tag.second.size();
    std::string out;
    out.reserve(889 + kMeshRecordSize * static_cast<size_t>(count) + tags);

    // The signature and the title share one zero-filled work buffer, so the bytes after a
    // short title repeat the tail of the signature, as files of this format always have.
    char work[kTitleSize] = {};
    std::memcpy(work, kSignature, kSignatureSize + 1);
    out.append(work, kSignatureSize);
    PutInt(out, 1);
    PutInt(out, kVersion);
    const std::string title = Utf8ToCp932(FTitle);
    const size_t n = Cp932CutLength(title, kTitleSize - 1);
    std::memcpy(work, title.data(), n);
    work[n] = 0;
    out.append(work, kTitleSize);

    PutInt(out, FCalcType);
    PutInt(out, FRoundType);
    PutInt(out, FSolidType);
    PutInt(out, FRateType);
    PutInt(out, FLayer);
    PutDouble(out, FMeshSpan);
    for (bool f : FSolidFlg)
        out.push_back(f ? 1 : 0);
    for (int i = 0; i < SolidCount; ++i) {
        const uint8_t* field = FSolidData[i].Name;
        out.push_back(static_cast<char>(StoredNameLength(field)));
        out.append(reinterpret_cast<const char*>(field + 1), kNameFieldSize - 1);
        PutDouble(out, FSolidData[i].Rate);
        PutDouble(out, FSolidDefault[i]);
    }
    PutInt(out, count);
    char rec[kMeshRecordSize];
    for (const TGridData& g : FGridList) {
        if (g.DelFlg)
            continue;
        EncodeMesh(g, rec);
        out.append(rec, kMeshRecordSize);
    }
    for (bool p : FPhase)
        out.push_back(p ? 1 : 0);
    if (!FTags.empty()) {
        out.append(kTagSignature, kTagSignatureSize);
        PutInt(out, kTagLayout);
        PutInt(out, static_cast<int32_t>(FTags.size()));
        for (const auto& [name, data] : FTags) {
            const uint16_t nameSize = static_cast<uint16_t>(name.size());
            out.append(reinterpret_cast<const char*>(&nameSize), 2);
            out.append(name);
            const uint32_t size = static_cast<uint32_t>(data.size());
            out.append(reinterpret_cast<const char*>(&size), 4);
            out.append(data);
        }
    }
    return out;
}

void TInputData::FileSave(const std::string& FName) const {
    WriteFileAtomic(FName, SaveToBytes());
}
