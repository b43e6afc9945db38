// The score-line scramble and the high-score file. The fuzz input is read
// three ways: as text for the scramble and as a stored line, as an entry to
// store, and as highscores.dat. Every entry whose name holds no "#" (names
// never do) must come back unchanged through its stored line and the file.

#include "fuzz_support.h"
#include "store/high_score_file.h"

#include <QStringView>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace {

const QString kFileName = QString::fromLatin1(kHighScoreFileName);
constexpr char16_t kSeparator = u'#';
// How far the scramble lowers the name and the points part of a line.
constexpr int kNameShift = 30;
constexpr int kPointsShift = 10;

bool hasSeparator(const HighScoreEntry& entry) {
    return entry.name.toString().contains(kSeparator);
}

// The text before the first "#" and the text after it; all of it is the
// second part when there is no "#".
std::pair<QStringView, QStringView> parts(const QString& text) {
    const qsizetype separator = text.indexOf(kSeparator);
    if (separator < 0)
        return {QStringView(), QStringView(text)};
    return {QStringView(text).left(separator), QStringView(text).mid(separator + 1)};
}

QString withSeparator(const QString& text) {
    return text.contains(kSeparator) ? text : kSeparator + text;
}

// A shift is undone unless a unit is or becomes 0 (both directions drop
// units that become 0) or a name unit becomes "#", which moves the split.
bool shiftIsUndone(const QString& text, int nameDelta, int pointsDelta) {
    const auto lost = [](QChar unit, int delta) {
        return unit.isNull() || static_cast<char16_t>(unit.unicode() + delta) == 0;
    };
    const auto [name, points] = parts(text);
    for (const QChar unit : name) {
        if (lost(unit, nameDelta) ||
            static_cast<char16_t>(unit.unicode() + nameDelta) == kSeparator)
            return false;
    }
    return std::none_of(points.begin(), points.end(),
                        [&](QChar unit) { return lost(unit, pointsDelta); });
}

void checkScramble(const QString& text) {
    if (shiftIsUndone(text, -kNameShift, -kPointsShift))
        FUZZ_CHECK(decodeScoreLine(encodeScoreLine(text)) == withSeparator(text));
    if (shiftIsUndone(text, kNameShift, kPointsShift))
        FUZZ_CHECK(encodeScoreLine(decodeScoreLine(text)) == withSeparator(text));
}

// A plain line (one that does not start with U+0005) holds the name and the
// points of its decoded line.
void checkPlainLine(const QString& stored) {
    if (stored.startsWith(QChar(0x05)))
        return;
    const QString decoded = decodeScoreLine(stored);
    FUZZ_CHECK(entryFromLine(stored) == (HighScoreEntry{lineName(decoded), linePoints(decoded)}));
}

void checkStoredLine(const HighScoreEntry& entry) {
    if (!hasSeparator(entry))
        FUZZ_CHECK(entryFromLine(storedLine(entry)) == entry);
}

// Saves the table and loads it again; entries without "#" come back.
void checkFileRoundTrip(const HighScoreTable& table) {
    FUZZ_CHECK(saveHighScores(kFileName, table));
    const HighScoreTable loaded = loadHighScores(kFileName);
    for (int i = 0; i < kHighScoreEntries; ++i) {
        if (!hasSeparator(table[i]))
            FUZZ_CHECK(loaded[i] == table[i]);
    }
}

// An entry from the input: the first two bytes are the points, the rest the
// name's code units with every "#" taken out.
HighScoreEntry inputEntry(const std::uint8_t* data, std::size_t size) {
    HighScoreEntry entry;
    if (size < sizeof entry.points)
        return entry;
    std::memcpy(&entry.points, data, sizeof entry.points);
    entry.name =
        inputUnits(data + sizeof entry.points, size - sizeof entry.points).remove(kSeparator);
    return entry;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterScratchDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkScramble(inputUnits(data, size));
    checkPlainLine(inputUnits(data, size));
    checkScramble(QString::fromUtf8(inputBytes(data, size)));

    writeFileBytes(kFileName, inputBytes(data, size));
    HighScoreTable table = loadHighScores(kFileName);
    for (const HighScoreEntry& entry : table)
        checkStoredLine(entry);

    const HighScoreEntry made = inputEntry(data, size);
    checkStoredLine(made);
    table[size % kHighScoreEntries] = made;
    checkFileRoundTrip(table);
    return 0;
}
