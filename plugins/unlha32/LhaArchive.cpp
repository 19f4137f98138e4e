#include "LhaArchive.h"

#include "Lh5Encoder.h"

#include <cstdio>
#include <cstring>

extern "C" {
#include <lhasa.h>
}

namespace {

void Put16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Set16(std::string& s, size_t at, uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}

// An extended header: its type, its data, and the size field of the next one (patched later).
void PutExt(std::string& h, uint8_t type, const std::string& data) {
    const size_t sizeAt = h.size() - 2; // the previous "next size" field
    Set16(h, sizeAt, static_cast<uint16_t>(1 + data.size() + 2));
    h.push_back(static_cast<char>(type));
    h += data;
    Put16(h, 0);
}

struct TStream {
    LHAInputStream* stream = nullptr;
    LHAReader* reader = nullptr;
    explicit TStream(const std::string& path) {
        stream = lha_input_stream_from(const_cast<char*>(path.c_str()));
        if (stream)
            reader = lha_reader_new(stream);
    }
    ~TStream() {
        if (reader)
            lha_reader_free(reader);
        if (stream)
            lha_input_stream_free(stream);
    }
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
};

std::string MemberName(const LHAFileHeader* h) {
    std::string name = h->path ? h->path : "";
    if (h->filename)
        name += h->filename;
    return name;
}

} // namespace

std::string EncodeLhaMember(const TLhaMember& m) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(m.Data.data());
    std::string packed = Lh5Compress(bytes, m.Data.size());
    const char* method = "-lh5-";
    if (packed.size() >= m.Data.size()) {
        packed = m.Data; // stored: compression would only make it larger
        method = "-lh0-";
    }

    std::string h;
    Put16(h, 0); // total header size, patched below
    h.append(method, 5);
    Put32(h, static_cast<uint32_t>(packed.size()));
    Put32(h, static_cast<uint32_t>(m.Data.size()));
    Put32(h, m.MTime);
    h.push_back(0x20); // attribute: archive
    h.push_back(2);    // header level
    Put16(h, LhaCrc16(bytes, m.Data.size()));
    h.push_back('U'); // made on Unix
    Put16(h, 0);      // size of the first extended header

    std::string dir, file = m.Name;
    const size_t slash = m.Name.rfind('/');
    if (slash != std::string::npos) {
        dir = m.Name.substr(0, slash + 1);
        file = m.Name.substr(slash + 1);
        for (char& c : dir)
            if (c == '/')
                c = static_cast<char>(0xFF); // LHA's folder separator
    }
    const size_t crcExt = h.size() - 2;
    PutExt(h, 0x00, std::string(2, '\0')); // header CRC, filled in last
    PutExt(h, 0x01, file);
    if (!dir.empty())
        PutExt(h, 0x02, dir);
    std::string perms;
    Put16(perms, static_cast<uint16_t>(0100000 | (m.Perms & 07777)));
    PutExt(h, 0x50, perms);
    // A first byte of 0 marks the end of an archive, so the size must not be a multiple of 256.
    if ((h.size() & 0xFF) == 0)
        h.push_back(0);
    Set16(h, 0, static_cast<uint16_t>(h.size()));
    const uint16_t crc = LhaCrc16(reinterpret_cast<const uint8_t*>(h.data()), h.size());
    Set16(h, crcExt + 3, crc);
    return h + packed;
}

std::string EncodeLhaArchive(const std::vector<TLhaMember>& members) {
    std::string out;
    for (const TLhaMember& m : members)
        out += EncodeLhaMember(m);
    out.push_back(0);
    return out;
}

bool ListLhaArchive(const std::string& path, std::vector<TLhaEntry>& entries) {
    entries.clear();
    TStream s(path);
    if (!s.reader)
        return false;
    for (LHAFileHeader* h; (h = lha_reader_next_file(s.reader)) != nullptr;) {
        TLhaEntry e;
        e.Name = MemberName(h);
        e.Method = h->compress_method;
        e.OriginalSize = static_cast<uint32_t>(h->length);
        e.CompressedSize = static_cast<uint32_t>(h->compressed_length);
        e.Crc = h->crc;
        e.MTime = h->timestamp;
        e.OsType = h->os_type;
        entries.push_back(e);
    }
    return !entries.empty();
}

bool ReadLhaArchive(const std::string& path, std::vector<TLhaMember>& members, std::string& error) {
    members.clear();
    TStream s(path);
    if (!s.reader) {
        error = "cannot open " + path;
        return false;
    }
    bool anyHeader = false;
    for (LHAFileHeader* h; (h = lha_reader_next_file(s.reader)) != nullptr;) {
        anyHeader = true;
        if (std::strcmp(h->compress_method, LHA_COMPRESS_TYPE_DIR) == 0)
            continue;
        TLhaMember m;
        m.Name = MemberName(h);
        m.MTime = h->timestamp;
        if (LHA_FILE_HAVE_EXTRA(h, LHA_FILE_UNIX_PERMS))
            m.Perms = static_cast<uint16_t>(h->unix_perms & 07777);
        m.Data.reserve(h->length);
        char buf[65536];
        for (size_t n; (n = lha_reader_read(s.reader, buf, sizeof buf)) > 0;)
            m.Data.append(buf, n);
        if (m.Data.size() != h->length ||
            LhaCrc16(reinterpret_cast<const uint8_t*>(m.Data.data()), m.Data.size()) != h->crc) {
            error = "broken member " + m.Name;
            return false;
        }
        members.push_back(std::move(m));
    }
    // No header at all is an archive only when the file is just the end mark (or empty);
    // anything else is some other file, which must not be taken for an empty archive.
    if (!anyHeader) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        const int first = f ? std::fgetc(f) : EOF;
        if (f)
            std::fclose(f);
        if (first != EOF && first != 0) {
            error = "not an LHA archive";
            return false;
        }
    }
    return true;
}
