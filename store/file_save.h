#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file's content with `bytes` through a temporary file renamed
// over it. Refuses a path that is no regular file, and a file or directory
// without any write permission bit, even to the superuser. False when it did
// not save; the old file then stays whole and no temporary file is left.
bool saveWholeFile(const QString& fileName, const QByteArray& bytes);
