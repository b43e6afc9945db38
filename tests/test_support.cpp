#include "test_support.h"

#include <QDir>
#include <QFile>
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
