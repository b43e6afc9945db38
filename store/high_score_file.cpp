#include "store/high_score_file.h"

#include "store/file_save.h"
#include "store/utf8.h"
#include "text/to_integer.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStringView>
#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

namespace {

constexpr char16_t kSeparator = u'#';
constexpr int kNameShift = 30;
constexpr int kPointsShift = 10;
const QString kLineEnd = QStringLiteral("\r\n");
constexpr qint64 kReadChunk = 64 * 1024;

// ---- The plain scramble -------------------------------------------------

// Appends the unit moved by delta modulo 65536, unless it becomes 0.
void appendShifted(QString& out, QChar unit, int delta) {
    const auto code = static_cast<char16_t>(unit.unicode() + delta);
    if (code != 0)
        out.append(QChar(code));
}

void appendShifted(QString& out, QStringView text, int delta) {
    for (const QChar unit : text)
        appendShifted(out, unit, delta);
}

// The walk shared by both directions of the scramble. With a "#" the result
// is never longer than the text, so the walk happens in the text's own
// buffer: a line of megabytes is not held twice.
QString shiftLine(QString text, int nameDelta, int pointsDelta) {
    const qsizetype separator = text.indexOf(kSeparator);
    if (separator < 0) {
        QString out;
        out.reserve(text.size() + 1);
        out.append(kSeparator);
        appendShifted(out, text, pointsDelta);
        return out;
    }
    QChar* units = text.data();
    qsizetype kept = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int delta = i < separator ? nameDelta : pointsDelta;
        const auto code =
            i == separator ? kSeparator : static_cast<char16_t>(units[i].unicode() + delta);
        if (code != 0)
            units[kept++] = QChar(code);
    }
    text.truncate(kept);
    return text;
}

// ---- Escaped lines ------------------------------------------------------
//
// The plain line cannot carry every name. Lowered by 30, "A" becomes "#" and
// the reader splits the name there; "+" and "(" become CR and LF and cut the
// line in two; U+001E becomes 0 and is dropped; and a surrogate the shift
// leaves without its partner cannot be written as UTF-8. An entry whose plain
// line would not read back as itself is stored instead as
//
//     U+0005, the name, "#", the points part of the plain line
//
// where U+0000 (which the raise back would turn into 0 and drop) and each
// name unit that would lower onto 0, U+0005, LF, CR, "#" or a surrogate is
// written as U+0005 and its own code in four hex digits, and every other unit
// is lowered by 30 as usual.
//
// U+0005 is what "#" becomes when lowered by 30. Names never hold "#" (the
// set-up dialog refuses it), and the points part only holds "#" and "&" to
// "/", so no plain line ever written, nor any piece of one cut at a CR or
// LF, contains U+0005: a line that starts with it was never a plain line,
// and every plain line keeps its old meaning.

constexpr char16_t kEscape = u'\x05';
constexpr int kEscapeDigits = 4;

bool needsEscape(QChar nameUnit) {
    const auto lowered = static_cast<char16_t>(nameUnit.unicode() - kNameShift);
    return nameUnit.isNull() || lowered == 0 || lowered == kEscape || lowered == u'\n' ||
           lowered == u'\r' || lowered == kSeparator || QChar::isSurrogate(lowered);
}

std::optional<char16_t> hexUnit(QStringView digits) {
    if (digits.size() != kEscapeDigits)
        return std::nullopt;
    char16_t code = 0;
    for (const QChar digit : digits) {
        const int value = digitValue(digit, 16);
        if (value < 0)
            return std::nullopt;
        code = static_cast<char16_t>(code * 16 + value);
    }
    return code;
}

QString escapedLine(const HighScoreEntry& entry) {
    QString out(kEscape);
    for (const QChar unit : entry.name) {
        if (needsEscape(unit)) {
            out.append(kEscape);
            out.append(QStringLiteral("%1").arg(unit.unicode(), kEscapeDigits, 16, QChar(u'0')));
        } else {
            appendShifted(out, unit, -kNameShift);
        }
    }
    out.append(encodeScoreLine(kSeparator + QString::number(entry.points)));
    return out;
}

// The name of an escaped line's name part; a U+0005 without four hex digits
// after it (a damaged line) is skipped.
QString unescapedName(QStringView stored) {
    QString name;
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (stored[i] != kEscape) {
            appendShifted(name, stored[i], kNameShift);
        } else if (const auto code = hexUnit(stored.mid(i + 1, kEscapeDigits))) {
            name.append(QChar(*code));
            i += kEscapeDigits;
        }
    }
    return name;
}

// An escaped line, its leading U+0005 already removed.
HighScoreEntry entryFromEscapedLine(QStringView stored) {
    const qsizetype separator = stored.indexOf(kSeparator);
    if (separator < 0)
        return {unescapedName(stored), 0};
    return {unescapedName(stored.left(separator)),
            linePoints(decodeScoreLine(stored.mid(separator).toString()))};
}

// ---- The file -----------------------------------------------------------

bool isLineEnd(char byte) {
    return byte == '\r' || byte == '\n' || byte == '\0';
}

// True when the line, written as UTF-8 and read back, gives the entry again.
bool readsBackAs(const QString& line, const HighScoreEntry& entry) {
    const bool oneLine = std::none_of(line.begin(), line.end(), [](QChar unit) {
        return unit.unicode() < 0x80 && isLineEnd(static_cast<char>(unit.unicode()));
    });
    return oneLine && decodeUtf8KeepingMark(line.toUtf8()) == line && entryFromLine(line) == entry;
}

