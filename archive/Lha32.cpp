#include "Lha32.h"

TArchiverDll& TLha32::Binding() {
    static TArchiverDll dll("LHA 形式書庫", "Unlha", "UNLHA32.DLL");
    return dll;
}

TLha32::TLha32() : TDllArchiver(Binding()) {}

std::string TLha32::BuildCmdLine(const std::string& Command, const TArchiveCall& Call) const {
    const TArchiverOptions& o = *Call.Options;
    if (o.jso < 0)
        throw EArchiver("jso オプションが設定されていません。");
    if (Command == "x" && o.jse < 0)
        throw EArchiver("jse オプションが設定されていません。");
    TCmdOpt c;
    c.Item(Command);
    c.Item("-+");
    c.Int("a", o.a);
    c.Int("c", o.c);
    c.Int("e", o.e);
    c.Int("f", o.f);
    c.Int("h", o.h);
    c.Int("i", o.i);
    c.Int("l", o.l);
    c.Int("m", o.m);
    // While progress is reported through the owner window, the library shows none itself.
    c.Int("n", FOwnerWindow ? 1 : o.n);
    c.Int("o", o.o);
    c.Int("p", o.p);
    c.Int("r", o.r);
    c.Int("s", o.s);
    c.Int("t", o.t);
    c.Int("u", o.u);
    if (!o.w.empty())
        c.Text("w", (o.w.back() == '/' || o.w.back() == '\\') ? o.w : o.w + "/");
    c.Int("x", o.x);
    c.Int("y", o.y);
    c.Int("z", o.z);
    c.Int("jc", o.jc);
    c.Int("jd", o.jd);
    c.Int("je", o.je);
    c.Int("jf", o.jf);
    c.Int("jh", o.jh);
    c.Int("ji", o.ji);
    c.Int("jm", o.jm);
    c.Int("jn", o.jn);
    c.Text("jo", o.jo);
    c.Text("job", o.job);
    c.Int("jp", o.jp);
    c.Int("jr", o.jr);
    c.Int("jsb", o.jsb);
    c.Int("jsc", o.jsc);
    c.Int("jsd", o.jsd);
    c.Int("jse", o.jse);
    c.Int("jsf", o.jsf);
    c.Int("jsl", o.jsl);
    c.Int("jso", o.jso);
    c.Int("jss", o.jss);
    c.Int("jst", o.jst);
    c.Int("jsv", o.jsv);
    c.Int("jsz", o.jsz);
    c.Int("jw", o.jw);
    for (const std::string& pattern : o.jx)
        c.Text("jx", pattern);
    c.Int("jyc", o.jyc);
    c.Int("jyd", o.jyd);
    c.Int("jyk", o.jyk);
    c.Int("jyn", o.jyn);
    c.Int("jyo", o.jyo);
    c.Text("jz", o.jz);
    c.Int("ga", o.ga);
    c.Int("gd", o.gd);
    c.Int("ge", o.ge);
    c.Int("gf", o.gf);
    c.Int("gj", o.gj);
    c.Int("gm", o.gm);
    c.Int("gn", o.gn);
    c.Int("go", o.go);
    c.Int("gp", o.gp);
    c.Text("gr", o.gr);
    c.Int("gs", o.gs);
    c.Int("gu", o.gu);
    c.Int("gw", o.gw);
    if (!o.FUserOptions.empty())
        c.Item(o.FUserOptions);
    c.Text(nullptr, Call.ArchiveFileName);
    c.Folder(Call.BaseDir);
    c.Files(Call.Files, Call.UseResFile ? o.FResFileName : std::string());
    if (!o.FUserFileList.empty())
        c.Item(o.FUserFileList);
    return c.CmdLine();
}

int TLha32::UnpackFiles(const TArchiveCall& Call) {
    return Run(Call, BuildCmdLine("x", Call));
}
int TLha32::PackFiles(const TArchiveCall& Call) {
    return Run(Call, BuildCmdLine("u", Call));
}
int TLha32::RemoveItems(const TArchiveCall& Call) {
    return Run(Call, BuildCmdLine("d", Call));
}
int TLha32::UpdateArchive(const TArchiveCall& Call) {
    return Run(Call, BuildCmdLine("f", Call));
}

int TLha32::MakeSfx(HWND Handle, const std::string& ArchiveFileName,
                    const TArchiverOptions& Options, const std::string& DstPath,
                    std::string& Output) {
    TArchiveCall call;
    call.Handle = Handle;
    call.ArchiveFileName = ArchiveFileName;
    call.Output = &Output;
    call.BaseDir = DstPath;
    call.Options = &Options;
    return Run(call, BuildCmdLine("s", call));
}

int TLha32::UnpackToMem(HWND Handle, const std::string& ArchiveFileName,
                        const TArchiverOptions& Options, const std::string& FileName,
                        uint8_t* lpvBuffer, uint32_t dwSize, uint32_t* lpdwWriteSize) {
    TArchiveCall call;
    call.Handle = Handle;
    call.ArchiveFileName = ArchiveFileName;
    call.Files = {FileName};
    call.Options = &Options;
    FCmdLine = BuildCmdLine("x", call);
    return FDll.ExtractMem(Handle, FCmdLine, lpvBuffer, dwSize, lpdwWriteSize);
}
