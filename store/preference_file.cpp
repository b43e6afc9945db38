#include "store/preference_file.h"

#include "store/file_save.h"
#include "store/utf8.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace {

enum class EntryKind { Comment, Group, Key };

// One non-blank line of a preference file, as views into the file's text.
struct Line {
    EntryKind kind;
    QByteArrayView text;  // comment text, group name or key
    QByteArrayView value; // key entries only: after the "=", leading blanks skipped
};

// A key written since the file was opened, as UTF-8 without line ends.
struct Written {
    QByteArray key;
    QByteArray value;
};

struct PreferenceFile {
    QString fileName;
    PreferenceText text;          // the file as read; never changed
    std::vector<Written> written; // in the order first written
    bool utf8Mark = true; // a rewrite starts with the byte-order mark, as any beyond ASCII does
    bool modified = false;
};

// The one current preference file; empty while nothing is open.
std::optional<PreferenceFile> current;

constexpr QByteArrayView byteOrderMark("\xEF\xBB\xBF");
constexpr QByteArrayView lineBreak("\r\n");

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

QByteArrayView skipLeadingBlanks(QByteArrayView text) {
    return {std::find_if_not(text.begin(), text.end(), isBlank), text.end()};
}

QByteArrayView dropTrailingBlanks(QByteArrayView text) {
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// The part of text before the first `stop`, or all of it.
QByteArrayView upTo(QByteArrayView text, char stop) {
    return {text.begin(), std::find(text.begin(), text.end(), stop)};
}

// Parses a line whose leading blanks are gone and that holds at least one byte.
Line parseLine(QByteArrayView line) {
    const QByteArrayView rest = line.sliced(1);
    switch (line.front()) {
    case ';':
        return {
            EntryKind::Comment, !rest.isEmpty() && rest.front() == ' ' ? rest.sliced(1) : rest, {}};
    case '[':
        return {EntryKind::Group, upTo(rest, ']'), {}};
    default: {
        const QByteArrayView key = upTo(line, '=');
        const QByteArrayView value = key.size() < line.size()
                                         ? skipLeadingBlanks(line.sliced(key.size() + 1))
                                         : QByteArrayView();
        return {EntryKind::Key, dropTrailingBlanks(key), value};
    }
    }
}

// The first line end (CR or LF) at or after `from`. The next CR and the next
// LF are each found by memchr and remembered until passed, so a file of
// millions of lines is walked at memchr's pace.
class LineEnds {
  public:
    explicit LineEnds(QByteArrayView text)
        : end_(text.end()), cr_(find(text.begin(), '\r')), lf_(find(text.begin(), '\n')) {}

    const char* after(const char* from) {
        if (cr_ < from)
            cr_ = find(from, '\r');
        if (lf_ < from)
            lf_ = find(from, '\n');
        return std::min(cr_, lf_);
    }

  private:
    const char* find(const char* from, char c) const {
        if (from == end_)
            return end_;
        const void* found = std::memchr(from, c, static_cast<std::size_t>(end_ - from));
        return found ? static_cast<const char*>(found) : end_;
    }

    const char* end_;
    const char* cr_;
    const char* lf_;
};

// Calls visit(line) for each non-blank line, its leading blanks skipped, in
// order while it returns true. Any run of CR and LF bytes ends a line.
template <typename Visit> void forEachRawLine(QByteArrayView text, Visit visit) {
    LineEnds ends(text);
    const char* position = text.begin();
    while (position != text.end()) {
        const char* end = ends.after(position);
        const QByteArrayView line = skipLeadingBlanks({position, end});
        if (!line.isEmpty() && !visit(line))
            return;
        position = std::find_if_not(end, text.end(), isLineEnd);
    }
}

// The same, each line parsed.
template <typename Visit> void forEachLine(QByteArrayView text, Visit visit) {
    forEachRawLine(text, [&visit](QByteArrayView line) { return visit(parseLine(line)); });
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool sameKey(QByteArrayView a, QByteArrayView b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

bool isAscii(QByteArrayView text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Appends ISO 8859-1 text as UTF-8.
void appendLatin1AsUtf8(QByteArray& out, QByteArrayView text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out.append(c);
        } else {
            out.append(char(0xC0 | byte >> 6));
            out.append(char(0x80 | (byte & 0x3F)));
        }
    }
}

// A line end inside a written text would turn the rest into lines of their own.
QByteArray oneLine(const QString& text) {
    QByteArray bytes = text.toUtf8();
    std::replace_if(bytes.begin(), bytes.end(), isLineEnd, ' ');
    return bytes;
}

std::vector<Written>::iterator findWritten(std::vector<Written>& written, QByteArrayView key) {
    return std::find_if(written.begin(), written.end(),
                        [key](const Written& entry) { return sameKey(entry.key, key); });
}

// The file in its fixed form: every line as it reads, a written key in place
// of the first entry of that key before the first group header, the other
// written keys just before that header (or at the end).
QByteArray serialize(const PreferenceFile& file) {
    QByteArray out;
    out.reserve(byteOrderMark.size() + lineBreak.size() + file.text.size() + 256);
    out.append(byteOrderMark).append(lineBreak);
    const auto append = [&](QByteArrayView text, bool fromFile) {
        if (fromFile && file.text.isLatin1())
            appendLatin1AsUtf8(out, text);
        else
            out.append(text);
    };
    const auto appendKey = [&](QByteArrayView key, QByteArrayView value, bool fromFile) {
        append(key, fromFile);
        out.append(" = ");
        append(value, fromFile);
        out.append(lineBreak);
    };
    // Each written key as the file spells its keys; a key that cannot be
    // spelt there matches none of its lines.
    std::vector<std::optional<QByteArray>> writtenKeys;
    for (const Written& entry : file.written)
        writtenKeys.push_back(file.text.keyBytes(decodeUtf8KeepingMark(entry.key)));
    const auto writtenIndex = [&](QByteArrayView fileKey) {
        std::size_t i = 0;
        while (i < writtenKeys.size() && !(writtenKeys[i] && sameKey(*writtenKeys[i], fileKey)))
            ++i;
        return i;
    };
    std::vector<bool> placed(file.written.size(), false);
    // True the first time only: a written key takes one place.
    const auto place = [&](std::size_t i) {
        const bool first = !placed[i];
        placed[i] = true;
        return first;
    };
    const auto placeTheRest = [&] {
        for (std::size_t i = 0; i < file.written.size(); ++i)
            if (place(i))
                appendKey(file.written[i].key, file.written[i].value, false);
    };
    bool inGroups = false;
    forEachLine(file.text.bytes(), [&](const Line& line) {
        switch (line.kind) {
        case EntryKind::Comment:
            out.append("; ");
            append(line.text, true);
            out.append(lineBreak);
            break;
        case EntryKind::Group:
            if (!std::exchange(inGroups, true))
                placeTheRest();
            out.append('[');
            append(line.text, true);
            out.append(']').append(lineBreak);
            break;
        case EntryKind::Key: {
            const std::size_t i = inGroups ? file.written.size() : writtenIndex(line.text);
            if (i < file.written.size() && place(i))
                appendKey(file.written[i].key, file.written[i].value, false);
            else
                appendKey(line.text, line.value, true);
            break;
        }
        }
        return true;
    });
    placeTheRest();
    // A file without the mark reads as ISO 8859-1, so UTF-8 beyond ASCII always gets it.
    const qsizetype markSize = byteOrderMark.size() + lineBreak.size();
    if (!file.utf8Mark && isAscii(QByteArrayView(out).sliced(markSize)))
        out.remove(0, markSize);
    return out;
}

} // namespace

PreferenceText PreferenceText::read(const QString& fileName) {
    PreferenceText text;
    QFile file(fileName);
    // Only a regular file: a directory cannot be read and a pipe could block.
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly))
        return text;
    text.bytes_ = file.readAll();
    text.missing_ = false;
    text.latin1_ = !text.bytes_.startsWith(byteOrderMark);
    if (!text.latin1_)
        text.bytes_.remove(0, byteOrderMark.size());
    return text;
}

