#include "store/file_save.h"
#include "store/high_score_file.h"
#include "store/utf8.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <optional>
#include <ostream>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

void PrintTo(const HighScoreEntry& entry, std::ostream* out) {
    const QString name = entry.name.toString();
    *out << '{' << name.toStdString() << " (";
    for (const QChar unit : name)
        *out << std::hex << int{unit.unicode()} << ' ';
    *out << std::dec << "), " << entry.points << '}';
}

namespace {

const QString fileName = QString::fromLatin1(kHighScoreFileName);
const QByteArray emptyLine = QByteArrayLiteral("#&\r\n");
// The file of a table holding only "abc" with 12 points.
const QByteArray abcFile = QByteArrayLiteral("CDE#'(\r\n") + emptyLine.repeated(9);

QString units(std::initializer_list<char16_t> codes) {
    QString text;
    for (const char16_t code : codes)
        text.append(QChar(code));
    return text;
}

// A table whose first entries are given and whose others are empty.
HighScoreTable tableOf(std::initializer_list<HighScoreEntry> entries) {
    HighScoreTable table;
    std::copy(entries.begin(), entries.end(), table.begin());
    return table;
}

HighScoreTable tableOfPoints(std::initializer_list<std::int16_t> points) {
    HighScoreTable table;
    auto entry = table.begin();
    for (const std::int16_t p : points)
        *entry++ = {QStringLiteral("e%1").arg(p), p};
    return table;
}

HighScoreTable loadFrom(const QByteArray& bytes) {
    writeBytes(fileName, bytes);
    return loadHighScores(fileName);
}

// Random names: any Unicode but "#", with the units that lower onto "#", CR,
// LF and 0 ('A', '+', '(', U+001E), spaces, control characters, characters
// at both ends of the 16-bit range and surrogate pairs.
class NameGenerator {
  public:
    explicit NameGenerator(unsigned seed) : random_(seed) {}

    QString name(bool troublesome) {
        QString text;
        const int length = pick(0, 12);
        for (int i = 0; i < length; ++i)
            appendUnit(text, troublesome);
        return text;
    }
    std::int16_t points() { return static_cast<std::int16_t>(pick(-32768, 32767)); }

  private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    void appendUnit(QString& text, bool troublesome) {
        static const QString special = units({u'A', u'+', u'(', 0x1E, u' ', u'\t', 0x1F, 0x05,
                                              0xFEFF, 0xFF1D, 0xFFFF, 0xE000, 0xE01D});
        char32_t code = 0;
        switch (pick(0, troublesome ? 4 : 2)) {
        case 0:
            code = static_cast<char32_t>(pick(0x20, 0x7E));
            break;
        case 1:
            code = static_cast<char32_t>(pick(1, 0xFFFF));
            break;
        case 2:
            code = static_cast<char32_t>(pick(0xE01E, 0xFFFF));
            break;
        case 3:
            text.append(special[pick(0, static_cast<int>(special.size()) - 1)]);
            return;
        default:
            code = static_cast<char32_t>(pick(0x10000, 0x10FFFF));
            break;
        }
        if (!troublesome && (code == u'A' || code == u'+' || code == u'(' || code == 0x1E ||
                             (code >= 0xD800 && code <= 0xE01D)))
            code = u'z';
        if (code == u'#' || (code >= 0xD800 && code <= 0xDFFF))
            code = u' ';
        text += QString::fromUcs4(&code, 1);
    }

