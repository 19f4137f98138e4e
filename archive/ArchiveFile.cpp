// TArchiveFile: the front end of the archiver layer.

#include "ArchiverFamily.h"
#include "Archives.h"
#include "Lha32.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <dirent.h>
#include <fnmatch.h>
#include <optional>
#include <set>
#include <sys/stat.h>

namespace {

constexpr int kStateSelect = 2053; // a file chosen for packing
constexpr int kResultAborted = 32800;
constexpr uint32_t kOpenProbeMode = 8388610;

std::string LowerExt(const std::string& name) {
    const size_t slash = name.find_last_of("/\\:");
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string e = name.substr(dot);
    for (char& c : e)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

// The library's progress call reaches the component that started the operation.
int ProgressProc(void* hwnd, uint32_t /*msg*/, uint32_t state, const char* name);

struct TProgressTarget {
    TArchiverProgressEvent* Event;
    void* Sender;
};

int ProgressProc(void* hwnd, uint32_t, uint32_t state, const char* name) {
    auto* target = static_cast<TProgressTarget*>(hwnd);
    bool abort = false;
    if (target && target->Event && *target->Event)
        (*target->Event)(target->Sender, static_cast<int>(state), name ? name : "", abort);
    return abort ? 0 : 1;
}

thread_local TProgressTarget gTarget{nullptr, nullptr};

// A time bound "[l]YYMMDD[hhmmss]" or "[l]YYYYMMDD[hhmmss]"; a date alone takes the start or
// the end of its day. Two-digit years fall within 50 years of the current one.
std::optional<time_t> ParseTimeBound(std::string s, bool end) {
    if (!s.empty() && (s[0] == 'l' || s[0] == 'L'))
        s.erase(0, 1);
    if (s.empty() || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const size_t n = s.size();
    if (n != 6 && n != 8 && n != 12 && n != 14)
        return std::nullopt;
    const bool longYear = n == 8 || n == 14;
    int year = std::stoi(s.substr(0, longYear ? 4 : 2));
    if (!longYear) {
        const time_t now = time(nullptr);
        tm local{};
        localtime_r(&now, &local);
        const int thisYear = local.tm_year + 1900;
        year += (thisYear / 100) * 100;
        if (year > thisYear + 50)
            year -= 100;
        else if (year <= thisYear - 50)
            year += 100;
    }
    const size_t d = longYear ? 4 : 2;
    std::string hms = (n == 12 || n == 14) ? s.substr(d + 4) : (end ? "235959" : "000000");
    tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = std::stoi(s.substr(d, 2)) - 1;
    t.tm_mday = std::stoi(s.substr(d + 2, 2));
    t.tm_hour = std::stoi(hms.substr(0, 2));
    t.tm_min = std::stoi(hms.substr(2, 2));
    t.tm_sec = std::stoi(hms.substr(4, 2));
    t.tm_isdst = -1;
    return mktime(&t);
}

struct TSelector {
    const TArchiverOptions& Options;
    const std::string& BaseDir;
    std::optional<time_t> From, To;
    const std::set<std::string>* Excluded = nullptr;
    std::set<std::string>* Found = nullptr;
    TArchiverProgressEvent* OnProgress = nullptr;
    void* Sender = nullptr;
    bool Aborted = false;

    std::string Relative(const std::string& path) const {
        if (Options.jf == -2 && !BaseDir.empty() && path.rfind(BaseDir, 0) == 0)
            return path.substr(BaseDir.size());
        return path;
    }

    void Search(const std::string& folder, const std::string& namePart, bool recurse) {
        DIR* d = opendir(folder.empty() ? "." : folder.c_str());
        if (!d)
            return;
        std::vector<std::string> subfolders;
        for (dirent* e; !Aborted && (e = readdir(d)) != nullptr;) {
            const std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + name;
            struct stat st {};
            if (stat(path.c_str(), &st) != 0)
                continue;
            if (S_ISDIR(st.st_mode)) {
                subfolders.push_back(path + "/");
                continue;
            }
            if (!S_ISREG(st.st_mode))
                continue;
            // Hidden files (dot files here) only with a above 0.
            if (name[0] == '.' && Options.a <= 0)
                continue;
            if (fnmatch(namePart.c_str(), name.c_str(), 0) != 0)
                continue;
            if ((From && st.st_mtime < *From) || (To && st.st_mtime > *To))
                continue;
            const std::string entry = Relative(path);
            if (Excluded && Excluded->count(entry))
                continue;
            if (Found->insert(entry).second && OnProgress && *OnProgress)
                (*OnProgress)(Sender, kStateSelect, entry, Aborted);
        }
        closedir(d);
        if (recurse)
            for (const std::string& sub : subfolders)
                if (!Aborted)
                    Search(sub, namePart, recurse);
    }

    void Pattern(std::string pattern) {
        for (char& c : pattern)
            if (c == '\\')
                c = '/';
        std::string folder, namePart = pattern;
        const size_t slash = pattern.rfind('/');
        if (slash != std::string::npos) {
            folder = pattern.substr(0, slash + 1);
            namePart = pattern.substr(slash + 1);
        }
        if (folder.empty() || folder[0] != '/')
            folder = BaseDir + folder;
        struct stat st {};
        if (Options.r > 1 && !namePart.empty() && stat((folder + namePart).c_str(), &st) == 0 &&
            S_ISDIR(st.st_mode)) {
            folder += namePart + "/";
            namePart = "*";
        }
        if (namePart == "*.*" || namePart.empty())
            namePart = "*";
        const bool wild = namePart.find_first_of("?*") != std::string::npos;
        Search(folder, namePart, Options.r > 0 && (Options.p <= 0 || wild));
    }
};

} // namespace

std::unique_ptr<TArchiver> NewArchiver(TArchiverType Type) {
    std::unique_ptr<TArchiver> a;
    switch (Type) {
    case atLha:
        a = std::make_unique<TLha32>();
        break;
    case atZip:
        a = std::make_unique<TZip32>();
        break;
    case atCab:
        a = std::make_unique<TCab32>();
        break;
    case atArj:
        a = std::make_unique<TArj32>();
        break;
    case atTar:
        a = std::make_unique<TTar32>();
        break;
    case atTgz:
        a = std::make_unique<TTgz32>();
        break;
    case atBZ2:
        a = std::make_unique<TBZ232>();
        break;
    case atRar:
        a = std::make_unique<TRar32>();
        break;
    case atBga:
        a = std::make_unique<TBGA32>();
        break;
    default:
        return nullptr;
    }
    a->LoadDLL();
    return a;
}

TArchiveFile::TArchiveFile() = default;

TArchiveFile::~TArchiveFile() {
    FindClose();
}

TArchiverType TArchiveFile::TypeFromFileName(const std::string& FileName) {
    const std::string e = LowerExt(FileName);
    if (e == ".lzh")
        return atLha;
    if (e == ".cab")
        return atCab;
    if (e == ".zip")
        return atZip;
    if (e == ".arj")
        return atArj;
    if (e == ".rar")
        return atRar;
    if (e == ".gca")
        return atGCA;
    if (e == ".gza" || e == ".bza")
        return atBga;
    if (e == ".bz2")
        return atBZ2;
    if (e == ".a" || e == ".lib" || e == ".tar" || e == ".deb" || e == ".rpm" || e == ".cpio")
        return atTar;
    if (e == ".z" || e == ".gz" || e == ".tgz" || e == ".taz")
        return atTgz;
    if (e == ".exe")
        return atAutoDetect;
    return atNone;
}

TArchiverType TArchiveFile::DetectFromContent(const std::string& FileName) {
    const auto opens = [&](TArchiverDll& dll) {
        try {
            HARC h = dll.OpenArchive(nullptr, FileName, kOpenProbeMode);
            if (!h)
                return false;
            dll.CloseArchive(h);
            return true;
        } catch (const EArchiver&) {
            return false;
        }
    };
    try {
        TArchiverDll& lha = TLha32::Binding();
        if (lha.CheckArchive(FileName, 16) && opens(lha))
            return atLha;
    } catch (const EArchiver&) {
    }
    if (opens(CabBinding()))
        return atCab;
    if (opens(BgaBinding()))
        return atBga;
    if (opens(UnzipBinding()) || opens(LmzipBinding()))
        return atZip;
    if (opens(CabBinding())) // the ARJ driver's library
        return atArj;
    if (opens(TTar32::Binding())) // the RAR driver's library
        return atRar;
    try {
        const int t = TTar32::Binding().GetArchiveType(FileName);
        if (t == 1)
            return atTar;
        if (t >= 2 && t <= 5)
            return atTgz;
        if (t == 6 || t == 7)
            return atBZ2;
    } catch (const EArchiver&) {
    }
    return atNone;
}

void TArchiveFile::SetFileName(const std::string& Value) {
    FFileName = Value;
    TArchiverType t = TypeFromFileName(Value);
    if (t == atAutoDetect)
        t = DetectFromContent(Value);
    SetArchiverType(t);
}

void TArchiveFile::SetArchiverType(TArchiverType Value) {
    switch (Value) {
    case atNone:
        return;
    case atAutoDetect:
        FArchiverType = atAutoDetect;
        return;
    case atYz1:
    case atGCA:
    case atBel:
        throw EArchiver("書庫の形式を特定できませんでした。");
    default:
        FArchiver = NewArchiver(Value); // loads the library: a missing one fails here
        FArchiverType = Value;
    }
}

void TArchiveFile::SetOutputSize(int Value) {
    FOutputBuff.assign(Value > 0 ? static_cast<size_t>(Value) : 0, '\0');
}

std::string TArchiveFile::Output() const {
    return std::string(FOutputBuff.c_str());
}

void TArchiveFile::ResolveAutoDetect() {
    if (FArchiverType != atAutoDetect)
        return;
    const TArchiverType t = DetectFromContent(FFileName);
    if (t != atNone)
        SetArchiverType(t);
}

void TArchiveFile::RequireDriver() const {
    if (!FArchiver)
        throw EArchiver("書庫の形式を判別できません。");
}

void TArchiveFile::AttachProgress() {
    if (!FOnProgress)
        return;
    gTarget = {&FOnProgress, this};
    try {
        FArchiver->SetOwnerWindowEx(&gTarget, reinterpret_cast<void*>(&ProgressProc));
    } catch (const EArchiver&) {
    }
}

void TArchiveFile::DetachProgress() {
    if (!FOnProgress || !FArchiver)
        return;
    try {
        FArchiver->KillOwnerWindowEx(&gTarget);
    } catch (const EArchiver&) {
    }
}

int TArchiveFile::Run(TOp Op, HWND Handle, const TArchiverOptions* Options,
                      const std::string& BaseDir, const std::vector<std::string>& Files) {
    ResolveAutoDetect();
    RequireDriver();
    AttachProgress();
    TArchiveCall call;
    call.Handle = Handle;
    call.ArchiveFileName = FFileName;
    call.Output = &FOutputBuff;
    call.Files = Files;
    call.BaseDir = BaseDir;
    call.Options = Options ? Options : &FOptions;
    const int usage = Op == opPack     ? ruPack
                      : Op == opUnpack ? ruUnpack
                      : Op == opRemove ? ruRemove
                                       : 0;
    call.UseResFile =
        (call.Options->FResFileUsage & usage) != 0 && !call.Options->FResFileName.empty();
    try {
        int r;
        if (Op == opPack)
            r = call.Options->FPackFilter == pfComponent ? SelectFilesAndPack(call)
                                                         : FArchiver->PackFiles(call);
        else if (Op == opUnpack)
            r = FArchiver->UnpackFiles(call);
        else if (Op == opRemove)
            r = FArchiver->RemoveItems(call);
        else
            r = FArchiver->UpdateArchive(call);
        FCmdLine = FArchiver->CmdLine();
        DetachProgress();
        return r;
    } catch (...) {
        FCmdLine = FArchiver->CmdLine();
        DetachProgress();
        throw;
    }
}

int TArchiveFile::SelectFilesAndPack(TArchiveCall& Call) {
    FArchiver->BeforePack();
    TArchiverOptions options = *Call.Options;
    std::string base = Call.BaseDir;
    for (char& c : base)
        if (c == '\\')
            c = '/';
    if (!base.empty() && base.back() != '/')
        base += '/';

    std::set<std::string> excluded, found;
    TSelector ex{options, base, std::nullopt, std::nullopt, nullptr, &excluded, nullptr, this};
    for (const std::string& p : options.jx)
        ex.Pattern(p);
    TSelector sel{options,
                  base,
                  ParseTimeBound(options.jo, false),
                  ParseTimeBound(options.job, true),
                  &excluded,
                  &found,
                  &FOnProgress,
                  this};
    for (const std::string& p : Call.Files) {
        sel.Pattern(p);
        if (sel.Aborted)
            return kResultAborted;
    }
    if (found.empty()) {
        if (!FOutputBuff.empty())
            FOutputBuff[0] = '\0';
        return 0;
    }
    options.r = -1;
    options.jo.clear();
    options.job.clear();
    options.p = 1;
    options.jx.clear();
    TArchiveCall call = Call;
    call.Files.assign(found.begin(), found.end());
    call.Options = &options;
    return FArchiver->PackFiles(call);
}

int TArchiveFile::PackFiles(HWND Handle, const TArchiverOptions* Options,
                            const std::string& BaseDir, const std::vector<std::string>& Files) {
    return Run(opPack, Handle, Options, BaseDir, Files);
}
int TArchiveFile::UnpackFiles(HWND Handle, const TArchiverOptions* Options,
                              const std::string& BaseDir, const std::vector<std::string>& Files) {
    return Run(opUnpack, Handle, Options, BaseDir, Files);
}
int TArchiveFile::RemoveItems(HWND Handle, const TArchiverOptions* Options,
                              const std::string& BaseDir, const std::vector<std::string>& Files) {
    return Run(opRemove, Handle, Options, BaseDir, Files);
}
int TArchiveFile::UpdateArchive(HWND Handle, const TArchiverOptions* Options,
                                const std::string& BaseDir, const std::vector<std::string>& Files) {
    return Run(opUpdate, Handle, Options, BaseDir, Files);
}

bool TArchiveFile::CheckArchive(int CheckMode, const TArchiverOptions* CheckOptions) {
    ResolveAutoDetect();
    RequireDriver();
    return FArchiver->CheckArchive(FFileName, CheckMode, CheckOptions ? *CheckOptions : FOptions);
}

int TArchiveFile::FindOpen(HWND Handle, uint32_t dwMode) {
    ResolveAutoDetect();
    RequireDriver();
    FindClose();
    FhArc = FArchiver->OpenArchive(Handle, FFileName, dwMode);
    return FhArc ? 0 : -1;
}

int TArchiveFile::FindFirst(const std::string& FileMask, TIndivisualInfo& Info) {
    RequireDriver();
    return FhArc ? FArchiver->FindFirst(FhArc, FileMask, Info) : -1;
}

int TArchiveFile::FindNext(TIndivisualInfo& Info) {
    RequireDriver();
    return FhArc ? FArchiver->FindNext(FhArc, Info) : -1;
}

void TArchiveFile::FindClose() {
    if (FhArc && FArchiver)
        FArchiver->CloseArchive(FhArc);
    FhArc = nullptr;
}
