// Our LHA library on arbitrary bytes, two ways.
// First byte even: the bytes are an archive from outside; listing and reading must fail or
// succeed, never crash, hang or read out of bounds.
// First byte odd: the bytes become members that we pack with our own encoder; reading the
// archive back through liblhasa must give every member exactly, so the encoder is checked
// against an independent decoder.

#include "LhaArchive.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string& ScratchPath() {
    static const std::string path = "/tmp/doryou-lha-fuzz-" + std::to_string(getpid()) + ".lzh";
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size == 0)
        return 0;
    if ((Data[0] & 1) == 0) {
        if (!WriteScratch(std::string(reinterpret_cast<const char*>(Data) + 1, Size - 1)))
            std::abort();
        std::vector<TLhaEntry> entries;
        ListLhaArchive(ScratchPath(), entries);
        std::vector<TLhaMember> members;
        std::string error;
        ReadLhaArchive(ScratchPath(), members, error);
    } else {
        const std::vector<TLhaMember> members = Members(Data + 1, Size - 1);
        if (!WriteScratch(EncodeLhaArchive(members)))
            std::abort();
        std::vector<TLhaMember> back;
        std::string error;
        if (!ReadLhaArchive(ScratchPath(), back, error) || back.size() != members.size())
            std::abort();
        for (size_t k = 0; k < members.size(); ++k)
            if (back[k].Name != members[k].Name || back[k].Data != members[k].Data ||
                back[k].MTime != members[k].MTime || back[k].Perms != members[k].Perms)
                std::abort();
    }
    std::remove(ScratchPath().c_str());
    return 0;
}
