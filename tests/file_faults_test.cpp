// Faults of the disk and of the process around the saves of settings.ini and
// highscores.dat: no write permission, files that change between reading and
// saving, a full disk, and a process killed in the middle of a save.

#include "store/high_score_file.h"
#include "store/preference_file.h"
#include "store/settings.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <optional>
#include <set>
#include <string>

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// One of the two files the game rewrites, read and saved as the game does.
struct GameFile {
    const char* name;
    // What the game does before a save: start-up reads the settings, the
    // high-score window and start-up load the table.
    void (*read)();
    // Saves version `which` (0 or 1) of the content, holding a text of
    // `padding` characters. False only when the store reports a failure.
    bool (*save)(int which, int padding);
    // The high-score save reports failure; the settings write-back is silent.
    bool reportsFailure;
};

QString nameOf(const GameFile& file) {
    return QString::fromLatin1(file.name);
}

QString versionText(int which, int padding) {
    return QString(padding, which == 0 ? u'a' : u'b');
}

void readSettingsFile() {
    openPreferenceFile(QString::fromLatin1(kSettingsFileName));
    readPreference(QStringLiteral("delay"), QStringLiteral("0"));
}

// Writes as the options dialog does; the write-back happens at the close.
bool saveSettings(int which, int padding) {
    writePreference(QStringLiteral("delay"), QString::number((which + 1) * 1000));
    writePreference(QStringLiteral("hands0"), versionText(which, padding));
    closePreferenceFile();
    return true;
}

void readScores() {
    loadHighScores(QString::fromLatin1(kHighScoreFileName));
}

bool saveScores(int which, int padding) {
    HighScoreTable table;
    table[0] = {versionText(which, padding), static_cast<std::int16_t>(which + 1)};
    return saveHighScores(QString::fromLatin1(kHighScoreFileName), table);
}

const GameFile gameFiles[] = {
    {kSettingsFileName, readSettingsFile, saveSettings, false},
    {kHighScoreFileName, readScores, saveScores, true},
};

bool readAndSave(const GameFile& file, int which, int padding) {
    file.read();
    return file.save(which, padding);
}

// A failed save may go unreported only where the store reports nothing.
void expectNoFalseSuccess(const GameFile& file, bool saved) {
    if (file.reportsFailure) {
        EXPECT_FALSE(saved) << "the save reported success";
    }
}

// The bytes a clean save of that version leaves, made in a scratch directory.
QByteArray savedBytes(const GameFile& file, int which, int padding) {
    ScopedWorkDir scratch;
    readAndSave(file, which, padding);
    return readBytes(nameOf(file));
}

