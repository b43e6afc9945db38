#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

ScopedWorkDir::ScopedWorkDir() : previous_(QDir::currentPath()) {
    EXPECT_TRUE(dir_.isValid());
    QDir::setCurrent(dir_.path());
}

ScopedWorkDir::~ScopedWorkDir() {
    QDir::setCurrent(previous_);
}

void ScopedWorkDir::copyShippedData() const {
    const QDir data(QStringLiteral(QUINTARA_DATA_DIR));
    for (const QString& name : data.entryList(QDir::Files))
        QFile::copy(data.filePath(name), QDir(dir_.path()).filePath(name));
}

QByteArray readBytes(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeBytes(const QString& fileName, const QByteArray& bytes) {
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

namespace {

// Waits while its directory exists and holds no "released"; a test that
// ended without releasing it thus ends it too.
constexpr char kOpenerScript[] = R"(#!/bin/sh
here=$(dirname "$0")
while [ -d "$here" ] && [ ! -e "$here/released" ]; do sleep 0.01; done
line=$(printf '[%s]' "$@")
echo "$line" >>"$here/ended.txt"
)";

} // namespace

StandInOpener::StandInOpener(const QString& dir) : dir_(dir), path_(qgetenv("PATH")) {
    const QString script = dir_ + QStringLiteral("/xdg-open");
    writeBytes(script, kOpenerScript);
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", QFile::encodeName(dir_) + ':' + path_);
}

StandInOpener::~StandInOpener() {
    release();
    qputenv("PATH", path_);
}

void StandInOpener::release() const {
    writeBytes(dir_ + QStringLiteral("/released"), {});
}

QByteArray StandInOpener::endedRuns(int runs) const {
    // No time limit here: a run that never ends meets the test's own.
    QByteArray ended;
    while ((ended = readBytes(dir_ + QStringLiteral("/ended.txt"))).count('\n') < runs)
        QThread::msleep(5);
    return ended;
}
