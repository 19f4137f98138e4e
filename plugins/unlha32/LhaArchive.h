#pragma once
// LHA archives as this library writes them (level-2 headers, "-lh5-" data, or "-lh0-" where
// compression would not help) and reads them (through liblhasa, which knows every variant).
// Reading goes member by member: headers are read in order, and a member's data is decoded only
// when asked for, in pieces, so memory never depends on what a member claims or holds.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

extern "C" {
typedef struct _LHAInputStream LHAInputStream;
typedef struct _LHAReader LHAReader;
}

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
    uint16_t Perms = 0644;
    bool IsFolder = false; // a folder or a symbolic link: no data of its own
};

// Why an operation failed: one of the library's result codes and a message.
struct TLhaError {
    int Code = 0;
    std::string Text;
};

// One member, header and data, ready to be appended to an archive.
std::string EncodeLhaMember(const TLhaMember& m);

// The whole archive: its members and the end mark.
std::string EncodeLhaArchive(const std::vector<TLhaMember>& members);

// Reads one archive file from its start to its end mark.
class TLhaReader {
public:
    TLhaReader() = default;
    ~TLhaReader();
    TLhaReader(const TLhaReader&) = delete;
    TLhaReader& operator=(const TLhaReader&) = delete;

    // Opens a regular file (anything else, a FIFO included, is refused without waiting).
    bool Open(const std::string& path);
    // The next member's header; false at the end of the archive or when it cannot be read
    // (then Error() tells). Skips the data of the member before without decoding it.
    bool Next(TLhaEntry& entry);
    // Decodes the current member's data and hands it to `sink` piece by piece; checks the
    // length and CRC at the end. A sink that answers false stops the decoding (its reason is
    // the caller's to keep).
    bool Decode(const std::function<bool(const char*, size_t)>& sink);
    // The current member as it stands in the file, header and packed data, for copying it
    // into a new archive unchanged.
    bool CopyRaw(const std::function<bool(const char*, size_t)>& sink);
    // True when Next() ended because the archive holds nothing more (after at most an end
    // mark), false when it ended on bytes that are no member.
    bool CleanEnd() const;
    bool AnyMember() const { return FMembers > 0; }
    const TLhaError& Error() const { return FError; }

private:
    bool Fail(int code, const std::string& text);

    int FFd = -1;
    uint64_t FFileSize = 0;
    LHAInputStream* FStream = nullptr;
    LHAReader* FReader = nullptr;
    TLhaEntry FCurrent;
    bool FHaveCurrent = false;
    size_t FMembers = 0;
    // Where each member lies in the file, found from its header's own size fields; checked
    // against liblhasa's reading before a member is copied raw.
    uint64_t FNextAt = 0, FAt = 0, FSpan = 0;
    bool FRawKnown = true;
    TLhaError FError;
};

// Headers only. False when the file cannot be read or is no LHA archive.
bool ListLhaArchive(const std::string& path, std::vector<TLhaEntry>& entries);
