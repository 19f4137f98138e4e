// The atomic writer over every kind of target a user can name, and the reader over every kind
// of input: what is replaced, what is refused with which words, and that nothing is left
// behind or destroyed either way.

#include "platform/Failure.h"
#include "platform/FileUtil.h"

#include "TempFolderTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class FileWriter : public TTempFolderTest {
protected:
    void SetUp() override {
        TTempFolderTest::SetUp();
        oldMask = umask(022);
    }
    void TearDown() override {
        umask(oldMask);
        TTempFolderTest::TearDown();
    }
    static std::string Read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void Write(const std::string& p, const std::string& bytes) {
        std::ofstream(p, std::ios::binary) << bytes;
    }
    // Names in the folder that are neither the test's own nor expected: temporary files.
    std::vector<std::string> Leftovers() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().filename().string().rfind(".dy", 0) == 0)
                names.push_back(e.path().filename().string());
        return names;
    }
    static mode_t Mode(const std::string& p) {
        struct stat st {};
        lstat(p.c_str(), &st);
        return st.st_mode;
    }
    // The failure text of a write, or "" when it succeeded.
    static std::string WriteError(const std::string& p, const std::string& bytes) {
        try {
            WriteFileAtomic(p, bytes);
        } catch (const EFailure& e) {
            return e.what();
        }
        return {};
    }
    mode_t oldMask = 0;
};

const std::string kNotRegular = "通常のファイルではありません";

} // namespace

// Every kind of target a save may meet. Where the writer writes, the bytes arrive and the
// kind of the name is kept; where it refuses, the message says why and the target is as before.
TEST_F(FileWriter, TargetsOfEveryKind) {
    Write(Path("regular"), "old");
    chmod(Path("regular").c_str(), 0640);
    Write(Path("readonly"), "old");
    chmod(Path("readonly").c_str(), 0444);
    Write(Path("linked"), "old");
    fs::create_symlink("linked", Path("symlink"));
    fs::create_symlink("symlink", Path("chain"));
    fs::create_symlink("created-through-link", Path("dangling"));
    fs::create_symlink("loop2", Path("loop1"));
    fs::create_symlink("loop1", Path("loop2"));
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0644), 0);
    fs::create_symlink(Path("fifo"), Path("fifo-link"));
    fs::create_directory(Path("folder"));
    // A device: our own where the test may make one (root), else the system's /dev/null, which
    // a user cannot replace even if the writer tried.
    std::string device = "/dev/null";
    if (geteuid() == 0 && mknod(Path("device").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        device = Path("device");
    fs::create_symlink(device, Path("device-link"));
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = Path("socket");
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, sockPath.c_str(), sockPath.size() + 1);
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

    struct TCase {
        std::string target;
        std::string error;   // "" when the write succeeds
        std::string written; // the file that then holds the new bytes
        mode_t mode;         // its mode
    };
    std::vector<TCase> cases = {
        {Path("missing"), "", Path("missing"), 0644},
        {Path("regular"), "", Path("regular"), 0640},
        {Path("readonly"), "読み取り専用のファイルです。", "", 0},
        {Path("symlink"), "", Path("linked"), 0644},
        {Path("chain"), "", Path("linked"), 0644},
        {Path("dangling"), "", Path("created-through-link"), 0644},
        {Path("loop1"), "シンボリックリンクが循環しています。", "", 0},
        {Path("fifo"), kNotRegular, "", 0},
        {Path("fifo-link"), kNotRegular, "", 0},
        {Path("socket"), kNotRegular, "", 0},
        {Path("folder"), "フォルダが指定されました。", "", 0},
        {device, kNotRegular, "", 0},
        {Path("device-link"), kNotRegular, "", 0},
        {Path("no-folder/x.csv"), "ファイルまたはフォルダが見つかりません。", "", 0},
        {"", "ファイルまたはフォルダが見つかりません。", "", 0},
    };
    // Standard output through /proc/self/fd/1, when it is a pipe or a terminal (under ctest).
    struct stat out {};
    if (fstat(STDOUT_FILENO, &out) == 0 && !S_ISREG(out.st_mode))
        cases.push_back({"/dev/stdout", kNotRegular, "", 0});
    for (const auto& c : cases) {
        struct stat before {};
        const bool existed = lstat(c.target.c_str(), &before) == 0;
        const std::string error = WriteError(c.target, "new");
        if (c.error.empty()) {
            EXPECT_EQ(error, "") << c.target;
            EXPECT_EQ(Read(c.written), "new") << c.target;
            EXPECT_EQ(Mode(c.written) & 07777, c.mode) << c.target;
        } else {
            EXPECT_NE(error.find(c.error), std::string::npos) << c.target << ": " << error;
        }
        // The name keeps its kind: a link stays a link, a FIFO a FIFO.
        struct stat after {};
        if (existed && lstat(c.target.c_str(), &after) == 0) {
            EXPECT_EQ(after.st_mode & S_IFMT, before.st_mode & S_IFMT) << c.target;
            if (!c.error.empty() && S_ISREG(before.st_mode)) {
                EXPECT_EQ(after.st_ino, before.st_ino) << c.target;
                EXPECT_EQ(Read(c.target), "old") << c.target;
            }
        }
    }
    EXPECT_TRUE(fs::is_symlink(Path("dangling")));
    EXPECT_TRUE(Leftovers().empty());
    close(sock);
}

