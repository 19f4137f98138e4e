#pragma once
// The other formats of the family. The layer knows their libraries and command letters; this
// system packs only LHA, so they build plain command lines (command, user options, archive,
// base folder, files) and leave the rest to their libraries.

#include "Archives.h"

class TFamilyArchiver : public TDllArchiver {
public:
    struct TLetters {
        const char* Unpack;
        const char* Pack;   // nullptr: not supported
        const char* Remove; // nullptr: not supported
        const char* Update; // nullptr: not supported
        bool Sfx, ToMem, Check;
    };
    TFamilyArchiver(TArchiverDll& Dll, TLetters Letters) : TDllArchiver(Dll), FLetters(Letters) {}
    int UnpackFiles(const TArchiveCall& Call) override;
    int PackFiles(const TArchiveCall& Call) override;
    int RemoveItems(const TArchiveCall& Call) override;
    int UpdateArchive(const TArchiveCall& Call) override;
    bool CheckArchive(const std::string& ArchiveFileName, int CheckMode,
                      const TArchiverOptions& CheckOptions) override;

protected:
    std::string BuildCmdLine(const char* Command, const TArchiveCall& Call) const;
    TLetters FLetters;
};

// ZIP: unpacking through "UNZIP32.DLL", packing through "ZIP32J.DLL", either through
// "LMZIP32.DLL", each as far as present.
class TZip32 : public TFamilyArchiver {
public:
    TZip32();
    void LoadDLL() override;
    int UnpackFiles(const TArchiveCall& Call) override;
    int PackFiles(const TArchiveCall& Call) override;
    int MakeSfx(HWND Handle, const std::string& ArchiveFileName, const TArchiverOptions& Options,
                const std::string& DstPath, std::string& Output) override;
};

class TCab32 : public TFamilyArchiver {
public:
    TCab32();
};

class TTar32 : public TFamilyArchiver {
public:
    TTar32();
    int MakeSfx(HWND Handle, const std::string& ArchiveFileName, const TArchiverOptions& Options,
                const std::string& DstPath, std::string& Output) override;
    static TArchiverDll& Binding();
};
class TTgz32 : public TTar32 {};
class TBZ232 : public TTar32 {
public:
    int MakeSfx(HWND Handle, const std::string& ArchiveFileName, const TArchiverOptions& Options,
                const std::string& DstPath, std::string& Output) override;
};

class TRar32 : public TFamilyArchiver {
public:
    TRar32();
};

class TArj32 : public TFamilyArchiver {
public:
    TArj32();
};

class TBGA32 : public TFamilyArchiver {
public:
    TBGA32();
};

TArchiverDll& CabBinding();
TArchiverDll& BgaBinding();
TArchiverDll& ZipBinding();
TArchiverDll& UnzipBinding();
TArchiverDll& LmzipBinding();
