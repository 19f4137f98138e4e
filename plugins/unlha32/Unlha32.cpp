// The entry points of our LHA archiver library. The archiver layer loads this shared object at
// run time and drives it through command lines, as it drives every archiver library.

#include "unlha32.h"

#include "LhaArchive.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fnmatch.h>
#include <fstream>
#include <glob.h>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#define UNLHA_API extern "C" __attribute__((visibility("default")))

namespace {

UNLHA_PROGRESS_PROC gProgress = nullptr;
void* gProgressWindow = nullptr;

struct TCommand {
    char Letter = 0;
    std::vector<std::string> Switches; // without the leading "-"
    std::string Archive;
    std::string BaseDir; // ends with "/" when given
    std::vector<std::string> Files;
    bool Has(const char* name) const {
        for (const std::string& s : Switches)
            if (s.rfind(name, 0) == 0 && s != "0" && s.substr(std::strlen(name)) != "0")
                return true;
        return false;
    }
};

// Splits at blanks; double quotes group (and are removed).
std::vector<std::string> Split(const char* line) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false, any = false;
    for (const char* p = line; *p; ++p) {
        if (*p == '"') {
            quoted = !quoted;
            any = true;
        } else if ((*p == ' ' || *p == '\t') && !quoted) {
            if (any || !cur.empty())
                out.push_back(cur);
            cur.clear();
            any = false;
        } else {
            cur.push_back(*p);
        }
    }
    if (any || !cur.empty())
        out.push_back(cur);
    return out;
}

std::string Slashes(std::string s) {
    for (char& c : s)
        if (c == '\\')
            c = '/';
    return s;
}

bool Parse(const char* line, TCommand& c) {
    if (!line)
        return false;
    const std::vector<std::string> t = Split(line);
    size_t i = 0;
    if (t.empty() || t[0].size() != 1)
        return false;
    c.Letter = static_cast<char>(std::tolower(static_cast<unsigned char>(t[0][0])));
    for (i = 1; i < t.size() && !t[i].empty() && t[i][0] == '-'; ++i)
        c.Switches.push_back(t[i].substr(1));
    if (i >= t.size() || t[i].empty())
        return false;
    c.Archive = Slashes(t[i++]);
    if (i < t.size()) {
        const std::string s = Slashes(t[i]);
        if (!s.empty() && s.back() == '/') {
            c.BaseDir = s;
            ++i;
        }
    }
    for (; i < t.size(); ++i) {
        if (!t[i].empty() && t[i][0] == '@') {
            // A response file: names one to a line (only a plain file, never a FIFO to wait on).
            struct stat st {};
            if (stat(t[i].c_str() + 1, &st) != 0 || !S_ISREG(st.st_mode))
                return false;
            std::ifstream list(t[i].substr(1));
            for (std::string name; std::getline(list, name);) {
                if (!name.empty() && name.back() == '\r')
                    name.pop_back();
                if (!name.empty())
                    c.Files.push_back(Slashes(name));
            }
        } else if (!t[i].empty()) {
            c.Files.push_back(Slashes(t[i]));
        }
    }
    return true;
}

// The main procedure's messages; only what the caller's buffer can hold is kept.
class TOutput {
public:
    TOutput(char* buf, uint32_t size) : FBuf(buf), FSize(buf ? size : 0) {}
    ~TOutput() {
        if (FSize == 0)
            return;
        const size_t n = std::min<size_t>(FText.size(), FSize - 1);
        std::memcpy(FBuf, FText.data(), n);
        FBuf[n] = 0;
    }
    TOutput(const TOutput&) = delete;
    TOutput& operator=(const TOutput&) = delete;
    // Never throws: it also reports that memory ran out.
    void Line(const std::string& s) noexcept {
        try {
            if (FText.size() < FSize)
                FText += s + "\n";
        } catch (...) {
        }
    }

private:
    char* FBuf;
    uint32_t FSize;
    std::string FText;
};

// A command's outcome: the first failure is kept, later ones are only reported.
struct TResult {
    int Code = 0;
    void Fail(int code) {
        if (Code == 0)
            Code = code;
    }
};