// A save replaces the name it was given; another hard link to the file keeps the earlier
// content, as a backup made with hard links expects.
TEST_F(FileWriter, HardLinkKeepsTheEarlierContent) {
    Write(Path("a"), "old");
    fs::create_hard_link(Path("a"), Path("b"));
    WriteFileAtomic(Path("a"), "new");
    EXPECT_EQ(Read(Path("a")), "new");
    EXPECT_EQ(Read(Path("b")), "old");
}

// Root saving another user's private file leaves it that user's, with its mode. Others may not
// give files away, so the case needs root.
TEST_F(FileWriter, OwnerAndGroupAreKept) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root may make a file another user's";
    Write(Path("theirs"), "old");
    ASSERT_EQ(chown(Path("theirs").c_str(), 65534, 65534), 0);
    chmod(Path("theirs").c_str(), 0600);
    WriteFileAtomic(Path("theirs"), "new");
    struct stat st {};
    ASSERT_EQ(stat(Path("theirs").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(Read(Path("theirs")), "new");
}

// Any name the file system accepts can be saved: the temporary name is short.
TEST_F(FileWriter, LongestNameFits) {
    const std::string name(250, 'n');
    WriteFileAtomic(Path(name), "x");
    EXPECT_EQ(Read(Path(name)), "x");
    EXPECT_TRUE(Leftovers().empty());
}

// An output that is not committed, or whose writing fails, leaves the earlier file byte for
// byte and nothing beside it.
TEST_F(FileWriter, UncommittedOrFailedOutputKeepsTheOldFile) {
    Write(Path("keep"), "old");
    {
        TAtomicFile f(Path("keep"));
        f.Write("partial", 7);
        EXPECT_EQ(Leftovers().size(), 1u);
    }
    EXPECT_EQ(Read(Path("keep")), "old");
    EXPECT_TRUE(Leftovers().empty());

    // A file size limit in a child: SIGXFSZ at its default does not end the process; the write
    // fails, the old file stays.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        signal(SIGXFSZ, SIG_DFL);
        rlimit lim{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &lim);
        TAtomicFile f(Path("keep"));
        const std::string block(1000, 'x');
        bool ok = true;
        for (int i = 0; i < 200; ++i)
            ok = f.Write(block.data(), block.size()) && ok;
        try {
            f.Commit();
        } catch (const EFailure& e) {
            _exit(std::string(e.what()).find("上限") != std::string::npos ? 0 : 2);
        }
        _exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Read(Path("keep")), "old");
    EXPECT_TRUE(Leftovers().empty());
}

// A folder that may not be written: the save is refused and the file stays. Root may write
// anywhere, so the case says nothing there.
TEST_F(FileWriter, ReadOnlyFolderIsRefused) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder";
    Write(Path("inside"), "old");
    chmod(dir.c_str(), 0555);
    EXPECT_NE(WriteError(Path("inside"), "new").find("アクセスが拒否されました。"),
              std::string::npos);
    chmod(dir.c_str(), 0755);
    EXPECT_EQ(Read(Path("inside")), "old");
}

// Only regular files are read; a FIFO without a writer is refused at once instead of blocking.
TEST_F(FileWriter, ReaderRefusesWhatIsNotAFile) {
    Write(Path("file"), "abc");
    fs::create_symlink("file", Path("link"));
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0644), 0);
    fs::create_directory(Path("folder"));
    const struct {
        std::string path;
        std::string error;
    } cases[] = {
        {Path("file"), ""},
        {Path("link"), ""},
        {Path("fifo"), kNotRegular},
        {"/dev/zero", kNotRegular},
        {Path("folder"), "フォルダが指定されました。"},
        {Path("missing"), "ファイルまたはフォルダが見つかりません。"},
    };
    alarm(20); // a reader that blocks ends the test instead of hanging it
    for (const auto& c : cases) {
        std::string error;
        try {
            TFileReader r(c.path);
            char buf[8];
            EXPECT_EQ(r.Read(buf, sizeof buf), 3u);
            EXPECT_EQ(r.Size(), 3u);
        } catch (const EFailure& e) {
            error = e.what();
        }
        if (c.error.empty())
            EXPECT_EQ(error, "") << c.path;
        else
            EXPECT_NE(error.find(c.error), std::string::npos) << c.path << ": " << error;
    }
    alarm(0);
}

