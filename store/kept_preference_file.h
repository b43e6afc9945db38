#pragma once

#include "store/preference_file.h"

#include <QHash>
#include <QString>
#include <optional>

// A preference file that is only read (a language file), kept in memory with
// the values read from it while it stays the same on disk, so that each
// occasion does not read and parse it anew. A file changed on disk is read
// again at the next refresh: same device, inode, size, modification and
// status-change time count as unchanged. A rewrite within the file system's
// clock tick can leave all of these equal, so a file changed less than a
// second before it was read is not trusted: it is read again at each refresh
// until a read comes a second or more after its last change.
class KeptPreferenceFile {
  public:
    // Makes `fileName` the kept file, reading it unless it is the kept one
    // and unchanged.
    void refresh(const QString& fileName);

    // What readPreference would give with the file open, as last refreshed.
    QString read(const QString& key, const QString& defaultValue);

  private:
    struct Stamp {
        qint64 device = 0;
        qint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        bool operator==(const Stamp&) const = default;
    };
    // nullopt for anything but a regular file.
    static std::optional<Stamp> stampOf(const QString& fileName);

    bool kept_ = false;
    bool trusted_ = false;
    QString fileName_;
    std::optional<Stamp> stamp_;
    PreferenceText text_;
    QHash<QString, std::optional<QString>> values_; // every key read so far
};
