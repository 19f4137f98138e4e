// Which reader a file goes to, and the reading of whole text files with progress.

#include "survey/SurveyReader.h"

#include "platform/Failure.h"
#include "platform/FileUtil.h"

#include <algorithm>
#include <cctype>

TSurveyFile ReadLandXmlFile(const std::string& Path, const TSurveyProgress& Progress);

namespace {

std::string LowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::string ReadWhole(const std::string& Path, const TSurveyProgress& Progress) {
    TFileReader in(Path);
    std::string bytes;
    if (in.Size() > 0)
        bytes.reserve(static_cast<size_t>(in.Size()));
    constexpr size_t kChunk = 1 << 20;
    for (;;) {
        const size_t at = bytes.size();
        bytes.resize(at + kChunk);
        const size_t n = in.Read(bytes.data() + at, kChunk);
        bytes.resize(at + n);
        if (n == 0)
            break;
        if (Progress && in.Size() > 0 &&
            !Progress(0.5 * static_cast<double>(bytes.size()) / static_cast<double>(in.Size())))
            throw ESurveyCancelled{};
    }
    return bytes;
}

} // namespace

TSurveyFileKind DetectSurveyFileKind(const std::string& Path, std::string_view Head) {
    const std::string ext = LowerExtension(Path);
    if (ext == "xml" || ext == "landxml")
        return TSurveyFileKind::LandXml;
    if (ext == "sim" || ext == "sima")
        return TSurveyFileKind::Sima;
    // Unknown names: by content; UTF-16 by its byte-order mark and then its low bytes.
    std::string narrow;
    if (Head.substr(0, 2) == "\xFF\xFE" || Head.substr(0, 2) == "\xFE\xFF") {
        for (size_t k = Head[0] == '\xFF' ? 2 : 3; k < Head.size(); k += 2)
            narrow += Head[k];
        Head = narrow;
    }
    size_t i = Head.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    while (i < Head.size() && std::isspace(static_cast<unsigned char>(Head[i])))
        ++i;
    Head.remove_prefix(std::min(i, Head.size()));
    if (Head.substr(0, 1) == "<")
        return TSurveyFileKind::LandXml;
    if (Head.substr(0, 4) == "G00," || Head.substr(0, 4) == "Z00," || Head.substr(0, 4) == "A00,")
        return TSurveyFileKind::Sima;
    return TSurveyFileKind::Points;
}

TSurveyFileKind DetectSurveyFileKind(const std::string& Path) {
    TFileReader in(Path);
    char head[256];
    const size_t n = in.Read(head, sizeof head);
    return DetectSurveyFileKind(Path, std::string_view(head, n));
}

const char* SurveyFileKindName(TSurveyFileKind Kind) {
    switch (Kind) {
    case TSurveyFileKind::Sima:
        return "sima";
    case TSurveyFileKind::LandXml:
        return "landxml";
    default:
        return "points";
    }
}

bool ParseSurveyFileKind(std::string_view Name, TSurveyFileKind& Kind) {
    for (TSurveyFileKind k :
         {TSurveyFileKind::Points, TSurveyFileKind::Sima, TSurveyFileKind::LandXml})
        if (Name == SurveyFileKindName(k)) {
            Kind = k;
            return true;
        }
    return false;
}

TSurveyFile ReadSurveyFile(const std::string& Path, TSurveyFileKind Kind, TSurveyOrder Order,
                           const TSurveyProgress& Progress) {
    switch (Kind) {
    case TSurveyFileKind::LandXml:
        return ReadLandXmlFile(Path, Progress);
    case TSurveyFileKind::Sima:
        return ReadSimaText(ReadWhole(Path, Progress), Path);
    default:
        return ReadPointText(ReadWhole(Path, Progress), Path, Order);
    }
}