    std::mt19937 random_;
};

TEST(HighScoreLineScramble, EncodesAndDecodesCodeUnits) {
    const struct {
        QString text;
        QString stored;
    } cases[] = {
        {QStringLiteral("abc#12"), QStringLiteral("CDE#'(")},
        {QStringLiteral("#0"), QStringLiteral("#&")},
        {QStringLiteral("x#-5"), QStringLiteral("Z##+")},
        {QStringLiteral("12"), QStringLiteral("#'(")},
        {QString(), QStringLiteral("#")},
        {units({0x01, u'#', 0xFFFF}), units({0xFFE3, u'#', 0xFFF5})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encodeScoreLine(c.text), c.stored) << c.text.toStdString();
        if (c.text.contains(u'#')) {
            EXPECT_EQ(decodeScoreLine(c.stored), c.text) << c.text.toStdString();
        }
    }
    EXPECT_EQ(decodeScoreLine(QString()), QStringLiteral("#"));
    EXPECT_EQ(decodeScoreLine(QStringLiteral("'(")), QStringLiteral("#12"));
    // Units that become 0 are dropped, in both directions.
    EXPECT_EQ(encodeScoreLine(units({0x1E, u'#', u'5'})), QStringLiteral("#+"));
    EXPECT_EQ(decodeScoreLine(units({0xFFE2, u'#', 0xFFF6})), QStringLiteral("#"));
}

TEST(HighScoreLineScramble, SplitsDecodedLinesIntoNameAndPoints) {
    const struct {
        QString decoded;
        QString name;
        std::int16_t points;
    } cases[] = {
        {QStringLiteral("abc#12"), QStringLiteral("abc"), 12},
        {QStringLiteral("#"), QString(), 0},
        {QStringLiteral("12"), QString(), 12},
        {QStringLiteral("abc"), QString(), 0},
        {QStringLiteral(" x #-5"), QStringLiteral(" x "), -5},
        {QStringLiteral("a#b#3"), QStringLiteral("a"), 0},
        {QStringLiteral("#  7x"), QString(), 7},
        {QStringLiteral("#40000"), QString(), -25536},
        {QStringLiteral("#70000"), QString(), 4464},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lineName(c.decoded), c.name) << c.decoded.toStdString();
        EXPECT_EQ(linePoints(c.decoded), c.points) << c.decoded.toStdString();
    }
}

