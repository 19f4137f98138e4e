#pragma once
// LHA archives built byte by byte, for tests, fuzzer seeds and the benchmark: any header level,
// any size a header may claim, and "-lh5-" streams of one repeated byte of any length (a few
// bytes a block of 16 MiB). Written from the format, independently of the library's encoder.

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace LhaCraft {

inline uint16_t Crc16(const void* data, size_t size, uint16_t crc = 0) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = static_cast<uint16_t>((crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1);
    }
    return crc;
}

// The CRC of `length` copies of `byte` (table-driven: 4 GiB take a few seconds).
inline uint16_t RunCrc(uint8_t byte, uint64_t length) {
    uint16_t table[256];
    for (int i = 0; i < 256; ++i) {
        uint16_t c = static_cast<uint16_t>(i);
        for (int k = 0; k < 8; ++k)
            c = static_cast<uint16_t>((c & 1) ? (c >> 1) ^ 0xA001 : c >> 1);
        table[i] = c;
    }
    uint16_t crc = 0;
    for (uint64_t i = 0; i < length; ++i)
        crc = static_cast<uint16_t>(table[(crc ^ byte) & 0xFF] ^ (crc >> 8));
    return crc;
}

struct TMember {
    std::string Name; // "/" between folders
    std::string Method = "-lh0-";
    std::string Packed;        // the data as stored
    uint64_t Length = 0;       // the original size the header claims (low 32 bits written)
    uint64_t PackedLength = 0; // the stored size the header claims; ~0 for Packed.size()
    uint16_t Crc = 0;
    int Level = 2;
    uint32_t MTime = 1700000000;
    std::string Symlink; // a symbolic link to this target ("-lhd-", levels 1 and 2)
};

// A stored member whose header tells the truth.
inline TMember Stored(const std::string& name, const std::string& data, int level = 2) {
    TMember m;
    m.Name = name;
    m.Packed = data;
    m.Length = data.size();
    m.PackedLength = ~uint64_t{0};
    m.Crc = Crc16(data.data(), data.size());
    m.Level = level;
    return m;
}

