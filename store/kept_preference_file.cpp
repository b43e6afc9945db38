#include "store/kept_preference_file.h"

#include <QDateTime>
#include <QFile>

#include <sys/stat.h>

namespace {

constexpr qint64 kNsPerSecond = 1'000'000'000;
constexpr qint64 kNsPerMs = 1'000'000;

qint64 nanoseconds(const timespec& time) {
    return qint64(time.tv_sec) * kNsPerSecond + time.tv_nsec;
}

} // namespace

std::optional<KeptPreferenceFile::Stamp> KeptPreferenceFile::stampOf(const QString& fileName) {
    struct stat status {};
    if (::stat(QFile::encodeName(fileName).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return Stamp{qint64(status.st_dev), qint64(status.st_ino), qint64(status.st_size),
                 nanoseconds(status.st_mtim), nanoseconds(status.st_ctim)};
}

void KeptPreferenceFile::refresh(const QString& fileName) {
    // Taken before the read: a change during the read shows at the next refresh.
    const std::optional<Stamp> stamp = stampOf(fileName);
    if (kept_ && trusted_ && fileName == fileName_ && stamp == stamp_)
        return;
    kept_ = true;
    fileName_ = fileName;
    stamp_ = stamp;
    // The old text goes first: a large file is never held twice.
    text_ = {};
    values_.clear();
    text_ = PreferenceText::read(fileName);
    const qint64 now = QDateTime::currentMSecsSinceEpoch() * kNsPerMs;
    trusted_ = !stamp || now - stamp->changedNs >= kNsPerSecond;
}

QString KeptPreferenceFile::read(const QString& key, const QString& defaultValue) {
    if (!kept_ || text_.missing())
        return defaultValue;
    auto found = values_.constFind(key);
    if (found == values_.constEnd())
        found = values_.insert(key, text_.value(key));
    return found->value_or(defaultValue);
}