// Every name in the directory, hidden ones included, sorted.
QStringList entriesOf(const QString& dir) {
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// ---- No write permission --------------------------------------------------

struct ReadOnlyCase {
    const char* what;
    mode_t dirMode;
    mode_t fileMode;   // 0: there is no file before the save
    bool savesInPlace; // a writable file where no temporary file can be made
};

const ReadOnlyCase readOnlyCases[] = {
    {"read-only directory holding a writable file", 0555, 0644, true},
    {"read-only directory holding a read-only file", 0555, 0444, false},
    {"read-only directory without the file", 0555, 0, false},
    {"read-only file in a writable directory", 0755, 0444, false},
};

constexpr uid_t kNobody = 65534;
constexpr gid_t kSameGroup = static_cast<gid_t>(-1); // chown leaves the group

// Writes one line to a file of /proc; true when all of it was taken.
bool writeProcFile(const char* path, const std::string& line) {
    const int fd = open(path, O_WRONLY);
    const bool written = fd >= 0 && write(fd, line.data(), line.size()) == ssize_t(line.size());
    if (fd >= 0)
        close(fd);
    return written;
}

// Rights that the kernel lets override the permission bits: the superuser
// has them; anyone else becomes the superuser of a user namespace of their
// own, which holds them for the files they own.
bool takeOverridingRights() {
    if (geteuid() == 0)
        return true;
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    return unshare(CLONE_NEWUSER) == 0 &&
           writeProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") &&
           writeProcFile("/proc/self/setgroups", "deny") &&
           writeProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
}

// The superuser becomes `nobody`; anyone else has ordinary rights already.
bool dropToOrdinaryRights() {
    if (geteuid() != 0)
        return true;
    return setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
}

struct Rights {
    const char* what;
    bool (*take)();
    bool overridesBits; // whether the kernel lets such a process write anyway
    uid_t owner;        // who owns the directory and the file
};

enum class SaveOutcome { Refused, Saved, NoSuchRights, KernelDisagrees, Crashed };

// The save run by a child process with the given rights. The child first
// asks the kernel whether it may write the protected directory or file, so
// that each case runs with the rights it claims.
SaveOutcome saveWithRights(const GameFile& file, const Rights& rights, const char* protectedPath) {
    const pid_t child = fork();
    if (child == 0) {
        if (!rights.take())
            _exit(int(SaveOutcome::NoSuchRights));
        if ((access(protectedPath, W_OK) == 0) != rights.overridesBits)
            _exit(int(SaveOutcome::KernelDisagrees));
        _exit(int(readAndSave(file, 1, 10) ? SaveOutcome::Saved : SaveOutcome::Refused));
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return SaveOutcome::Crashed;
    return SaveOutcome(WEXITSTATUS(status));
}

void expectReadOnlySavesOnlyInPlace(const Rights& rights) {
    for (const GameFile& file : gameFiles) {
        const QByteArray version1 = savedBytes(file, 1, 10);
        for (const ReadOnlyCase& c : readOnlyCases) {
            SCOPED_TRACE(std::string(file.name) + ", " + c.what + ", " + rights.what);
            ScopedWorkDir game;
            const QByteArray path = QFile::encodeName(game.path());
            const QByteArray filePath = path + '/' + file.name;
            if (c.fileMode != 0) {
                readAndSave(file, 0, 10);
                ASSERT_EQ(chown(filePath.constData(), rights.owner, kSameGroup), 0);
                ASSERT_EQ(chmod(filePath.constData(), c.fileMode), 0);
            }
            ASSERT_EQ(chown(path.constData(), rights.owner, kSameGroup), 0);
            ASSERT_EQ(chmod(path.constData(), c.dirMode), 0);
            const QByteArray before = readBytes(nameOf(file));
            const QStringList listing = entriesOf(game.path());

            const bool fileProtected = (c.dirMode & S_IWUSR) != 0;
            const SaveOutcome outcome =
                saveWithRights(file, rights, (fileProtected ? filePath : path).constData());
            chmod(path.constData(), 0700);
            if (outcome == SaveOutcome::NoSuchRights)
                GTEST_SKIP() << "this process cannot take the rights of " << rights.what
                             << " here (user namespaces may be turned off)";
            ASSERT_NE(outcome, SaveOutcome::KernelDisagrees)
                << "the kernel's own check does not match " << rights.what;
            ASSERT_NE(outcome, SaveOutcome::Crashed) << "the saving process did not end normally";
            if (c.savesInPlace)
                EXPECT_EQ(outcome, SaveOutcome::Saved);
            else
                expectNoFalseSuccess(file, outcome == SaveOutcome::Saved);
            EXPECT_EQ(readBytes(nameOf(file)), c.savesInPlace ? version1 : before);
            EXPECT_EQ(entriesOf(game.path()), listing);
        }
    }
}

// The store takes a missing write bit as a refusal even where the kernel
// would let the write pass, so a player who protects the directory or the
// file keeps what is there. A writable file in a read-only directory (a
// shared score file) is written in place.
TEST(ReadOnlyGameDirectory, SavesOfAProcessThatMayOverrideTheBitsWriteOnlyAWritableFileInPlace) {
    expectReadOnlySavesOnlyInPlace(
        {"a process that may override the bits", takeOverridingRights, true, geteuid()});
}

// The same faults as the kernel enforces them on an ordinary player.
TEST(ReadOnlyGameDirectory, SavesOfAnOrdinaryUserWriteOnlyAWritableFileInPlace) {
    expectReadOnlySavesOnlyInPlace(
        {"an ordinary user", dropToOrdinaryRights, false, geteuid() == 0 ? kNobody : geteuid()});
}

// ---- Files that change between reading and saving ---------------------------

struct Change {
    const char* what;
    void (*apply)(const QString& gameDir, const QString& name);
    bool saves; // whether the save may and must succeed
};

const QByteArray kInside = QByteArrayLiteral("kept\n");

const Change changes[] = {
    {"file removed", [](const QString&, const QString& name) { QFile::remove(name); }, true},
    {"file turned into a directory",
     [](const QString&, const QString& name) {
         QFile::remove(name);
         QDir().mkdir(name);
         writeBytes(name + QStringLiteral("/inside"), kInside);
     },
     false},
    {"game directory removed",
     [](const QString& gameDir, const QString&) { QDir(gameDir).removeRecursively(); }, false},
};

TEST(ChangedBeforeSave, SaveRecreatesARemovedFileAndLeavesAnythingElseAlone) {
    for (const GameFile& file : gameFiles) {
        const QByteArray version1 = savedBytes(file, 1, 10);
        for (const Change& change : changes) {
            SCOPED_TRACE(std::string(file.name) + ", " + change.what);
            ScopedWorkDir game;
            const QString name = nameOf(file);
            readAndSave(file, 0, 10);
            file.read();
            change.apply(game.path(), name);
            const QStringList listing = entriesOf(game.path());

            const bool saved = file.save(1, 10);
            if (change.saves) {
                EXPECT_TRUE(saved);
                EXPECT_EQ(readBytes(name), version1);
                EXPECT_EQ(entriesOf(game.path()), QStringList{name});
            } else {
                expectNoFalseSuccess(file, saved);
                EXPECT_EQ(entriesOf(game.path()), listing);
                EXPECT_EQ(readBytes(name + QStringLiteral("/inside")),
                          QFileInfo(name).isDir() ? kInside : QByteArray());
            }
            // Nothing escapes to the directory the relative name might be taken against.
            EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/") + name));
        }
    }
}

// A symbolic link in place of the file is a file that cannot be written:
// neither the link nor what it points to changes, and no file appears where
// a dangling link points.
TEST(LinkInPlaceOfTheFile, IsNeverWrittenThrough) {
    const QByteArray outsideBytes = QByteArrayLiteral("not the game's\n");
    for (const GameFile& file : gameFiles) {
        for (const bool dangling : {false, true}) {
            SCOPED_TRACE(std::string(file.name) + (dangling ? ", dangling" : ", to a file"));
            QTemporaryDir outside;
            const QString target = outside.filePath(QStringLiteral("target"));
            if (!dangling)
                writeBytes(target, outsideBytes);
            ScopedWorkDir game;
            const QString name = nameOf(file);
            ASSERT_TRUE(QFile::link(target, name));

            expectNoFalseSuccess(file, readAndSave(file, 1, 10));
            EXPECT_EQ(QFileInfo(name).symLinkTarget(), target);
            EXPECT_EQ(entriesOf(game.path()), QStringList{name});
            EXPECT_EQ(entriesOf(outside.path()), dangling ? QStringList() : QStringList{"target"});
            if (!dangling) {
                EXPECT_EQ(readBytes(target), outsideBytes);
            }
        }
    }
}

// ---- Two games that end at the same moment --------------------------------

constexpr int kRounds = 60;

HighScoreEntry resultOf(int game, int round) {
    // Every result beats all earlier ones, so each must enter the table.
    return {QStringLiteral("g%1r%2").arg(game).arg(round),
            static_cast<std::int16_t>(100 + 2 * round + game)};
}

// The pipes between the test and one copy of the game: the test writes a go
// byte for each round, the game answers with a byte once it has saved.
struct GamePipes {
    int go[2] = {-1, -1};
    int done[2] = {-1, -1};
};

// A copy of the game in a child process. Each round it loads the table as
// start-up does, waits for the go, and records its one player's result as
// the end of a game does; then it reports back. It ends when the test ends.
pid_t startGame(int game, GamePipes (&pipes)[2]) {
    const pid_t child = fork();
    if (child != 0)
        return child;
    for (int other = 0; other < 2; ++other) {
        close(pipes[other].go[1]);
        close(pipes[other].done[0]);
        if (other != game) {
            close(pipes[other].go[0]);
            close(pipes[other].done[1]);
        }
    }
    const QString name = QString::fromLatin1(kHighScoreFileName);
    char byte = 0;
    for (int round = 0; round < kRounds; ++round) {
        HighScoreTable table = loadHighScores(name);
        if (read(pipes[game].go[0], &byte, 1) != 1)
            _exit(1);
        const HighScoreEntry result = resultOf(game, round);
        recordFinishedGame(name, table, {{result.name.toString(), result.points}});
        if (write(pipes[game].done[1], &byte, 1) != 1)
            _exit(1);
    }
    _exit(0);
}

TEST(TwoGamesEndingTogether, LoseNoResult) {
    ScopedWorkDir dir;
    GamePipes pipes[2];
    for (GamePipes& game : pipes)
        ASSERT_TRUE(pipe(game.go) == 0 && pipe(game.done) == 0);
    pid_t games[2];
    for (int game = 0; game < 2; ++game) {
        games[game] = startGame(game, pipes);
        ASSERT_GT(games[game], 0);
    }
    for (GamePipes& game : pipes) {
        close(game.go[0]);
        close(game.done[1]);
    }
    char byte = 1;
    for (int round = 0; round < kRounds; ++round) {
        for (const GamePipes& game : pipes)
            ASSERT_EQ(write(game.go[1], &byte, 1), 1);
        for (const GamePipes& game : pipes)
            ASSERT_EQ(read(game.done[0], &byte, 1), 1);
        const HighScoreTable table = loadHighScores(QString::fromLatin1(kHighScoreFileName));
        for (int game = 0; game < 2; ++game) {
            ASSERT_NE(std::ranges::find(table, resultOf(game, round)), table.end())
                << "round " << round << ": the result of game " << game << " is lost";
        }
    }
    for (const pid_t game : games) {
        int status = 0;
        ASSERT_EQ(waitpid(game, &status, 0), game);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
}

// ---- A full disk ------------------------------------------------------------

struct FullDiskCase {
    const char* what;
    int padding; // size of the new content, roughly
    rlim_t room; // bytes a file may still take
};

// Sizes below and above the 16 KiB that a buffered write holds back until
// the file is closed, with no room at all or with room for only a part.
const FullDiskCase fullDiskCases[] = {
    {"small file, no room", 3000, 0},
    {"buffered file, room for a part", 10000, 4096},
    {"large file, room for a part", 24000, 8192},
};

// The save run by a child process under a file-size limit, which stands in
// for a full disk for any user: a write past the limit takes what fits and
// then fails (EFBIG rather than ENOSPC). nullopt when the child did not end
// normally.
std::optional<bool> saveWithRoomFor(const GameFile& file, int padding, rlim_t room) {
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN); // the failed write then reports EFBIG
        const rlimit limit{room, room};
        _exit(setrlimit(RLIMIT_FSIZE, &limit) != 0 ? 2 : readAndSave(file, 1, padding) ? 1 : 0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) > 1)
        return std::nullopt;
    return WEXITSTATUS(status) == 1;
}

TEST(FullDisk, SaveLeavesTheOldFileWholeAndNoTemporaryFile) {
    for (const GameFile& file : gameFiles) {
        for (const FullDiskCase& c : fullDiskCases) {
            SCOPED_TRACE(std::string(file.name) + ", " + c.what);
            ScopedWorkDir game;
            const QString name = nameOf(file);
            readAndSave(file, 0, c.padding);
            const QByteArray before = readBytes(name);
            ASSERT_GT(before.size(), qsizetype(c.room));

            const std::optional<bool> saved = saveWithRoomFor(file, c.padding, c.room);
            ASSERT_TRUE(saved.has_value());
            expectNoFalseSuccess(file, *saved);
            const QByteArray after = readBytes(name);
            EXPECT_TRUE(after == before)
                << after.size() << " bytes instead of the old " << before.size();
            EXPECT_EQ(entriesOf(game.path()), QStringList{name});
        }
    }
}

// Temporary files left by an interrupted save go at the next save; a copy a
// player named with six letters of one case stays.
TEST(LeftOverTemporaryFiles, GoAtTheNextSaveButAPlayersCopyStays) {
    for (const GameFile& file : gameFiles) {
        SCOPED_TRACE(file.name);
        ScopedWorkDir game;
        const QString name = nameOf(file);
        for (const char* suffix : {".a1B2c3", ".0abcde", ".QxWzYv", ".backup", ".BACKUP"})
            writeBytes(name + QString::fromLatin1(suffix), "left");
        ASSERT_TRUE(readAndSave(file, 0, 10));
        EXPECT_EQ(entriesOf(game.path()), (QStringList{name, name + ".BACKUP", name + ".backup"}));
    }
}

// ---- A process killed while it saves ------------------------------------------

constexpr int kPadding = 6000;

void* ptraceData(long value) {
    return reinterpret_cast<void*>(value);
}

// System calls that only manage the process's memory. How many of them a
// save makes depends on the allocator's state at the fork (sanitizer builds
// vary), and a kill at one leaves the files as a kill at the next other call.
bool managesMemoryOnly(std::uint64_t call) {
    static const std::set<std::uint64_t> calls = {SYS_mmap,    SYS_munmap, SYS_mprotect,
                                                  SYS_madvise, SYS_brk,    SYS_mremap};
    return calls.contains(call);
}

// A child that reads the file and saves version 1 of it once, stopped by the
// kernel at every entry to and exit from a system call other than those
// that manage memory. A kill at one of those stops lands at a chosen point
// of the save, the same on every run.
class TracedSave {
  public:
    explicit TracedSave(const GameFile& file) {
        child_ = fork();
        if (child_ == 0) {
            if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0)
                _exit(1);
            raise(SIGSTOP);
            readAndSave(file, 1, kPadding);
            _exit(0);
        }
        int status = 0;
        traced_ = child_ > 0 && waitpid(child_, &status, 0) == child_ && WIFSTOPPED(status) &&
                  ptrace(PTRACE_SETOPTIONS, child_, nullptr,
                         ptraceData(PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL)) == 0;
        ended_ = !traced_;
    }
    ~TracedSave() { kill(); }
    TracedSave(const TracedSave&) = delete;
    TracedSave& operator=(const TracedSave&) = delete;

    // False where this system does not let a process trace its child.
    bool traced() const { return traced_; }

    // Lets the child run to its next stop; false once it ended.
    bool runToNextStop() {
        for (long pending = 0; !ended_;) {
            int status = 0;
            if (ptrace(PTRACE_SYSCALL, child_, nullptr, ptraceData(pending)) != 0 ||
                waitpid(child_, &status, 0) != child_ || !WIFSTOPPED(status)) {
                ended_ = true;
                break;
            }
            pending = 0;
            if (WSTOPSIG(status) != (SIGTRAP | 0x80))
                pending = WSTOPSIG(status); // a signal of the child's own: passed on
            else if (!managesMemoryOnly(currentCall()))
                return true;
        }
        return false;
    }

    // Kills the child where it stands, unless it has ended already.
    void kill() {
        if (child_ > 0 && !ended_) {
            ::kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        ended_ = true;
    }

  private:
    // The system call the child is stopped in, at its entry or its exit.
    std::uint64_t currentCall() {
        __ptrace_syscall_info info{};
        if (ptrace(PTRACE_GET_SYSCALL_INFO, child_, ptraceData(sizeof info), &info) > 0 &&
            info.op == PTRACE_SYSCALL_INFO_ENTRY)
            call_ = info.entry.nr;
        return call_;
    }

    pid_t child_ = -1;
    bool traced_ = false;
    bool ended_ = false;
    std::uint64_t call_ = ~std::uint64_t(0);
};

// A save writes into "<name>.XXXXXX" beside the file and renames it.
QRegularExpression temporaryName(const QString& name) {
    return QRegularExpression(
        QStringLiteral("^%1\\.[A-Za-z0-9]{6}$").arg(QRegularExpression::escape(name)));
}

// What a kill left: the version the file holds (-1 for neither), whether a
// temporary file stayed behind, and whether the save had ended before.
struct KillResult {
    int version = -1;
    bool temporaryLeft = false;
    bool saveEnded = false;
};

// Kills a save of version 1 over version 0 after `stops` system-call stops.
// A temporary file holds the start of version 1 and never takes the file's
// own name, the only one the game reads; it stays until the next save
// removes it, so there is never more than one.
KillResult killSaveAfter(const GameFile& file, const QByteArray (&versions)[2], int stops) {
    const QString name = nameOf(file);
    writeBytes(name, versions[0]);
    KillResult result;
    {
        TracedSave save(file);
        for (int stop = 0; stop < stops && !result.saveEnded; ++stop)
            result.saveEnded = !save.runToNextStop();
    }
    const QByteArray now = readBytes(name);
    result.version = now == versions[0] ? 0 : now == versions[1] ? 1 : -1;
    int left = 0;
    for (const QString& entry : entriesOf(QStringLiteral("."))) {
        if (entry == name)
            continue;
        EXPECT_TRUE(temporaryName(name).match(entry).hasMatch()) << entry.toStdString();
        EXPECT_TRUE(versions[1].startsWith(readBytes(entry))) << entry.toStdString();
        ++left;
    }
    EXPECT_LE(left, 1) << "after " << stops << " stops";
    result.temporaryLeft = left > 0;
    return result;
}

// A kill before and after every system call of a save: the file is always
// one whole version, the old one up to a single point and the new one from
// there on.
TEST(KilledWhileSaving, FileIsAlwaysOneWholeVersion) {
    if (!TracedSave(gameFiles[0]).traced())
        GTEST_SKIP() << "this system does not let a process trace its child, so no kill can "
                        "be placed within a save";
    for (const GameFile& file : gameFiles) {
        SCOPED_TRACE(file.name);
        const QByteArray versions[] = {savedBytes(file, 0, kPadding),
                                       savedBytes(file, 1, kPadding)};
        ScopedWorkDir game;
        int newFrom = -1;
        int temporaryLeft = 0;
        for (int stops = 0;; ++stops) {
            const KillResult killed = killSaveAfter(file, versions, stops);
            ASSERT_GE(killed.version, 0) << "a kill after " << stops << " stops left neither";
            if (killed.version == 1 && newFrom < 0)
                newFrom = stops;
            EXPECT_EQ(killed.version, newFrom < 0 ? 0 : 1) << "the old version came back";
            temporaryLeft += killed.temporaryLeft;
            if (killed.saveEnded) {
                EXPECT_FALSE(killed.temporaryLeft) << "a whole save left a temporary file";
                std::cout << "[ INFO     ] " << file.name << ": a save of " << stops - 1
                          << " stops, killed after each; the new version from stop " << newFrom
                          << " on, " << temporaryLeft << " kills left a temporary file\n";
                break;
            }
        }
        EXPECT_GT(newFrom, 0) << "the new version was there before the save began";
        EXPECT_GT(temporaryLeft, 0) << "no kill landed while the temporary file was written";
    }
}

} // namespace
