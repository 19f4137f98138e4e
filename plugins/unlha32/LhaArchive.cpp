#include "LhaArchive.h"

#include "Lh5Encoder.h"

#include "unlha32.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// ---------------------------------------------------------------- TLhaReader

namespace {

int FdRead(void* handle, void* buf, size_t len) {
    const int fd = *static_cast<int*>(handle);
    size_t got = 0;
    while (got < len) {
        const ssize_t n = ::read(fd, static_cast<char*>(buf) + got, len - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    return static_cast<int>(got);
}

// Without a skip of its own, liblhasa skips by reading, and loops for ever at the end of a
// file that is shorter than a header claims.
int FdSkip(void* handle, size_t bytes) {
    const int fd = *static_cast<int*>(handle);
    return ::lseek(fd, static_cast<off_t>(bytes), SEEK_CUR) >= 0 ? 1 : 0;
}

const LHAInputStreamType kFdSource = {FdRead, FdSkip, nullptr};

uint32_t Le(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

bool PreadAll(int fd, void* buf, size_t len, uint64_t at, size_t& got) {
    got = 0;
    while (got < len) {
        const ssize_t n =
            ::pread(fd, static_cast<char*>(buf) + got, len - got, static_cast<off_t>(at + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

TLhaReader::~TLhaReader() {
    if (FReader)
        lha_reader_free(FReader);
    if (FStream)
        lha_input_stream_free(FStream);
    if (FFd >= 0)
        ::close(FFd);
}

bool TLhaReader::Fail(int code, const std::string& text) {
    if (FError.Code == 0)
        FError = {code, text};
    return false;
}

bool TLhaReader::Open(const std::string& path) {
    // Non-blocking, so that a FIFO without a writer cannot hold the caller in open().
    FFd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (FFd < 0)
        return Fail(UNLHA_ERROR_CANNOT_READ, path + ": " + std::strerror(errno));
    struct stat st {};
    if (fstat(FFd, &st) != 0 || !S_ISREG(st.st_mode))
        return Fail(UNLHA_ERROR_CANNOT_READ, path + ": not a regular file");
    FFileSize = static_cast<uint64_t>(st.st_size);
    FStream = lha_input_stream_new(&kFdSource, &FFd);
    FReader = FStream ? lha_reader_new(FStream) : nullptr;
    if (!FReader)
        return Fail(UNLHA_ERROR_MEMORY, "out of memory");
    // Every header once, as it stands; no folder comes back a second time.
    lha_reader_set_dir_policy(FReader, LHA_READER_DIR_PLAIN);
    return true;
}

bool TLhaReader::Next(TLhaEntry& entry) {
    FHaveCurrent = false;
    if (!FReader)
        return false;
    // Where the member lies by its own size fields (level 0 and 1: one byte of header size,
    // level 1 counting its extended headers with the data; level 2: two bytes; level 3: four
    // bytes at 24).
    uint8_t b[28] = {};
    size_t got = 0;
    uint64_t span = 0;
    int level = -1;
    if (FRawKnown && PreadAll(FFd, b, sizeof b, FNextAt, got) && got >= 22 && b[0] != 0) {
        level = b[20];
        uint64_t head = 0;
        if (level == 0 || level == 1)
            head = uint64_t{b[0]} + 2;
        else if (level == 2)
            head = Le(b, 2);
        else if (level == 3 && got >= 28)
            head = Le(b + 24, 4);
        if (head != 0)
            span = head + Le(b + 7, 4);
    }

    LHAFileHeader* h = lha_reader_next_file(FReader);
    if (!h)
        return false;
    if (span == 0 || h->header_level != level || std::memcmp(b + 2, h->compress_method, 5) != 0 ||
        (level == 1 ? h->compressed_length > Le(b + 7, 4) : h->compressed_length != Le(b + 7, 4)))
        FRawKnown = false;
    FAt = FNextAt;
    FSpan = span;
    FNextAt += span;

    TLhaEntry e;
    e.Name = MemberName(h);
    e.Method = h->compress_method;
    e.OriginalSize = static_cast<uint32_t>(h->length);
    e.CompressedSize = static_cast<uint32_t>(h->compressed_length);
    e.Crc = h->crc;
    e.MTime = h->timestamp;
    e.OsType = h->os_type;
    if (LHA_FILE_HAVE_EXTRA(h, LHA_FILE_UNIX_PERMS))
        e.Perms = static_cast<uint16_t>(h->unix_perms & 07777);
    e.IsFolder =
        std::strcmp(h->compress_method, LHA_COMPRESS_TYPE_DIR) == 0 || h->symlink_target != nullptr;
    FCurrent = e;
    FHaveCurrent = true;
    ++FMembers;
    entry = std::move(e);
    return true;
}

bool TLhaReader::Decode(const std::function<bool(const char*, size_t)>& sink) {
    if (!FHaveCurrent)
        return Fail(UNLHA_ERROR_COMMAND, "no current member");
    FHaveCurrent = false; // liblhasa decodes a member once
    if (FCurrent.IsFolder)
        return true;
    char buf[65536];
    uint64_t total = 0;
    uint16_t crc = 0;
    for (size_t n; (n = lha_reader_read(FReader, buf, sizeof buf)) > 0;) {
        total += n;
        crc = LhaCrc16(reinterpret_cast<const uint8_t*>(buf), n, crc);
        if (!sink(buf, n))
            return false;
    }
    if (total != FCurrent.OriginalSize || crc != FCurrent.Crc)
        return Fail(UNLHA_ERROR_BROKEN, FCurrent.Name + ": broken data (" + FCurrent.Method + ")");
    return true;
}

bool TLhaReader::CopyRaw(const std::function<bool(const char*, size_t)>& sink) {
    if (!FRawKnown)
        return Fail(UNLHA_ERROR_NOT_ARCHIVE, "the archive's layout is not understood");
    if (FAt + FSpan > FFileSize)
        return Fail(UNLHA_ERROR_BROKEN, FCurrent.Name + ": the archive is cut short");
    char buf[65536];
    for (uint64_t at = FAt, end = FAt + FSpan; at < end;) {
        size_t got = 0;
        if (!PreadAll(FFd, buf, static_cast<size_t>(std::min<uint64_t>(sizeof buf, end - at)), at,
                      got) ||
            got == 0)
            return Fail(UNLHA_ERROR_CANNOT_READ, FCurrent.Name + ": cannot read");
        if (!sink(buf, got))
            return false;
        at += got;
    }
    return true;
}

bool TLhaReader::CleanEnd() const {
    if (FError.Code != 0)
        return false;
    if (!FRawKnown)
        return true; // read by liblhasa alone (a self-extractor's stub before it): trust it
    if (FNextAt > FFileSize)
        return false; // the last member is cut short
    // Nothing, or zero bytes (the end mark), or the end-of-file mark some tools add.
    uint8_t buf[512];
    for (uint64_t at = FNextAt; at < FFileSize;) {
        size_t got = 0;
        if (!PreadAll(FFd, buf, sizeof buf, at, got) || got == 0)
            return false;
        for (size_t i = 0; i < got; ++i)
            if (buf[i] != 0 && buf[i] != 0x1A)
                return false;
        at += got;
    }
    return true;
}

bool ListLhaArchive(const std::string& path, std::vector<TLhaEntry>& entries) {
    entries.clear();
    TLhaReader r;
    if (!r.Open(path))
        return false;
    for (TLhaEntry e; r.Next(e);)
        entries.push_back(e);
    return !entries.empty();
}
