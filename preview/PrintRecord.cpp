#include "PrintRecord.h"

#include "archive/Archives.h"
#include "platform/CodePage.h"
#include "platform/Failure.h"
#include "platform/FileUtil.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

const char kPrintRecordSignature[21] = "NOLVOPreviewMetaData";

namespace {

void Put32(std::string& s, uint32_t v) {
    s.append(reinterpret_cast<const char*>(&v), 4);
}

std::string Folder(const std::string& path) {
    std::string f = path.empty() ? TemporaryFolder() : path;
    while (f.size() > 1 && f.back() == '/')
        f.pop_back();
    return f;
}

// A new, empty file "<prefix><8 hex digits><ext>" in `folder`, created exclusively.
std::string UniqueFile(const std::string& folder, const char* prefix, const char* ext) {
    static std::mt19937 rng(std::random_device{}());
    for (int attempt = 0; attempt < 1000; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "%s%08X%s", prefix, static_cast<unsigned>(rng()), ext);
        const std::string path = folder + "/" + name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            throw EFailure(StrFormat("フォルダ「%s」にファイルを作成できませんでした。%s",
                                     folder.c_str(), SystemErrorText(errno).c_str()));
    }
    throw EFailure(StrFormat("フォルダ「%s」に一時ファイル名を作れませんでした。", folder.c_str()));
}

// Deletes a file when it goes out of scope.
struct TTempFile {
    std::string Path;
    ~TTempFile() {
        if (!Path.empty())
            ::unlink(Path.c_str());
    }
};

// Local time as days since 30 December 1899, the time of day as the fraction.
double DayNumber(time_t t) {
    tm local{};
    localtime_r(&t, &local);
    // Whole days from the civil date, so that the daylight-saving offset plays no part.
    const int y = local.tm_year + 1900, m = local.tm_mon + 1, d = local.tm_mday;
    const int a = (14 - m) / 12, yy = y + 4800 - a, mm = m + 12 * a - 3;
    const long jdn = d + (153 * mm + 2) / 5 + 365L * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
    const long days = jdn - 2415019; // 1899-12-30 is Julian day 2415019
    return static_cast<double>(days) +
           (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
}

void MakeFolders(const std::string& folder) {
    std::string path;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = folder.find('/', pos + 1);
        path = folder.substr(0, pos);
        if (!path.empty() && mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
            throw EFailure(StrFormat("スプールフォルダ「%s」を作成できませんでした。%s",
                                     folder.c_str(), SystemErrorText(errno).c_str()));
    }
}

} // namespace

std::string TemporaryFolder() {
    const char* t = std::getenv("TMPDIR");
    std::string f = (t && *t) ? t : "/tmp";
    while (f.size() > 1 && f.back() == '/')
        f.pop_back();
    return f;
}

std::string PrintPageStream(const std::vector<std::string>& pages) {
    std::string s;
    for (const std::string& p : pages) {
        Put32(s, 0);
        Put32(s, static_cast<uint32_t>(p.size()));
        s += p;
    }
    return s;
}

std::string PrintRecordBytes(const TPrintRecordInfo& info, uint8_t packFlag,
                             const std::string& block) {
    return PrintRecordHead(info, packFlag, static_cast<uint32_t>(block.size())) + block;
}

std::string PrintRecordHead(const TPrintRecordInfo& info, uint8_t packFlag, uint32_t blockSize) {
    std::string r;
    r.reserve(566);
    char work[256] = {};
    std::memcpy(work, kPrintRecordSignature, 20);
    r.append(work, 20);
    Put32(r, 1);
    // The title goes over the same buffer, so a short title is followed by the signature's tail.
    const std::string title = Utf8ToCp932(info.Title);
    const size_t n = std::min<size_t>(title.size(), 255);
    std::memcpy(work, title.data(), n);
    work[n] = 0;
    r.append(work, 128);
    const double when = DayNumber(info.Written ? info.Written : time(nullptr));
    r.append(reinterpret_cast<const char*>(&when), 8);
    Put32(r, static_cast<uint32_t>(info.PageAt ? info.PageCount : info.Pages.size()));
    const std::string* texts[6] = {&info.Header[0], &info.Footer[0], &info.Header[1],
                                   &info.Footer[1], &info.Header[2], &info.Footer[2]};
    for (const std::string* t : texts) {
        char field[64] = {};
        const std::string bytes = Utf8ToCp932(*t);
        std::memcpy(field, bytes.data(), std::min<size_t>(bytes.size(), 64));
        r.append(field, 64);
    }
    Put32(r, static_cast<uint32_t>(info.StartPage));
    Put32(r, static_cast<uint32_t>(info.FirstPage));
    Put32(r, static_cast<uint32_t>(info.LastPage));
    r.push_back(info.Portrait ? 1 : 0);
    r.push_back(static_cast<char>(packFlag));
    Put32(r, blockSize);
    return r;
}

