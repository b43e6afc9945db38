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

// The unit moved by delta modulo 65536; a unit that becomes 0 is dropped by
// every walk.
QChar shifted(QChar unit, int delta) {
    return QChar(static_cast<char16_t>(unit.unicode() + delta));
}

void appendShifted(QString& out, QStringView text, int delta) {
    for (const QChar unit : text) {
        if (const QChar moved = shifted(unit, delta); !moved.isNull())
            out.append(moved);
    }
}

// The walk shared by both directions of the scramble.
QString shiftLine(QStringView text, int nameDelta, int pointsDelta) {
    const qsizetype separator = text.indexOf(kSeparator);
    QString out;
    out.reserve(text.size() + 1);
    if (separator >= 0)
        appendShifted(out, text.first(separator), nameDelta);
    out.append(kSeparator);
    appendShifted(out, text.sliced(separator + 1), pointsDelta);
    return out;
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
    return shifted(nameUnit, -kNameShift);
}

bool needsEscape(QChar nameUnit) {
    const QChar stored = lowered(nameUnit);
    return nameUnit.isNull() || stored.isNull() || stored == kEscape || stored == u'\n' ||
           stored == u'\r' || stored == kSeparator || stored.isSurrogate();
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
bool plainLineCarries(const HighScoreName& name) {
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!needsEscape(name.at(i)))
            continue;
        const bool pairFollows = lowered(name.at(i)).isHighSurrogate() && i + 1 < name.size() &&
                                 lowered(name.at(i + 1)).isLowSurrogate();
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
    for (qsizetype i = 0; i < entry.name.size(); ++i) {
        const QChar unit = entry.name.at(i);
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
    qint64 separator = -1; // where its first "#" is, from its start
};

// Where the first `count` lines of the device lie, without their ends. A
// line ends at CR, LF, CR LF or NUL, the last one at the end of the data;
// reading stops once `count` lines have ended or the device gives nothing
// more.
QList<LineSpan> firstLineSpans(QIODevice& device, qsizetype count) {
    QList<LineSpan> spans;
    qint64 chunkStart = 0;
    LineSpan line;
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
                line.start = offsetOf(++at);
                continue;
            }
            const char* end = std::find_if(at, chunk.constEnd(), isLineEnd);
            if (const char* hash = line.separator < 0 ? std::find(at, end, '#') : end; hash != end)
                line.separator = offsetOf(hash) - line.start;
            if (end == chunk.constEnd())
                break;
            line.size = offsetOf(end) - line.start;
            spans.append(std::exchange(line, {}));
            afterCr = *end == '\r';
            at = end + 1;
            line.start = offsetOf(at);
        }
        chunkStart += chunk.size();
    }
    if (spans.size() < count && chunkStart > line.start) {
        line.size = chunkStart - line.start;
        spans.append(line);
    }
    return spans;
}

// ---- Reading a stored line ----------------------------------------------

enum class NameForm { Narrow, Wide };

// Gathers a name a unit at a time, in the one form it is told.
class NameBuilder {
  public:
    NameBuilder(NameForm form, qsizetype capacity) : form_(form) {
        if (form == NameForm::Wide)
            wide_.reserve(capacity);
        else
            narrow_.reserve(capacity);
    }

    bool fits(QChar unit) const { return form_ == NameForm::Wide || unit.unicode() <= 0xFF; }

    // False when the unit does not fit.
    bool append(QChar unit) {
        if (!fits(unit))
            return false;
        if (form_ == NameForm::Wide)
            wide_.append(unit);
        else
            narrow_.append(static_cast<char>(unit.unicode()));
        return true;
    }

    // Appends units that all fit once raised by `shift`, at once.
    void appendRaisedRun(QStringView units, int shift) {
        const auto raise = [shift](QChar unit) { return shifted(unit, shift); };
        if (form_ == NameForm::Wide) {
            const qsizetype at = wide_.size();
            wide_.resize(at + units.size());
            std::transform(units.begin(), units.end(), wide_.begin() + at, raise);
        } else {
            const qsizetype at = narrow_.size();
            narrow_.resize(at + units.size());
            std::transform(units.begin(), units.end(), narrow_.begin() + at,
                           [&](QChar unit) { return static_cast<char>(raise(unit).unicode()); });
        }
    }