// One file through any of its names; a name shown in a message never breaks a line or reaches
// the terminal as a control sequence, and a huge one is cut at a character.
TEST_F(FileWriter, SameFileThroughLinksAndShownNames) {
    const std::string a = Path("a.msh"), b = Path("b.msh");
    std::ofstream(a) << "a";
    std::ofstream(b) << "b";
    std::filesystem::create_symlink(a, Path("link"));
    std::filesystem::create_hard_link(a, Path("hard"));
    EXPECT_TRUE(IsSameFile(a, a));
    EXPECT_TRUE(IsSameFile(a, Path("link")));
    EXPECT_TRUE(IsSameFile(Path("hard"), Path("link")));
    EXPECT_TRUE(IsSameFile(a, Path("./../") + dir.filename().string() + "/a.msh"));
    EXPECT_FALSE(IsSameFile(a, b));
    EXPECT_FALSE(IsSameFile(a, Path("missing")));
    EXPECT_FALSE(IsSameFile("-", "-"));

    const struct {
        std::string Name, Shown;
    } names[] = {
        {"site.msh", "site.msh"},
        {"造成.msh", "造成.msh"},
        {"x\norigin 5 5\n.csv", "x\\x0Aorigin 5 5\\x0A.csv"},
        {"\x1b]0;owned\x07\x1b[2J", "\\x1B]0;owned\\x07\\x1B[2J"},
        {"c1\xc2\x9b"
         "31m",
         "c1\\u009B31m"},
        {"tab\there", "tab\\x09here"},
    };
    for (const auto& n : names)
        EXPECT_EQ(ShownFileName(n.Name), n.Shown);
    std::string huge;
    for (int i = 0; i < 1000; ++i)
        huge += "名";
    const std::string shown = ShownFileName(huge);
    EXPECT_LT(shown.size(), 300u);
    EXPECT_EQ(shown.substr(shown.size() - 3), "…");
    EXPECT_EQ((shown.size() - 3) % 3, 0u) << "cut between characters";
}

namespace {

// A child that opens a writer of Target, writes Bytes, says so through a pipe and then waits
// to be killed; answers its process number once the bytes are written.
pid_t StartWriter(const std::string& Target, size_t Bytes) {
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(ready[0]);
        TAtomicFile f(Target);
        const std::string block(1 << 20, 'x');
        for (size_t done = 0; done < Bytes; done += block.size())
            f.Write(block.data(), block.size());
        const char one = 1;
        if (write(ready[1], &one, 1) != 1)
            _exit(1);
        for (;;)
            pause();
    }
    close(ready[1]);
    char got = 0;
    const bool ok = pid > 0 && read(ready[0], &got, 1) == 1;
    close(ready[0]);
    if (pid > 0 && !ok) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return ok ? pid : -1;
}

// Children that a test started, killed and reaped when it ends, whether it passed or not. Each
// is signalled only while unreaped, so its number cannot be another process's yet.
struct TChildren {
    std::vector<pid_t> Pids;
    ~TChildren() {
        while (!Pids.empty())
            Kill(Pids.back());
    }
    pid_t Add(pid_t Pid) {
        if (Pid > 0)
            Pids.push_back(Pid);
        return Pid;
    }
    void Kill(pid_t Pid) {
        const auto at = std::find(Pids.begin(), Pids.end(), Pid);
        if (at == Pids.end())
            return;
        Pids.erase(at);
        kill(Pid, SIGKILL);
        waitpid(Pid, nullptr, 0);
    }
};

} // namespace

