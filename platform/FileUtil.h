#pragma once
// Files written and read by the program. Every output file goes through TAtomicFile: the bytes go
// to a temporary file in the target's folder, which is flushed and renamed over the target only
// when everything was written. Until then, and after any failure, the earlier file stays as it
// was, byte for byte.
//
// What the writer replaces:
//  - a missing name: a new file, mode 0666 less the umask;
//  - a regular file that may be written: replaced, keeping its mode and, as far as the process
//    may, its owner and group. Other hard links to it keep the earlier content (the name given
//    is replaced, as a backup made with hard links expects);
//  - a symbolic link: followed, also through chains, and the file it names is written; a link
//    whose file does not exist yet creates that file (its folder must exist), the link stays;
//  - anything else (folder, device, FIFO, socket) and read-only files are refused.
// A file-size limit (SIGXFSZ) is a write error like a full disk: the signal is ignored from the
// first output file on, so that the write fails instead of ending the process.
// A writer killed by a signal no handler hears (SIGKILL) leaves its temporary file; the next
// write to the same target removes it. The temporary name holds a hash of the target's name,
// the writer's process number and start, and the writer holds the file locked, so only files
// of writers that are gone are removed, never those of one still writing.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Where an output's bytes go. Write never throws (Qt's writers call it); the first failure is
// kept and reported by Commit, which makes the output final or throws EFailure. Destroying an
// output that was not committed discards it.
class TOutputSink {
public:
    virtual ~TOutputSink() = default;
    // False once anything failed.
    virtual bool Write(const void* Data, size_t Size) noexcept = 0;
    virtual void Commit() = 0;
};

class TAtomicFile : public TOutputSink {
public:
    // Checks the target and creates the temporary file. Throws EFailure.
    explicit TAtomicFile(const std::string& Path);
    ~TAtomicFile() override;
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    bool Write(const void* Data, size_t Size) noexcept override;
    // Flushes, syncs, gives the file the old mode and owner and renames it over the target.
    void Commit() override;

    // The file that Commit replaces (symbolic links followed).
    const std::string& Target() const { return FTarget; }

private:
    bool Flush() noexcept;
    void Discard() noexcept;
    [[noreturn]] void Fail(int Err);
    [[noreturn]] void Refuse(const char* Reason);

    std::string FPath;   // as given, for messages
    std::string FTarget; // the file replaced
    std::string FTemp;   // the temporary file beside it
    int FFd = -1;
    int FSlot = -1; // among the temporary files a signal removes
    int FError = 0;
    bool FExisted = false;
    uint32_t FMode = 0;
    uint32_t FUid = 0, FGid = 0;
    std::string FBuffer;
};

// Standard output as an output: the same error checks, nothing to rename. Bytes are passed on
// in blocks, so a command that fails before its first block has written nothing.
class TStandardOutput : public TOutputSink {
public:
    TStandardOutput();
    ~TStandardOutput() override = default;
    bool Write(const void* Data, size_t Size) noexcept override;
    void Commit() override;

private:
    bool Flush() noexcept;
    int FError = 0;
    std::string FBuffer;
};

// For a command line program: ended by a signal whose default is to end it (SIGINT, SIGTERM,
// SIGHUP, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2), it removes the temporary files of the outputs it
// is writing before it ends as the signal says. Handlers that are already installed are left
// alone.
void RemoveTemporaryFilesOnSignals();

// An output for a command line argument: "-" is standard output, anything else a file.
std::unique_ptr<TOutputSink> OpenOutput(const std::string& Path);

// Writes `bytes` as the whole content of `path` through TAtomicFile. Throws EFailure.
void WriteFileAtomic(const std::string& path, std::string_view bytes);

// Whether A and B name one file: the same device and inode, through symbolic links and hard
// links. False when either is "-" or does not exist.
bool IsSameFile(const std::string& A, const std::string& B);

// A file name fit to print in a message: control characters (line breaks, terminal escape
// sequences) are shown as \xNN and very long names are cut, so a name can neither forge
// lines nor drive the terminal.
std::string ShownFileName(const std::string& Name);

// Japanese text for a system error number, for failure messages.
std::string SystemErrorText(int err);

// Sequential reader of a whole file. Only regular files are read: a folder, device, FIFO or
// socket is refused (a FIFO without a writer would otherwise block for ever). Failures to open
// or read throw EFailure.
class TFileReader {
public:
    explicit TFileReader(const std::string& path);
    // Standard input, whatever it is (a pipe, a terminal, a redirected file).
    struct TStandardInput {};
    explicit TFileReader(TStandardInput);
    ~TFileReader();
    TFileReader(const TFileReader&) = delete;
    TFileReader& operator=(const TFileReader&) = delete;

    // Size of the file in bytes when it was opened; 0 when it is not a regular file.
    uint64_t Size() const { return FSize; }
    // Reads up to `n` bytes; answers how many were read (fewer only at the end of the file).
    size_t Read(void* buf, size_t n);

private:
    std::string FPath;
    int FFd = -1;
    uint64_t FSize = 0;
};
