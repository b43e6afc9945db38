#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The key/value text store shared by settings.ini and the language files.
// Exactly one preference file is current at a time: open it, read and write
// keys, close it. Closing writes the file back only when a key was written.

// Closes the current file (with its write-back), then reads the named file
// whole. Returns false when it cannot be opened; it then counts as missing:
// reads give their defaults and a write-back creates it.
bool openPreferenceFile(const QString& fileName);

// The key's value, trimmed of spaces and tabs; the default, untrimmed, when
// no file is open or the key is missing. ASCII letters match in any case.
QString readPreference(const QString& key, const QString& defaultValue);

// Sets the key's value (stored untrimmed); no effect with no file open.
void writePreference(const QString& key, const QString& value);

// Writes the file back if a key was written, then forgets it. The write is
// saveWholeFile's, under the SaveLock: on any failure the old file stays
// as it was, and a link in place of the file is left alone. Does nothing
// when no file is open.
void closePreferenceFile();

// A preference file's text as read from disk, read by the rules of the format
// without a list of its lines: each read walks the text.
class PreferenceText {
  public:
    // The named file's text; missing() when it is no regular file or cannot
    // be opened.
    static PreferenceText read(const QString& fileName);

    // The key's value, trimmed of spaces and tabs; nullopt when the key is
    // not there (before the first group header) or the file is missing.
    std::optional<QString> value(const QString& key) const;

    bool missing() const { return missing_; }
    // Without the byte-order mark, each byte is one ISO 8859-1 character.
    bool isLatin1() const { return latin1_; }
    // The text after the byte-order mark, in the file's own encoding.
    const QByteArray& bytes() const { return bytes_; }
    qsizetype size() const { return bytes_.size(); }
    // The key spelt in the file's encoding; nullopt for a key that no key of
    // the file can match (beyond ISO 8859-1 in a file without the mark).
    std::optional<QByteArray> keyBytes(const QString& key) const;

  private:
    QByteArray bytes_;
    bool latin1_ = false;
    bool missing_ = true;
};