bool Progress(uint32_t state, const std::string& name) {
    return !gProgress || gProgress(gProgressWindow, 0, state, name.c_str()) != 0;
}

bool Matches(const std::vector<std::string>& patterns, const std::string& name) {
    if (patterns.empty())
        return true;
    const size_t slash = name.rfind('/');
    const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    for (const std::string& p : patterns) {
        if (p == "*.*" || p == "*" || fnmatch(p.c_str(), name.c_str(), 0) == 0 ||
            fnmatch(p.c_str(), base.c_str(), 0) == 0)
            return true;
    }
    return false;
}

// A file to pack, whole (the encoder takes one buffer); refused at 4 GiB, which no LHA header
// can hold.
bool ReadFile(const std::string& path, std::string& data) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<uint64_t>(size) > UINT32_MAX)
        return false;
    data.resize(static_cast<size_t>(size));
    in.seekg(0);
    in.read(data.data(), size);
    return in.gcount() == size;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// A file written beside its target under a short temporary name and renamed over it only when
// complete, so a failure (or a member that fails its check) keeps what stood there before.
class TAtomicFile {
public:
    explicit TAtomicFile(std::string path) : FPath(std::move(path)) {
        FTemp = FolderOf(FPath) + "/.lha.XXXXXX";
        FFd = mkstemp(FTemp.data());
    }
    ~TAtomicFile() {
        if (FFd >= 0)
            ::close(FFd);
        if (!FDone)
            ::unlink(FTemp.c_str());
    }
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    bool Ok() const { return FFd >= 0 && FOk; }
    bool Write(const char* p, size_t left) {
        while (left > 0 && Ok()) {
            const ssize_t n = ::write(FFd, p, left);
            if (n < 0 && errno != EINTR)
                FOk = false;
            else if (n > 0) {
                p += n;
                left -= static_cast<size_t>(n);
            }
        }
        return Ok();
    }
    bool Write(const std::string& s) { return Write(s.data(), s.size()); }
    bool Commit(mode_t mode) {
        bool ok = Ok() && fchmod(FFd, mode) == 0 && fsync(FFd) == 0;
        ok = (FFd < 0 || ::close(FFd) == 0) && ok;
        FFd = -1;
        FDone = ok && std::rename(FTemp.c_str(), FPath.c_str()) == 0;
        return FDone;
    }

private:
    std::string FPath, FTemp;
    int FFd = -1;
    bool FOk = true, FDone = false;
};

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

// Opens an existing archive for a command that rewrites it.
bool OpenForRewrite(const std::string& archive, TLhaReader& r, TOutput& out, TResult& result) {
    if (r.Open(archive))
        return true;
    out.Line(r.Error().Text);
    result.Fail(r.Error().Code);
    return false;
}

// Copies the current member into the new archive unchanged, after checking that it decodes to
// its length and CRC: a new archive is never written from a damaged one.
bool KeepMember(TLhaReader& r, TAtomicFile& file, TOutput& out, TResult& result) {
    if (r.Decode([](const char*, size_t) { return true; }) &&
        r.CopyRaw([&](const char* p, size_t n) { return file.Write(p, n); }))
        return true;
    if (r.Error().Code != 0) {
        out.Line(r.Error().Text);
        result.Fail(r.Error().Code);
    } else {
        result.Fail(UNLHA_ERROR_CANNOT_WRITE);
    }
    return false;
}

// After the last member: bytes that are no member make the archive one we do not rewrite.
bool EndsCleanly(const TLhaReader& r, const std::string& archive, TOutput& out, TResult& result) {
    if (r.CleanEnd())
        return true;
    out.Line(archive + ": " + (r.Error().Code ? r.Error().Text : "not an LHA archive"));
    result.Fail(r.Error().Code  ? r.Error().Code
                : r.AnyMember() ? UNLHA_ERROR_BROKEN
                                : UNLHA_ERROR_NOT_ARCHIVE);
    return false;
}

struct TNewFile {
    std::string Path, Name;
    uint32_t MTime = 0;
    uint16_t Perms = 0644;
    bool Placed = false;
};