std::optional<QByteArray> PreferenceText::keyBytes(const QString& key) const {
    if (!latin1_)
        return key.toUtf8();
    // A key beyond ISO 8859-1 matches nothing in such a file.
    if (std::any_of(key.cbegin(), key.cend(), [](QChar c) { return c.unicode() > 0xFF; }))
        return std::nullopt;
    return key.toLatin1();
}

std::optional<QString> PreferenceText::value(const QString& key) const {
    const std::optional<QByteArray> wanted = keyBytes(key);
    if (!wanted)
        return std::nullopt;
    // A key entry's key starts with the line's first byte (unless it is
    // empty): most lines are passed over by that byte alone.
    const char first = wanted->isEmpty() ? '=' : asciiLower(wanted->front());
    std::optional<QString> found;
    forEachRawLine(bytes_, [&](QByteArrayView raw) {
        if (raw.front() == '[')
            return false; // nothing behind the first group header is read
        if (asciiLower(raw.front()) != first && raw.front() != '=')
            return true;
        const Line line = parseLine(raw);
        if (line.kind == EntryKind::Key && sameKey(line.text, *wanted)) {
            const QByteArrayView value = dropTrailingBlanks(line.value);
            found = latin1_ ? QString::fromLatin1(value) : decodeUtf8KeepingMark(value);
            return false;
        }
        return true;
    });
    return found;
}

bool openPreferenceFile(const QString& fileName) {
    closePreferenceFile();
    current.emplace().fileName = fileName;
    current->text = PreferenceText::read(fileName);
    if (current->text.missing())
        return false;
    current->utf8Mark = current->text.size() > 0 || !current->text.isLatin1();
    return true;
}

QString readPreference(const QString& key, const QString& defaultValue) {
    if (!current)
        return defaultValue;
    const auto written = findWritten(current->written, key.toUtf8());
    if (written != current->written.end())
        return decodeUtf8KeepingMark(dropTrailingBlanks(skipLeadingBlanks(written->value)));
    return current->text.value(key).value_or(defaultValue);
}

void writePreference(const QString& key, const QString& value) {
    if (!current)
        return;
    const QByteArray keyBytes = oneLine(key);
    const auto found = findWritten(current->written, keyBytes);
    if (found != current->written.end())
        *found = {keyBytes, oneLine(value)};
    else
        current->written.push_back({keyBytes, oneLine(value)});
    current->modified = true;
}

void closePreferenceFile() {
    if (current && current->modified) {
        const SaveLock lock(current->fileName);
        saveWholeFile(current->fileName, serialize(*current), lock);
    }
    current.reset();
}
