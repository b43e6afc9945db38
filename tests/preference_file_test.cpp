#include "store/kept_preference_file.h"
#include "store/preference_file.h"
#include "test_support.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <utility>
#include <vector>

namespace {

const QString settings = QStringLiteral("settings.ini");
// How every rewritten file with the UTF-8 mark begins.
const QByteArray markLine = QByteArrayLiteral("\xEF\xBB\xBF\r\n");
const QByteArray missing; // a null array stands for a file that does not exist

class PreferenceFileTest : public testing::Test {
  protected:
    void TearDown() override { closePreferenceFile(); }
    ScopedWorkDir dir;
};

QString readFrom(const QByteArray& bytes, const QString& key) {
    writeBytes(settings, bytes);
    openPreferenceFile(settings);
    const QString value = readPreference(key, QStringLiteral("default"));
    closePreferenceFile();
    return value;
}

TEST_F(PreferenceFileTest, ReadsKeysByTheLineSyntax) {
    const struct {
        QByteArray file;
        QString key;
        QString expected;
    } cases[] = {
        {"delay=0", "delay", "0"},
        {"delay = 0", "delay", "0"},
        {" \t delay \t=\t 0 \t\r\n", "delay", "0"},
        {"DELAY=0", "delay", "0"},
        {"k=", "k", ""},
        {"k", "k", ""},
        {"=v", "", "v"},
        {"k=a = b", "k", "a = b"},
        {"#k=1", "#k", "1"},
        {"; k=1", "k", "default"},
        {"k=1\nk=2", "k", "1"},
        {"a=1\n[group]\nk=1", "k", "default"},
        {"a=1\n[group\nk=1", "k", "default"},
        {"a=1\r\r\n\n  \t \nk=1", "k", "1"},
        {"a=1\rk=1", "k", "1"},
        {"k=\xA0x\xA0", "k", QStringLiteral("\u00A0x\u00A0")},
        {"k=\xE4", "k", QStringLiteral("\u00E4")},
        {"\xEF\xBB\xBFk=\xC3\xA4", "k", QStringLiteral("\u00E4")},
        {"\xEF\xBB\xBF\xC3\x84=1", QStringLiteral("\u00E4"), "default"},
        {"\xEF\xBB\xBF\xE3\xA4=1", QStringLiteral("\u00E4"), "default"},
        {"\xEF\xBB\xBFk=\xFF\xFEok\nj=2", "k", QStringLiteral("\uFFFD\uFFFDok")},
        {"\xEF\xBB\xBFk= \xEF\xBB\xBFv", "k", QStringLiteral("\uFEFFv")},
        {QByteArrayLiteral("a=1\0x\nk=2"), "k", "2"},
        {QByteArrayLiteral("a=1\0x\nk=2"), "a", QString::fromUtf8("1\0x", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        EXPECT_EQ(readFrom(c.file, c.key), c.expected);
    }
}

TEST_F(PreferenceFileTest, DefaultsComeBackUntrimmedWithoutAReadableFile) {
    EXPECT_EQ(readPreference("k", " d "), " d ");
    EXPECT_FALSE(openPreferenceFile(settings));
    EXPECT_EQ(readPreference("k", " d "), " d ");
    closePreferenceFile();
    EXPECT_FALSE(QFileInfo::exists(settings));
}

TEST_F(PreferenceFileTest, APathThatIsNoFileIsNeitherReadNorReplaced) {
    ASSERT_TRUE(QDir().mkdir("folder.ini"));
    ASSERT_EQ(::mkfifo("pipe.ini", 0644), 0);
    for (const QString name : {"folder.ini", "pipe.ini"}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_FALSE(openPreferenceFile(name));
        EXPECT_EQ(readPreference("k", "default"), "default");
        writePreference("k", "v");
        closePreferenceFile();
    }
    EXPECT_TRUE(QFileInfo("folder.ini").isDir());
    struct stat pipe {};
    EXPECT_TRUE(::stat("pipe.ini", &pipe) == 0 && S_ISFIFO(pipe.st_mode));
}

TEST_F(PreferenceFileTest, RewritesTheWholeFileInItsFixedForm) {
    const struct {
        const char* name;
        QByteArray before;
        std::vector<std::pair<QString, QString>> writes;
        QByteArray after;
    } cases[] = {
        {"comment and key",
         ";comment\r\ndelay=0",
         {{"delay", "1000"}},
         markLine + "; comment\r\ndelay = 1000\r\n"},
        {"missing file", missing, {{"sound", "1"}}, markLine + "sound = 1\r\n"},
        {"empty file", "", {{"k", "v"}}, "k = v\r\n"},
        {"empty file, text beyond ASCII",
         "",
         {{"name", "J\xC3\xA4ger"}},
         markLine + "name = J\xC3\xA4ger\r\n"},
        {"Latin-1 text",
         "name=J\xE4ger",
         {{"delay", "1"}},
         markLine + "name = J\xC3\xA4ger\r\ndelay = 1\r\n"},
        {"first of two", "k=1\nk=2", {{"k", "3"}}, markLine + "k = 3\r\nk = 2\r\n"},
        {"caller's case", "delay=0", {{"DELAY", "5"}}, markLine + "DELAY = 5\r\n"},
        {"group headers",
         "a=1\n[g] tail\nb=2",
         {{"b", "3"}},
         markLine + "a = 1\r\nb = 3\r\n[g]\r\nb = 2\r\n"},
        {"equal value, layout",
         ";c\r\n\r\n;  two\r\n  k =\t v \t\r\nother=x",
         {{"other", "x"}},
         markLine + "; c\r\n;  two\r\nk = v \t\r\nother = x\r\n"},
        {"value kept untrimmed", missing, {{"k", " v "}}, markLine + "k =  v \r\n"},
        {"line ends in a value",
         missing,
         {{"name", "a\r\nlang = xx"}},
         markLine + "name = a  lang = xx\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(settings);
        if (!c.before.isNull())
            writeBytes(settings, c.before);
        openPreferenceFile(settings);
        for (const auto& [key, value] : c.writes)
            writePreference(key, value);
        closePreferenceFile();
        EXPECT_EQ(readBytes(settings), c.after);
    }
}

TEST_F(PreferenceFileTest, WritesAreSeenAtOnceAndReachTheDiskWhenTheNextFileOpens) {
    openPreferenceFile("a.ini");
    writePreference("k", " v\t");
    EXPECT_EQ(readPreference("K", "default"), "v");
    openPreferenceFile("b.ini");
    EXPECT_EQ(readBytes("a.ini"), markLine + "k =  v\t\r\n");
    closePreferenceFile();
    EXPECT_FALSE(QFileInfo::exists("b.ini"));

    writePreference("k", "v");
    closePreferenceFile();
    EXPECT_FALSE(QFileInfo::exists("b.ini"));
    EXPECT_EQ(readPreference("k", "default"), "default");
}

struct Snapshot {
    bool exists;
    QByteArray bytes;
    QDateTime modified;
    QFile::Permissions permissions;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const QString& fileName) {
    const QFileInfo info(fileName);
    return {info.exists(), readBytes(fileName), info.lastModified(), info.permissions()};
}

void backdate(const QString& fileName) {
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ASSERT_TRUE(file.setFileTime(QDateTime::fromSecsSinceEpoch(1000000000),
                                 QFileDevice::FileModificationTime));
}

void setMode(const QString& path, QFile::Permissions permissions) {
    ASSERT_TRUE(QFile::setPermissions(path, permissions));
}

constexpr QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
constexpr QFile::Permissions dirReadOnly =
    readOnly | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;

TEST_F(PreferenceFileTest, FilesThatMayNotBeReplacedStayAsTheyWere) {
    QDir().mkdir("locked");
    writeBytes("kept.ini", "k=1\n");
    writeBytes("locked/kept.ini", "k=1\n");
    backdate("kept.ini");
    backdate("locked/kept.ini");
    setMode("locked", dirReadOnly);
    const struct {
        const char* name;
        QFile::Permissions mode;
        bool modify;
    } cases[] = {
        {"kept.ini", QFile::ReadOwner | QFile::WriteOwner, false},
        {"kept.ini", readOnly, true},
        {"locked/kept.ini", readOnly, true},
        {"locked/new.ini", {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.mode)
            setMode(c.name, c.mode);
        const Snapshot before = snapshot(c.name);
        openPreferenceFile(c.name);
        EXPECT_EQ(readPreference("k", "default"), before.exists ? "1" : "default");
        if (c.modify)
            writePreference("k", "2");
        closePreferenceFile();
        EXPECT_EQ(snapshot(c.name), before);
    }
    setMode("locked", dirReadOnly | QFile::WriteOwner);
}

TEST_F(PreferenceFileTest, RewriteKeepsThePermissions) {
    for (const QFile::Permissions mode :
         {QFile::ReadOwner | QFile::WriteOwner,
          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup}) {
        writeBytes(settings, "k=1\n");
        setMode(settings, mode);
        openPreferenceFile(settings);
        writePreference("k", "2");
        closePreferenceFile();
        EXPECT_EQ(readBytes(settings), markLine + "k = 2\r\n");
        EXPECT_EQ(QFile::permissions(settings) & ~(QFile::ReadUser | QFile::WriteUser), mode);
    }
}

// Rewrites the file with a changed key twice; the second rewrite must give the same bytes.
void rewriteTwice(const QByteArray& bytes, const QString& key) {
    writeBytes(settings, bytes);
    const auto rewrite = [&key](const QString& expected) {
        openPreferenceFile(settings);
        EXPECT_EQ(readPreference(key, "default"), expected);
        writePreference(key, "new");
        closePreferenceFile();
        return readBytes(settings);
    };
    const QByteArray first = rewrite("value");
    EXPECT_EQ(rewrite("new"), first);
}

TEST_F(PreferenceFileTest, SurvivesArbitraryBytes) {
    QRandomGenerator random(7);
    QByteArray noise(1 << 16, '\0');
    random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    rewriteTwice("key=value\n" + noise, "key");
    rewriteTwice(QByteArrayLiteral("\xEF\xBB\xBFkey=value\n") + noise, "key");
}

TEST_F(PreferenceFileTest, HandlesATenMegabyteLine) {
    const QByteArray big(10 << 20, 'x');
    writeBytes(settings, "big=" + big + "\r\nk=1");
    openPreferenceFile(settings);
    EXPECT_EQ(readPreference("k", "default"), "1");
    EXPECT_EQ(readPreference("big", "default").size(), big.size());
    writePreference("k", "2");
    closePreferenceFile();
    EXPECT_EQ(readBytes(settings), markLine + "big = " + big + "\r\nk = 2\r\n");
}

// ---- a language file kept between occasions -----------------------------------

class KeptFileTest : public testing::Test {
  protected:
    const QString language = QStringLiteral("en.lang");
    ScopedWorkDir dir;
    KeptPreferenceFile kept;

    QString title() {
        kept.refresh(language);
        return kept.read(QStringLiteral("TITLE"), QStringLiteral("default"));
    }
};

// Rewritten within the file system's clock tick, a file of the same size can
// keep every time stamp: such a fresh file is read again at each occasion.
TEST_F(KeptFileTest, AFileRewrittenAtOnceWithTheSameSizeGivesItsNewTexts) {
    EXPECT_EQ(title(), "default");
    writeBytes(language, "Title = One\r\nEmpty =\r\n");
    EXPECT_EQ(title(), "One");
    EXPECT_EQ(kept.read(QStringLiteral("empty"), QStringLiteral("default")), "");
    EXPECT_EQ(kept.read(QStringLiteral("other"), QStringLiteral("default")), "default");
    writeBytes(language, "Title = Two\r\nEmpty =\r\n");
    EXPECT_EQ(title(), "Two");
    QFile::remove(language);
    EXPECT_EQ(title(), "default");
}

// Once trusted, the file is not read again while it stays unchanged; any
// change shows, even one that restores the size and the modification time,
// or a file of that size and time renamed over it.
TEST_F(KeptFileTest, AChangeThatKeepsSizeAndModificationTimeStillShows) {
    writeBytes(language, "Title = One\r\n");
    struct stat first {};
    ASSERT_EQ(::stat("en.lang", &first), 0);
    QThread::msleep(1100); // older than a clock tick: the next read is trusted
    EXPECT_EQ(title(), "One");
    const auto sameTimes = [&first](const char* name) {
        const timespec times[] = {first.st_atim, first.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, name, times, 0), 0);
    };
    writeBytes(language, "Title = Two\r\n");
    sameTimes("en.lang");
    EXPECT_EQ(title(), "Two");
    writeBytes(QStringLiteral("new.lang"), "Title = Six\r\n");
    sameTimes("new.lang");
    ASSERT_TRUE(QFile::remove(language) && QFile::rename(QStringLiteral("new.lang"), language));
    EXPECT_EQ(title(), "Six");
}

} // namespace