bool PackNewFile(const TNewFile& f, TAtomicFile& file, TOutput& out, TResult& result) {
    if (!Progress(1, f.Name)) {
        out.Line("aborted");
        result.Fail(UNLHA_ERROR_ABORTED);
        return false;
    }
    TLhaMember m;
    m.Name = f.Name;
    m.MTime = f.MTime;
    m.Perms = f.Perms;
    if (!ReadFile(f.Path, m.Data)) {
        out.Line(f.Path + ": cannot read");
        result.Fail(UNLHA_ERROR_CANNOT_READ);
        return false;
    }
    if (!file.Write(EncodeLhaMember(m))) {
        result.Fail(UNLHA_ERROR_CANNOT_WRITE);
        return false;
    }
    out.Line(m.Name + " - Frozen");
    return true;
}

// "a" and "u": members already in the archive are copied as they are, one at a time; a file
// of the same name takes a member's place ("u": only when the file is newer).
int Pack(const TCommand& c, TOutput& out) {
    TResult result;
    const bool keepPaths = c.Has("p") || c.Has("x");
    std::vector<TNewFile> files;
    for (const std::string& pattern : c.Files) {
        const std::string full =
            (!pattern.empty() && pattern[0] == '/') ? pattern : c.BaseDir + pattern;
        glob_t g{};
        if (glob(full.c_str(), 0, nullptr, &g) == 0) {
            for (size_t k = 0; k < g.gl_pathc; ++k) {
                const std::string path = g.gl_pathv[k];
                struct stat st {};
                if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
                    continue;
                if (static_cast<uint64_t>(st.st_size) > UINT32_MAX) {
                    globfree(&g);
                    out.Line(path + ": too large for an LHA member");
                    return UNLHA_ERROR_CANNOT_READ;
                }
                TNewFile f;
                f.Path = path;
                // Folders are kept only below the base folder; an absolute path never is.
                const size_t slash = path.rfind('/');
                f.Name = slash == std::string::npos ? path : path.substr(slash + 1);
                if (keepPaths && !c.BaseDir.empty() && path.rfind(c.BaseDir, 0) == 0 &&
                    c.BaseDir != "/")
                    f.Name = path.substr(c.BaseDir.size());
                f.MTime = static_cast<uint32_t>(st.st_mtime);
                f.Perms = static_cast<uint16_t>(st.st_mode & 07777);
                // The same name twice: the later file wins.
                bool again = false;
                for (TNewFile& old : files)
                    if (old.Name == f.Name) {
                        old = f;
                        again = true;
                    }
                if (!again)
                    files.push_back(f);
            }
        }
        globfree(&g);
    }
    if (files.empty()) {
        out.Line("no files to pack");
        return UNLHA_ERROR_NO_FILES;
    }

    struct stat target {};
    if (stat(c.Archive.c_str(), &target) == 0 && !S_ISREG(target.st_mode)) {
        out.Line(c.Archive + ": not a regular file");
        return UNLHA_ERROR_CANNOT_WRITE; // a device or FIFO is never replaced by an archive
    }
    TLhaReader r;
    const bool existing = FileExists(c.Archive);
    if (existing && !OpenForRewrite(c.Archive, r, out, result))
        return result.Code;
    TAtomicFile file(c.Archive);
    if (!file.Ok()) {
        out.Line(c.Archive + ": cannot write");
        return UNLHA_ERROR_CANNOT_WRITE;
    }
    for (TLhaEntry e; existing && r.Next(e);) {
        TNewFile* f = nullptr;
        for (TNewFile& candidate : files)
            if (candidate.Name == e.Name)
                f = &candidate;
        if (f && (c.Letter == 'a' || f->MTime > e.MTime)) {
            if (!f->Placed && !PackNewFile(*f, file, out, result))
                return result.Code;
            f->Placed = true;
        } else {
            if (f)
                f->Placed = true; // "u": the member is newer than the file and stays
            if (!KeepMember(r, file, out, result))
                return result.Code;
        }
    }
    if (existing && !EndsCleanly(r, c.Archive, out, result))
        return result.Code;
    for (TNewFile& f : files)
        if (!f.Placed && !PackNewFile(f, file, out, result))
            return result.Code;
    if (!file.Write(std::string(1, '\0')) || !file.Commit(0644)) {
        out.Line(c.Archive + ": cannot write");
        return UNLHA_ERROR_CANNOT_WRITE;
    }
    return 0;
}

