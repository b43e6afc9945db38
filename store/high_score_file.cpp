#include "store/high_score_file.h"

#include "store/file_save.h"
#include "store/utf8.h"
#include "text/to_integer.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QList>
#include <QStringView>
#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <optional>
#include <utility>

namespace {

constexpr char16_t kSeparator = u'#';
constexpr int kNameShift = 30;
constexpr int kPointsShift = 10;
constexpr char kLineEnd[] = "\r\n";
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

// A name unit as the plain line stores it.
QChar lowered(QChar nameUnit) {
    return QChar(static_cast<char16_t>(nameUnit.unicode() - kNameShift));
}

bool needsEscape(QChar nameUnit) {
    const QChar stored = lowered(nameUnit);
    return nameUnit.isNull() || stored.isNull() || stored == kEscape || stored == u'\n' ||
           stored == u'\r' || stored == kSeparator || stored.isSurrogate();
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

// The name of an escaped line's name part; a U+0005 without four hex digits
// after it (a damaged line) is skipped.
QString unescapedName(QStringView stored) {
    QString name;
    name.reserve(stored.size());
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

// ---- Writing a stored line ------------------------------------------------

// Takes the next piece of a stored line; false to stop the writing.
using TextSink = std::function<bool(QStringView)>;

constexpr qsizetype kPieceUnits = 16 * 1024;

// Gathers a stored line's units and hands them on in pieces of about
// kPieceUnits, never between the halves of a surrogate pair: a line of
// megabytes is never made whole.
class PieceWriter {
  public:
    explicit PieceWriter(const TextSink& sink) : sink_(sink) { piece_.reserve(kPieceUnits + 8); }

    // False once the sink has refused a piece.
    bool append(QChar unit) {
        piece_.append(unit);
        return piece_.size() < kPieceUnits || unit.isHighSurrogate() || handOn();
    }
    bool append(QStringView units) {
        return std::all_of(units.begin(), units.end(), [this](QChar unit) { return append(unit); });
    }
    bool finish() { return piece_.isEmpty() || handOn(); }

  private:
    bool handOn() {
        const bool taken = sink_(piece_);
        piece_.clear();
        return taken;
    }

    const TextSink& sink_;
    QString piece_;
};

// True when the plain line of a name reads back as that name. It does unless
// a unit needs escaping; a unit that lowers onto a surrogate is still carried
// when its neighbour lowers onto the other half of a pair, so the line stays
// valid UTF-16. A name with "#" never reads back (its "#" needs escaping).
bool plainLineCarries(QStringView name) {
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!needsEscape(name[i]))
            continue;
        const bool pairFollows = lowered(name[i]).isHighSurrogate() && i + 1 < name.size() &&
                                 lowered(name[i + 1]).isLowSurrogate();
        if (!pairFollows)
            return false;
        ++i;
    }
    return true;
}

bool appendEscaped(PieceWriter& out, QChar unit) {
    return out.append(kEscape) &&
           out.append(QStringLiteral("%1").arg(unit.unicode(), kEscapeDigits, 16, QChar(u'0')));
}

// The stored line of the entry, piece by piece: the plain scrambled line when
// that reads back as the entry, else the escaped line. False when the sink
// stopped the writing.
bool writeStoredText(const HighScoreEntry& entry, const TextSink& sink) {
    PieceWriter out(sink);
    const bool plain = plainLineCarries(entry.name);
    if (!plain && !out.append(kEscape))
        return false;
    for (const QChar unit : entry.name) {
        const bool written =
            plain || !needsEscape(unit) ? out.append(lowered(unit)) : appendEscaped(out, unit);
        if (!written)
            return false;
    }
    return out.append(encodeScoreLine(kSeparator + QString::number(entry.points))) && out.finish();
}

// The UTF-8 of the entry's stored line, piece by piece (no piece ends inside
// a surrogate pair, so the pieces' UTF-8 is that of the whole line).
bool writeStoredBytes(const HighScoreEntry& entry, const ByteSink& sink) {
    return writeStoredText(entry, [&](QStringView piece) { return sink(piece.toUtf8()); });
}

bool writeTable(const HighScoreTable& table, const ByteSink& sink) {
    return std::all_of(table.begin(), table.end(), [&](const HighScoreEntry& entry) {
        return writeStoredBytes(entry, sink) && sink(kLineEnd);
    });
}

// ---- Reading the file -------------------------------------------------------

bool isLineEnd(char byte) {
    return byte == '\r' || byte == '\n' || byte == '\0';
}

bool isContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// How much of `bytes`, which start where a line or an earlier such part
// ended, decodes on its own exactly as within the whole line: up to the last
// byte that may start a character, or all of it when it ends in three
// continuation bytes (no character is longer than four bytes). Zero when
// that cannot be known yet.
qsizetype completeLength(QByteArrayView bytes) {
    for (qsizetype cut = bytes.size(); cut > bytes.size() - 3; --cut) {
        if (cut == 0)
            return 0;
        if (!isContinuationByte(bytes[cut - 1]))
            return cut - 1;
    }
    return bytes.size();
}

struct LineSpan {
    qint64 start = 0;
    qint64 size = 0;
};

// Where the first `count` lines of the device lie, without their ends. A
// line ends at CR, LF, CR LF or NUL, the last one at the end of the data;
// reading stops once `count` lines have ended or the device gives nothing
// more.
QList<LineSpan> firstLineSpans(QIODevice& device, qsizetype count) {
    QList<LineSpan> spans;
    qint64 chunkStart = 0;
    qint64 lineStart = 0;
    bool afterCr = false;
    while (spans.size() < count) {
        const QByteArray chunk = device.read(kReadChunk);
        if (chunk.isEmpty())
            break;
        const auto offsetOf = [&](const char* at) {
            return chunkStart + (at - chunk.constBegin());
        };
        const char* at = chunk.constBegin();
        while (at != chunk.constEnd() && spans.size() < count) {
            if (std::exchange(afterCr, false) && *at == '\n') {
                lineStart = offsetOf(++at);
                continue;
            }
            const char* end = std::find_if(at, chunk.constEnd(), isLineEnd);
            if (end == chunk.constEnd())
                break;
            spans.append({lineStart, offsetOf(end) - lineStart});
            afterCr = *end == '\r';
            at = end + 1;
            lineStart = offsetOf(at);
        }
        chunkStart += chunk.size();
    }
    if (spans.size() < count && chunkStart > lineStart)
        spans.append({lineStart, chunkStart - lineStart});
    return spans;
}

// The first lines of a high-score file, each read when it is asked for, so
// that no more than one line's text is held at a time. A missing, unreadable
// or odd file has no lines.
class StoredLines {
  public:
    explicit StoredLines(const QString& fileName) : file_(fileName) {
        // Only a regular file: a directory cannot be read and a pipe could block.
        if (QFileInfo(fileName).isFile() && file_.open(QIODevice::ReadOnly))
            spans_ = firstLineSpans(file_, kHighScoreEntries);
    }

