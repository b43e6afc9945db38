#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// Reports a property that failed and aborts, so that libFuzzer keeps the input.
[[noreturn]] void failProperty(const char* property, const char* file, int line);

#define FUZZ_CHECK(property)                                                                       \
    do {                                                                                           \
        if (!(property))                                                                           \
            failProperty(#property, __FILE__, __LINE__);                                           \
    } while (false)

// The fuzz input as bytes.
QByteArray inputBytes(const std::uint8_t* data, std::size_t size);

// The fuzz input as 16-bit code units in host order (an odd last byte is
// dropped): any unit at all, lone surrogates and U+0000 included.
QString inputUnits(const std::uint8_t* data, std::size_t size);

// Makes a fresh empty directory the working directory for the rest of the
// run; the game reads and writes its files there. Called once per process.
void enterScratchDirectory();

// Replaces the file's content with bytes; aborts when it cannot.
void writeFileBytes(const QString& fileName, const QByteArray& bytes);