// The first `count` lines of the device, without their ends. A line ends at
// CR, LF, CR LF or NUL, the last one at the end of the data; reading stops
// once `count` lines have ended or the device gives nothing more.
QList<QByteArray> readFirstLines(QIODevice& device, qsizetype count) {
    QList<QByteArray> lines;
    QByteArray current;
    bool afterCr = false;
    while (lines.size() < count) {
        const QByteArray chunk = device.read(kReadChunk);
        if (chunk.isEmpty())
            break;
        const char* at = chunk.constBegin();
        while (at != chunk.constEnd() && lines.size() < count) {
            if (std::exchange(afterCr, false) && *at == '\n') {
                ++at;
                continue;
            }
            const char* end = std::find_if(at, chunk.constEnd(), isLineEnd);
            current.append(at, end - at);
            if (end == chunk.constEnd())
                break;
            lines.append(std::exchange(current, QByteArray()));
            afterCr = *end == '\r';
            at = end + 1;
        }
    }
    if (lines.size() < count && !current.isEmpty())
        lines.append(current);
    return lines;
}

QByteArray fileBytes(const HighScoreTable& table) {
    QString text;
    for (const HighScoreEntry& entry : table)
        text += storedLine(entry) + kLineEnd;
    return text.toUtf8();
}

std::int16_t storablePoints(int total) {
    // Totals beyond the 16-bit range keep the nearest value the file can hold.
    return static_cast<std::int16_t>(std::clamp<int>(
        total, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()));
}

bool lowerPoints(const HighScoreEntry& a, const HighScoreEntry& b) {
    return a.points < b.points;
}

// entryFromLine on a line it may use up: the name is the decoded line cut
// at its "#", in the same buffer.
HighScoreEntry entryFromStored(QString stored) {
    if (stored.startsWith(kEscape))
        return entryFromEscapedLine(QStringView(stored).mid(1));
    QString decoded = shiftLine(std::move(stored), kNameShift, kPointsShift);
    const std::int16_t points = linePoints(decoded);
    decoded.truncate(std::max<qsizetype>(decoded.indexOf(kSeparator), 0));
    return {std::move(decoded), points};
}

} // namespace

QString encodeScoreLine(const QString& text) {
    return shiftLine(text, -kNameShift, -kPointsShift);
}

QString decodeScoreLine(const QString& stored) {
    return shiftLine(stored, kNameShift, kPointsShift);
}

QString lineName(const QString& decoded) {
    const qsizetype separator = decoded.indexOf(kSeparator);
    return separator < 0 ? QString() : decoded.left(separator);
}

std::int16_t linePoints(const QString& decoded) {
    const qsizetype separator = decoded.indexOf(kSeparator);
    const int value = toInteger(separator < 0 ? decoded : decoded.mid(separator + 1));
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
}

QString storedLine(const HighScoreEntry& entry) {
    const QString plain = encodeScoreLine(entry.name + kSeparator + QString::number(entry.points));
    return readsBackAs(plain, entry) ? plain : escapedLine(entry);
}

HighScoreEntry entryFromLine(const QString& stored) {
    return entryFromStored(stored);
}

HighScoreTable loadHighScores(const QString& fileName) {
    QList<QByteArray> lines;
    QFile file(fileName);
    // Only a regular file: a directory cannot be read and a pipe could block.
    if (QFileInfo(fileName).isFile() && file.open(QIODevice::ReadOnly))
        lines = readFirstLines(file, kHighScoreEntries);
    HighScoreTable table;
    for (qsizetype i = 0; i < kHighScoreEntries; ++i) {
        // The bytes of a line go once they are text.
        QString stored =
            i < lines.size() ? decodeUtf8KeepingMark(std::exchange(lines[i], {})) : QString();
        table[i] = entryFromStored(std::move(stored));
    }
    return table;
}

bool saveHighScores(const QString& fileName, const HighScoreTable& table) {
    const SaveLock lock(fileName);
    return saveWholeFile(fileName, fileBytes(table), lock);
}

bool recordFinishedGame(const QString& fileName, HighScoreTable& table,
                        const std::vector<std::pair<QString, int>>& playerTotals) {
    const SaveLock lock(fileName);
    const QFileInfo file(fileName);
    if (file.isFile() && file.isReadable()) {
        // The table's own order (the high-score window sorts it) decides
        // which of equal lowest entries a result replaces, and is the order
        // saved; it stays unless the file holds other entries by now.
        const HighScoreTable onDisk = loadHighScores(fileName);
        if (!std::is_permutation(onDisk.begin(), onDisk.end(), table.begin(), table.end()))
            table = onDisk;
    }
    recordResults(table, playerTotals);
    return saveWholeFile(fileName, fileBytes(table), lock);
}

void recordResults(HighScoreTable& table,
                   const std::vector<std::pair<QString, int>>& playerTotals) {
    for (const auto& [name, total] : playerTotals) {
        if (name == QStringView(kComputerName))
            continue;
        // min_element finds the first of several equal lowest entries.
        const auto lowest = std::min_element(table.begin(), table.end(), lowerPoints);
        if (total > lowest->points)
            *lowest = {name, storablePoints(total)};
    }
}

void sortHighScores(HighScoreTable& table) {
    std::stable_sort(
        table.begin(), table.end(),
        [](const HighScoreEntry& a, const HighScoreEntry& b) { return lowerPoints(b, a); });
}
