#include "ArchiverFamily.h"

#include <unistd.h>

namespace {

bool ExtraFileExists(const std::string& name) {
    return access((ExecutableFolder() + "/" + name).c_str(), R_OK) == 0;
}

bool TryLoad(TArchiverDll& dll) {
    try {
        dll.LoadDll();
        return true;
    } catch (const ENoArchiverDLL&) {
        return false;
    }
}

} // namespace

TArchiverDll& CabBinding() {
    static TArchiverDll dll("CAB 形式書庫", "Cab", "CAB32.DLL");
    return dll;
}
TArchiverDll& BgaBinding() {
    static TArchiverDll dll("BGA 形式書庫", "Bga", "BGA32.DLL");
    return dll;
}
TArchiverDll& ZipBinding() {
    static TArchiverDll dll("ZIP 形式書庫", "Zip", "ZIP32J.DLL");
    return dll;
}
TArchiverDll& UnzipBinding() {
    static TArchiverDll dll("ZIP 形式書庫", "UnZip", "UNZIP32.DLL");
    return dll;
}
TArchiverDll& LmzipBinding() {
    static TArchiverDll dll("ZIP 形式書庫", "Unzip", "LMZIP32.DLL");
    return dll;
}
TArchiverDll& TTar32::Binding() {
    static TArchiverDll dll("tar/tgz/taz/bz2 形式書庫", "Tar", "TAR32.DLL");
    return dll;
}

std::string TFamilyArchiver::BuildCmdLine(const char* Command, const TArchiveCall& Call) const {
    TCmdOpt c;
    c.Item(Command);
    if (!Call.Options->FUserOptions.empty())
        c.Item(Call.Options->FUserOptions);
    c.Text(nullptr, Call.ArchiveFileName);
    c.Folder(Call.BaseDir);
    c.Files(Call.Files, Call.UseResFile ? Call.Options->FResFileName : std::string());
    if (!Call.Options->FUserFileList.empty())
        c.Item(Call.Options->FUserFileList);
    return c.CmdLine();
}

int TFamilyArchiver::UnpackFiles(const TArchiveCall& Call) {
    return Run(Call, BuildCmdLine(FLetters.Unpack, Call));
}
int TFamilyArchiver::PackFiles(const TArchiveCall& Call) {
    if (!FLetters.Pack)
        return TArchiver::PackFiles(Call);
    return Run(Call, BuildCmdLine(FLetters.Pack, Call));
}
int TFamilyArchiver::RemoveItems(const TArchiveCall& Call) {
    if (!FLetters.Remove)
        return TArchiver::RemoveItems(Call);
    return Run(Call, BuildCmdLine(FLetters.Remove, Call));
}
int TFamilyArchiver::UpdateArchive(const TArchiveCall& Call) {
    if (!FLetters.Update)
        return TArchiver::UpdateArchive(Call);
    return Run(Call, BuildCmdLine(FLetters.Update, Call));
}
bool TFamilyArchiver::CheckArchive(const std::string& ArchiveFileName, int CheckMode,
                                   const TArchiverOptions& CheckOptions) {
    if (!FLetters.Check)
        return TArchiver::CheckArchive(ArchiveFileName, CheckMode, CheckOptions);
    return TDllArchiver::CheckArchive(ArchiveFileName, CheckMode, CheckOptions);
}

TZip32::TZip32() : TFamilyArchiver(UnzipBinding(), {"-x", "-ru", "-d", "-f", true, true, true}) {}

void TZip32::LoadDLL() {
    const bool unzip = TryLoad(UnzipBinding());
    const bool zip = TryLoad(ZipBinding());
    const bool lm = TryLoad(LmzipBinding());
    if (!unzip && !zip && !lm)
        throw ENoArchiverDLL("ZIP 形式書庫 を扱うには UNZIP32.DLL が 必要です。");
}

int TZip32::UnpackFiles(const TArchiveCall& Call) {
    if (!TryLoad(UnzipBinding()) && !TryLoad(LmzipBinding()))
        throw EArchiver("ZIP 形式書庫の解凍には UNZIP32.DLL または LMZIP32.DLL が必要です。");
    return TFamilyArchiver::UnpackFiles(Call);
}

int TZip32::PackFiles(const TArchiveCall& Call) {
    TArchiverDll* dll = TryLoad(ZipBinding())     ? &ZipBinding()
                        : TryLoad(LmzipBinding()) ? &LmzipBinding()
                                                  : nullptr;
    if (!dll)
        throw EArchiver("ZIP 形式書庫の作成には ZIP32J.DLL または LMZIP32.DLL が必要です。");
    FCmdLine = BuildCmdLine(FLetters.Pack, Call);
    std::string* out = Call.Output;
    char* buf = out && !out->empty() ? out->data() : nullptr;
    try {
        return dll->ArchiverProc(Call.Handle, FCmdLine, buf,
                                 buf ? static_cast<uint32_t>(out->size()) : 0);
    } catch (const EEntryNotFound&) {
        throw EEntryNotFound(dll->DllName() + " のエントリが DLL に見つかりませんでした。");
    }
}

int TZip32::MakeSfx(HWND, const std::string&, const TArchiverOptions& Options, const std::string&,
                    std::string&) {
    if (!TryLoad(ZipBinding()))
        throw EArchiver("ZIP 形式書庫からの自己解凍書庫作成には ZIP32J.DLL が必要です。");
    // Option x above 0 asks for the console (DOS) kind, else the windowed kind.
    if (Options.x > 0 && !ExtraFileExists("sfx16.dat"))
        throw EArchiver("zip 書庫からのDOS自己解凍書庫の作成には sfx16.dat が必要です。");
    if (!ExtraFileExists("sfx32gui.dat"))
        throw EArchiver("zip 書庫からのWin32自己解凍書庫の作成には sfx32gui.dat が必要です。");
    throw EArchiver("この形式では自己解凍書庫の作成をサポートしておりません。");
}

TCab32::TCab32()
    : TFamilyArchiver(CabBinding(), {"-x", "-a", nullptr, nullptr, true, true, true}) {}

TTar32::TTar32() : TFamilyArchiver(Binding(), {"x", "c", nullptr, nullptr, true, true, true}) {}

int TTar32::MakeSfx(HWND, const std::string&, const TArchiverOptions&, const std::string&,
                    std::string&) {
    if (!ExtraFileExists("kmtarsef.exe"))
        throw EArchiver("tar/tgz 書庫からの自己解凍書庫の作成には kmtarsef.exe が必要です。");
    throw EArchiver("この形式では自己解凍書庫の作成をサポートしておりません。");
}

int TBZ232::MakeSfx(HWND, const std::string&, const TArchiverOptions&, const std::string&,
                    std::string&) {
    throw EArchiver("BZ2 形式書庫は自己解凍形式にできません。");
}

// RAR and ARJ are served by the tar and CAB libraries.
TRar32::TRar32()
    : TFamilyArchiver(TTar32::Binding(), {"-x", nullptr, nullptr, nullptr, false, true, true}) {}
TArj32::TArj32()
    : TFamilyArchiver(CabBinding(), {"x", nullptr, nullptr, nullptr, false, false, true}) {}
TBGA32::TBGA32() : TFamilyArchiver(BgaBinding(), {"x", "a", "d", nullptr, true, false, true}) {}
