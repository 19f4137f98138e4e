#include "Archives.h"

#include "plugins/unlha32/unlha32.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace {

std::string gLibraryFolder;

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Format2(const char* fmt, const std::string& a, const std::string& b) {
    // The layer's messages take "%0:s" and "%1:s" placeholders.
    std::string s = fmt;
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"%0:s", a}, {"%1:s", b}}) {
        const size_t p = s.find(key);
        if (p != std::string::npos)
            s.replace(p, key.size(), value);
    }
    return s;
}

void ToInfo(const INDIVIDUALINFO& raw, TIndivisualInfo& info) {
    info.OriginalSize = raw.dwOriginalSize;
    info.CompressedSize = raw.dwCompressedSize;
    info.CRC = raw.dwCRC;
    info.Flag = raw.uFlag;
    info.OSType = raw.uOSType;
    info.Ratio = raw.wRatio;
    info.Date = raw.wDate;
    info.Time = raw.wTime;
    info.FileName = std::string(raw.szFileName, strnlen(raw.szFileName, sizeof raw.szFileName));
    info.Attribute = std::string(raw.szAttribute, strnlen(raw.szAttribute, sizeof raw.szAttribute));
    info.Mode = std::string(raw.szMode, strnlen(raw.szMode, sizeof raw.szMode));
}

// A member's DOS date and time as Unix time, for libraries that give no time of their own.
int64_t DosToUnix(uint16_t date, uint16_t time) {
    tm t{};
    t.tm_year = ((date >> 9) & 0x7F) + 80;
    t.tm_mon = ((date >> 5) & 0x0F) - 1;
    t.tm_mday = date & 0x1F;
    t.tm_hour = (time >> 11) & 0x1F;
    t.tm_min = (time >> 5) & 0x3F;
    t.tm_sec = (time & 0x1F) * 2;
    t.tm_isdst = -1;
    return static_cast<int64_t>(mktime(&t));
}

} // namespace

std::string ExecutableFolder() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    std::string path(buf, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void SetArchiverLibraryFolder(const std::string& folder) {
    gLibraryFolder = folder;
}

std::vector<std::string> ArchiverLibraryFolders(const std::string& exeFolder) {
    if (!gLibraryFolder.empty())
        return {gLibraryFolder};
    if (exeFolder.empty())
        return {};
    // The build defines the install layout's path from the programs to the private folder.
    return {exeFolder, exeFolder + "/" + DORYOU_LIBDIR_FROM_BINDIR};
}

std::string ArchiverLibraryFileName(const std::string& dllName) {
    std::string base = Lower(dllName);
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".dll") == 0)
        base.resize(base.size() - 4);
    return "lib" + base + ".so";
}

// ---------------------------------------------------------------- TCmdOpt

void TCmdOpt::Int(const char* sw, int v) {
    if (v >= 0)
        Item(std::string("-") + sw + std::to_string(v));
}

void TCmdOpt::Default(const char* sw, int v, int def) {
    if (v == -1)
        return;
    Item(v == def ? std::string("-") + sw : std::string("-") + sw + std::to_string(v));
}

void TCmdOpt::Bool(const char* sw, bool v) {
    if (v)
        Item(std::string("-") + sw);
}

void TCmdOpt::Text(const char* sw, const std::string& value) {
    if (value.empty())
        return;
    std::string name = sw ? sw : "";
    if (name.empty()) {
        Item("\"" + value + "\"");
        return;
    }
    const bool bare = name[0] == ' ';
    if (bare)
        name.erase(0, 1);
    const std::string prefix = bare ? name : "-" + name;
    if (FFormat == cfInner)
        Item("\"" + prefix + value + "\"");
    else
        Item(prefix + " \"" + value + "\"");
}

void TCmdOpt::Folder(const std::string& path) {
    // An empty base folder stays absent: with a separator added it would name the root.
    if (path.empty())
        return;
    std::string p = path;
    if (p.back() != '/' && p.back() != '\\')
        p += '/';
    Text(nullptr, p);
}

void TCmdOpt::Files(const std::vector<std::string>& names, const std::string& resFile) {
    if (!resFile.empty()) {
        std::string list;
        for (const std::string& n : names)
            list += (FFilterProc ? FFilterProc(n) : n) + "\n";
        std::FILE* f = std::fopen(resFile.c_str(), "wb");
        if (!f)
            throw EArchiver("レスポンスファイル " + resFile + " を作成できません。");
        const bool ok = std::fwrite(list.data(), 1, list.size(), f) == list.size();
        if (std::fclose(f) != 0 || !ok)
            throw EArchiver("レスポンスファイル " + resFile + " を作成できません。");
        Item("\"@" + resFile + "\"");
        return;
    }
    for (const std::string& n : names)
        Item("\"" + (FFilterProc ? FFilterProc(n) : n) + "\"");
}