// A writer killed where no handler hears it leaves its temporary file; the next write to the
// same target removes it, and leaves alone those of a writer still writing and of other targets.
TEST_F(FileWriter, NextWriteRemovesWhatAKilledWriterLeft) {
    Write(Path("out.msh"), "old");
    TChildren children;
    // The live writer first: opening a target is what removes a killed writer's file.
    const pid_t live = children.Add(StartWriter(Path("out.msh"), 1 << 20));
    ASSERT_GT(live, 0);
    const pid_t killed = children.Add(StartWriter(Path("out.msh"), 64 << 20));
    ASSERT_GT(killed, 0);
    children.Kill(killed);
    const pid_t other = children.Add(StartWriter(Path("other.csv"), 1 << 20));
    ASSERT_GT(other, 0);
    children.Kill(other);
    const auto writerOf = [&](pid_t Pid) {
        for (const std::string& name : Leftovers())
            if (name.find(StrFormat("-%d-", static_cast<int>(Pid))) != std::string::npos)
                return name;
        return std::string();
    };
    ASSERT_EQ(Leftovers().size(), 3u);
    const std::string otherName = writerOf(other), liveName = writerOf(live);
    ASSERT_NE(writerOf(killed), "");
    EXPECT_EQ(fs::file_size(Path(writerOf(killed))), uint64_t{64} << 20);

    WriteFileAtomic(Path("out.msh"), "new");
    EXPECT_EQ(Read(Path("out.msh")), "new");
    std::vector<std::string> left = Leftovers();
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected = {otherName, liveName};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);

    WriteFileAtomic(Path("other.csv"), "x");
    EXPECT_EQ(Leftovers(), std::vector<std::string>{liveName});
    children.Kill(live);
    WriteFileAtomic(Path("out.msh"), "newer");
    EXPECT_TRUE(Leftovers().empty());
    EXPECT_EQ(Read(Path("out.msh")), "newer");
}

// Only a name exactly as the writer makes it, for this target, of a regular file that no one
// holds locked and whose writer is gone, is removed.
TEST_F(FileWriter, StaleTemporaryNamesAreMatchedExactly) {
    // The target's part of the name, from a writer's own file.
    std::string mark;
    {
        TAtomicFile f(Path("t.csv"));
        ASSERT_EQ(Leftovers().size(), 1u);
        mark = Leftovers()[0].substr(0, Leftovers()[0].find('-') + 1);
    }
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    ASSERT_GT(gone, 0);
    waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone), self = std::to_string(getpid());
    const struct {
        std::string Name;
        bool Removed;
    } cases[] = {
        {mark + dead + "-12345-abc123", true},
        {mark + dead + "-0-zzzzzz", true},  // its start unknown, but its number is free
        {mark + self + "-1-abcdef", true},  // this process has the number, not since then
        {mark + self + "-0-abcdef", false}, // this process may be the writer
        {mark + "0" + dead + "-5-abcdef", false},
        {mark + dead + "-5-abcdefg", false},
        {mark + dead + "-5-ABCDEF", false},
        {mark + dead + "-5-abc-ef", false},
        {mark + dead + "-5-abcdef.tmp", false},
        {mark + dead + "-5", false},
        {".dy00000000-" + dead + "-5-abcdef", false}, // another target
        {".dy" + dead + "-5-abcdef", false},
    };
    for (const auto& c : cases)
        Write(Path(c.Name), "stale");
    // Of a writer's name, but a folder, a link and a file held locked.
    const std::string folder = mark + dead + "-1-folder", link = mark + dead + "-1-link00",
                      locked = mark + dead + "-1-locked";
    fs::create_directory(Path(folder));
    fs::create_symlink(Path(mark + dead + "-12345-abc123"), Path(link));
    Write(Path(locked), "held");
    const int held = open(Path(locked).c_str(), O_RDONLY);
    ASSERT_EQ(flock(held, LOCK_EX), 0);

    WriteFileAtomic(Path("t.csv"), "new");
    for (const auto& c : cases)
        EXPECT_EQ(fs::exists(Path(c.Name)), !c.Removed) << c.Name;
    EXPECT_TRUE(fs::is_directory(Path(folder)));
    EXPECT_TRUE(fs::is_symlink(Path(link)));
    EXPECT_TRUE(fs::exists(Path(locked)));
    close(held);
    WriteFileAtomic(Path("t.csv"), "newer");
    EXPECT_FALSE(fs::exists(Path(locked)));
}

// A command line program ended by a signal it may hear removes the file it was writing.
TEST_F(FileWriter, HeardSignalsRemoveTheTemporaryFile) {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2}) {
        SCOPED_TRACE(strsignal(sig));
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            signal(sig, SIG_DFL);
            RemoveTemporaryFilesOnSignals();
            TAtomicFile f(Path("out.csv"));
            f.Write("partial", 7);
            raise(sig);
            _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), sig);
        EXPECT_TRUE(Leftovers().empty());
    }
}
