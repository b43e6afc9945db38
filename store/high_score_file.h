#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

// The name of a high-score entry. A name whose units all lie below U+0100,
// as a name in Latin letters does, is held one byte a unit: a damaged file
// can give a name of megabytes. Each name has one form, so names are equal
// exactly when their forms are.
class HighScoreName {
  public:
    HighScoreName() = default;
    HighScoreName(const QString& text); // NOLINT(google-explicit-constructor): a name is text
    // The name of these Latin-1 units.
    explicit HighScoreName(QByteArray latin1) : narrow_(std::move(latin1)) {}

    qsizetype size() const { return wide_.isEmpty() ? narrow_.size() : wide_.size(); }
    QChar at(qsizetype i) const {
        return wide_.isEmpty() ? QChar(QLatin1Char(narrow_.at(i))) : wide_.at(i);
    }
    // Its first `count` units (all of it when shorter).
    QString first(qsizetype count) const;
    QString toString() const;
    bool operator==(const HighScoreName&) const = default;

  private:
    QByteArray narrow_;
    QString wide_; // only when some unit is U+0100 or above
};

// One entry of the high-score table.
struct HighScoreEntry {
    HighScoreName name;
    std::int16_t points = 0;
    bool operator==(const HighScoreEntry&) const = default;
};

inline constexpr int kHighScoreEntries = 10;

// The computer player's name; results under exactly this name are never recorded.
inline constexpr char16_t kComputerName[] = u"Computer";
using HighScoreTable = std::array<HighScoreEntry, kHighScoreEntries>;

// The file in the working directory that keeps the table from run to run.
inline constexpr char kHighScoreFileName[] = "highscores.dat";

// The score-line scramble, on 16-bit code units modulo 65536. Before the
// first "#" codes are lowered by 30, after it by 10; text without "#" becomes
// "#" followed by all of it lowered by 10. Units that become 0 are dropped.
QString encodeScoreLine(const QString& text);

// The inverse walk: raises by 30 before the first "#" and by 10 after it;
// stored text without "#" becomes "#" followed by all of it raised by 10.
QString decodeScoreLine(const QString& stored);

// The text before the first "#" of a decoded line; empty when there is none.
QString lineName(const QString& decoded);

// toInteger of the text after the first "#" (of all of it without "#"),
// kept as its low 16 bits, signed.
std::int16_t linePoints(const QString& decoded);

// The stored line of an entry, without line end: the plain scrambled line
// whenever that reads back as the same entry, else the escaped form that does.
QString storedLine(const HighScoreEntry& entry);

// The entry a stored line (without line end) holds; any text gives an entry.
HighScoreEntry entryFromLine(const QString& stored);

// The ten entries of the file, read under a reading SaveLock. Lines beyond
// the tenth are ignored, missing lines give empty entries; a missing,
// unreadable or odd file gives ten.
HighScoreTable loadHighScores(const QString& fileName);

// Empties the table, then loads it from the file as loadHighScores does:
// the old names are gone before the file's are read.
void reloadHighScores(const QString& fileName, HighScoreTable& table);

// Replaces the file with the table's ten lines (UTF-8, CR LF, no BOM) with
// saveWholeFile, under the SaveLock. False when that failed; the old file
// then stays as it was.
bool saveHighScores(const QString& fileName, const HighScoreTable& table);

// The end of a game: under the SaveLock, compares the file's entries, one
// line at a time, with `table`'s and takes the file's table when they differ
// (another copy of the game saved meanwhile), records the results and saves.
// A file that cannot be read leaves `table` as it is. `table` ends as saved.
// False when the save failed.
bool recordFinishedGame(const QString& fileName, HighScoreTable& table,
                        const std::vector<std::pair<QString, int>>& playerTotals);

// Enters a finished game's results, one (name, total) per player in player
// order: each total above the table's lowest points replaces the first entry
// with those points, except for the computer player "Computer". Does not save.
void recordResults(HighScoreTable& table, const std::vector<std::pair<QString, int>>& playerTotals);

// Orders the table by points, highest first; equal points keep their order.
void sortHighScores(HighScoreTable& table);
