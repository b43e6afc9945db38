#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

// What a SaveLock is taken for: a save holds it alone; reads share it, so
// that a read waits for a save in progress (which may rewrite the file in
// place) and a save waits for the reads.
enum class LockUse { Saving, Reading };

// The advisory lock that copies of the game running side by side take
// before they save a file: a kernel lock (flock) on the file's folder for as
// long as the object lives. The kernel drops it when its holder ends in any
// way, so no lock is ever left behind, and no file is made for it. Waits a
// few seconds at most; not held when the wait ran out or the folder cannot
// be locked, and the save then goes ahead without it. One process holds at
// most one such lock at a time.
class SaveLock {
  public:
    explicit SaveLock(const QString& fileName, LockUse use = LockUse::Saving);
    ~SaveLock();
    SaveLock(const SaveLock&) = delete;
    SaveLock& operator=(const SaveLock&) = delete;
    bool held() const { return held_; }

  private:
    int folder_ = -1;
    bool held_ = false;
};

// Takes the next piece of a file's content; false when it could not.
using ByteSink = std::function<bool(QByteArrayView)>;
// Hands a whole content to the sink, piece by piece and in order; false as
// soon as the sink refused a piece.
using ContentWriter = std::function<bool(const ByteSink&)>;

// Replaces the file's content with what `content` writes. Where the folder allows, through
// a temporary file renamed over it; where it does not but the file itself
// is writable, the file is rewritten in place and its old bytes restored if
// that fails. A symbolic link, or anything but a regular file, in place of
// the file is never written through, nor is a file or folder without any
// write permission bit, even by the superuser. With the lock held, temporary
// files left beside the file by an interrupted save are removed first.
// False when it did not save; the old file then stays whole and no new
// temporary file is left. The content goes to the disk as it is written, so
// it is never held whole in memory (an in-place rewrite holds the old bytes).
bool saveWholeFile(const QString& fileName, const ContentWriter& content, const SaveLock& lock);
bool saveWholeFile(const QString& fileName, const QByteArray& bytes, const SaveLock& lock);
