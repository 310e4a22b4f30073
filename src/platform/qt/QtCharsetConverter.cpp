#include "platform/qt/QtCharsetConverter.h"

#include "platform/qt/Charset.h"

std::optional<SjisText> QtCharsetConverter::toSjis(std::string_view charset, std::string_view bytes) const {
    return Charset::fromCharset(QByteArray(charset.data(), qsizetype(charset.size())),
                                QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}
