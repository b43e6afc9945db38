// The fuzz input is settings.ini. The reader must take any bytes; a key the
// game writes must read back as written (trimmed, line ends made spaces) after
// the rewrite, and every other key must keep the value it had.

#include "store/preference_file.h"
#include "fuzz_support.h"
#include "store/settings.h"

#include <QStringDecoder>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

const QString kFileName = QString::fromLatin1(kSettingsFileName);

// Keys the game reads and writes, and one beyond ASCII.
const QStringList kKeys = {QStringLiteral("lang"),   QStringLiteral("delay"),
                           QStringLiteral("sound"),  QStringLiteral("strongerCPU"),
                           QStringLiteral("hands0"), QStringLiteral("Gr\u00f6\u00dfe")};

// Values written; the null slot takes the input's last line instead.
const QStringList kValues = {QStringLiteral("J\u00e4ger"),
                             QString(),
                             QStringLiteral("\u0418\u0433\u0440\u0430 \U0001F3B2"),
                             QStringLiteral(" \t1000 \t"),
                             QStringLiteral("a\r\nlang = xx\r"),
                             QStringLiteral(""),
                             QStringLiteral("; [g] = ;")};

// No trimmed value starts with a tab, so this default marks a missing key.
const QString kMissing = QStringLiteral("\tmissing");

// The file as the game sees it: UTF-8 after a byte-order mark (a second
// U+FEFF is text), else ISO 8859-1.
QString fileText(const QByteArray& bytes) {
    const QByteArray mark("\xEF\xBB\xBF");
    if (!bytes.startsWith(mark))
        return QString::fromLatin1(bytes);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    return decoder(QByteArrayView(bytes).sliced(mark.size()));
}

QStringList inputLines(const QByteArray& bytes) {
    QString text = fileText(bytes);
    text.replace(u'\r', u'\n');
    return text.split(u'\n', Qt::SkipEmptyParts);
}

QString trimBlanks(QString text) {
    const auto isBlank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    while (!text.isEmpty() && isBlank(text.front()))
        text.remove(0, 1);
    return text;
}

// What a read gives back after value was written.
QString readBack(QString value) {
    value.replace(u'\r', u' ').replace(u'\n', u' ');
    return trimBlanks(value);
}

// The game's keys and the key part of the input's first lines.
QStringList keysToCheck(const QStringList& lines) {
    QStringList keys = kKeys;
    for (const QString& line : lines.mid(0, 16))
        keys.append(trimBlanks(line.section(u'=', 0, 0)));
    return keys;
}

std::vector<std::pair<QString, QString>> readAll(const QStringList& keys) {
    std::vector<std::pair<QString, QString>> values;
    for (const QString& key : keys)
        values.emplace_back(key, readPreference(key, kMissing));
    return values;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    enterScratchDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = inputBytes(data, size);
    const QStringList lines = inputLines(bytes);
    const QString& key = kKeys[static_cast<qsizetype>(size % kKeys.size())];
    QString value = kValues[static_cast<qsizetype>(size / kKeys.size() % kValues.size())];
    if (value.isNull())
        value = lines.isEmpty() ? QString() : lines.back().left(64);

    writeFileBytes(kFileName, bytes);
    FUZZ_CHECK(openPreferenceFile(kFileName));
    const auto before = readAll(keysToCheck(lines));
    writePreference(key, value);
    closePreferenceFile();

    FUZZ_CHECK(openPreferenceFile(kFileName));
    FUZZ_CHECK(readPreference(key, kMissing) == readBack(value));
    for (const auto& [otherKey, otherValue] : before) {
        if (otherKey.compare(key, Qt::CaseInsensitive) != 0)
            FUZZ_CHECK(readPreference(otherKey, kMissing) == otherValue);
    }
    closePreferenceFile();
    return 0;
}
