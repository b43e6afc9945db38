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
#include <random>
#include <thread>

#include <grp.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
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

constexpr uid_t kNobody = 65534;
constexpr gid_t kSameGroup = static_cast<gid_t>(-1); // chown leaves the group

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

using Saver = std::optional<bool> (*)(const GameFile& file);

std::optional<bool> saveHere(const GameFile& file) {
    return readAndSave(file, 1, 10);
}

// The save run by a child process with the rights of `nobody`; nullopt when
// the child could not drop its rights or did not end normally.
std::optional<bool> saveAsNobody(const GameFile& file) {
    const pid_t child = fork();
    if (child == 0) {
        const bool dropped =
            setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
        _exit(!dropped ? 2 : readAndSave(file, 1, 10) ? 1 : 0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) > 1)
        return std::nullopt;
    return WEXITSTATUS(status) == 1;
}

void expectReadOnlySavesOnlyInPlace(Saver saver, uid_t owner) {
    for (const GameFile& file : gameFiles) {
        const QByteArray version1 = savedBytes(file, 1, 10);
        for (const ReadOnlyCase& c : readOnlyCases) {
            SCOPED_TRACE(std::string(file.name) + ", " + c.what);
            ScopedWorkDir game;
            const QByteArray path = QFile::encodeName(game.path());
            const QByteArray filePath = path + '/' + file.name;
            if (c.fileMode != 0) {
                readAndSave(file, 0, 10);
                ASSERT_EQ(chown(filePath.constData(), owner, kSameGroup), 0);
                ASSERT_EQ(chmod(filePath.constData(), c.fileMode), 0);
            }
            ASSERT_EQ(chown(path.constData(), owner, kSameGroup), 0);
            ASSERT_EQ(chmod(path.constData(), c.dirMode), 0);
            const QByteArray before = readBytes(nameOf(file));
            const QStringList listing = entriesOf(game.path());

            const std::optional<bool> saved = saver(file);
            ASSERT_TRUE(saved.has_value());
            if (c.savesInPlace) {
                EXPECT_TRUE(*saved);
            } else {
                expectNoFalseSuccess(file, *saved);
            }
            EXPECT_EQ(readBytes(nameOf(file)), c.savesInPlace ? version1 : before);
            EXPECT_EQ(entriesOf(game.path()), listing);
            chmod(path.constData(), 0700);
        }
    }
}

// The store takes a missing write bit as a refusal even from the superuser,
// so a player who protects the directory or the file keeps what is there.
// A writable file in a read-only directory (a shared score file) is written
// in place.
TEST(ReadOnlyGameDirectory, SavesOfThisProcessWriteOnlyAWritableFileInPlace) {
    expectReadOnlySavesOnlyInPlace(saveHere, geteuid());
}

