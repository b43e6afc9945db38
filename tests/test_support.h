#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// Runs a test inside a fresh empty directory and returns to the previous
// working directory afterwards; the game reads and writes only there.
class ScopedWorkDir {
  public:
    ScopedWorkDir();
    ~ScopedWorkDir();
    ScopedWorkDir(const ScopedWorkDir&) = delete;
    ScopedWorkDir& operator=(const ScopedWorkDir&) = delete;

    QString path() const { return dir_.path(); }
    // Copies the shipped data files (language files, pictures, sound) here.
    void copyShippedData() const;

  private:
    QTemporaryDir dir_;
    QString previous_;
};

QByteArray readBytes(const QString& fileName);
void writeBytes(const QString& fileName, const QByteArray& bytes);

// A stand-in for the desktop's opener xdg-open, found first on PATH while the
// object lives. Each run notes its arguments, one line a run, and ends only
// once released: a caller that waited for it would never return.
class StandInOpener {
  public:
    // Keeps the stand-in and its notes in `dir`, which must exist.
    explicit StandInOpener(const QString& dir);
    ~StandInOpener();
    StandInOpener(const StandInOpener&) = delete;
    StandInOpener& operator=(const StandInOpener&) = delete;

    // Lets every run end, those still to start included.
    void release() const;
    // Waits until `runs` runs have ended; their arguments, each as "[argument]",
    // a line a run.
    QByteArray endedRuns(int runs) const;

  private:
    QString dir_;
    QByteArray path_;
};
