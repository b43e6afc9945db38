#include "store/file_save.h"

#include <QByteArrayView>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <chrono>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// A save takes milliseconds; a lock held far longer belongs to a copy of the
// game that hangs, and waiting for it would hang this one too.
constexpr auto kLockWait = 5s;
constexpr auto kLockRetry = 2ms;

constexpr char kTemporaryLetters[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kTemporaryLetterCount = sizeof kTemporaryLetters - 1;
constexpr int kTemporaryNameLength = 6;
constexpr int kTemporaryNameTries = 100;

// Writable by us, and not protected by its permission bits even from the superuser.
bool mayWrite(const QFileInfo& info) {
    constexpr QFile::Permissions anyWrite =
        QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return info.isWritable() && (info.permissions() & anyWrite);
}

// The names of temporary files of saves of `fileName`: the name, a dot and
// six letters or digits, as both this store and QSaveFile make them. Six
// letters of one case (".backup") are taken for a name a player gave a copy
// and left alone; this store's own names always hold a digit.
QRegularExpression temporaryNames(const QString& fileName) {
    return QRegularExpression(
        QStringLiteral("^%1\\.(?=.*[0-9]|.*[a-z].*[A-Z]|.*[A-Z].*[a-z])[A-Za-z0-9]{%2}$")
            .arg(QRegularExpression::escape(fileName))
            .arg(kTemporaryNameLength));
}

void removeStaleTemporaries(const QFileInfo& target) {
    const QDir folder = target.absoluteDir();
    const QRegularExpression temporary = temporaryNames(target.fileName());
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks))
        if (temporary.match(name).hasMatch())
            QFile::remove(folder.filePath(name));
}

// Repeats `step(done)`, which moves the bytes from offset `done` on and
// returns how many it moved, until `size` bytes are through. False at an
// error or an early end.
template <typename Step> bool moveAllBytes(qsizetype size, Step step) {
    qsizetype done = 0;
    while (done < size) {
        const ssize_t moved = step(done);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved <= 0)
            return false;
        done += moved;
    }
    return true;
}

bool writeAllAt(int fd, QByteArrayView bytes, off_t offset) {
    return moveAllBytes(bytes.size(), [&](qsizetype done) {
        return ::pwrite(fd, bytes.data() + done, static_cast<size_t>(bytes.size() - done),
                        offset + done);
    });
}

ContentWriter wholeContent(QByteArrayView bytes) {
    return [bytes](const ByteSink& sink) { return sink(bytes); };
}

// Makes the open file hold exactly what `content` writes, its size checked
// afterwards.
bool setContent(int fd, const ContentWriter& content) {
    off_t size = 0;
    const bool written = content([&](QByteArrayView piece) {
        if (!writeAllAt(fd, piece, size))
            return false;
        size += piece.size();
        return true;
    });
    struct stat status {};
    // On disk before the rename that follows: otherwise a power cut can leave
    // the new name holding nothing.
    return written && ::ftruncate(fd, size) == 0 && ::fstat(fd, &status) == 0 &&
           status.st_size == size && ::fdatasync(fd) == 0;
}

// The whole content of an open regular file; nothing for anything else.
std::optional<QByteArray> regularFileContent(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    QByteArray content(static_cast<qsizetype>(status.st_size), Qt::Uninitialized);
    const bool whole = moveAllBytes(content.size(), [&](qsizetype done) {
        return ::pread(fd, content.data() + done, static_cast<size_t>(content.size() - done), done);
    });
    if (!whole)
        return std::nullopt;
    return content;
}

// Creates "<path>.XXXXXX" for writing, with the permissions of any new file
// (0666 less the umask); -1 when the folder takes no new file.
int createTemporary(const QByteArray& path, QByteArray& temporaryPath) {
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        temporaryPath = path + '.';
        temporaryPath += char('0' + QRandomGenerator::global()->bounded(10));
        for (int i = 1; i < kTemporaryNameLength; ++i)
            temporaryPath +=
                kTemporaryLetters[QRandomGenerator::global()->bounded(kTemporaryLetterCount)];
        const int fd =
            ::open(temporaryPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

enum class Outcome { Saved, Failed, NoTemporary };

// Writes a temporary file with the old file's permissions and renames it
// over the file; rename replaces the name itself and follows no link.
Outcome replaceThroughTemporary(const QByteArray& path, const ContentWriter& content) {
    struct stat old {};
    const bool hadFile = ::lstat(path.constData(), &old) == 0 && S_ISREG(old.st_mode);
    QByteArray temporary;
    const int fd = createTemporary(path, temporary);
    if (fd < 0)
        return Outcome::NoTemporary;
    bool saved = (!hadFile || ::fchmod(fd, old.st_mode & 0777) == 0) && setContent(fd, content);
    saved = ::close(fd) == 0 && saved;
    saved = saved && ::rename(temporary.constData(), path.constData()) == 0;
    if (!saved)
        ::unlink(temporary.constData());
    return saved ? Outcome::Saved : Outcome::Failed;
}

// For a folder that takes no new file: writes the file itself, and puts its
// old bytes back when that fails, so it is never left cut short or empty.
bool rewriteInPlace(const QByteArray& path, const ContentWriter& content) {
    const int fd = ::open(path.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const std::optional<QByteArray> old = regularFileContent(fd);
    const bool saved = old && setContent(fd, content);
    if (old && !saved)
        setContent(fd, wholeContent(*old));
    return ::close(fd) == 0 && saved;
}

} // namespace

SaveLock::SaveLock(const QString& fileName, LockUse use) {
    const QByteArray folder = QFile::encodeName(QFileInfo(fileName).absolutePath());
    folder_ = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0)
        return;
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        if (::flock(folder_, (use == LockUse::Reading ? LOCK_SH : LOCK_EX) | LOCK_NB) == 0) {
            held_ = true;
            return;
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) ||
            std::chrono::steady_clock::now() >= deadline)
            return;
        std::this_thread::sleep_for(kLockRetry);
    }
}

SaveLock::~SaveLock() {
    if (folder_ >= 0)
        ::close(folder_); // also drops the lock
}

bool saveWholeFile(const QString& fileName, const ContentWriter& content, const SaveLock& lock) {
    const QFileInfo target(fileName);
    if (target.isSymLink() || (target.exists() && !(target.isFile() && mayWrite(target))))
        return false;
    // Under the lock no other copy of the game is in the middle of a save.
    if (lock.held())
        removeStaleTemporaries(target);
    const QByteArray path = QFile::encodeName(fileName);
    if (mayWrite(QFileInfo(target.absolutePath()))) {
        const Outcome outcome = replaceThroughTemporary(path, content);
        if (outcome != Outcome::NoTemporary)
            return outcome == Outcome::Saved;
    }
    return target.exists() && rewriteInPlace(path, content);
}

bool saveWholeFile(const QString& fileName, const QByteArray& bytes, const SaveLock& lock) {
    return saveWholeFile(fileName, wholeContent(bytes), lock);
}