bool IsInside(const std::string& realBase, const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    if (!real)
        return false;
    const std::string r = real;
    std::free(real);
    return r == realBase || realBase == "/" ||
           (r.size() > realBase.size() && r.compare(0, realBase.size(), realBase) == 0 &&
            r[realBase.size()] == '/');
}

// The path below the target folder where a member goes: no absolute path, no "..", and
// every folder that already stands on the way (a symbolic link too) must lie inside the target
// folder. Missing folders are made. Empty when the member must not be written.
std::string SafeDestination(const std::string& base, const std::string& name, std::string& why) {
    std::vector<std::string> parts;
    for (size_t at = 0; at <= name.size();) {
        size_t slash = name.find('/', at);
        if (slash == std::string::npos)
            slash = name.size();
        const std::string part = name.substr(at, slash - at);
        at = slash + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            why = "refused: the path leads out of the target folder";
            return {};
        }
        parts.push_back(part);
    }
    if (parts.empty()) {
        why = "refused: no file name";
        return {};
    }
    // The target folder itself is the caller's choice: made when missing, taken as it is.
    for (size_t p = base.find('/', 1); p != std::string::npos; p = base.find('/', p + 1))
        if (mkdir(base.substr(0, p).c_str(), 0755) != 0 && errno != EEXIST)
            break;
    char* real = realpath(base.empty() ? "." : base.c_str(), nullptr);
    if (!real) {
        why = "cannot write: the target folder cannot be made";
        return {};
    }
    const std::string realBase = real;
    std::free(real);
    std::string path = base.empty() ? std::string() : base;
    for (size_t k = 0; k + 1 < parts.size(); ++k) {
        path += parts[k];
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0) {
            if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
                why = "cannot write: a folder cannot be made";
                return {};
            }
        } else if (!IsInside(realBase, path)) {
            why = "refused: a symbolic link leads out of the target folder";
            return {};
        }
        path += '/';
    }
    return path + parts.back();
}

// "x" and "e": members one at a time, each decoded straight into its file; only the members
// asked for are decoded.
int Extract(const TCommand& c, TOutput& out) {
    TResult result;
    TLhaReader r;
    if (!r.Open(c.Archive)) {
        out.Line(r.Error().Text);
        return r.Error().Code;
    }
    int done = 0;
    for (TLhaEntry e; r.Next(e);) {
        if (e.IsFolder || !Matches(c.Files, e.Name))
            continue;
        std::string name = e.Name;
        if (c.Letter == 'e') {
            const size_t slash = name.rfind('/');
            if (slash != std::string::npos)
                name = name.substr(slash + 1);
        }
        std::string why;
        const std::string dest = SafeDestination(c.BaseDir, name, why);
        if (dest.empty()) {
            out.Line(e.Name + ": " + why);
            result.Fail(why.rfind("refused", 0) == 0 ? UNLHA_ERROR_UNSAFE_PATH
                                                     : UNLHA_ERROR_CANNOT_WRITE);
            continue;
        }
        if (!Progress(2, e.Name)) {
            out.Line("aborted");
            result.Fail(UNLHA_ERROR_ABORTED);
            break;
        }
        TAtomicFile file(dest);
        bool written = true;
        const bool decoded = file.Ok() && r.Decode([&](const char* p, size_t n) {
            return written = file.Write(p, n);
        });
        if (!decoded && written && file.Ok()) {
            out.Line(r.Error().Text);
            result.Fail(r.Error().Code);
            continue;
        }
        if (!decoded || !file.Commit(e.Perms & 0777)) {
            out.Line(dest + ": cannot write");
            result.Fail(UNLHA_ERROR_CANNOT_WRITE);
            continue;
        }
        const timeval times[2] = {{static_cast<time_t>(e.MTime), 0},
                                  {static_cast<time_t>(e.MTime), 0}};
        utimes(dest.c_str(), times);
        out.Line(e.Name + " - Melted");
        ++done;
    }
    if (result.Code == 0 && !r.CleanEnd()) {
        out.Line(c.Archive + ": " + (r.Error().Code ? r.Error().Text : "not an LHA archive"));
        result.Fail(r.Error().Code
                        ? r.Error().Code
                        : (r.AnyMember() ? UNLHA_ERROR_BROKEN : UNLHA_ERROR_NOT_ARCHIVE));
    }
    if (result.Code == 0 && done == 0) {
        out.Line("no files to extract");
        return UNLHA_ERROR_NO_FILES;
    }
    return result.Code;
}