    // The name, holding no more memory than its units need.
    HighScoreName take() {
        narrow_.squeeze();
        wide_.squeeze();
        return form_ == NameForm::Wide ? HighScoreName(std::exchange(wide_, {}))
                                       : HighScoreName(std::exchange(narrow_, {}));
    }

  private:
    NameForm form_;
    QByteArray narrow_;
    QString wide_;
};

// Reads the entry of a stored line from its units, handed over in parts in
// their order, so a line of megabytes is never held whole. A plain line
// reads as lineName and linePoints of its decodeScoreLine. In an escaped
// line's name a U+0005 without four hex digits after it is skipped.
class EntryReader {
  public:
    // hasSeparator: whether the line holds a "#".
    EntryReader(bool hasSeparator, NameForm form, qsizetype nameCapacity)
        : beforeSeparator_(hasSeparator), toName_(hasSeparator), name_(form, nameCapacity) {}

    // False once the rest of the line does not count, or the name does not
    // fit its form.
    bool read(QStringView part) {
        for (qsizetype i = 0; i < part.size();) {
            if (const qsizetype run = plainNameRun(part.sliced(i)); run > 0) {
                name_.appendRaisedRun(part.sliced(i, run), kNameShift);
                i += run;
            } else if (!read(part[i++])) {
                return false;
            }
        }
        return true;
    }

    // The entry read, or nothing when its name does not fit the form.
    std::optional<HighScoreEntry> take() {
        if (!endEscape() || !fits_)
            return std::nullopt;
        return HighScoreEntry{name_.take(), static_cast<std::int16_t>(points_.value())};
    }

  private:
    bool read(QChar unit) {
        if (std::exchange(atStart_, false) && unit == kEscape) {
            // An escaped line's name runs to its first "#", or to its end.
            escaped_ = beforeSeparator_ = true;
            return true;
        }
        const bool separator = beforeSeparator_ && unit == kSeparator;
        if (separator) {
            beforeSeparator_ = false;
            if (escaped_) {
                toName_ = false;
                return endEscape();
            }
        } else if (escaped_ && beforeSeparator_) {
            return readEscapedName(unit);
        }
        const int shift = beforeSeparator_ ? kNameShift : kPointsShift;
        return readDecoded(separator ? QChar(kSeparator) : shifted(unit, shift));
    }

    // How many units at the start of `units` are a plain line's name units
    // that are only raised: none dropped, none ending the name, all fitting
    // it. Names of megabytes are read as such runs.
    qsizetype plainNameRun(QStringView units) const {
        if (atStart_ || escaped_ || !beforeSeparator_ || !toName_ || !fits_)
            return 0;
        const auto isRaisedOnly = [this](QChar unit) {
            const QChar name = shifted(unit, kNameShift);
            return unit != kSeparator && !name.isNull() && name != kSeparator && name_.fits(name);
        };
        return std::find_if_not(units.begin(), units.end(), isRaisedOnly) - units.begin();
    }

    // A unit of the decoded line; its first "#" ends the name.
    bool readDecoded(QChar unit) {
        if (unit.isNull())
            return true; // dropped
        if (!toName_)
            return points_.read(unit);
        if (unit == kSeparator) {
            toName_ = false;
            return true;
        }
        return appendToName(unit);
    }

    bool appendToName(QChar unit) {
        fits_ = fits_ && name_.append(unit);
        return fits_;
    }

    bool appendRaised(QChar unit) {
        const QChar raised = shifted(unit, kNameShift);
        return raised.isNull() || appendToName(raised);
    }

    bool readEscapedName(QChar unit) {
        if (!escaping_) {
            escaping_ = unit == kEscape;
            return escaping_ || appendRaised(unit);
        }
        const int digit = digitValue(unit, 16);
        if (digit < 0)
            return endEscape() && readEscapedName(unit);
        code_ = static_cast<char16_t>(code_ * 16 + digit);
        digits_.append(unit);
        if (digits_.size() < kEscapeDigits)
            return true;
        const QChar code(std::exchange(code_, 0));
        escaping_ = false;
        digits_.clear();
        return appendToName(code);
    }

    // Ends an escape still waiting for digits: it is skipped, and the digits
    // after it are name units.
    bool endEscape() {
        escaping_ = false;
        code_ = 0;
        const QString digits = std::exchange(digits_, {});
        return std::all_of(digits.begin(), digits.end(),
                           [this](QChar digit) { return appendRaised(digit); });
    }

