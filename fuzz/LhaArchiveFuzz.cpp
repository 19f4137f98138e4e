// Our LHA library on arbitrary bytes, two ways.
// First byte even: the bytes are an archive from outside. The reader and every entry point the
// archiver layer calls (check, open and list, extract to memory, the main procedure's "x", "l"
// and "d") must answer, never crash, hang, read out of bounds or write past a buffer.
// First byte odd: the bytes become members that we pack with our own encoder; reading the
// archive back through liblhasa must give every member exactly, so the encoder is checked
// against an independent decoder.

#include "LhaArchive.h"
#include "unlha32.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Members that claim more than this in all are only listed: decoding them is correct but slow.
constexpr uint64_t kDecodeLimit = 4u << 20;

const std::string& ScratchFolder() {
    static const std::string folder =
        (std::filesystem::is_directory("/dev/shm") ? std::string("/dev/shm")
                                                   : std::string("/tmp")) +
        "/doryou-lha-fuzz-" + std::to_string(getpid());
    return folder;
}

const std::string& ScratchPath() {
    static const std::string path = ScratchFolder() + ".lzh";
    return path;
}

bool WriteScratch(const std::string& Bytes) {
    FILE* f = std::fopen(ScratchPath().c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(Bytes.data(), 1, Bytes.size(), f) == Bytes.size();
    return std::fclose(f) == 0 && ok;
}

// Members from the bytes: per member a length byte (data length, scaled so that runs longer
// than the encoder's window occur), a name byte, then the data.
std::vector<TLhaMember> Members(const uint8_t* Data, size_t Size) {
    std::vector<TLhaMember> members;
    size_t at = 0;
    while (at + 2 <= Size && members.size() < 8) {
        const size_t wanted = static_cast<size_t>(Data[at]) * 97;
        const uint8_t nameByte = Data[at + 1];
        at += 2;
        TLhaMember m;
        m.Name = "m" + std::to_string(members.size()) + "_" + std::to_string(nameByte);
        if (nameByte & 1)
            m.Name = "dir" + std::to_string(nameByte % 3) + "/" + m.Name;
        m.MTime = 1000000000u + nameByte * 86400u;
        // The data repeats the remaining input to the wanted length: long repeats are what
        // the match finder has to get right.
        const size_t rest = Size - at;
        if (rest > 0)
            for (size_t k = 0; k < wanted; ++k)
                m.Data.push_back(static_cast<char>(Data[at + k % rest]));
        const size_t used = std::min(rest, static_cast<size_t>(Data[at - 2]));
        at += used;
        members.push_back(std::move(m));
    }
    return members;
}

// The main procedure's answer is always terminated inside the buffer it was given.
int Command(const std::string& line) {
    char out[300];
    std::memset(out, 'X', sizeof out);
    const int code = Unlha(nullptr, line.c_str(), out, 256);
    if (std::memchr(out, 0, 256) == nullptr || out[256] != 'X')
        std::abort();
    return code;
}

void ForeignArchive(const uint8_t* Data, size_t Size) {
    if (!WriteScratch(std::string(reinterpret_cast<const char*>(Data) + 1, Size - 1)))
        std::abort();
    const std::string archive = "\"" + ScratchPath() + "\"";
    std::vector<TLhaEntry> entries;
    ListLhaArchive(ScratchPath(), entries);
    uint64_t claimed = 0;
    for (const TLhaEntry& e : entries)
        claimed += e.OriginalSize;
    const bool decode = claimed <= kDecodeLimit;

    UnlhaCheckArchive(ScratchPath().c_str(), 16);
    UnlhaGetArchiveType(ScratchPath().c_str());
    if (decode)
        UnlhaCheckArchive(ScratchPath().c_str(), 0);

    // Listing through a handle, and the handle refused once closed.
    if (HARC arc = UnlhaOpenArchive(nullptr, ScratchPath().c_str(), 0)) {
        INDIVIDUALINFO info;
        int64_t t = 0;
        for (int r = UnlhaFindFirst(arc, "*", &info); r == 0; r = UnlhaFindNext(arc, &info))
            if (std::memchr(info.szFileName, 0, sizeof info.szFileName) == nullptr)
                std::abort();
        UnlhaGetWriteTimeEx(arc, &t);
        if (UnlhaCloseArchive(arc) != 0 || UnlhaCloseArchive(arc) != UNLHA_ERROR_HANDLE ||
            UnlhaFindNext(arc, &info) != UNLHA_ERROR_HANDLE)
            std::abort();
    }

    // Into a buffer of a size from the input: never written past, never a cut copy.
    const uint32_t size = Size > 1 ? Data[1] * 37u : 0;
    std::vector<uint8_t> buf(size + 8, 0xA5);
    uint32_t written = 0;
    const int mem = UnlhaExtractMem(nullptr, (archive + " *").c_str(), buf.data(), size, nullptr,
                                    nullptr, &written);
    if (written > size || (mem != 0 && written != 0))
        std::abort();
    for (size_t k = size; k < buf.size(); ++k)
        if (buf[k] != 0xA5)
            std::abort();

    Command("l " + archive);
    if (decode) {
        Command("x -jso1 -jse1 " + archive + " \"" + ScratchFolder() + "/\"");
        std::error_code ec;
        std::filesystem::remove_all(ScratchFolder(), ec);
        Command("d -jso1 " + archive + " \"*a*\"");
    }
}

void PackedMembers(const uint8_t* Data, size_t Size) {
    const std::vector<TLhaMember> members = Members(Data + 1, Size - 1);
    if (!WriteScratch(EncodeLhaArchive(members)))
        std::abort();
    TLhaReader r;
    if (!r.Open(ScratchPath()))
        std::abort();
    size_t k = 0;
    for (TLhaEntry e; r.Next(e); ++k) {
        std::string data;
        if (k >= members.size() || e.Name != members[k].Name || e.MTime != members[k].MTime ||
            e.Perms != members[k].Perms || !r.Decode([&](const char* p, size_t n) {
                data.append(p, n);
                return true;
            }) ||
            data != members[k].Data)
            std::abort();
    }
    if (k != members.size() || !r.CleanEnd())
        std::abort();
    // The same members through the entry point that reads one into memory.
    for (const TLhaMember& m : members) {
        std::vector<uint8_t> buf(m.Data.size() + 1);
        uint32_t written = 0;
        if (UnlhaExtractMem(nullptr, ("\"" + ScratchPath() + "\" \"" + m.Name + "\"").c_str(),
                            buf.data(), static_cast<uint32_t>(buf.size()), nullptr, nullptr,
                            &written) != 0 ||
            std::string(buf.begin(), buf.begin() + written) != m.Data)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size == 0)
        return 0;
    if ((Data[0] & 1) == 0)
        ForeignArchive(Data, Size);
    else
        PackedMembers(Data, Size);
    std::remove(ScratchPath().c_str());
    return 0;
}