int List(const TCommand& c, TOutput& out) {
    TLhaReader r;
    if (!r.Open(c.Archive)) {
        out.Line(r.Error().Text);
        return r.Error().Code;
    }
    for (TLhaEntry e; r.Next(e);)
        if (Matches(c.Files, e.Name))
            out.Line(e.Name + " " + std::to_string(e.OriginalSize) + " " +
                     std::to_string(e.CompressedSize) + " " + e.Method);
    if (!r.AnyMember()) {
        out.Line(c.Archive + ": not an LHA archive");
        return UNLHA_ERROR_NOT_ARCHIVE;
    }
    return 0;
}

// "d": the members that do not match are copied as they are; nothing matched leaves the archive
// untouched.
int Remove(const TCommand& c, TOutput& out) {
    TResult result;
    if (c.Files.empty()) {
        out.Line("no files to remove");
        return UNLHA_ERROR_NO_FILES;
    }
    TLhaReader r;
    if (!OpenForRewrite(c.Archive, r, out, result))
        return result.Code;
    TAtomicFile file(c.Archive);
    if (!file.Ok()) {
        out.Line(c.Archive + ": cannot write");
        return UNLHA_ERROR_CANNOT_WRITE;
    }
    int removed = 0;
    for (TLhaEntry e; r.Next(e);) {
        if (Matches(c.Files, e.Name)) {
            out.Line(e.Name + " - Deleted");
            ++removed;
        } else if (!KeepMember(r, file, out, result)) {
            return result.Code;
        }
    }
    if (!EndsCleanly(r, c.Archive, out, result))
        return result.Code;
    if (removed == 0) {
        out.Line("no files to remove");
        return UNLHA_ERROR_NO_FILES;
    }
    if (!file.Write(std::string(1, '\0')) || !file.Commit(0644)) {
        out.Line(c.Archive + ": cannot write");
        return UNLHA_ERROR_CANNOT_WRITE;
    }
    return 0;
}

// ---------------------------------------------------------------- handles

// An open archive is known by a number that is never given out twice, not by an address: a
// handle that was closed (or never opened) is refused without anything being read through it.
struct THandle {
    std::vector<TLhaEntry> entries;
    std::string wild;
    size_t next = 0;
    const TLhaEntry* current = nullptr;
};

std::mutex gHandlesLock;
std::map<uintptr_t, std::unique_ptr<THandle>> gHandles;
uintptr_t gLastHandle = 0x4C480000;

// The handle's state, with the table locked while the caller holds the lock.
THandle* Lookup(HARC arc) {
    const auto it = gHandles.find(reinterpret_cast<uintptr_t>(arc));
    return it == gHandles.end() ? nullptr : it->second.get();
}

void Fill(const TLhaEntry& e, INDIVIDUALINFO* info) {
    std::memset(info, 0, sizeof *info);
    info->dwOriginalSize = e.OriginalSize;
    info->dwCompressedSize = e.CompressedSize;
    info->dwCRC = e.Crc;
    info->uOSType = e.OsType;
    info->wRatio = static_cast<uint16_t>(
        e.OriginalSize
            ? std::min<uint64_t>(1000, uint64_t{e.CompressedSize} * 1000 / e.OriginalSize)
            : 0);
    const time_t t = e.MTime;
    tm local{};
    localtime_r(&t, &local);
    // A DOS date starts in 1980 (and a 32-bit Unix time ends before the DOS date does): an
    // earlier time is given as the first DOS day.
    if (local.tm_year < 80) {
        local.tm_year = 80;
        local.tm_mon = local.tm_hour = local.tm_min = local.tm_sec = 0;
        local.tm_mday = 1;
    }
    info->wDate = static_cast<uint16_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) |
                                        local.tm_mday);
    info->wTime =
        static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    std::snprintf(info->szFileName, sizeof info->szFileName, "%s", e.Name.c_str());
    std::snprintf(info->szAttribute, sizeof info->szAttribute, "%s", "--a--");
    std::snprintf(info->szMode, sizeof info->szMode, "%s", e.Method.c_str());
}

