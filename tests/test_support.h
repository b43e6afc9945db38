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