    bool atStart_ = true;
    bool escaped_ = false;  // the line starts with U+0005
    bool beforeSeparator_;  // the stored line's first "#" may still come
    bool toName_;           // the decoded line's first "#" may still come
    bool fits_ = true;      // every name unit so far fitted the name's form
    bool escaping_ = false; // an escape's U+0005 waits for its digits
    char16_t code_ = 0;     // the value of those digits so far
    QString digits_;
    NameBuilder name_;
    IntegerReader points_;
};

// The entry of a stored line: `feed` hands the line's units to a reader. The
// name is read in the narrow form first, and again in the wide form when it
// does not fit; the narrow one is gone before that.
template <class Feed>
std::optional<HighScoreEntry> readEntryAs(NameForm form, bool hasSeparator, qsizetype nameCapacity,
                                          const Feed& feed) {
    EntryReader reader(hasSeparator, form, nameCapacity);
    feed(reader);
    return reader.take();
}

template <class Feed>
HighScoreEntry readEntry(bool hasSeparator, qsizetype nameCapacity, const Feed& feed) {
    if (auto entry = readEntryAs(NameForm::Narrow, hasSeparator, nameCapacity, feed))
        return *std::move(entry);
    return readEntryAs(NameForm::Wide, hasSeparator, nameCapacity, feed).value();
}

// The first lines of a high-score file, each read when it is asked for, so
// that no more than one line's entry is held at a time. A missing,
// unreadable or odd file has no lines.
class StoredLines {
  public:
    explicit StoredLines(const QString& fileName) : file_(fileName) {
        // Only a regular file: a directory cannot be read and a pipe could block.
        if (QFileInfo(fileName).isFile() && file_.open(QIODevice::ReadOnly))
            spans_ = firstLineSpans(file_, kHighScoreEntries);
    }

    // The entry of line i (an empty one past the file's lines). The name
    // takes no more units than the bytes before the "#", nor than the line's.
    HighScoreEntry entry(qsizetype i) {
        if (i >= spans_.size())
            return {};
        const LineSpan span = spans_[i];
        const qint64 nameBytes = span.separator < 0 ? span.size : span.separator;
        return readEntry(span.separator >= 0, nameBytes,
                         [&](EntryReader& reader) { feedLine(span, reader); });
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
    // Hands the line's text to the reader part by part, each part cut where
    // it decodes as within the whole line, until the reader wants no more.
    void feedLine(const LineSpan& span, EntryReader& reader) {
        if (!file_.seek(span.start))
            return;
        QByteArray pending;
        for (qint64 left = span.size; left > 0;) {
            const QByteArray read = file_.read(std::min(left, kReadChunk));
            if (read.isEmpty())
                break;
            left -= read.size();
            pending += read;
            const qsizetype cut = left > 0 ? completeLength(pending) : pending.size();
            if (!reader.read(decodeUtf8KeepingMark(QByteArrayView(pending).first(cut))))
                return;
            pending.remove(0, cut);
        }
        reader.read(decodeUtf8KeepingMark(pending));
    }

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

HighScoreTable tableFrom(StoredLines& lines) {
    HighScoreTable table;
    for (qsizetype i = 0; i < kHighScoreEntries; ++i)
        table[i] = lines.entry(i);
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
    const HighScoreEntry stored = lines.entry(i);
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

HighScoreName::HighScoreName(const QString& text) {
    if (std::all_of(text.begin(), text.end(), [](QChar unit) { return unit.unicode() <= 0xFF; }))
        narrow_ = text.toLatin1();
    else
        wide_ = text;
}

QString HighScoreName::first(qsizetype count) const {
    return wide_.isEmpty() ? QString::fromLatin1(narrow_.left(count)) : wide_.left(count);
}

QString HighScoreName::toString() const {
    return wide_.isEmpty() ? QString::fromLatin1(narrow_) : wide_;
}

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
    return readEntry(stored.contains(kSeparator), stored.size(),
                     [&](EntryReader& reader) { reader.read(stored); });
}

HighScoreTable loadHighScores(const QString& fileName) {
    const SaveLock reading(fileName, LockUse::Reading);
    StoredLines lines(fileName);
    return tableFrom(lines);
}

void reloadHighScores(const QString& fileName, HighScoreTable& table) {
    const SaveLock reading(fileName, LockUse::Reading);
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