int FindFrom(THandle* h, INDIVIDUALINFO* info) {
    while (h->next < h->entries.size()) {
        const TLhaEntry& e = h->entries[h->next++];
        if (h->wild.empty() || Matches({h->wild}, e.Name)) {
            h->current = &e;
            if (info)
                Fill(e, info);
            return 0;
        }
    }
    h->current = nullptr;
    return -1;
}

int CurrentTime(HARC arc, int64_t* time) {
    std::lock_guard<std::mutex> lock(gHandlesLock);
    THandle* h = Lookup(arc);
    if (!h || !h->current || !time)
        return 0;
    *time = h->current->MTime;
    return 1;
}

// No C++ exception leaves an entry point: running out of memory and any other failure inside
// become result codes (and a message where the entry has an output buffer).
template <class F> int Guarded(F body, int onError, TOutput* out = nullptr) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        if (out)
            out->Line("out of memory");
        return onError == 0 ? 0 : UNLHA_ERROR_MEMORY;
    } catch (...) {
        if (out)
            out->Line("internal error");
        return onError;
    }
}

// ExtractMem's command line: "ARCHIVE MEMBER", or the main procedure's form with the command
// "x" or "e" and switches before them.
bool ParseExtractMem(const char* line, std::string& archive, std::string& member) {
    if (!line)
        return false;
    std::vector<std::string> t = Split(line);
    size_t i = 0;
    if (t.size() >= 3 && t[0].size() == 1 && std::strchr("xXeE", t[0][0]) != nullptr)
        i = 1;
    std::vector<std::string> names;
    for (; i < t.size(); ++i)
        if (!t[i].empty() && t[i][0] != '-')
            names.push_back(Slashes(t[i]));
    if (names.size() != 2)
        return false;
    archive = names[0];
    member = names[1];
    return true;
}

} // namespace

UNLHA_API int Unlha(void* /*hwnd*/, const char* cmdLine, char* output, uint32_t size) {
    TOutput out(output, size);
    return Guarded(
        [&] {
            TCommand c;
            if (!Parse(cmdLine, c)) {
                out.Line("command line error");
                return UNLHA_ERROR_COMMAND;
            }
            switch (c.Letter) {
            case 'a':
            case 'u':
                return Pack(c, out);
            case 'x':
            case 'e':
                return Extract(c, out);
            case 'l':
            case 'v':
                return List(c, out);
            case 'd':
                return Remove(c, out);
            default:
                out.Line(std::string("unknown command ") + c.Letter);
                return UNLHA_ERROR_COMMAND;
            }
        },
        UNLHA_ERROR_UNEXPECTED, &out);
}

UNLHA_API HARC UnlhaOpenArchive(void* /*hwnd*/, const char* fileName, uint32_t /*mode*/) {
    if (!fileName)
        return nullptr;
    uintptr_t id = 0;
    Guarded(
        [&] {
            auto h = std::make_unique<THandle>();
            if (!ListLhaArchive(Slashes(fileName), h->entries))
                return 0;
            std::lock_guard<std::mutex> lock(gHandlesLock);
            id = ++gLastHandle;
            gHandles.emplace(id, std::move(h));
            return 0;
        },
        0);
    return reinterpret_cast<HARC>(id);
}

UNLHA_API int UnlhaCloseArchive(HARC arc) {
    std::unique_ptr<THandle> gone;
    std::lock_guard<std::mutex> lock(gHandlesLock);
    const auto it = gHandles.find(reinterpret_cast<uintptr_t>(arc));
    if (it == gHandles.end())
        return UNLHA_ERROR_HANDLE;
    gone = std::move(it->second);
    gHandles.erase(it);
    return 0;
}

