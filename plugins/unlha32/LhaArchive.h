#pragma once
// LHA archives as this library writes them (level-2 headers, "-lh5-" data, or "-lh0-" where
// compression would not help) and reads them (through liblhasa, which knows every variant).

#include <cstdint>
#include <string>
#include <vector>

struct TLhaMember {
    std::string Name;   // path inside the archive, "/" between folders
    std::string Data;   // the member's bytes
    uint32_t MTime = 0; // Unix time of the last write
    uint16_t Perms = 0644;
};

struct TLhaEntry {
    std::string Name;
    std::string Method; // "-lh5-" ...
    uint32_t OriginalSize = 0;
    uint32_t CompressedSize = 0;
    uint16_t Crc = 0;
    uint32_t MTime = 0;
    uint8_t OsType = 0;
};

// One member, header and data, ready to be appended to an archive.
std::string EncodeLhaMember(const TLhaMember& m);

// The whole archive: its members and the end mark.
std::string EncodeLhaArchive(const std::vector<TLhaMember>& members);

// Headers only. False when the file cannot be read or is no LHA archive.
bool ListLhaArchive(const std::string& path, std::vector<TLhaEntry>& entries);

// Every member with its data, each checked against its CRC. False on any failure, with the
// reason in `error`.
bool ReadLhaArchive(const std::string& path, std::vector<TLhaMember>& members, std::string& error);
