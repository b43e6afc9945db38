#pragma once

#include <QString>

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
