#pragma once
// The archiver layer: a front end (TArchiveFile) that turns an operation and an option set into
// a command line for an archiver library loaded at run time, through a format driver
// (TArchiver and its descendants) and a library binding (TArchiverDll). Used to pack print
// records into LHA archives. No Qt: libraries are opened with dlopen.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Every failure of the layer.
class EArchiver : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// The format's library cannot be loaded.
class ENoArchiverDLL : public EArchiver {
public:
    using EArchiver::EArchiver;
};
// The library lacks an entry the operation needs.
class EEntryNotFound : public EArchiver {
public:
    using EArchiver::EArchiver;
};

enum TArchiverType {
    atLha,
    atZip,
    atCab,
    atArj,
    atTar,
    atTgz,
    atBZ2,
    atRar,
    atBga,
    atYz1,
    atGCA,
    atBel,
    atNone,
    atAutoDetect
};

enum TPackFilter { pfArchiver, pfComponent };
enum TResFileUsage { ruPack = 1, ruUnpack = 2, ruRemove = 4 };

using HARC = void*;
using HWND = void*;

// One switch set. Integer switches are -1 when not given; text switches empty.
struct TArchiverOptions {
    int8_t a = -1, c = -1, e = -1, f = -1, h = -1, i = -1, l = -1, m = -1, n = -1, o = -1, p = -1,
           r = -1, s = -1, t = -1, u = -1, x = -1, y = -1, z = -1;
    int8_t jc = -1, jd = -1, je = -1, jf = -1, jh = -1, ji = -1, jm = -1, jn = -1, jp = -1, jr = -1;
    int8_t jsb = -1, jsc = -1, jsd = -1, jse = -1, jsf = -1, jsl = -1, jso = -1, jss = -1, jst = -1,
           jsv = -1, jsz = -1, jw = -1;
    int8_t jyc = -1, jyd = -1, jyk = -1, jyn = -1, jyo = -1;
    int8_t ga = -1, gd = -1, ge = -1, gf = -1, gj = -1, gm = -1, gn = -1, go = -1, gp = -1, gs = -1,
           gu = -1, gw = -1;
    std::string w, jo, job, jz, gr;
    std::vector<std::string> jx; // patterns to exclude
    std::string FUserOptions;    // appended to the switches as it stands
    std::string FUserFileList;   // appended after the file list
    TPackFilter FPackFilter = pfComponent;
    std::string FResFileName;
    int FResFileUsage = ruPack | ruUnpack | ruRemove;

    void Assign(const TArchiverOptions& Source) { *this = Source; }
};

// One archive member as the listing reports it.
struct TIndivisualInfo {
    uint32_t OriginalSize = 0, CompressedSize = 0, CRC = 0, Flag = 0, OSType = 0;
    uint16_t Ratio = 0, Date = 0, Time = 0;
    std::string FileName, Attribute, Mode;
    int64_t WriteTime = 0, AccessTime = 0, CreateTime = 0; // Unix time
};

// A command line: items, each preceded by one space.
class TCmdOpt {
public:
    enum TFormat { cfInner, cfOuter };
    explicit TCmdOpt(TFormat Format = cfInner) : FFormat(Format) {}
    std::function<std::string(const std::string&)> FFilterProc;

    void Item(const std::string& s) { FCmdLine += " " + s; }
    void Int(const char* sw, int v);
    void Default(const char* sw, int v, int def);
    void Bool(const char* sw, bool v);
    void Text(const char* sw, const std::string& value);
    void Folder(const std::string& path);
    void Files(const std::vector<std::string>& names, const std::string& resFile);
    const std::string& CmdLine() const { return FCmdLine; }

private:
    TFormat FFormat;
    std::string FCmdLine;
};

// The binding of one archiver library: loaded on first use, entries found by name.
class TArchiverDll {
public:
    TArchiverDll(std::string ArchiveName, std::string EntryPrefix, std::string DllName);
    ~TArchiverDll();
    TArchiverDll(const TArchiverDll&) = delete;
    TArchiverDll& operator=(const TArchiverDll&) = delete;

    void LoadDll();
    void FreeDll();
    bool Loaded() const { return FhDLL != nullptr; }
    const std::string& DllName() const { return FDllName; }