namespace Detail {
inline void Put(std::string& s, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
inline void Set(std::string& s, size_t at, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline uint32_t DosTime(uint32_t unixTime) {
    const time_t t = unixTime;
    tm g{};
    gmtime_r(&t, &g);
    return static_cast<uint32_t>((g.tm_hour << 11) | (g.tm_min << 5) | (g.tm_sec / 2)) |
           (static_cast<uint32_t>(((g.tm_year - 80) << 9) | ((g.tm_mon + 1) << 5) | g.tm_mday)
            << 16);
}
// Extended headers as levels 1 and 2 chain them: type, data, size of the next.
inline std::string Ext(uint8_t type, const std::string& data) {
    std::string e(1, static_cast<char>(type));
    e += data;
    return e;
}
} // namespace Detail

inline std::string Header(const TMember& m) {
    using namespace Detail;
    const uint64_t packed = m.PackedLength == ~uint64_t{0} ? m.Packed.size() : m.PackedLength;
    std::string file = m.Name, dir;
    const size_t slash = m.Name.rfind('/');
    if (slash != std::string::npos) {
        dir = m.Name.substr(0, slash + 1);
        file = m.Name.substr(slash + 1);
    }
    const std::string method = m.Symlink.empty() ? m.Method : "-lhd-";
    if (!m.Symlink.empty())
        file += "|" + m.Symlink;
    std::string h;
    if (m.Level == 0) {
        std::string name = m.Name; // level 0 keeps the whole path in the name, "\" between
        for (char& c : name)
            if (c == '/')
                c = '\\';
        Put(h, 0, 2);
        h += method.substr(0, 5);
        Put(h, packed, 4);
        Put(h, m.Length, 4);
        Put(h, DosTime(m.MTime), 4);
        h.push_back(0x20);
        h.push_back(0);
        h.push_back(static_cast<char>(name.size()));
        h += name;
        Put(h, m.Crc, 2);
        h[0] = static_cast<char>(h.size() - 2);
        unsigned sum = 0;
        for (size_t i = 2; i < h.size(); ++i)
            sum += static_cast<uint8_t>(h[i]);
        h[1] = static_cast<char>(sum & 0xFF);
        return h;
    }
    std::vector<std::string> exts;
    if (m.Level == 2)
        exts.push_back(Ext(0x00, std::string(2, '\0'))); // header CRC, set last
    if (m.Level == 2)
        exts.push_back(Ext(0x01, file));
    if (!dir.empty()) {
        for (char& c : dir)
            if (c == '/')
                c = static_cast<char>(0xFF);
        exts.push_back(Ext(0x02, dir));
    }
    std::string perms;
    Put(perms, m.Symlink.empty() ? 0100644 : 0120777, 2);
    exts.push_back(Ext(0x50, perms));
    size_t extBytes = 0;
    for (const std::string& e : exts)
        extBytes += e.size() + 2;

    Put(h, 0, 2);
    h += method.substr(0, 5);
    Put(h, m.Level == 1 ? packed + extBytes : packed, 4);
    Put(h, m.Length, 4);
    Put(h, m.Level == 1 ? DosTime(m.MTime) : m.MTime, 4);
    h.push_back(0x20);
    h.push_back(static_cast<char>(m.Level));
    if (m.Level == 1) {
        h.push_back(static_cast<char>(file.size()));
        h += file;
    }
    Put(h, m.Crc, 2);
    h.push_back('U');
    const size_t baseEnd = h.size();
    Put(h, exts.empty() ? 0 : exts[0].size() + 2, 2);
    size_t crcAt = 0;
    for (size_t k = 0; k < exts.size(); ++k) {
        if (exts[k][0] == 0x00)
            crcAt = h.size() + 1;
        h += exts[k];
        Put(h, k + 1 < exts.size() ? exts[k + 1].size() + 2 : 0, 2);
    }
    if (m.Level == 1) {
        h[0] = static_cast<char>(baseEnd + 2 - 2); // the base header, its "next size" included
        unsigned sum = 0;
        for (size_t i = 2; i < baseEnd + 2; ++i)
            sum += static_cast<uint8_t>(h[i]);
        h[1] = static_cast<char>(sum & 0xFF);
        return h;
    }
    if ((h.size() & 0xFF) == 0)
        h.push_back(0); // a first byte of 0 would read as the end mark
    Set(h, 0, h.size(), 2);
    Set(h, crcAt, Crc16(h.data(), h.size()), 2);
    return h;
}

inline std::string Archive(const std::vector<TMember>& members) {
    std::string out;
    for (const TMember& m : members)
        out += Header(m) + m.Packed;
    out.push_back(0);
    return out;
}

// "-lh5-" data that decodes to `length` (at least 1) copies of `byte`: a block of one literal,
// then blocks of up to 65535 copies of 256 bytes at distance 1, each with one-symbol tables
// (0 bits a symbol), so 16 MiB cost seven bytes.
inline std::string Lh5Run(uint8_t byte, uint64_t length) {
    std::string out;
    uint32_t acc = 0;
    int bits = 0;
    const auto put = [&](uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i) {
            acc = (acc << 1) | ((v >> i) & 1);
            if (++bits == 8) {
                out.push_back(static_cast<char>(acc));
                acc = 0;
                bits = 0;
            }
        }
    };
    const auto block = [&](uint32_t count, uint32_t code) {
        put(count, 16);
        put(0, 5); // code-length table: one symbol
        put(0, 5);
        put(0, 9); // literal and length table: one symbol
        put(code, 9);
        put(0, 4); // distance table: one symbol, distance 1
        put(0, 4);
    };
    block(1, byte);
    uint64_t left = length - 1;
    while (left >= 256) {
        const uint64_t n = std::min<uint64_t>(65535, left / 256);
        block(static_cast<uint32_t>(n), 256 + 256 - 3);
        left -= n * 256;
    }
    if (left >= 3)
        block(1, static_cast<uint32_t>(256 + left - 3));
    else if (left > 0)
        block(static_cast<uint32_t>(left), byte);
    if (bits > 0)
        put(0, 8 - bits);
    return out;
}

// A member of `length` copies of `byte`, "-lh5-".
inline TMember Run(const std::string& name, uint8_t byte, uint64_t length, int level = 2) {
    TMember m;
    m.Name = name;
    m.Method = "-lh5-";
    m.Packed = Lh5Run(byte, length);
    m.Length = length;
    m.PackedLength = ~uint64_t{0};
    m.Crc = RunCrc(byte, length);
    m.Level = level;
    return m;
}

} // namespace LhaCraft
