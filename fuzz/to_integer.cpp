// toInteger takes any text. Decimal texts must give what a plain 64-bit
// reading gives once wrapped to 32 bits.

#include "text/to_integer.h"
#include "fuzz_support.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

// The reference reading of a decimal text (blanks and tabs, an optional sign,
// decimal digits up to the first other character); nothing for "$" and "%".
// Each step keeps 64 bits and wraps to 32, so no length overflows it.
std::optional<std::int32_t> decimalReference(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    std::int64_t sign = 1;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        sign = text[i++] == u'-' ? -1 : 1;
    if (i < text.size() && (text[i] == u'$' || text[i] == u'%'))
        return std::nullopt;
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = (value * 10 + (text[i].unicode() - u'0')) % (std::uint64_t{1} << 32);
    const std::int64_t signedValue = sign * static_cast<std::int64_t>(value);
    const auto wrapped = static_cast<std::uint32_t>(signedValue);
    return wrapped < 0x80000000u
               ? static_cast<std::int32_t>(wrapped)
               : static_cast<std::int32_t>(std::int64_t{wrapped} - (std::int64_t{1} << 32));
}

void check(const QString& text) {
    const int value = toInteger(text);
    if (const auto expected = decimalReference(text))
        FUZZ_CHECK(value == *expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check(QString::fromLatin1(inputBytes(data, size)));
    check(inputUnits(data, size));
    return 0;
}
