#include "store/file_save.h"

#include <QFileInfo>
#include <QSaveFile>

namespace {

// Writable by us, and not protected by its permission bits even from the superuser.
bool mayWrite(const QFileInfo& info) {
    constexpr QFile::Permissions anyWrite =
        QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return info.isWritable() && (info.permissions() & anyWrite);
}

bool mayReplace(const QString& fileName) {
    const QFileInfo target(fileName);
    if (!mayWrite(QFileInfo(target.absolutePath())))
        return false;
    return !target.exists() || (target.isFile() && mayWrite(target));
}

} // namespace

bool saveWholeFile(const QString& fileName, const QByteArray& bytes) {
    if (!mayReplace(fileName))
        return false;
    QSaveFile file(fileName);
    // Unbuffered, and the count checked: QSaveFile remembers only errors met
    // inside write(), so neither a buffer flushed at commit() on a full disk
    // nor a short write may pass unseen, or a truncated file would replace
    // the old one. An uncommitted QSaveFile removes its temporary file.
    return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
           file.write(bytes) == bytes.size() && file.commit();
}
