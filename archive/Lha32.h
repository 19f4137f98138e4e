#pragma once
// The LHA driver: command lines for the LHA library ("UNLHA32.DLL", entries "Unlha...").

#include "Archives.h"

class TLha32 : public TDllArchiver {
public:
    TLha32();
    int UnpackFiles(const TArchiveCall& Call) override;
    int PackFiles(const TArchiveCall& Call) override;
    int RemoveItems(const TArchiveCall& Call) override;
    int UpdateArchive(const TArchiveCall& Call) override;
    int MakeSfx(HWND Handle, const std::string& ArchiveFileName, const TArchiverOptions& Options,
                const std::string& DstPath, std::string& Output) override;
    int UnpackToMem(HWND Handle, const std::string& ArchiveFileName,
                    const TArchiverOptions& Options, const std::string& FileName,
                    uint8_t* lpvBuffer, uint32_t dwSize, uint32_t* lpdwWriteSize) override;

    // The command line for a command letter: "-+", the switches in the library's order, the
    // archive, the base folder and the files. Fails without jso (and jse for "x").
    std::string BuildCmdLine(const std::string& Command, const TArchiveCall& Call) const;

    static TArchiverDll& Binding();

protected:
    explicit TLha32(TArchiverDll& Dll) : TDllArchiver(Dll) {}
};