    int ArchiverProc(HWND hwnd, const std::string& cmdLine, char* output, uint32_t size);
    HARC OpenArchive(HWND hwnd, const std::string& name, uint32_t mode);
    int CloseArchive(HARC arc);
    int FindFirst(HARC arc, const std::string& mask, TIndivisualInfo& info);
    int FindNext(HARC arc, TIndivisualInfo& info);
    bool CheckArchive(const std::string& name, int mode);
    bool SetOwnerWindowEx(HWND hwnd, void* proc);
    bool KillOwnerWindowEx(HWND hwnd);
    int ExtractMem(HWND hwnd, const std::string& cmdLine, uint8_t* buffer, uint32_t size,
                   uint32_t* written);
    int GetArchiveType(const std::string& name);

private:
    void* Entry(const std::string& op, bool optional = false);
    int Find(bool first, HARC arc, const std::string& mask, TIndivisualInfo& info);

    std::string FArchiveName, FEntryPrefix, FDllName, FPath;
    void* FhDLL = nullptr;
    std::vector<std::pair<std::string, void*>> FEntries;
};

// Where libraries are looked for before the library path: the executable's folder, unless a
// folder is set here (tests use their own small libraries).
void SetArchiverLibraryFolder(const std::string& folder);
// The folder of the running program (no trailing "/"), where libraries and extra files lie.
std::string ExecutableFolder();
// The folders looked in, in this order, before the library path: the folder set above alone;
// otherwise the program's own folder (a build folder holds the libraries beside the programs),
// then the program's private library folder as installed, found from the program's folder
// (bin/../lib/<triplet>/doryou), so an installed tree may be moved as a whole.
std::vector<std::string> ArchiverLibraryFolders(const std::string& exeFolder);
// "UNLHA32.DLL" -> "libunlha32.so".
std::string ArchiverLibraryFileName(const std::string& dllName);

// Arguments shared by pack, unpack, remove and update.
struct TArchiveCall {
    HWND Handle = nullptr;
    std::string ArchiveFileName;
    std::string* Output = nullptr;
    bool UseResFile = false;
    std::vector<std::string> Files;
    std::string BaseDir;
    const TArchiverOptions* Options = nullptr;
};

// A format driver.
class TArchiver {
public:
    virtual ~TArchiver() = default;
    // Every archiver loads, frees and unpacks in its own way.
    virtual void LoadDLL() = 0;
    virtual void FreeDLL() = 0;
    virtual HARC OpenArchive(HWND Handle, const std::string& ArchiveFileName, uint32_t Mode);
    virtual int FindFirst(HARC hArc, const std::string& FileMask, TIndivisualInfo& Info);
    virtual int FindNext(HARC hArc, TIndivisualInfo& Info);
    virtual int CloseArchive(HARC hArc);
    virtual int UnpackFiles(const TArchiveCall& Call) = 0;
    virtual int PackFiles(const TArchiveCall& Call);
    virtual int RemoveItems(const TArchiveCall& Call);
    virtual int UpdateArchive(const TArchiveCall& Call);
    virtual int MakeSfx(HWND Handle, const std::string& ArchiveFileName,
                        const TArchiverOptions& Options, const std::string& DstPath,
                        std::string& Output);
    virtual int UnpackToMem(HWND Handle, const std::string& ArchiveFileName,
                            const TArchiverOptions& Options, const std::string& FileName,
                            uint8_t* lpvBuffer, uint32_t dwSize, uint32_t* lpdwWriteSize);
    virtual bool CheckArchive(const std::string& ArchiveFileName, int CheckMode,
                              const TArchiverOptions& CheckOptions);
    virtual void SetOwnerWindowEx(HWND Handle, void* lpArcProc);
    virtual void KillOwnerWindowEx(HWND Handle);
    virtual void BeforePack();

    const std::string& CmdLine() const { return FCmdLine; }
    HWND OwnerWindow() const { return FOwnerWindow; }

protected:
    HWND FOwnerWindow = nullptr;
    std::string FCmdLine;
};

