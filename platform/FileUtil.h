#pragma once
// Files written and read by the program. Writing never destroys the previous file: the bytes go
// to a temporary file in the same folder, which is flushed and then renamed over the target.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Writes `bytes` as the whole content of `path`. On any failure the old file (if any) stays as
// it was, no temporary file is left, and EFailure is thrown with a Japanese message.
void WriteFileAtomic(const std::string& path, std::string_view bytes);

// Japanese text for a system error number, for failure messages.
std::string SystemErrorText(int err);

// Sequential reader of a whole file. Failures to open or read throw EFailure.
class TFileReader {
public:
    explicit TFileReader(const std::string& path);
    ~TFileReader();
    TFileReader(const TFileReader&) = delete;
    TFileReader& operator=(const TFileReader&) = delete;

    // Size of the file in bytes when it was opened.
    uint64_t Size() const { return FSize; }
    // Reads up to `n` bytes; answers how many were read (fewer only at the end of the file).
    size_t Read(void* buf, size_t n);

private:
    std::string FPath;
    int FFd = -1;
    uint64_t FSize = 0;
};
