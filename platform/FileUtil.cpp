#include "FileUtil.h"

#include "Failure.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string SystemErrorText(int err) {
    switch (err) {
    case ENOENT:
        return "ファイルまたはフォルダが見つかりません。";
    case EACCES:
    case EPERM:
        return "アクセスが拒否されました。";
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return "ディスクの空き容量が足りません。";
    case EROFS:
        return "書き込みのできない場所です。";
    case EISDIR:
        return "フォルダが指定されました。";
    case ENAMETOOLONG:
        return "ファイル名が長すぎます。";
    case ENOTDIR:
        return "フォルダの指定が正しくありません。";
    case EIO:
        return "入出力エラーが発生しました。";
    default:
        return StrFormat("システムエラー %d（%s）が発生しました。", err, std::strerror(err));
    }
}

namespace {

[[noreturn]] void ThrowWrite(const std::string& path, int err) {
    throw EFailure(
        StrFormat("ファイル「%s」を保存できませんでした。%s元のファイルは変更されていません。",
                  path.c_str(), SystemErrorText(err).c_str()));
}

// The file that a save really replaces: a symbolic link is followed, so that saving through
// it updates the file it points to instead of replacing the link.
std::string ResolveTarget(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char* real = realpath(path.c_str(), nullptr);
        if (real) {
            std::string r = real;
            std::free(real);
            return r;
        }
    }
    return path;
}

} // namespace

void WriteFileAtomic(const std::string& path, std::string_view bytes) {
    const std::string target = ResolveTarget(path);
    std::string tmp = target + ".XXXXXX";
    const int fd = mkstemp(tmp.data());
    if (fd < 0)
        ThrowWrite(path, errno);

    // Keep the permissions of the file being replaced; a new file gets the usual 0666 & ~umask.
    struct stat st {};
    mode_t mode;
    if (stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }

    int err = 0;
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0 && err == 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno != EINTR)
                err = errno;
        } else {
            p += n;
            left -= static_cast<size_t>(n);
        }
    }
    if (err == 0 && fchmod(fd, mode) != 0)
        err = errno;
    if (err == 0 && fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && std::rename(tmp.c_str(), target.c_str()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(tmp.c_str());
        ThrowWrite(path, err);
    }
}

TFileReader::TFileReader(const std::string& path) : FPath(path) {
    FFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (FFd < 0) {
        const int err = errno;
        throw EFailure(StrFormat("ファイル「%s」を開けませんでした。%s", path.c_str(),
                                 SystemErrorText(err).c_str()));
    }
    struct stat st {};
    if (fstat(FFd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(FFd);
        FFd = -1;
        throw EFailure(StrFormat("ファイル「%s」を開けませんでした。%s", path.c_str(),
                                 SystemErrorText(err).c_str()));
    }
    FSize = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
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
            throw EFailure(StrFormat("ファイル「%s」を読み込めませんでした。%s", FPath.c_str(),
                                     SystemErrorText(err).c_str()));
        }
        got += static_cast<size_t>(r);
    }
    return got;
}
