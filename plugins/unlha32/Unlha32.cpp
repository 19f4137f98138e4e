// The entry points of our LHA archiver library. The archiver layer loads this shared object at
// run time and drives it through command lines, as it drives every archiver library.

#include "unlha32.h"

#include "LhaArchive.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fnmatch.h>
#include <fstream>
#include <glob.h>
#include <memory>
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

class TOutput {
public:
    TOutput(char* buf, uint32_t size) : FBuf(buf), FSize(size) {}
    ~TOutput() {
        if (!FBuf || FSize == 0)
            return;
        const size_t n = std::min<size_t>(FText.size(), FSize - 1);
        std::memcpy(FBuf, FText.data(), n);
        FBuf[n] = 0;
    }
    TOutput(const TOutput&) = delete;
    TOutput& operator=(const TOutput&) = delete;
    void Line(const std::string& s) { FText += s + "\n"; }

private:
    char* FBuf;
    uint32_t FSize;
    std::string FText;
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

bool ReadFile(const std::string& path, std::string& data) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    data.assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

// Writes through a temporary file beside the target, so a failure keeps the old archive.
bool WriteFileSafely(const std::string& path, const std::string& bytes) {
    std::string tmp = path + ".XXXXXX";
    const int fd = mkstemp(tmp.data());
    if (fd < 0)
        return false;
    const char* p = bytes.data();
    size_t left = bytes.size();
    bool ok = true;
    while (left > 0 && ok) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno != EINTR)
            ok = false;
        else if (n > 0) {
            p += n;
            left -= static_cast<size_t>(n);
        }
    }
    ok = ok && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && std::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(tmp.c_str());
    return ok;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

int Pack(const TCommand& c, TOutput& out) {
    std::vector<TLhaMember> members;
    if (FileExists(c.Archive)) {
        std::string error;
        if (!ReadLhaArchive(c.Archive, members, error)) {
            out.Line(c.Archive + ": " + error);
            return UNLHA_ERROR_NOT_ARCHIVE;
        }
    }
    const bool keepPaths = c.Has("p") || c.Has("x");
    int added = 0;
    for (const std::string& pattern : c.Files) {
        const std::string full =
            (!pattern.empty() && pattern[0] == '/') ? pattern : c.BaseDir + pattern;
        glob_t g{};
        if (glob(full.c_str(), 0, nullptr, &g) != 0) {
            globfree(&g);
            continue;
        }
        for (size_t k = 0; k < g.gl_pathc; ++k) {
            const std::string path = g.gl_pathv[k];
            struct stat st {};
            if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
                continue;
            TLhaMember m;
            if (!ReadFile(path, m.Data)) {
                globfree(&g);
                out.Line(path + ": cannot read");
                return UNLHA_ERROR_CANNOT_READ;
            }
            // Folders are kept only below the base folder; an absolute path never is.
            const size_t slash = path.rfind('/');
            m.Name = slash == std::string::npos ? path : path.substr(slash + 1);
            if (keepPaths && !c.BaseDir.empty() && path.rfind(c.BaseDir, 0) == 0 &&
                c.BaseDir != "/")
                m.Name = path.substr(c.BaseDir.size());
            m.MTime = static_cast<uint32_t>(st.st_mtime);
            m.Perms = static_cast<uint16_t>(st.st_mode & 07777);
            if (!Progress(1, m.Name)) {
                globfree(&g);
                out.Line("aborted");
                return UNLHA_ERROR_COMMAND;
            }
            bool replaced = false;
            for (TLhaMember& old : members) {
                if (old.Name != m.Name)
                    continue;
                replaced = true;
                if (c.Letter == 'a' || m.MTime > old.MTime)
                    old = m;
            }
            if (!replaced)
                members.push_back(m);
            out.Line(m.Name + " - Frozen");
            ++added;
        }
        globfree(&g);
    }
    if (added == 0) {
        out.Line("no files to pack");
        return UNLHA_ERROR_NO_FILES;
    }
    if (!WriteFileSafely(c.Archive, EncodeLhaArchive(members))) {
        out.Line(c.Archive + ": cannot write");
        return UNLHA_ERROR_CANNOT_WRITE;
    }
    return 0;
}