// The same faults as the kernel enforces them on an ordinary player.
TEST(ReadOnlyGameDirectory, SavesOfAnUnprivilegedUserWriteOnlyAWritableFileInPlace) {
    if (geteuid() != 0)
        GTEST_SKIP() << "not root: this process cannot become another user, and the case "
                        "above already ran without privileges";
    expectReadOnlySavesOnlyInPlace(saveAsNobody, kNobody);
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
        recordFinishedGame(name, table, {{result.name, result.points}});
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

// A 64 KiB tmpfs mounted for the life of the object.
class SmallDisk {
  public:
    explicit SmallDisk(const QString& path) : path_(QFile::encodeName(path)) {
        mounted_ = mount("tmpfs", path_.constData(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallDisk() {
        if (mounted_)
            umount2(path_.constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }

    qint64 freeBytes() const {
        struct statvfs disk {};
        return statvfs(path_.constData(), &disk) == 0 ? qint64(disk.f_bavail) * disk.f_frsize : -1;
    }

  private:
    QByteArray path_;
    bool mounted_ = false;
};

// Fills the disk with one file until no more than `room` bytes stay free.
void fillDisk(const SmallDisk& disk, const QString& filler, qint64 room) {
    QFile file(filler);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray page(4096, 'f');
    while (disk.freeBytes() > room && file.write(page) == page.size()) {
    }
    file.close();
    ASSERT_LE(disk.freeBytes(), room);
}

struct FullDiskCase {
    const char* what;
    int padding; // size of the new content, roughly
    qint64 room; // free bytes left on the disk before the save
};

// Sizes below and above the 16 KiB that a buffered write holds back until
// the file is closed, with no room at all or with room for only a part.
const FullDiskCase fullDiskCases[] = {
    {"small file, no room", 3000, 0},
    {"buffered file, room for a part", 10000, 4096},
    {"large file, room for a part", 24000, 8192},
};

TEST(FullDisk, SaveLeavesTheOldFileWholeAndNoTemporaryFile) {
    if (geteuid() != 0)
        GTEST_SKIP() << "not root: cannot mount a small tmpfs to fill";
    for (const GameFile& file : gameFiles) {
        for (const FullDiskCase& c : fullDiskCases) {
            SCOPED_TRACE(std::string(file.name) + ", " + c.what);
            ScopedWorkDir work;
            ASSERT_TRUE(QDir().mkdir(QStringLiteral("disk")));
            const SmallDisk disk(work.path() + QStringLiteral("/disk"));
            if (!disk.mounted())
                GTEST_SKIP() << "mounting a tmpfs is not permitted here";
            QDir::setCurrent(work.path() + QStringLiteral("/disk"));
            const QString name = nameOf(file);
            readAndSave(file, 0, c.padding);
            const QByteArray before = readBytes(name);
            ASSERT_FALSE(before.isEmpty());
            fillDisk(disk, QStringLiteral("filler"), c.room);

            const bool saved = readAndSave(file, 1, c.padding);
            expectNoFalseSuccess(file, saved);
            const QByteArray after = readBytes(name);
            EXPECT_TRUE(after == before)
                << after.size() << " bytes instead of the old " << before.size();
            EXPECT_EQ(entriesOf(QStringLiteral(".")),
                      QStringList({QStringLiteral("filler"), name}));
            QDir::setCurrent(work.path());
        }
    }
}

// ---- A process killed while it saves ------------------------------------------

constexpr int kKills = 200;
constexpr int kPadding = 6000;

// Forks a child that saves the two versions in turn without end; returns once
// its first save has begun.
pid_t startSavingChild(const GameFile& file) {
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    pid_t child = fork();
    if (child == 0) {
        close(ready[0]);
        const char started = 1;
        [[maybe_unused]] const ssize_t sent = write(ready[1], &started, 1);
        for (int which = 1;; which = 1 - which)
            readAndSave(file, which, kPadding);
    }
    close(ready[1]);
    char started = 0;
    if (child > 0 && read(ready[0], &started, 1) != 1)
        child = -1;
    close(ready[0]);
    return child;
}

// The mean time of one save here, so that kills can be spread over a few saves
// however fast or loaded the machine is.
std::chrono::microseconds saveDuration(const GameFile& file) {
    constexpr int kSaves = 6;
    ScopedWorkDir scratch;
    const auto start = std::chrono::steady_clock::now();
    for (int which = 0; which < kSaves; ++which)
        readAndSave(file, which % 2, kPadding);
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 start) /
           kSaves;
}

// QSaveFile writes into "<name>.XXXXXX" beside the file and renames it.
QRegularExpression temporaryName(const QString& name) {
    return QRegularExpression(
        QStringLiteral("^%1\\.[A-Za-z0-9]{6}$").arg(QRegularExpression::escape(name)));
}

TEST(KilledWhileSaving, FileIsAlwaysOneWholeVersion) {
    std::mt19937 random(2024);
    for (const GameFile& file : gameFiles) {
        SCOPED_TRACE(file.name);
        // Kills land anywhere from before the first save to within the fourth.
        const std::int64_t saveMicroseconds = saveDuration(file).count();
        std::uniform_int_distribution<std::int64_t> delay(0, 4 * saveMicroseconds);
        const QByteArray versions[] = {savedBytes(file, 0, kPadding),
                                       savedBytes(file, 1, kPadding)};
        ScopedWorkDir game;
        const QString name = nameOf(file);
        readAndSave(file, 0, kPadding);
        ASSERT_EQ(readBytes(name), versions[0]);
        int seen[2] = {0, 0};
        for (int kill = 0; kill < kKills; ++kill) {
            const pid_t child = startSavingChild(file);
            ASSERT_GT(child, 0);
            std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
            ::kill(child, SIGKILL);
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFSIGNALED(status));
            const QByteArray now = readBytes(name);
            ASSERT_TRUE(now == versions[0] || now == versions[1])
                << "kill " << kill << ": " << now.size() << " bytes, neither version";
            ++seen[now == versions[1]];
        }
        // Both versions were on disk at some kill, so kills did land inside the loop.
        EXPECT_GT(seen[0], 0);
        EXPECT_GT(seen[1], 0);

        // A kill between creating and renaming the temporary file leaves it
        // behind until the next save removes it. It holds the start of one
        // version and never takes the file's own name, which is the only
        // name the game reads.
        const QRegularExpression temporary = temporaryName(name);
        int leftOver = 0;
        for (const QString& entry : entriesOf(game.path())) {
            if (entry == name)
                continue;
            SCOPED_TRACE(entry.toStdString());
            EXPECT_TRUE(temporary.match(entry).hasMatch());
            const QByteArray part = readBytes(entry);
            EXPECT_TRUE(versions[0].startsWith(part) || versions[1].startsWith(part));
            ++leftOver;
        }
        EXPECT_LE(leftOver, 1);
        std::cout << "[ INFO     ] " << file.name << ": one save " << saveMicroseconds << " us, "
                  << kKills << " kills, version 1 on disk " << seen[0] << " times, version 2 "
                  << seen[1] << " times, " << leftOver << " temporary files left behind\n";
    }
}

} // namespace