std::string WriteSpoolFile(const TSpoolSettings& settings, const TPrintRecordInfo& info) {
    const std::string spool = Folder(settings.Path);
    MakeFolders(spool);
    const std::string temp = Folder(settings.TempFolder);

    TTempFile meta{UniqueFile(temp, "META", ".tmp")};
    {
        TAtomicFile stream(meta.Path);
        auto put = [&](const std::string& page) {
            std::string head;
            Put32(head, 0);
            Put32(head, static_cast<uint32_t>(page.size()));
            stream.Write(head.data(), head.size());
            stream.Write(page.data(), page.size());
        };
        if (info.PageAt)
            for (int32_t k = 0; k < info.PageCount; ++k)
                put(info.PageAt(k));
        else
            for (const std::string& page : info.Pages)
                put(page);
        stream.Commit();
    }

    // The archive's name is reserved, then freed for the archiver to create.
    TTempFile archive{UniqueFile(temp, "ARCH", ".lzh")};
    ::unlink(archive.Path.c_str());
    uint8_t flag = 1;
    try {
        TArchiveFile arc;
        arc.SetFileName(archive.Path);
        arc.SetArchiverType(atLha);
        arc.SetOutputSize(8192);
        arc.Options().n = 1;
        arc.Options().jso = 1;
        const int result = arc.PackFiles(nullptr, nullptr, "", {meta.Path});
        // An error code, or no archive at all, falls back as a failure does.
        struct stat st {};
        if (result == 0 && ::stat(archive.Path.c_str(), &st) == 0 && st.st_size > 0)
            flag = 0;
    } catch (const EArchiver&) {
    }
    const std::string& blockFile = flag == 0 ? archive.Path : meta.Path;

    const std::string record = UniqueFile(spool, "SPL", ".spl");
    try {
        std::FILE* in = std::fopen(blockFile.c_str(), "rb");
        if (!in)
            throw EFailure(StrFormat("ファイル「%s」を読み込めません。", blockFile.c_str()));
        struct TClose {
            std::FILE* F;
            ~TClose() { std::fclose(F); }
        } close{in};
        struct stat st {};
        if (::fstat(fileno(in), &st) != 0 || st.st_size > 0xffffffffLL)
            throw EFailure(StrFormat("ファイル「%s」を読み込めません。", blockFile.c_str()));
        TAtomicFile out(record);
        const std::string head = PrintRecordHead(info, flag, static_cast<uint32_t>(st.st_size));
        out.Write(head.data(), head.size());
        std::vector<char> piece(1 << 16);
        for (size_t n; (n = std::fread(piece.data(), 1, piece.size(), in)) > 0;)
            out.Write(piece.data(), n);
        if (std::ferror(in))
            throw EFailure(StrFormat("ファイル「%s」を読み込めません。", blockFile.c_str()));
        out.Commit();
    } catch (...) {
        ::unlink(record.c_str());
        throw;
    }
    return record;
}

int CleanSpool(const TSpoolSettings& settings, time_t now) {
    const std::string spool = Folder(settings.Path);
    if (!now)
        now = time(nullptr);
    // Compare whole days: a record of the limit's day itself is kept. The limit goes back in
    // calendar days, so a change to or from summer time does not move it by a day.
    tm lim{};
    localtime_r(&now, &lim);
    lim.tm_mday -= static_cast<int>(std::clamp<long long>(settings.EraseDay, -3650000, 3650000));
    lim.tm_isdst = -1;
    mktime(&lim);
    const long limitDay = (lim.tm_year + 1900L) * 10000 + (lim.tm_mon + 1) * 100 + lim.tm_mday;

    DIR* d = opendir(spool.c_str());
    if (!d)
        return 0;
    int deleted = 0;
    for (dirent* e; (e = readdir(d)) != nullptr;) {
        const std::string name = e->d_name;
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".spl") != 0)
            continue;
        const std::string path = spool + "/" + name;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        tm w{};
        localtime_r(&st.st_mtime, &w);
        const long day = (w.tm_year + 1900L) * 10000 + (w.tm_mon + 1) * 100 + w.tm_mday;
        if (day >= limitDay)
            continue;
        char head[20];
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f)
            continue;
        const bool ours =
            std::fread(head, 1, 20, f) == 20 && std::memcmp(head, kPrintRecordSignature, 20) == 0;
        std::fclose(f);
        if (ours && ::unlink(path.c_str()) == 0)
            ++deleted;
    }
    closedir(d);
    return deleted;
}