bool MakeFolders(const std::string& path) {
    for (size_t p = path.find('/', 1); p != std::string::npos; p = path.find('/', p + 1)) {
        const std::string dir = path.substr(0, p);
        if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

int Extract(const TCommand& c, TOutput& out) {
    std::vector<TLhaMember> members;
    std::string error;
    if (!ReadLhaArchive(c.Archive, members, error)) {
        out.Line(c.Archive + ": " + error);
        return UNLHA_ERROR_NOT_ARCHIVE;
    }
    int done = 0;
    for (const TLhaMember& m : members) {
        if (!Matches(c.Files, m.Name))
            continue;
        std::string name = m.Name;
        if (c.Letter == 'e') {
            const size_t slash = name.rfind('/');
            if (slash != std::string::npos)
                name = name.substr(slash + 1);
        }
        while (!name.empty() && name[0] == '/')
            name.erase(0, 1);
        if (name.empty() || name == ".." || name.find("../") != std::string::npos)
            continue; // never outside the target folder
        const std::string dest = c.BaseDir + name;
        if (!Progress(2, m.Name) || !MakeFolders(dest) || !WriteFileSafely(dest, m.Data)) {
            out.Line(dest + ": cannot write");
            return UNLHA_ERROR_CANNOT_WRITE;
        }
        const timeval times[2] = {{static_cast<time_t>(m.MTime), 0},
                                  {static_cast<time_t>(m.MTime), 0}};
        utimes(dest.c_str(), times);
        chmod(dest.c_str(), m.Perms & 0777);
        out.Line(m.Name + " - Melted");
        ++done;
    }
    if (done == 0) {
        out.Line("no files to extract");
        return UNLHA_ERROR_NO_FILES;
    }
    return 0;
}

int List(const TCommand& c, TOutput& out) {
    std::vector<TLhaEntry> entries;
    if (!ListLhaArchive(c.Archive, entries)) {
        out.Line(c.Archive + ": not an LHA archive");
        return UNLHA_ERROR_NOT_ARCHIVE;
    }
    for (const TLhaEntry& e : entries)
        if (Matches(c.Files, e.Name))
            out.Line(e.Name + " " + std::to_string(e.OriginalSize) + " " +
                     std::to_string(e.CompressedSize) + " " + e.Method);
    return 0;
}

int Remove(const TCommand& c, TOutput& out) {
    std::vector<TLhaMember> members;
    std::string error;
    if (!ReadLhaArchive(c.Archive, members, error)) {
        out.Line(c.Archive + ": " + error);
        return UNLHA_ERROR_NOT_ARCHIVE;
    }
    if (c.Files.empty())
        return UNLHA_ERROR_NO_FILES;
    std::vector<TLhaMember> kept;
    for (TLhaMember& m : members) {
        if (Matches(c.Files, m.Name))
            out.Line(m.Name + " - Deleted");
        else
            kept.push_back(std::move(m));
    }
    if (!WriteFileSafely(c.Archive, EncodeLhaArchive(kept)))
        return UNLHA_ERROR_CANNOT_WRITE;
    return 0;
}

struct THandle {
    uint32_t magic = 0x4C484131; // guards against foreign handles
    std::vector<TLhaEntry> entries;
    std::string wild;
    size_t next = 0;
    const TLhaEntry* current = nullptr;
};

THandle* AsHandle(HARC arc) {
    THandle* h = static_cast<THandle*>(arc);
    return (h && h->magic == 0x4C484131) ? h : nullptr;
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
    THandle* h = AsHandle(arc);
    if (!h || !h->current || !time)
        return 0;
    *time = h->current->MTime;
    return 1;
}

} // namespace

UNLHA_API int Unlha(void* /*hwnd*/, const char* cmdLine, char* output, uint32_t size) {
    TOutput out(output, size);
    TCommand c;
    if (!Parse(cmdLine, c)) {
        out.Line("command line error");
        return UNLHA_ERROR_COMMAND;
    }
    try {
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
    } catch (const std::exception& e) {
        out.Line(e.what());
        return UNLHA_ERROR_CANNOT_WRITE;
    }
}

UNLHA_API HARC UnlhaOpenArchive(void* /*hwnd*/, const char* fileName, uint32_t /*mode*/) {
    if (!fileName)
        return nullptr;
    auto h = std::make_unique<THandle>();
    if (!ListLhaArchive(Slashes(fileName), h->entries))
        return nullptr;
    return h.release();
}

UNLHA_API int UnlhaCloseArchive(HARC arc) {
    THandle* h = AsHandle(arc);
    if (!h)
        return UNLHA_ERROR_HANDLE;
    h->magic = 0;
    delete h;
    return 0;
}

UNLHA_API int UnlhaFindFirst(HARC arc, const char* wildName, INDIVIDUALINFO* info) {
    THandle* h = AsHandle(arc);
    if (!h)
        return UNLHA_ERROR_HANDLE;
    h->wild = wildName ? Slashes(wildName) : std::string();
    h->next = 0;
    return FindFrom(h, info);
}

UNLHA_API int UnlhaFindNext(HARC arc, INDIVIDUALINFO* info) {
    THandle* h = AsHandle(arc);
    return h ? FindFrom(h, info) : UNLHA_ERROR_HANDLE;
}

UNLHA_API int UnlhaCheckArchive(const char* fileName, int mode) {
    if (!fileName)
        return 0;
    if (mode == 16) {
        std::vector<TLhaEntry> entries;
        return ListLhaArchive(Slashes(fileName), entries) ? 1 : 0;
    }
    std::vector<TLhaMember> members;
    std::string error;
    return ReadLhaArchive(Slashes(fileName), members, error) && !members.empty() ? 1 : 0;
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
    std::vector<TLhaEntry> entries;
    return fileName && ListLhaArchive(Slashes(fileName), entries) ? 1 : 0;
}

UNLHA_API int UnlhaExtractMem(void* /*hwnd*/, const char* cmdLine, uint8_t* buffer, uint32_t size,
                              int64_t* time, uint16_t* attr, uint32_t* writeSize) {
    TCommand c;
    if (!Parse(cmdLine, c) || c.Files.size() != 1)
        return UNLHA_ERROR_COMMAND;
    const std::vector<std::string> args = {c.Archive, c.Files[0]};
    std::vector<TLhaMember> members;
    std::string error;
    if (!ReadLhaArchive(args[0], members, error))
        return UNLHA_ERROR_NOT_ARCHIVE;
    for (const TLhaMember& m : members) {
        if (!Matches({args[1]}, m.Name))
            continue;
        const uint32_t n = static_cast<uint32_t>(std::min<size_t>(size, m.Data.size()));
        if (buffer && n)
            std::memcpy(buffer, m.Data.data(), n);
        if (writeSize)
            *writeSize = n;
        if (time)
            *time = m.MTime;
        if (attr)
            *attr = 0x20;
        return 0;
    }
    return UNLHA_ERROR_NO_FILES;
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