    // The text of line i (the empty line past the file's lines), decoded part
    // by part into a string of the line's byte length, which no UTF-8 exceeds
    // in UTF-16 units.
    QString text(qsizetype i) {
        QString text;
        if (i >= spans_.size() || !file_.seek(spans_[i].start))
            return text;
        text.reserve(spans_[i].size);
        QByteArray pending;
        for (qint64 left = spans_[i].size; left > 0;) {
            const QByteArray read = file_.read(std::min(left, kReadChunk));
            if (read.isEmpty())
                break;
            left -= read.size();
            pending += read;
            const qsizetype cut = left > 0 ? completeLength(pending) : pending.size();
            text += decodeUtf8KeepingMark(QByteArrayView(pending).first(cut));
            pending.remove(0, cut);
        }
        text += decodeUtf8KeepingMark(pending);
        return text;
    }

    // True when line i holds exactly the bytes the entry is saved as, which
    // then read back as that entry.
    bool holdsSavedForm(qsizetype i, const HighScoreEntry& entry) {
        if (i >= spans_.size() || !file_.seek(spans_[i].start))
            return false;
        qint64 left = spans_[i].size;
        const bool same = writeStoredBytes(entry, [&](QByteArrayView piece) {
            if (piece.size() > left)
                return false;
            left -= piece.size();
            return file_.read(piece.size()) == piece;
        });
        return same && left == 0;
    }

