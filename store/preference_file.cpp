#include "store/preference_file.h"

#include "store/file_save.h"
#include "store/utf8.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

enum class EntryKind { Comment, Group, Key };

// One non-blank line of a preference file; all texts are UTF-8 bytes.
struct Entry {
    EntryKind kind;
    QByteArray text;  // comment text, group name or key
    QByteArray value; // key entries only
};

struct PreferenceFile {
    QString fileName;
    std::vector<Entry> entries;
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
Entry parseLine(QByteArrayView line) {
    const QByteArrayView rest = line.sliced(1);
    switch (line.front()) {
    case ';':
        return {EntryKind::Comment,
                (!rest.isEmpty() && rest.front() == ' ' ? rest.sliced(1) : rest).toByteArray(),
                {}};
    case '[':
        return {EntryKind::Group, upTo(rest, ']').toByteArray(), {}};
    default: {
        const QByteArrayView key = upTo(line, '=');
        const QByteArrayView value = key.size() < line.size()
                                         ? skipLeadingBlanks(line.sliced(key.size() + 1))
                                         : QByteArrayView();
        return {EntryKind::Key, dropTrailingBlanks(key).toByteArray(), value.toByteArray()};
    }
    }
}

// Splits at every run of CR and LF bytes; blank lines leave no entry.
std::vector<Entry> parseEntries(QByteArrayView text) {
    std::vector<Entry> entries;
    const char* position = text.begin();
    while (position != text.end()) {
        const char* end = std::find_if(position, text.end(), isLineEnd);
        const QByteArrayView line = skipLeadingBlanks({position, end});
        if (!line.isEmpty())
            entries.push_back(parseLine(line));
        position = std::find_if_not(end, text.end(), isLineEnd);
    }
    return entries;
}

// A file with the byte-order mark is UTF-8; any other byte is one ISO 8859-1 character.
QByteArray toUtf8(const QByteArray& bytes) {
    if (bytes.startsWith(byteOrderMark))
        return bytes.sliced(byteOrderMark.size());
    return QString::fromLatin1(bytes).toUtf8();
}

bool isAscii(QByteArrayView text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

QByteArray serialize(const PreferenceFile& file) {
    QByteArray text;
    for (const Entry& entry : file.entries) {
        switch (entry.kind) {
        case EntryKind::Comment:
            text.append("; ").append(entry.text);
            break;
        case EntryKind::Group:
            text.append('[').append(entry.text).append(']');
            break;
        case EntryKind::Key:
            text.append(entry.text).append(" = ").append(entry.value);
            break;
        }
        text.append(lineBreak);
    }
    // A file without the mark reads as ISO 8859-1, so UTF-8 beyond ASCII always gets it.
    if (file.utf8Mark || !isAscii(text))
        text.prepend(lineBreak).prepend(byteOrderMark);
    return text;
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool sameKey(QByteArrayView a, QByteArrayView b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

bool isGroup(const Entry& entry) {
    return entry.kind == EntryKind::Group;
}

// The first key entry before the first group header that matches key, or entries.end().
std::vector<Entry>::iterator findKey(std::vector<Entry>& entries, QByteArrayView key) {
    const auto firstGroup = std::find_if(entries.begin(), entries.end(), isGroup);
    const auto found = std::find_if(entries.begin(), firstGroup, [key](const Entry& entry) {
        return entry.kind == EntryKind::Key && sameKey(entry.text, key);
    });
    return found == firstGroup ? entries.end() : found;
}

// A line end inside a written text would turn the rest into lines of their own.
QByteArray oneLine(const QString& text) {
    QByteArray bytes = text.toUtf8();
    std::replace_if(bytes.begin(), bytes.end(), isLineEnd, ' ');
    return bytes;
}

} // namespace

bool openPreferenceFile(const QString& fileName) {
    closePreferenceFile();
    current.emplace().fileName = fileName;
    QFile file(fileName);
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    current->utf8Mark = !bytes.isEmpty();
    current->entries = parseEntries(toUtf8(bytes));
    return true;
}

QString readPreference(const QString& key, const QString& defaultValue) {
    if (!current)
        return defaultValue;
    const auto found = findKey(current->entries, key.toUtf8());
    if (found == current->entries.end())
        return defaultValue;
    return decodeUtf8KeepingMark(dropTrailingBlanks(skipLeadingBlanks(found->value)));
}

void writePreference(const QString& key, const QString& value) {
    if (!current)
        return;
    std::vector<Entry>& entries = current->entries;
    const QByteArray keyBytes = oneLine(key);
    const auto found = findKey(entries, keyBytes);
    if (found != entries.end()) {
        found->text = keyBytes;
        found->value = oneLine(value);
    } else {
        // Before the first group header, where a later read finds it.
        entries.insert(std::find_if(entries.begin(), entries.end(), isGroup),
                       Entry{EntryKind::Key, keyBytes, oneLine(value)});
    }
    current->modified = true;
}

void closePreferenceFile() {
    if (current && current->modified) {
        const SaveLock lock(current->fileName);
        saveWholeFile(current->fileName, serialize(*current), lock);
    }
    current.reset();
}