TEST(HighScoreStoredLine, ReadsEveryLineAsBefore) {
    const QString escape = units({0x05});
    const struct {
        QString stored;
        HighScoreEntry entry;
    } cases[] = {
        {QStringLiteral("CDE#'("), {QStringLiteral("abc"), 12}},
        {QStringLiteral("#&"), {}},
        {QString(), {}},
        {QStringLiteral("'("), {QString(), 12}},
        {QStringLiteral("#PPC#'("), {}}, // "Anna" as the plain line wrote it
        {QStringLiteral("Z##+"), {QStringLiteral("x"), -5}},
        // Escaped lines, damaged ones included.
        {escape + QStringLiteral("C") + escape + QStringLiteral("0041#'("),
         {QStringLiteral("aA"), 12}},
        {escape + QStringLiteral("C") + escape + QStringLiteral("004#'("),
         {QStringLiteral("aNNR"), 12}},
        {escape + QStringLiteral("CDE"), {QStringLiteral("abc"), 0}},
        {escape + QStringLiteral("C") + escape + QStringLiteral("00#'("),
         {QStringLiteral("aNN"), 12}},
        {escape + escape + escape + QStringLiteral("0041C") + escape, {QStringLiteral("Aa"), 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(entryFromLine(c.stored), c.entry) << c.stored.toStdString();
    // A plain line is its decoded line's name and points; a unit that decodes
    // to "#" ends the name early.
    std::mt19937 random(3);
    const char16_t alphabet[] = {u'#', 0x05, u'C', u'\'', u' ', 0xFFE2, 0xFFF6, 0xE1, 0xE2};
    for (int i = 0; i < 2000; ++i) {
        QString stored;
        for (int n = random() % 12; n > 0; --n)
            stored += QChar(alphabet[random() % std::size(alphabet)]);
        if (stored.startsWith(escape))
            continue;
        const QString decoded = decodeScoreLine(stored);
        ASSERT_EQ(entryFromLine(stored), (HighScoreEntry{lineName(decoded), linePoints(decoded)}))
            << stored.toStdString();
    }
}

TEST(HighScoreStoredLine, KeepsThePlainLineForEveryOtherName) {
    EXPECT_EQ(storedLine({QStringLiteral("abc"), 12}), QStringLiteral("CDE#'("));
    EXPECT_EQ(storedLine({}), QStringLiteral("#&"));
    EXPECT_EQ(storedLine({QStringLiteral("x"), -5}), QStringLiteral("Z##+"));
    // U+FF1D lowers onto U+FEFF, which at the start of a line is still a character.
    EXPECT_EQ(storedLine({units({0xFF1D, u'x'}), 1}), units({0xFEFF, u'Z', u'#', u'\''}));
    EXPECT_EQ(storedLine({QString::fromUcs4(U"\U0001F600"), 1}),
              units({0xD81F, 0xDDE2, u'#', u'\''}));
    NameGenerator generate(7);
    for (int i = 0; i < 5000; ++i) {
        const HighScoreEntry entry{generate.name(false), generate.points()};
        ASSERT_EQ(storedLine(entry),
                  encodeScoreLine(entry.name.toString() + u'#' + QString::number(entry.points)))
            << ::testing::PrintToString(entry);
    }
}

TEST(HighScoreStoredLine, EscapesNamesThePlainLineWouldBreak) {
    const QString names[] = {
        QStringLiteral("Anna"),  QStringLiteral("A+B (2)"),
        units({u'x', 0x1E}),     units({0xE000}), // lowers onto a lone low surrogate
        units({0xD800, 0xDC00}),                  // the high half lowers out of the surrogates
        units({u'#', u'y'}),                      // never a valid name, still kept
        units({u'z', 0x00}),                      // U+0000 would be dropped on reading
    };
    for (const QString& name : names) {
        const HighScoreEntry entry{name, -32768};
        const QString line = storedLine(entry);
        EXPECT_TRUE(line.startsWith(QChar(0x05))) << line.toStdString();
        EXPECT_EQ(entryFromLine(line), entry) << line.toStdString();
    }
}

// The plain line whenever it reads back as the entry (the rule stated on the
// whole line: one line, valid UTF-16, the same entry), else the escaped line;
// and the file holds each line's UTF-8, also for names of many pieces.
TEST(HighScoreStoredLine, ChoosesThePlainLineExactlyWhenItReadsBack) {
    const auto plainReadsBack = [](const HighScoreEntry& entry, const QString& plain) {
        return !plain.contains(u'\r') && !plain.contains(u'\n') &&
               decodeUtf8KeepingMark(plain.toUtf8()) == plain && entryFromLine(plain) == entry;
    };
    EXPECT_EQ(storedLine({QStringLiteral("Anna"), 31}),
              units({0x05, 0x05}) + QStringLiteral("0041PPC#)'"));
    EXPECT_EQ(storedLine({units({u'x', 0xE000, 0x00}), -2}),
              units({0x05, u'Z', 0x05}) + QStringLiteral("e000") + units({0x05}) +
                  QStringLiteral("0000##("));
    std::vector<HighScoreEntry> entries;
    NameGenerator generate(31);
    for (int i = 0; i < 3000; ++i)
        entries.push_back({generate.name(true), generate.points()});
    // Long names whose surrogate pairs and escapes fall on every unit around
    // the pieces' ends.
    const QString pair = units({0xD83C, 0xDFB2});
    for (const QString& odd : {pair, units({0xD81E, 0xDC1E}), QStringLiteral("A")}) {
        for (int before = 16'376; before <= 16'386; ++before)
            entries.push_back({QString(before, u'n') + odd + QString(before, u'm') + odd, 1});
    }
    for (const HighScoreEntry& entry : entries) {
        const QString plain =
            encodeScoreLine(entry.name.toString() + u'#' + QString::number(entry.points));
        const QString line = storedLine(entry);
        if (plainReadsBack(entry, plain))
            ASSERT_EQ(line, plain) << ::testing::PrintToString(entry);
        else
            ASSERT_TRUE(line.startsWith(QChar(0x05)) && entryFromLine(line) == entry)
                << ::testing::PrintToString(entry);
    }
    ScopedWorkDir dir;
    for (std::size_t first = 0; first + kHighScoreEntries <= entries.size();
         first += kHighScoreEntries) {
        HighScoreTable table;
        QByteArray expected;
        for (int i = 0; i < kHighScoreEntries; ++i) {
            table[i] = entries[first + i];
            expected += storedLine(table[i]).toUtf8() + "\r\n";
        }
        ASSERT_TRUE(saveHighScores(fileName, table));
        ASSERT_EQ(readBytes(fileName), expected) << "entries from " << first;
    }
}

class HighScoreFileTest : public testing::Test {
  protected:
    ScopedWorkDir dir;
};

TEST_F(HighScoreFileTest, FirstResultCreatesTheFileWithTenLines) {
    HighScoreTable table = loadHighScores(fileName);
    EXPECT_EQ(table, HighScoreTable{});
    recordResults(table, {{QStringLiteral("abc"), 12}});
    ASSERT_TRUE(saveHighScores(fileName, table));
    EXPECT_EQ(readBytes(fileName), abcFile);
}

TEST_F(HighScoreFileTest, NamesWithShiftedLineBreaksSurviveSaveAndLoad) {
    const HighScoreTable table = tableOf({{QStringLiteral("Anna"), 31},
                                          {QStringLiteral("A+B (2)"), -7},
                                          {QStringLiteral(" Bob "), 12}});
    ASSERT_TRUE(saveHighScores(fileName, table));
    const QByteArray bytes = readBytes(fileName);
    EXPECT_EQ(bytes.count("\r\n"), kHighScoreEntries);
    EXPECT_EQ(bytes.count('\r') + bytes.count('\n') + bytes.count('\0'), 2 * kHighScoreEntries);
    EXPECT_EQ(loadHighScores(fileName), table);
}

TEST_F(HighScoreFileTest, RandomTablesSurviveSaveAndLoad) {
    NameGenerator generate(20240611);
    for (int round = 0; round < 400; ++round) {
        HighScoreTable table;
        for (HighScoreEntry& entry : table)
            entry = {generate.name(true), generate.points()};
        ASSERT_TRUE(saveHighScores(fileName, table));
        ASSERT_EQ(loadHighScores(fileName), table) << "round " << round;
    }
}

TEST_F(HighScoreFileTest, ReadsLinesEndedByCrLfCrLfOrNul) {
    const struct {
        QByteArray separator;
        int secondLine;
    } cases[] = {
        {"\r\n", 1}, {"\r", 1},   {"\n", 1},   {QByteArray(1, '\0'), 1},
        {"\r\r", 2}, {"\n\r", 2}, {"\n\n", 2}, {QByteArray("\r\n\0", 3), 2},
    };
    for (const auto& c : cases) {
        HighScoreTable expected = tableOf({{QStringLiteral("abc"), 12}});
        expected[c.secondLine] = {QString(), 1};
        EXPECT_EQ(loadFrom("CDE#'(" + c.separator + "#'"), expected) << c.separator.toHex().data();
    }
}

TEST_F(HighScoreFileTest, LongLinesKeepTheirEnds) {
    // A CR LF split at any likely read-buffer boundary still ends one line.
    std::vector<int> lengths{10'000'000};
    for (const int block : {4096, 16384, 65536, 131072})
        for (int offset = -2; offset <= 1; ++offset)
            lengths.push_back(block + offset);
    for (const int length : lengths) {
        const HighScoreTable expected = tableOf({{QString(length - 3, u'a'), 12}, {QString(), 1}});
        EXPECT_EQ(loadFrom(QByteArray(length - 3, 'C') + "#'(\r\n#'\r\n"), expected) << length;
    }
}

// Lines are read in parts; any bytes, cut anywhere by the parts' ends, give
// the entry that the whole line's text gives: plain lines of any UTF-8,
// broken or not, plain lines whose name fits one byte a unit until a
// character across the first part's end, and escaped lines. Each name runs
// to the points at the end, or to a "#" somewhere in the line.
TEST_F(HighScoreFileTest, LongLinesOfAnyBytesReadAsTheirWholeText) {
    const QByteArray anyUtf8 = "\x80\xBF\x9F\xA0\xC0\xC2\xDF\xE0\xE2\xED\xEF\xBB\xF0\xF4\xF5\xFF"
                               "a";
    const QByteArray escapes = QByteArrayLiteral("\x05") + "a0";
    const QByteArray alphabets[] = {anyUtf8, "aC0", escapes, anyUtf8 + escapes + "F"};
    std::mt19937 random(5);
    for (int file = 0; file < 3; ++file) {
        std::vector<QByteArray> lines;
        QByteArray bytes;
        for (int i = 0; i < kHighScoreEntries; ++i) {
            const QByteArray& alphabet = alphabets[i % std::size(alphabets)];
            QByteArray line(std::uniform_int_distribution<int>(65'536, 200'000)(random), 'a');
            for (char& byte : line)
                byte = alphabet[random() % alphabet.size()];
            if (i % std::size(alphabets) == 1)
                line.insert(65'534 + file % 2, "\xE2\x82\xAC"); // across the first part's end
            if (i % std::size(alphabets) >= 2)
                line[0] = '\x05';
            if (i % 3 == 0)
                line[random() % line.size()] = '#';
            line += "#'(";
            lines.push_back(line);
            bytes += line + "\r\n";
        }
        const HighScoreTable table = loadFrom(bytes);
        for (int i = 0; i < kHighScoreEntries; ++i)
            ASSERT_EQ(table[i], entryFromLine(decodeUtf8KeepingMark(lines[i])))
                << "file " << file << ", line " << i;
    }
}

TEST_F(HighScoreFileTest, ByteOrderMarkAtALineStartIsPartOfTheName) {
    const HighScoreTable expected =
        tableOf({{units({0xFF1D}) + "abc", 12}, {units({0xFF1D}) + "abc", 12}});
    EXPECT_EQ(loadFrom("\xEF\xBB\xBF"
                       "CDE#'(\r\n\xEF\xBB\xBF"
                       "CDE#'("),
              expected);
}

TEST_F(HighScoreFileTest, TwelveLinesLoadAsTenAndSaveAsTen) {
    QByteArray bytes;
    HighScoreTable expected;
    for (int i = 0; i < 12; ++i) {
        bytes += encodeScoreLine(QStringLiteral("p#%1").arg(i)).toUtf8() + "\r\n";
        if (i < kHighScoreEntries)
            expected[i] = {QStringLiteral("p"), static_cast<std::int16_t>(i)};
    }
    const HighScoreTable table = loadFrom(bytes);
    EXPECT_EQ(table, expected);
    ASSERT_TRUE(saveHighScores(fileName, table));
    EXPECT_EQ(readBytes(fileName), bytes.left(bytes.indexOf(encodeScoreLine("p#10").toUtf8())));
}

TEST_F(HighScoreFileTest, AnyBytesLoadAsATableThatSavesAndLoadsAgain) {
    std::mt19937 random(99);
    std::vector<QByteArray> files = {QByteArrayLiteral("\xFF\xFE"
                                                       "CDE#'("),
                                     QByteArray("C\0D\0E", 5),
                                     QByteArrayLiteral("\xC0\x80#\xED\xA0\x80")};
    for (int i = 0; i < 200; ++i) {
        QByteArray bytes(std::uniform_int_distribution<int>(0, 400)(random), '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random());
        files.push_back(bytes);
    }
    for (const QByteArray& bytes : files) {
        const HighScoreTable table = loadFrom(bytes);
        ASSERT_TRUE(saveHighScores(fileName, table));
        ASSERT_EQ(loadHighScores(fileName), table) << bytes.toHex().data();
    }
    // Invalid UTF-8 reads as U+FFFD, which the name shift raises to U+001B.
    EXPECT_EQ(loadFrom("\xFF\xFE"
                       "CDE#'(")[0],
              (HighScoreEntry{units({0x1B, 0x1B}) + "abc", 12}));
}

TEST_F(HighScoreFileTest, MissingOrOddFilesLoadAsEmptyTables) {
    EXPECT_EQ(loadHighScores(fileName), HighScoreTable{});
    ASSERT_TRUE(QDir().mkdir(fileName));
    EXPECT_EQ(loadHighScores(fileName), HighScoreTable{});
    const QString pipe = QStringLiteral("pipe.dat");
    ASSERT_EQ(mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
    EXPECT_EQ(loadHighScores(pipe), HighScoreTable{}); // and does not wait for a writer
}

// Saves the table while the process may write no more than `limit` bytes
// per file, as on a nearly full disk.
bool saveWithFileSizeLimit(const QString& name, const HighScoreTable& table, rlim_t limit) {
    rlimit previous{};
    EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = previous;
    tight.rlim_cur = limit;
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const bool saved = saveHighScores(name, table);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);
    return saved;
}

TEST_F(HighScoreFileTest, FailedSaveLeavesTheOldFile) {
    const HighScoreTable table = tableOf({{QString(200, u'x'), 99}});
    ASSERT_TRUE(QDir().mkdir(QStringLiteral("dir.dat")));
    EXPECT_FALSE(saveHighScores(QStringLiteral("dir.dat"), table));
    EXPECT_TRUE(QFileInfo(QStringLiteral("dir.dat")).isDir());

    writeBytes(fileName, abcFile);
    EXPECT_FALSE(saveWithFileSizeLimit(fileName, table, 16));
    EXPECT_EQ(readBytes(fileName), abcFile);
    EXPECT_EQ(QDir().entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left
}

// No temporary file can be made in a read-only directory (even by root, who
// respects the missing write bits): a writable file there is written in
// place, and a write that fails halfway puts the old bytes back.
TEST_F(HighScoreFileTest, SaveIntoAReadOnlyDirectoryRewritesAWritableFileInPlace) {
    const HighScoreTable table = tableOf({{QString(200, u'x'), 99}});
    const HighScoreTable small = tableOf({{QStringLiteral("x"), 99}});
    writeBytes(fileName, abcFile);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    const bool failed = saveWithFileSizeLimit(fileName, table, abcFile.size() + 16);
    const QByteArray afterFailure = readBytes(fileName);
    const bool saved = saveHighScores(fileName, small);
    const QStringList listing =
        QDir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(failed);
    EXPECT_EQ(afterFailure, abcFile);
    EXPECT_TRUE(saved);
    EXPECT_EQ(loadHighScores(fileName), small);
    EXPECT_EQ(listing, QStringList{fileName});
}

// A save in a read-only folder rewrites the file in place; a load meanwhile
// waits for it instead of reading lines half old and half new.
TEST_F(HighScoreFileTest, LoadWaitsForASaveInProgress) {
    writeBytes(fileName, abcFile);
    std::optional<SaveLock> saving(std::in_place, fileName);
    ASSERT_TRUE(saving->held());
    HighScoreTable loaded;
    std::thread loader([&] { loaded = loadHighScores(fileName); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const HighScoreTable saved = tableOf({{QStringLiteral("x"), 99}});
    writeBytes(fileName, storedLine(saved[0]).toUtf8() + "\r\n");
    saving.reset();
    loader.join();
    EXPECT_EQ(loaded, saved);
}

// Another copy of the game saved a result while this game ran: recording
// this game's results reads the file anew and keeps it.
TEST_F(HighScoreFileTest, FinishedGameKeepsResultsSavedMeanwhileAndTheTableEqualsTheFile) {
    HighScoreTable table = loadHighScores(fileName);
    ASSERT_TRUE(saveHighScores(fileName, tableOf({{QStringLiteral("Anna"), 7}})));
    ASSERT_TRUE(recordFinishedGame(fileName, table, {{QStringLiteral("Arno"), 5}}));
    EXPECT_EQ(table, tableOf({{QStringLiteral("Anna"), 7}, {QStringLiteral("Arno"), 5}}));
    EXPECT_EQ(loadHighScores(fileName), table);

    // A file that cannot be read leaves the results of this run in the table.
    ASSERT_TRUE(QFile::remove(fileName));
    ASSERT_TRUE(QDir().mkdir(fileName));
    EXPECT_FALSE(recordFinishedGame(fileName, table, {{QStringLiteral("Bo"), 9}}));
    EXPECT_EQ(table, tableOf({{QStringLiteral("Anna"), 7},
                              {QStringLiteral("Arno"), 5},
                              {QStringLiteral("Bo"), 9}}));
}

// A file that holds the table's entries keeps the table's order, also when
// its lines are not as this program writes them (a line without "#", lines
// missing): the entries decide, not the bytes.
TEST_F(HighScoreFileTest, FinishedGameKeepsTheTablesOrderWhileTheFileHoldsItsEntries) {
    writeBytes(fileName, "'&\r\nCDE#'(");
    HighScoreTable table = loadHighScores(fileName);
    sortHighScores(table);
    ASSERT_EQ(table, tableOf({{QStringLiteral("abc"), 12}, {QString(), 10}}));
    ASSERT_TRUE(recordFinishedGame(fileName, table, {{QStringLiteral("bo"), 11}}));
    EXPECT_EQ(table,
              tableOf({{QStringLiteral("abc"), 12}, {QString(), 10}, {QStringLiteral("bo"), 11}}));
    EXPECT_EQ(loadHighScores(fileName), table);
}

TEST(HighScoreRecording, ReplacesTheFirstLowestEntryOnlyWhenBeaten) {
    const HighScoreTable before = tableOfPoints({9, 3, 7, 3, 8, 8, 8, 8, 8, 8});
    HighScoreTable table = before;
    recordResults(table, {{QStringLiteral("Eve"), 3}});
    EXPECT_EQ(table, before);
    recordResults(table, {{QStringLiteral("Eve"), 4}});
    HighScoreTable expected = before;
    expected[1] = {QStringLiteral("Eve"), 4};
    EXPECT_EQ(table, expected);
}

TEST(HighScoreRecording, LaterPlayersSeeEarlierPlayersEntries) {
    HighScoreTable table = tableOfPoints({20, 20, 20, 20, 10, 20, 20, 20, 20, 20});
    recordResults(table, {{QStringLiteral("P1"), 15}, {QStringLiteral("P2"), 18}});
    HighScoreTable expected = tableOfPoints({20, 20, 20, 20, 18, 20, 20, 20, 20, 20});
    expected[4].name = QStringLiteral("P2");
    EXPECT_EQ(table, expected);
}

TEST(HighScoreRecording, TheComputerNeverEnters) {
    HighScoreTable table;
    recordResults(table, {{QStringLiteral("Computer"), 50},
                          {QStringLiteral("computer"), 40},
                          {QStringLiteral("Computer "), 30}});
    EXPECT_EQ(table,
              tableOf({{QStringLiteral("computer"), 40}, {QStringLiteral("Computer "), 30}}));
}

TEST(HighScoreRecording, KeepsTotalsWithinSixteenBits) {
    HighScoreTable table;
    recordResults(table, {{QStringLiteral("Max"), 40000}});
    EXPECT_EQ(table[0], (HighScoreEntry{QStringLiteral("Max"), 32767}));
}

TEST(HighScoreSort, OrdersBySignedPointsHighestFirst) {
    HighScoreTable table = tableOf({{QStringLiteral("a"), 12},
                                    {QStringLiteral("b"), 40},
                                    {QStringLiteral("c"), 7},
                                    {QStringLiteral("d"), -3},
                                    {QStringLiteral("e"), 7}});
    sortHighScores(table);
    HighScoreTable expected = tableOf({{QStringLiteral("b"), 40},
                                       {QStringLiteral("a"), 12},
                                       {QStringLiteral("c"), 7},
                                       {QStringLiteral("e"), 7}});
    expected[9] = {QStringLiteral("d"), -3};
    EXPECT_EQ(table, expected);
}

} // namespace
