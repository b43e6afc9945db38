#include "text/to_integer.h"

int digitValue(QChar c, int base) {
    int value = -1;
    if (c >= u'0' && c <= u'9')
        value = c.unicode() - u'0';
    else if (c >= u'a' && c <= u'f')
        value = c.unicode() - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        value = c.unicode() - u'A' + 10;
    return value < base ? value : -1;
}

bool IntegerReader::read(QChar c) {
    if (stage_ == Stage::Blanks) {
        if (c == u' ' || c == u'\t')
            return true;
        stage_ = Stage::Sign;
    }
    if (stage_ == Stage::Sign) {
        stage_ = Stage::Base;
        if (c == u'+' || c == u'-') {
            negative_ = c == u'-';
            return true;
        }
    }
    if (stage_ == Stage::Base) {
        stage_ = Stage::Digits;
        if (c == u'$' || c == u'%') {
            base_ = c == u'$' ? 16 : 2;
            return true;
        }
    }
    const int digit = stage_ == Stage::Digits ? digitValue(c, base_) : -1;
    if (digit < 0) {
        stage_ = Stage::Done;
        return false;
    }
    value_ = value_ * static_cast<std::uint32_t>(base_) + static_cast<std::uint32_t>(digit);
    return true;
}

int IntegerReader::value() const {
    return static_cast<std::int32_t>(negative_ ? 0u - value_ : value_);
}

int toInteger(const QString& text) {
    IntegerReader reader;
    for (const QChar c : text) {
        if (!reader.read(c))
            break;
    }
    return reader.value();
}
