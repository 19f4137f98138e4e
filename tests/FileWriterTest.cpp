// The atomic writer over every kind of target a user can name, and the reader over every kind
// of input: what is replaced, what is refused with which words, and that nothing is left
// behind or destroyed either way.

#include "platform/Failure.h"
#include "platform/FileUtil.h"

#include "TempFolderTest.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
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
