#include "FileUtil.h"

#include "Failure.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

bool IsSameFile(const std::string& A, const std::string& B) {
    if (A == "-" || B == "-")
        return false;
    struct stat a {
    }, b{};
    return ::stat(A.c_str(), &a) == 0 && ::stat(B.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

std::string ShownFileName(const std::string& Name) {
    constexpr size_t kMost = 256; // bytes of the name shown; the rest is "…"
    std::string shown;
    for (size_t i = 0; i < Name.size(); ++i) {
        if (shown.size() >= kMost) {
            // Cut at a character's start, never inside a UTF-8 sequence.
            while (!shown.empty() && (static_cast<unsigned char>(shown.back()) & 0xC0) == 0x80)
                shown.pop_back();
            if (!shown.empty() && static_cast<unsigned char>(shown.back()) >= 0xC0)
                shown.pop_back();
            return shown + "…";
        }
        const auto c = static_cast<unsigned char>(Name[i]);
        if (c < 0x20 || c == 0x7F) {
            char code[5];
            std::snprintf(code, sizeof code, "\\x%02X", c);
            shown += code;
        } else if (c == 0xC2 && i + 1 < Name.size() &&
                   static_cast<unsigned char>(Name[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(Name[i + 1]) < 0xA0) {
            // The C1 controls (U+0080..U+009F), which some terminals obey as escapes.
            char code[7];
            std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned char>(Name[++i]));
            shown += code;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

std::string SystemErrorText(int err) {
    switch (err) {
    case ENOENT:
        return "ファイルまたはフォルダが見つかりません。";
    case EACCES:
    case EPERM:
        return "アクセスが拒否されました。";
    case ENOSPC:
    case EDQUOT:
        return "ディスクの空き容量が足りません。";
    case EFBIG:
        return "ファイルの大きさが上限を超えました。";
    case EROFS:
        return "書き込みのできない場所です。";
    case EISDIR:
        return "フォルダが指定されました。";
    case ENAMETOOLONG:
        return "ファイル名が長すぎます。";
    case ENOTDIR:
        return "フォルダの指定が正しくありません。";
    case ELOOP:
        return "シンボリックリンクが循環しています。";
    case EIO:
        return "入出力エラーが発生しました。";
    default:
        return StrFormat("システムエラー %d（%s）が発生しました。", err, std::strerror(err));
    }
}

namespace {

constexpr size_t kBlock = 64 * 1024;
constexpr const char* kNotRegularText = "通常のファイルではありません（デバイス、パイプなど）。";
constexpr const char* kReadOnlyText = "読み取り専用のファイルです。";

// Writing past a file-size limit raises SIGXFSZ, whose default ends the process and leaves the
// temporary file behind. Ignored, the write fails with EFBIG and is reported like a full disk.
// A handler that someone else installed is left alone.
void IgnoreFileSizeSignal() {
    struct sigaction old {};
    if (sigaction(SIGXFSZ, nullptr, &old) == 0 && old.sa_handler == SIG_DFL)
        std::signal(SIGXFSZ, SIG_IGN);
}

// The temporary files being written, for a signal handler: slots of fixed size, filled before
// they are marked used and marked free before they change.
constexpr int kTempSlots = 8;
char gTempNames[kTempSlots][PATH_MAX];
volatile sig_atomic_t gTempUsed[kTempSlots];

int RegisterTemp(const std::string& name) noexcept {
    if (name.size() >= PATH_MAX)
        return -1;
    for (int k = 0; k < kTempSlots; ++k) {
        if (!gTempUsed[k]) {
            std::memcpy(gTempNames[k], name.c_str(), name.size() + 1);
            gTempUsed[k] = 1;
            return k;
        }
    }
    return -1;
}

void UnregisterTemp(int& slot) noexcept {
    if (slot >= 0)
        gTempUsed[slot] = 0;
    slot = -1;
}

extern "C" void RemoveTempsAndEnd(int sig) {
    for (int k = 0; k < kTempSlots; ++k)
        if (gTempUsed[k])
            ::unlink(gTempNames[k]);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// Writes all bytes; 0 or the error number.
int WriteAll(int fd, const char* p, size_t n) noexcept {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return 0;
}

std::string ParentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a save really writes: symbolic links are followed one by one, so that a link whose
// file does not exist yet still names the place to create it. 0 or the error number.
int FollowLinks(const std::string& path, std::string& target) {
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(target.c_str(), &st) != 0)
            return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(st.st_mode))
            return 0;
        std::string link(PATH_MAX, '\0');
        const ssize_t n = readlink(target.c_str(), link.data(), link.size());
        if (n < 0)
            return errno;
        if (static_cast<size_t>(n) >= link.size())
            return ENAMETOOLONG;
        link.resize(static_cast<size_t>(n));
        target = link[0] == '/' ? link : ParentOf(target) + "/" + link;
    }
    return ELOOP;
}

// When a process started, in clock ticks since the machine started (0 when unknown): with the
// process number it tells a writer from a later process that got the same number.
uint64_t ProcessStart(pid_t Pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(Pid));
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char buf[1024];
    const ssize_t n = ::read(fd, buf, sizeof buf - 1);
    ::close(fd);
    if (n <= 0)
        return 0;
    buf[n] = '\0';
    // The command name in parentheses may hold anything; the fields follow its last ')'.
    const char* p = std::strrchr(buf, ')');
    if (!p)
        return 0;
    for (int field = 3; field <= 22; ++field) {
        p = std::strchr(p + 1, ' ');
        if (!p)
            return 0;
    }
    return std::strtoull(p + 1, nullptr, 10);
}

// The part of a temporary name that ties it to its target: a hash of the target's file name.
std::string TargetMark(const std::string& target) {
    uint32_t h = 2166136261u; // FNV-1a
    for (const char c : target.substr(target.rfind('/') + 1))
        h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    char mark[16];
    std::snprintf(mark, sizeof mark, ".dy%08x-", h);
    return mark;
}

// A short, hidden name beside the target, ".dy<target hash>-<pid>-<process start>-<random>":
// any name the file system accepts for the target leaves room for it in the folder, and a file
// that a killed writer left is known by it as ours, for this target and of a writer gone.
std::string TempName(const std::string& folder, const std::string& mark, uint64_t start) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 rng(std::random_device{}() ^ static_cast<unsigned>(getpid()));
    std::string name =
        folder + "/" + mark +
        StrFormat("%d-%llu-", static_cast<int>(getpid()), static_cast<unsigned long long>(start));
    for (int k = 0; k < 6; ++k)
        name += kChars[rng() % (sizeof kChars - 1)];
    return name;
}

// A number as TempName writes it (digits, no leading zero) that fits; false otherwise.
bool ParseNumber(const std::string& text, uint64_t& value) {
    if (text.empty() || text.size() > 19 || (text.size() > 1 && text[0] == '0') ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return true;
}

// The writer of a temporary name of ours for the target (Mark), or false for any other name.
bool ParseTempName(const std::string& name, const std::string& mark, pid_t& pid, uint64_t& start) {
    if (name.compare(0, mark.size(), mark) != 0)
        return false;
    const size_t a = name.find('-', mark.size());
    const size_t b = a == std::string::npos ? a : name.find('-', a + 1);
    if (b == std::string::npos || name.size() != b + 7)
        return false;
    for (size_t i = b + 1; i < name.size(); ++i)
        if (!((name[i] >= 'a' && name[i] <= 'z') || (name[i] >= '0' && name[i] <= '9')))
            return false;
    uint64_t p = 0;
    if (!ParseNumber(name.substr(mark.size(), a - mark.size()), p) ||
        !ParseNumber(name.substr(a + 1, b - a - 1), start) || p == 0 || p > INT_MAX)
        return false;
    pid = static_cast<pid_t>(p);
    return true;
}

// Removes the temporary files that writers of the same target left when they were killed (a
// signal no handler hears, such as SIGKILL): regular files of this user under our name for the
// target, whose writer is gone (no process has its number, or the one that has it started at
// another time) and which no one holds locked (every writer locks its file while it writes, so
// a live writer elsewhere, in another process number space say, is never taken for gone).
void RemoveStaleTemps(const std::string& folder, const std::string& mark) {
    DIR* d = ::opendir(folder.c_str());
    if (!d)
        return;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        pid_t pid = 0;
        uint64_t start = 0;
        if (!ParseTempName(name, mark, pid, start))
            continue;
        if (::kill(pid, 0) == 0 || errno != ESRCH) {
            const uint64_t now = start != 0 ? ProcessStart(pid) : 0;
            if (now == 0 || now == start)
                continue; // the writer may be alive
        }
        const std::string path = folder + "/" + name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat held {
        }, named{};
        if (fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == geteuid() &&
            (flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) &&
            lstat(path.c_str(), &named) == 0 && named.st_ino == held.st_ino &&
            named.st_dev == held.st_dev)
            ::unlink(path.c_str());
        ::close(fd);
    }
    ::closedir(d);
}

} // namespace

// ---------------------------------------------------------------- TAtomicFile

TAtomicFile::TAtomicFile(const std::string& Path) : FPath(Path) {
    IgnoreFileSizeSignal();
    if (Path.empty())
        Fail(ENOENT);
    // What the name leads to, links followed by the system: some links (those of /proc, such
    // as /dev/stdout) name no file that could be replaced, only what is open.
    struct stat st {};
    if (stat(Path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        S_ISDIR(st.st_mode) ? Fail(EISDIR) : Refuse(kNotRegularText);
    if (const int err = FollowLinks(Path, FTarget))
        Fail(err);
    if (lstat(FTarget.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            S_ISDIR(st.st_mode) ? Fail(EISDIR) : Refuse(kNotRegularText);
        FExisted = true;
        FMode = st.st_mode & 07777;
        FUid = st.st_uid;
        FGid = st.st_gid;
        // A file that no one may write is read-only also for a process that could (root).
        if ((FMode & 0222) == 0)
            Refuse(kReadOnlyText);
        if (faccessat(AT_FDCWD, FTarget.c_str(), W_OK, AT_EACCESS) != 0)
            errno == EACCES || errno == EPERM ? Refuse(kReadOnlyText) : Fail(errno);
    } else if (errno != ENOENT) {
        Fail(errno);
    }

    // A new file gets 0666 less the umask from the system; a replaced one starts private and
    // gets the old mode at the end.
    const std::string folder = ParentOf(FTarget);
    const std::string mark = TargetMark(FTarget);
    RemoveStaleTemps(folder, mark);
    // Read for each file, not once: a forked process is another writer.
    const uint64_t start = ProcessStart(getpid());
    for (int attempt = 0; attempt < 100 && FFd < 0; ++attempt) {
        FTemp = TempName(folder, mark, start);
        FFd =
            ::open(FTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, FExisted ? 0600 : 0666);
        if (FFd < 0 && errno != EEXIST) {
            const int err = errno;
            FTemp.clear();
            Fail(err);
        }
    }
    if (FFd < 0) {
        FTemp.clear();
        Fail(EEXIST);
    }
    // Held while the file is written: a writer of the same target elsewhere leaves it alone.
    (void)flock(FFd, LOCK_EX | LOCK_NB);
    FSlot = RegisterTemp(FTemp);
    FBuffer.reserve(kBlock);
}

TAtomicFile::~TAtomicFile() {
    Discard();
}

void TAtomicFile::Discard() noexcept {
    UnregisterTemp(FSlot);
    if (FFd >= 0)
        ::close(FFd);
    FFd = -1;
    if (!FTemp.empty())
        ::unlink(FTemp.c_str());
    FTemp.clear();
}

void TAtomicFile::Fail(int Err) {
    Discard();
    throw EFailure(StrFormat("ファイル「%s」を保存できませんでした。%s%s",
                             ShownFileName(FPath).c_str(), SystemErrorText(Err).c_str(),
                             FExisted ? "元のファイルは変更されていません。" : ""));
}

void TAtomicFile::Refuse(const char* Reason) {
    Discard();
    throw EFailure(StrFormat("ファイル「%s」を保存できませんでした。%s",
                             ShownFileName(FPath).c_str(), Reason));
}

bool TAtomicFile::Flush() noexcept {
    if (FError == 0 && FFd >= 0 && !FBuffer.empty())
        FError = WriteAll(FFd, FBuffer.data(), FBuffer.size());
    FBuffer.clear();
    return FError == 0;
}

bool TAtomicFile::Write(const void* Data, size_t Size) noexcept {
    if (FError != 0 || FFd < 0)
        return false;
    const char* p = static_cast<const char*>(Data);
    if (FBuffer.size() + Size > kBlock) {
        if (!Flush())
            return false;
        if (Size >= kBlock) {
            FError = WriteAll(FFd, p, Size);
            return FError == 0;
        }
    }
    FBuffer.append(p, Size);
    return true;
}

void TAtomicFile::Commit() {
    if (FFd < 0)
        Fail(EBADF);
    int err = Flush() ? 0 : FError;
    if (err == 0 && FExisted) {
        // Owner and group as far as the process may change them; the mode after them, since a
        // change of owner clears the set-user-ID bit.
        if (fchown(FFd, FUid, FGid) != 0) {
            const int groupOnly = fchown(FFd, static_cast<uid_t>(-1), FGid);
            (void)groupOnly; // the file stays the process's own
        }
        if (fchmod(FFd, FMode) != 0)
            err = errno;
    }
    if (err == 0 && fsync(FFd) != 0)
        err = errno;
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    // Something else may have taken the name meanwhile; it is not replaced either.
    struct stat st {};
    if (err == 0 && lstat(FTarget.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        Refuse(kNotRegularText);
    if (err == 0 && std::rename(FTemp.c_str(), FTarget.c_str()) != 0)
        err = errno;
    if (err != 0)
        Fail(err);
    UnregisterTemp(FSlot);
    FTemp.clear();
    // The new name lasts through a power failure only once the folder is written too.
    const int dir = ::open(ParentOf(FTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)fsync(dir);
        ::close(dir);
    }
}

// ---------------------------------------------------------------- TStandardOutput

TStandardOutput::TStandardOutput() {
    IgnoreFileSizeSignal();
    FBuffer.reserve(kBlock);
}

bool TStandardOutput::Flush() noexcept {
    if (FError == 0 && !FBuffer.empty())
        FError = WriteAll(STDOUT_FILENO, FBuffer.data(), FBuffer.size());
    FBuffer.clear();
    return FError == 0;
}

bool TStandardOutput::Write(const void* Data, size_t Size) noexcept {
    if (FError != 0)
        return false;
    const char* p = static_cast<const char*>(Data);
    if (FBuffer.size() + Size > kBlock) {
        if (!Flush())
            return false;
        if (Size >= kBlock) {
            FError = WriteAll(STDOUT_FILENO, p, Size);
            return FError == 0;
        }
    }
    FBuffer.append(p, Size);
    return true;
}

void TStandardOutput::Commit() {
    if (!Flush())
        throw EFailure(
            StrFormat("標準出力に書き込めませんでした。%s", SystemErrorText(FError).c_str()));
}

void RemoveTemporaryFilesOnSignals() {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2}) {
        struct sigaction old {};
        if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL)
            continue;
        struct sigaction sa {};
        sa.sa_handler = RemoveTempsAndEnd;
        sigemptyset(&sa.sa_mask);
        sigaction(sig, &sa, nullptr);
    }
}

std::unique_ptr<TOutputSink> OpenOutput(const std::string& Path) {
    if (Path == "-")
        return std::make_unique<TStandardOutput>();
    return std::make_unique<TAtomicFile>(Path);
}

void WriteFileAtomic(const std::string& path, std::string_view bytes) {
    TAtomicFile file(path);
    file.Write(bytes.data(), bytes.size());
    file.Commit();
}

// ---------------------------------------------------------------- TFileReader

namespace {

[[noreturn]] void ThrowOpen(const std::string& path, const std::string& reason) {
    throw EFailure(StrFormat("ファイル「%s」を開けませんでした。%s", ShownFileName(path).c_str(),
                             reason.c_str()));
}

// Only regular files are read; a folder, device, FIFO or socket answers its reason.
const char* NotReadable(const struct stat& st) {
    if (S_ISDIR(st.st_mode))
        return "フォルダが指定されました。";
    return S_ISREG(st.st_mode) ? nullptr : kNotRegularText;
}

} // namespace

TFileReader::TFileReader(const std::string& path) : FPath(path) {
    // Looked at before opening: opening a device can have effects of its own.
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && NotReadable(st))
        ThrowOpen(path, NotReadable(st));
    // Not blocking, should a FIFO take the name meanwhile: without a writer, open would wait.
    FFd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (FFd < 0)
        ThrowOpen(path, SystemErrorText(errno));
    if (fstat(FFd, &st) != 0 || NotReadable(st)) {
        const std::string reason = NotReadable(st) ? NotReadable(st) : SystemErrorText(errno);
        ::close(FFd);
        FFd = -1;
        ThrowOpen(path, reason);
    }
    fcntl(FFd, F_SETFL, fcntl(FFd, F_GETFL) & ~O_NONBLOCK);
    FSize = static_cast<uint64_t>(st.st_size);
}

TFileReader::TFileReader(TStandardInput) : FPath("（標準入力）") {
    FFd = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
    if (FFd < 0)
        ThrowOpen(FPath, SystemErrorText(errno));
    struct stat st {};
    if (fstat(FFd, &st) == 0 && S_ISREG(st.st_mode)) {
        const off_t at = lseek(FFd, 0, SEEK_CUR);
        FSize = at >= 0 && at <= st.st_size ? static_cast<uint64_t>(st.st_size - at) : 0;
    }
}

TFileReader::~TFileReader() {
    if (FFd >= 0)
        ::close(FFd);
}

size_t TFileReader::Read(void* buf, size_t n) {
    char* p = static_cast<char*>(buf);
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(FFd, p + got, n - got);
        if (r == 0)
            break;
        if (r < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            throw EFailure(StrFormat("ファイル「%s」を読み込めませんでした。%s",
                                     ShownFileName(FPath).c_str(), SystemErrorText(err).c_str()));
        }
        got += static_cast<size_t>(r);
    }
    return got;
}