// A driver whose library follows the common calling convention.
class TDllArchiver : public TArchiver {
public:
    explicit TDllArchiver(TArchiverDll& Dll) : FDll(Dll) {}
    void LoadDLL() override { FDll.LoadDll(); }
    void FreeDLL() override { FDll.FreeDll(); }
    HARC OpenArchive(HWND Handle, const std::string& ArchiveFileName, uint32_t Mode) override;
    int FindFirst(HARC hArc, const std::string& FileMask, TIndivisualInfo& Info) override;
    int FindNext(HARC hArc, TIndivisualInfo& Info) override;
    int CloseArchive(HARC hArc) override;
    bool CheckArchive(const std::string& ArchiveFileName, int CheckMode,
                      const TArchiverOptions& CheckOptions) override;
    void SetOwnerWindowEx(HWND Handle, void* lpArcProc) override;
    void KillOwnerWindowEx(HWND Handle) override;
    TArchiverDll& Dll() { return FDll; }

protected:
    // Runs a command line through the library's main procedure.
    int Run(const TArchiveCall& Call, const std::string& cmdLine);
    TArchiverDll& FDll;
};

// Progress: state and the member's name; setting Abort stops a pack.
using TArchiverProgressEvent =
    std::function<void(void* Sender, int State, const std::string& Name, bool& Abort)>;

class TArchiveFile {
public:
    TArchiveFile();
    ~TArchiveFile();
    TArchiveFile(const TArchiveFile&) = delete;
    TArchiveFile& operator=(const TArchiveFile&) = delete;

    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& Value);
    TArchiverType ArchiverType() const { return FArchiverType; }
    void SetArchiverType(TArchiverType Value);
    int OutputSize() const { return static_cast<int>(FOutputBuff.size()); }
    void SetOutputSize(int Value);
    TArchiverOptions& Options() { return FOptions; }
    void SetOnProgress(TArchiverProgressEvent Value) { FOnProgress = std::move(Value); }
    const std::string& CmdLine() const { return FCmdLine; }
    std::string Output() const; // the library's text, up to its terminating zero
    TArchiver* Archiver() const { return FArchiver.get(); }

    int PackFiles(HWND Handle, const TArchiverOptions* Options, const std::string& BaseDir,
                  const std::vector<std::string>& Files);
    int UnpackFiles(HWND Handle, const TArchiverOptions* Options, const std::string& BaseDir,
                    const std::vector<std::string>& Files);
    int RemoveItems(HWND Handle, const TArchiverOptions* Options, const std::string& BaseDir,
                    const std::vector<std::string>& Files);
    int UpdateArchive(HWND Handle, const TArchiverOptions* Options, const std::string& BaseDir,
                      const std::vector<std::string>& Files);
    bool CheckArchive(int CheckMode, const TArchiverOptions* CheckOptions = nullptr);
    int FindOpen(HWND Handle, uint32_t dwMode);
    int FindFirst(const std::string& FileMask, TIndivisualInfo& Info);
    int FindNext(TIndivisualInfo& Info);
    void FindClose();

    // The format the libraries recognise in a file's content, in the layer's fixed order.
    static TArchiverType DetectFromContent(const std::string& FileName);
    // The format a file name's extension names; atNone when it names none, atAutoDetect for ".exe".
    static TArchiverType TypeFromFileName(const std::string& FileName);

private:
    enum TOp { opPack, opUnpack, opRemove, opUpdate };
    int Run(TOp Op, HWND Handle, const TArchiverOptions* Options, const std::string& BaseDir,
            const std::vector<std::string>& Files);
    int SelectFilesAndPack(TArchiveCall& Call);
    void ResolveAutoDetect();
    void RequireDriver() const;
    void AttachProgress();
    void DetachProgress();

    TArchiverType FArchiverType = atAutoDetect;
    std::unique_ptr<TArchiver> FArchiver;
    TArchiverOptions FOptions;
    std::string FFileName;
    std::string FCmdLine;
    std::string FOutputBuff;
    TArchiverProgressEvent FOnProgress;
    HARC FhArc = nullptr;
};

// Creates the driver of a format (loading its library), or nullptr for atNone/atAutoDetect.
std::unique_ptr<TArchiver> NewArchiver(TArchiverType Type);