  private:
    QFile file_;
    QList<LineSpan> spans_;
};

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

HighScoreTable tableFrom(StoredLines& lines) {
    HighScoreTable table;
    for (qsizetype i = 0; i < kHighScoreEntries; ++i)
        table[i] = entryFromStored(lines.text(i));
    return table;
}

// Replaces the table with the lines' entries; the old names are gone before
// the new ones are read, so a long name is never held twice.
void takeTable(StoredLines& lines, HighScoreTable& table) {
    table = {};
    table = tableFrom(lines);
}

// Pairs line i with an entry of the table not paired yet that it holds: by
// its bytes when it is that entry's saved form, else by the entry it reads
// as (a line this program would write otherwise).
bool pairLine(StoredLines& lines, qsizetype i, const HighScoreTable& table,
              std::array<bool, kHighScoreEntries>& paired) {
    const auto pairWith = [&](const auto& holds) {
        for (qsizetype j = 0; j < kHighScoreEntries; ++j) {
            if (!paired[j] && holds(table[j]))
                return paired[j] = true;
        }
        return false;
    };
    if (pairWith([&](const HighScoreEntry& entry) { return lines.holdsSavedForm(i, entry); }))
        return true;
    const HighScoreEntry stored = entryFromStored(lines.text(i));
    return pairWith([&](const HighScoreEntry& entry) { return entry == stored; });
}

// True when the lines hold the table's entries in some order; no more than
// one line's entry is held at a time.
bool holdsEntriesOf(StoredLines& lines, const HighScoreTable& table) {
    std::array<bool, kHighScoreEntries> paired{};
    for (qsizetype i = 0; i < kHighScoreEntries; ++i) {
        if (!pairLine(lines, i, table, paired))
            return false;
    }
    return true;
}

ContentWriter tableContent(const HighScoreTable& table) {
    return [&table](const ByteSink& sink) { return writeTable(table, sink); };
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
    QString line;
    writeStoredText(entry, [&](QStringView piece) {
        line += piece;
        return true;
    });
    return line;
}

HighScoreEntry entryFromLine(const QString& stored) {
    return entryFromStored(stored);
}

HighScoreTable loadHighScores(const QString& fileName) {
    StoredLines lines(fileName);
    return tableFrom(lines);
}

void reloadHighScores(const QString& fileName, HighScoreTable& table) {
    StoredLines lines(fileName);
    takeTable(lines, table);
}

bool saveHighScores(const QString& fileName, const HighScoreTable& table) {
    const SaveLock lock(fileName);
    return saveWholeFile(fileName, tableContent(table), lock);
}

bool recordFinishedGame(const QString& fileName, HighScoreTable& table,
                        const std::vector<std::pair<QString, int>>& playerTotals) {
    const SaveLock lock(fileName);
    const QFileInfo file(fileName);
    if (file.isFile() && file.isReadable()) {
        // The table's own order (the high-score window sorts it) decides
        // which of equal lowest entries a result replaces, and is the order
        // saved; it stays unless the file holds other entries by now.
        StoredLines lines(fileName);
        if (!holdsEntriesOf(lines, table))
            takeTable(lines, table);
    }
    recordResults(table, playerTotals);
    return saveWholeFile(fileName, tableContent(table), lock);
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