UNLHA_API int UnlhaFindFirst(HARC arc, const char* wildName, INDIVIDUALINFO* info) {
    return Guarded(
        [&] {
            std::lock_guard<std::mutex> lock(gHandlesLock);
            THandle* h = Lookup(arc);
            if (!h)
                return UNLHA_ERROR_HANDLE;
            h->wild = wildName ? Slashes(wildName) : std::string();
            h->next = 0;
            return FindFrom(h, info);
        },
        UNLHA_ERROR_UNEXPECTED);
}

UNLHA_API int UnlhaFindNext(HARC arc, INDIVIDUALINFO* info) {
    return Guarded(
        [&] {
            std::lock_guard<std::mutex> lock(gHandlesLock);
            THandle* h = Lookup(arc);
            return h ? FindFrom(h, info) : UNLHA_ERROR_HANDLE;
        },
        UNLHA_ERROR_UNEXPECTED);
}

UNLHA_API int UnlhaCheckArchive(const char* fileName, int mode) {
    if (!fileName)
        return 0;
    return Guarded(
        [&] {
            TLhaReader r;
            if (!r.Open(Slashes(fileName)))
                return 0;
            for (TLhaEntry e; r.Next(e);)
                if (mode != 16 && !r.Decode([](const char*, size_t) { return true; }))
                    return 0;
            return r.AnyMember() && r.CleanEnd() ? 1 : 0;
        },
        0);
}

UNLHA_API int UnlhaGetWriteTimeEx(HARC arc, int64_t* time) {
    return CurrentTime(arc, time);
}
UNLHA_API int UnlhaGetAccessTimeEx(HARC arc, int64_t* time) {
    return CurrentTime(arc, time);
}
UNLHA_API int UnlhaGetCreateTimeEx(HARC arc, int64_t* time) {
    return CurrentTime(arc, time);
}

UNLHA_API int UnlhaGetArchiveType(const char* fileName) {
    if (!fileName)
        return 0;
    return Guarded(
        [&] {
            std::vector<TLhaEntry> entries;
            return ListLhaArchive(Slashes(fileName), entries) ? 1 : 0;
        },
        0);
}

UNLHA_API int UnlhaExtractMem(void* /*hwnd*/, const char* cmdLine, uint8_t* buffer, uint32_t size,
                              int64_t* time, uint16_t* attr, uint32_t* writeSize) {
    if (writeSize)
        *writeSize = 0;
    return Guarded(
        [&] {
            std::string archive, member;
            if (!ParseExtractMem(cmdLine, archive, member))
                return UNLHA_ERROR_COMMAND;
            TLhaReader r;
            if (!r.Open(archive))
                return r.Error().Code;
            for (TLhaEntry e; r.Next(e);) {
                if (e.IsFolder || !Matches({member}, e.Name))
                    continue;
                // Only what the buffer holds is ever written; a member that would not fit is
                // an error, not a cut copy.
                if (e.OriginalSize > size || (e.OriginalSize > 0 && !buffer))
                    return UNLHA_ERROR_SMALL_BUFFER;
                uint32_t at = 0;
                if (!r.Decode([&](const char* p, size_t n) {
                        if (n > size - at)
                            return false;
                        std::memcpy(buffer + at, p, n);
                        at += static_cast<uint32_t>(n);
                        return true;
                    }))
                    return r.Error().Code ? r.Error().Code : UNLHA_ERROR_BROKEN;
                if (writeSize)
                    *writeSize = at;
                if (time)
                    *time = e.MTime;
                if (attr)
                    *attr = 0x20;
                return 0;
            }
            if (!r.AnyMember() && !r.CleanEnd())
                return UNLHA_ERROR_NOT_ARCHIVE;
            return UNLHA_ERROR_NO_FILES;
        },
        UNLHA_ERROR_UNEXPECTED);
}

UNLHA_API int UnlhaSetOwnerWindowEx(void* hwnd, UNLHA_PROGRESS_PROC proc) {
    gProgressWindow = hwnd;
    gProgress = proc;
    return 1;
}

UNLHA_API int UnlhaKillOwnerWindowEx(void* /*hwnd*/) {
    gProgress = nullptr;
    gProgressWindow = nullptr;
    return 1;
}
