// LandXML 1.2 / J-LandXML through expat, as a stream: the TIN surfaces (points and faces) and
// the CgPoints. Elements are matched by local name, so a namespace prefix does not matter.
// A document type declaration is refused outright: LandXML needs none, and without one no
// entity can be declared, so neither entity expansion nor external entities can happen.
// Nesting, markup and names have bounds far beyond any real file, so that a hostile file costs
// neither memory nor time out of proportion, and no message echoes megabytes back.

#include "survey/SurveyReader.h"
#include "survey/SurveyText.h"

#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/FileUtil.h"

#include <expat.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <unordered_set>

namespace {

constexpr size_t kMaxText = 4096;       // the text of one P, F or CgPoint
constexpr int kMaxDepth = 256;          // elements open at once (LandXML needs about 8)
constexpr size_t kMaxMarkup = 16 << 20; // one tag, comment or instruction, attributes and all
constexpr size_t kMaxName = 256;        // bytes of a surface name kept
constexpr size_t kMaxId = 256;          // bytes of a point id

enum class TElem { Other, Surface, Definition, Pnts, P, Faces, F, CgPoints, CgPoint };

TElem ElemOf(const char* name) {
    if (const char* colon = std::strrchr(name, ':'))
        name = colon + 1;
    static const struct {
        const char* Name;
        TElem Elem;
    } names[] = {{"Surface", TElem::Surface},   {"Definition", TElem::Definition},
                 {"Pnts", TElem::Pnts},         {"P", TElem::P},
                 {"Faces", TElem::Faces},       {"F", TElem::F},
                 {"CgPoints", TElem::CgPoints}, {"CgPoint", TElem::CgPoint}};
    for (const auto& n : names)
        if (std::strcmp(name, n.Name) == 0)
            return n.Elem;
    return TElem::Other;
}

const char* Attr(const char** atts, const char* name) {
    for (int i = 0; atts[i]; i += 2)
        if (std::strcmp(atts[i], name) == 0)
            return atts[i + 1];
    return nullptr;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Whitespace-separated tokens of an element's text.
size_t Tokens(std::string_view s, std::string_view* out, size_t max) {
    size_t n = 0, i = 0;
    while (i < s.size()) {
        while (i < s.size() && IsSpace(s[i]))
            ++i;
        const size_t start = i;
        while (i < s.size() && !IsSpace(s[i]))
            ++i;
        if (i > start) {
            if (n == max)
                return max + 1;
            out[n++] = s.substr(start, i - start);
        }
    }
    return n;
}

class TLandXmlReader {
public:
    TLandXmlReader(const std::string& Path) : FPath(Path) {
        FParser = XML_ParserCreate(nullptr);
        if (!FParser)
            throw std::bad_alloc();
        XML_SetUserData(FParser, this);
        XML_SetElementHandler(FParser, &Start, &End);
        XML_SetCharacterDataHandler(FParser, &Text);
        XML_SetStartDoctypeDeclHandler(FParser, &Doctype);
        XML_SetEntityDeclHandler(FParser, &EntityDecl);
        XML_SetExternalEntityRefHandler(FParser, &ExternalEntity);
        XML_SetParamEntityParsing(FParser, XML_PARAM_ENTITY_PARSING_NEVER);
        FFile.Path = Path;
        FFile.Kind = TSurveyFileKind::LandXml;
    }
    ~TLandXmlReader() { XML_ParserFree(FParser); }
    TLandXmlReader(const TLandXmlReader&) = delete;
    TLandXmlReader& operator=(const TLandXmlReader&) = delete;

    void Feed(const char* data, size_t size, bool last) {
        while (size > 0 || last) {
            // Chunks as a file is read, so that bytes in memory meet the same bounds.
            const int n = static_cast<int>(std::min<size_t>(size, 1 << 20));
            if (XML_Parse(FParser, data, n, last && static_cast<size_t>(n) == size) ==
                XML_STATUS_ERROR)
                Raise();
            data += n;
            size -= static_cast<size_t>(n);
            FFed += static_cast<uint64_t>(n);
            // Expat keeps an unfinished tag whole and scans it again with every chunk: one
            // without end would cost memory and time without bound.
            const XML_Index at = XML_GetCurrentByteIndex(FParser);
            if (at >= 0 && FFed - static_cast<uint64_t>(at) > kMaxMarkup)
                throw EFailure(
                    StrFormat("%s の %lld 行目: ", ShownFileName(FPath).c_str(),
                              static_cast<long long>(XML_GetCurrentLineNumber(FParser))) +
                    StrFormat("タグかコメントが長すぎます（%zu MB を超えています）。",
                              kMaxMarkup >> 20));
            if (size == 0)
                break;
        }
    }

    TSurveyFile Finish() {
        if (!FCg.Points.empty()) {
            FCg.Name = "CgPoints";
            FFile.Surfaces.push_back(std::move(FCg));
        }
        // A surface is chosen by its name: a repeated name gets its place among its namesakes.
        std::unordered_set<std::string> seen;
        std::unordered_map<std::string, int64_t> next; // the number a name's next repeat tries
        for (TSurveySurface& s : FFile.Surfaces) {
            if (seen.insert(s.Name).second)
                continue;
            int64_t& k = next.try_emplace(s.Name, 2).first->second;
            std::string name;
            do
                name = s.Name + " (" + std::to_string(k++) + ")";
            while (!seen.insert(name).second);
            s.Name = std::move(name);
        }
        return std::move(FFile);
    }

private:
    [[noreturn]] void Raise() {
        const long long line = static_cast<long long>(XML_GetCurrentLineNumber(FParser));
        const std::string what = FError.empty()
                                     ? StrFormat("XML として正しくありません（%s）。",
                                                 XML_ErrorString(XML_GetErrorCode(FParser)))
                                     : FError;
        throw EFailure(StrFormat("%s の %lld 行目: ", ShownFileName(FPath).c_str(), line) + what);
    }
    void Stop(const std::string& what) {
        if (FError.empty())
            FError = what;
        XML_StopParser(FParser, XML_FALSE);
    }
    std::string Quote(std::string_view s) const { return "「" + SurveyShortText(s, 40) + "」"; }

    bool ParseCoords(std::string_view text, double* v, size_t& n, const char* what) {
        std::string_view t[4];
        n = Tokens(text, t, 3);
        if (n > 3) {
            Stop(StrFormat("%s の座標が 4 つ以上あります（北 東 標高の 3 つです）。", what));
            return false;
        }
        for (size_t i = 0; i < n; ++i) {
            const TSurveyNumber r = ParseSurveyNumber(t[i], true, v[i]);
            if (r != TSurveyNumber::Ok) {
                Stop(std::string(what) + " の座標が" +
                     (r == TSurveyNumber::WideDigits   ? "全角の数字です（"
                      : r == TSurveyNumber::OutOfRange ? "大きすぎます（"
                                                       : "数値ではありません（") +
                     Quote(t[i]) +
                     (r == TSurveyNumber::WideDigits ? "）。半角で書いてください。" : "）。"));
                return false;
            }
            if (!std::isfinite(v[i])) {
                Stop(std::string(what) + " の座標が有限の数値ではありません（" + Quote(t[i]) +
                     "）。");
                return false;
            }
            if (std::fabs(v[i]) > MaxSurveyCoordinate) {
                Stop(std::string(what) + " の座標が大きすぎます（" + Quote(t[i]) + "）。");
                return false;
            }
        }
        return true;
    }

    int32_t* FindId(std::string_view id) {
        int64_t k;
        const auto r = std::from_chars(id.data(), id.data() + id.size(), k);
        if (r.ec == std::errc() && r.ptr == id.data() + id.size()) {
            const auto it = FIntIds.find(k);
            return it == FIntIds.end() ? nullptr : &it->second;
        }
        const auto it = FStrIds.find(std::string(id));
        return it == FStrIds.end() ? nullptr : &it->second;
    }
    bool AddId(std::string_view id, int32_t index) {
        int64_t k;
        const auto r = std::from_chars(id.data(), id.data() + id.size(), k);
        if (r.ec == std::errc() && r.ptr == id.data() + id.size())
            return FIntIds.emplace(k, index).second;
        return FStrIds.emplace(std::string(id), index).second;
    }

    void OnStart(const char* name, const char** atts) {
        if (++FDepth > kMaxDepth)
            return Stop(StrFormat("要素の入れ子が深すぎます（%d 段までです）。", kMaxDepth));
        const TElem e = ElemOf(name);
        FText.clear();
        FCollect = false;
        switch (e) {
        case TElem::Surface: {
            FSurface = std::make_unique<TSurveySurface>();
            const char* n = Attr(atts, "name");
            FSurface->Name = n ? SurveyShortText(n, kMaxName)
                               : StrFormat("Surface %zu", FFile.Surfaces.size() + 1);
            FIntIds.clear();
            FStrIds.clear();
            break;
        }
        case TElem::Definition: {
            const char* t = Attr(atts, "surfType");
            FInTin = FSurface && t && (std::strcmp(t, "TIN") == 0 || std::strcmp(t, "tin") == 0);
            if (FInTin)
                FSurface->IsTin = true;
            break;
        }
        case TElem::P:
            if (FInTin) {
                const char* id = Attr(atts, "id");
                if (!id || !*id)
                    return Stop("点（P）に id がありません。");
                if (std::strlen(id) > kMaxId)
                    return Stop(
                        StrFormat("点（P）の id が長すぎます（%zu バイトまでです）。", kMaxId));
                FId = id;
                FCollect = true;
            }
            break;
        case TElem::F:
            if (FInTin) {
                const char* inv = Attr(atts, "i");
                if (inv && std::strcmp(inv, "1") == 0)
                    ++FSurface->SkippedFaces;
                else
                    FCollect = true;
            }
            break;
        case TElem::CgPoint:
            FCollect = true;
            break;
        default:
            break;
        }
    }

    void OnEnd(const char* name) {
        --FDepth;
        const TElem e = ElemOf(name);
        const bool collected = FCollect;
        FCollect = false;
        switch (e) {
        case TElem::Surface:
            if (FSurface && FSurface->IsTin)
                FFile.Surfaces.push_back(std::move(*FSurface));
            FSurface.reset();
            FInTin = false;
            break;
        case TElem::Definition:
            FInTin = false;
            break;
        case TElem::P: {
            if (!collected)
                break;
            double v[3];
            size_t n;
            if (!ParseCoords(FText, v, n, "点（P）"))
                return;
            if (n != 3)
                return Stop("点（P）には北 東 標高の 3 つの値が必要です。");
            if (FSurface->Points.size() >= INT32_MAX)
                return Stop("点の数が多すぎます。");
            const auto index = static_cast<int32_t>(FSurface->Points.size());
            if (!AddId(FId, index))
                return Stop("点の id " + Quote(FId) + " が 2 度使われています。");
            FSurface->Points.push_back({v[0], v[1], v[2]});
            break;
        }
        case TElem::F: {
            if (!collected)
                break;
            std::string_view t[4];
            if (Tokens(FText, t, 3) != 3)
                return Stop("面（F）には 3 つの点の id が必要です。");
            std::array<int32_t, 3> f;
            for (int i = 0; i < 3; ++i) {
                const int32_t* at = FindId(t[i]);
                if (!at)
                    return Stop("面（F）が存在しない点 " + Quote(t[i]) + " を指しています。");
                f[static_cast<size_t>(i)] = *at;
            }
            FSurface->Triangles.push_back(f);
            break;
        }
        case TElem::CgPoint: {
            double v[3];
            size_t n;
            if (!ParseCoords(FText, v, n, "CgPoint"))
                return;
            if (n == 3)
                FCg.Points.push_back({v[0], v[1], v[2]});
            else
                ++FFile.SkippedRecords; // a point in plan only
            break;
        }
        default:
            break;
        }
        FText.clear();
    }

    void OnText(const char* s, int len) {
        if (!FCollect)
            return;
        if (FText.size() + static_cast<size_t>(len) > kMaxText)
            return Stop("要素の内容が長すぎます。");
        FText.append(s, static_cast<size_t>(len));
    }

    static void XMLCALL Start(void* u, const char* name, const char** atts) {
        static_cast<TLandXmlReader*>(u)->OnStart(name, atts);
    }
    static void XMLCALL End(void* u, const char* name) {
        static_cast<TLandXmlReader*>(u)->OnEnd(name);
    }
    static void XMLCALL Text(void* u, const char* s, int len) {
        static_cast<TLandXmlReader*>(u)->OnText(s, len);
    }
    static void XMLCALL Doctype(void* u, const char*, const char*, const char*, int) {
        static_cast<TLandXmlReader*>(u)->Stop(
            "文書型宣言（DOCTYPE）を含む XML は、安全のため読み込みません。");
    }
    static void XMLCALL EntityDecl(void* u, const char*, int, const char*, int, const char*,
                                   const char*, const char*, const char*) {
        static_cast<TLandXmlReader*>(u)->Stop("実体宣言を含む XML は、安全のため読み込みません。");
    }
    static int XMLCALL ExternalEntity(XML_Parser, const char*, const char*, const char*,
                                      const char*) {
        return XML_STATUS_ERROR;
    }

    std::string FPath;
    XML_Parser FParser;
    TSurveyFile FFile;
    std::unique_ptr<TSurveySurface> FSurface;
    TSurveySurface FCg;
    std::unordered_map<int64_t, int32_t> FIntIds;
    std::unordered_map<std::string, int32_t> FStrIds;
    std::string FText;
    std::string FId;
    std::string FError;
    uint64_t FFed = 0; // bytes given to the parser
    int FDepth = 0;    // elements open
    bool FInTin = false;
    bool FCollect = false;
};

} // namespace

TSurveyFile ReadLandXmlBytes(std::string_view Bytes, const std::string& Path) {
    TLandXmlReader r(Path);
    r.Feed(Bytes.data(), Bytes.size(), true);
    return r.Finish();
}

TSurveyFile ReadLandXmlFile(const std::string& Path, const TSurveyProgress& Progress) {
    TFileReader in(Path);
    TLandXmlReader r(Path);
    std::vector<char> buf(1 << 20);
    uint64_t done = 0;
    for (;;) {
        const size_t n = in.Read(buf.data(), buf.size());
        done += n;
        r.Feed(buf.data(), n, n == 0);
        if (n == 0)
            break;
        if (Progress && in.Size() > 0 &&
            !Progress(static_cast<double>(done) / static_cast<double>(in.Size())))
            throw ESurveyCancelled{};
    }
    return r.Finish();
}
