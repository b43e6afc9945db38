#include "store/preference_file.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

QString shipped(const char* name) {
    return QDir(QStringLiteral(QUINTARA_DATA_DIR)).filePath(name);
}

struct ShippedText {
    const char* file;
    const char* key;
    const char* expected; // UTF-8
};

class ShippedLanguageText : public testing::TestWithParam<ShippedText> {};

// The files are UTF-8 with a byte-order mark; read as Latin-1 by mistake,
// every umlaut and every Cyrillic letter would come out as two characters.
TEST_P(ShippedLanguageText, ComesOutAsTheRightCharacters) {
    openPreferenceFile(shipped(GetParam().file));
    const QString text = readPreference(QString::fromLatin1(GetParam().key), QStringLiteral("?"));
    closePreferenceFile();
    EXPECT_EQ(text, QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(GermanAndBulgarian, ShippedLanguageText,
                         testing::Values(ShippedText{"de.lang", "Kings", "Könige"},
                                         ShippedText{"de.lang", "Straight", "Straße (4)"},
                                         ShippedText{"de.lang", "hands1", "Fünfling"},
                                         ShippedText{"de.lang", "MenuAbout", "&Über"},
                                         ShippedText{"bg.lang", "Kings", "Попове"},
                                         ShippedText{"bg.lang", "win", "печели!"},
                                         ShippedText{"bg.lang", "tie", "Равен резултат!"},
                                         ShippedText{"en.lang", "Title", "Quintara"}),
                         [](const testing::TestParamInfo<ShippedText>& info) {
                             return std::string(info.param.file, 2) + "_" + info.param.key;
                         });

TEST(ShippedLanguageFiles, ReadingThemNeverRewritesThem) {
    for (const char* name : {"en.lang", "de.lang", "bg.lang"}) {
        QFile file(shipped(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        openPreferenceFile(shipped(name));
        readPreference(QStringLiteral("Title"), {});
        closePreferenceFile();
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), before) << name;
    }
}

} // namespace