// ---------------------------------------------------------------- TArchiverDll

TArchiverDll::TArchiverDll(std::string ArchiveName, std::string EntryPrefix, std::string DllName)
    : FArchiveName(std::move(ArchiveName)), FEntryPrefix(std::move(EntryPrefix)),
      FDllName(std::move(DllName)) {}

TArchiverDll::~TArchiverDll() {
    FreeDll();
}

void TArchiverDll::LoadDll() {
    if (FhDLL)
        return;
    const std::string file = ArchiverLibraryFileName(FDllName);
    for (const std::string& folder : ArchiverLibraryFolders(ExecutableFolder())) {
        FPath = folder + "/" + file;
        FhDLL = dlopen(FPath.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (FhDLL)
            break;
    }
    if (!FhDLL && gLibraryFolder.empty()) {
        FPath = file;
        FhDLL = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!FhDLL)
        throw ENoArchiverDLL(Format2("%0:s を扱うには %1:s が 必要です。", FArchiveName, FDllName));
}

void TArchiverDll::FreeDll() {
    FEntries.clear();
    if (FhDLL)
        dlclose(FhDLL);
    FhDLL = nullptr;
}

void* TArchiverDll::Entry(const std::string& op, bool optional) {
    LoadDll();
    for (const auto& [name, ptr] : FEntries)
        if (name == op)
            return ptr;
    const std::string entry = FEntryPrefix + op;
    void* p = dlsym(FhDLL, entry.c_str());
    if (!p) {
        if (optional)
            return nullptr;
        throw EEntryNotFound(Format2("%0:s に %1:s のエントリが見つかりません。", FPath, entry));
    }
    FEntries.emplace_back(op, p);
    return p;
}

int TArchiverDll::ArchiverProc(HWND hwnd, const std::string& cmdLine, char* output, uint32_t size) {
    const auto f = reinterpret_cast<decltype(&Unlha)>(Entry(""));
    return f(hwnd, cmdLine.c_str(), size ? output : nullptr, size);
}

HARC TArchiverDll::OpenArchive(HWND hwnd, const std::string& name, uint32_t mode) {
    return reinterpret_cast<decltype(&UnlhaOpenArchive)>(Entry("OpenArchive"))(hwnd, name.c_str(),
                                                                               mode);
}

int TArchiverDll::CloseArchive(HARC arc) {
    return reinterpret_cast<decltype(&UnlhaCloseArchive)>(Entry("CloseArchive"))(arc);
}

int TArchiverDll::Find(bool first, HARC arc, const std::string& mask, TIndivisualInfo& info) {
    INDIVIDUALINFO raw{};
    const int r = first ? reinterpret_cast<decltype(&UnlhaFindFirst)>(Entry("FindFirst"))(
                              arc, mask.c_str(), &raw)
                        : reinterpret_cast<decltype(&UnlhaFindNext)>(Entry("FindNext"))(arc, &raw);
    if (r != 0)
        return r;
    ToInfo(raw, info);
    // Times from the library where it has them, else from the member's DOS date and time.
    const int64_t dos = DosToUnix(info.Date, info.Time);
    const auto ask = [&](const char* op, int64_t& out) {
        out = dos;
        auto f = reinterpret_cast<decltype(&UnlhaGetWriteTimeEx)>(Entry(op, true));
        int64_t t = 0;
        if (f && f(arc, &t))
            out = t;
    };
    ask("GetWriteTimeEx", info.WriteTime);
    ask("GetAccessTimeEx", info.AccessTime);
    ask("GetCreateTimeEx", info.CreateTime);
    return 0;
}

int TArchiverDll::FindFirst(HARC arc, const std::string& mask, TIndivisualInfo& info) {
    return Find(true, arc, mask, info);
}

int TArchiverDll::FindNext(HARC arc, TIndivisualInfo& info) {
    return Find(false, arc, {}, info);
}

bool TArchiverDll::CheckArchive(const std::string& name, int mode) {
    return reinterpret_cast<decltype(&UnlhaCheckArchive)>(Entry("CheckArchive"))(name.c_str(),
                                                                                 mode) != 0;
}

bool TArchiverDll::SetOwnerWindowEx(HWND hwnd, void* proc) {
    return reinterpret_cast<decltype(&UnlhaSetOwnerWindowEx)>(Entry("SetOwnerWindowEx"))(
               hwnd, reinterpret_cast<UNLHA_PROGRESS_PROC>(proc)) != 0;
}

bool TArchiverDll::KillOwnerWindowEx(HWND hwnd) {
    return reinterpret_cast<decltype(&UnlhaKillOwnerWindowEx)>(Entry("KillOwnerWindowEx"))(hwnd) !=
           0;
}

int TArchiverDll::ExtractMem(HWND hwnd, const std::string& cmdLine, uint8_t* buffer, uint32_t size,
                             uint32_t* written) {
    return reinterpret_cast<decltype(&UnlhaExtractMem)>(Entry("ExtractMem"))(
        hwnd, cmdLine.c_str(), buffer, size, nullptr, nullptr, written);
}

int TArchiverDll::GetArchiveType(const std::string& name) {
    return reinterpret_cast<decltype(&UnlhaGetArchiveType)>(Entry("GetArchiveType"))(name.c_str());
}

// ---------------------------------------------------------------- TArchiver

HARC TArchiver::OpenArchive(HWND, const std::string&, uint32_t) {
    return nullptr;
}
int TArchiver::FindFirst(HARC, const std::string&, TIndivisualInfo&) {
    return -1;
}
int TArchiver::FindNext(HARC, TIndivisualInfo&) {
    return -1;
}
int TArchiver::CloseArchive(HARC) {
    return 0;
}
int TArchiver::PackFiles(const TArchiveCall&) {
    throw EArchiver("この形式では書庫ファイルの作成をサポートしておりません。");
}
int TArchiver::RemoveItems(const TArchiveCall&) {
    throw EArchiver("この形式の書庫ではファイルの削除をサポートしておりません。");
}
int TArchiver::UpdateArchive(const TArchiveCall&) {
    throw EArchiver("この形式の書庫では書庫の更新をサポートしておりません。");
}
int TArchiver::MakeSfx(HWND, const std::string&, const TArchiverOptions&, const std::string&,
                       std::string&) {
    throw EArchiver("この形式では自己解凍書庫の作成をサポートしておりません。");
}
int TArchiver::UnpackToMem(HWND, const std::string&, const TArchiverOptions&, const std::string&,
                           uint8_t*, uint32_t, uint32_t*) {
    throw EArchiver("この形式ではメモリへの展開をサポートしておりません。");
}
bool TArchiver::CheckArchive(const std::string&, int, const TArchiverOptions&) {
    throw EArchiver("この形式では書庫チェック機能をサポートしておりません。");
}
void TArchiver::SetOwnerWindowEx(HWND Handle, void*) {
    FOwnerWindow = Handle;
}
void TArchiver::KillOwnerWindowEx(HWND) {
    FOwnerWindow = nullptr;
}
void TArchiver::BeforePack() {
    LoadDLL();
}

HARC TDllArchiver::OpenArchive(HWND Handle, const std::string& ArchiveFileName, uint32_t Mode) {
    return FDll.OpenArchive(Handle, ArchiveFileName, Mode);
}
int TDllArchiver::FindFirst(HARC hArc, const std::string& FileMask, TIndivisualInfo& Info) {
    return FDll.FindFirst(hArc, FileMask, Info);
}
int TDllArchiver::FindNext(HARC hArc, TIndivisualInfo& Info) {
    return FDll.FindNext(hArc, Info);
}
int TDllArchiver::CloseArchive(HARC hArc) {
    return FDll.CloseArchive(hArc);
}
bool TDllArchiver::CheckArchive(const std::string& ArchiveFileName, int CheckMode,
                                const TArchiverOptions&) {
    return FDll.CheckArchive(ArchiveFileName, CheckMode);
}
void TDllArchiver::SetOwnerWindowEx(HWND Handle, void* lpArcProc) {
    FDll.SetOwnerWindowEx(Handle, lpArcProc);
    FOwnerWindow = Handle;
}
void TDllArchiver::KillOwnerWindowEx(HWND Handle) {
    FDll.KillOwnerWindowEx(Handle);
    FOwnerWindow = nullptr;
}

int TDllArchiver::Run(const TArchiveCall& Call, const std::string& cmdLine) {
    FCmdLine = cmdLine;
    std::string* out = Call.Output;
    char* buf = out && !out->empty() ? out->data() : nullptr;
    return FDll.ArchiverProc(Call.Handle, cmdLine, buf,
                             buf ? static_cast<uint32_t>(out->size()) : 0);
}
