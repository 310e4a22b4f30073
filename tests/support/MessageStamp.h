#pragma once
#include <QByteArray>

#include "mail/MessageHeaders.h"

// `h` with the two fields that change at every sending, Date and Message-ID,
// as the message text `text` carries them: what remains can then be
// compared byte for byte.
inline MessageHeaders stampedLike(MessageHeaders h, const QByteArray& text)
{
    auto value = [&text](const QByteArray& name) {
        const qsizetype at = text.indexOf("\r\n" + name + ": ");
        if (at < 0) return std::string();
        const qsizetype from = at + name.size() + 4;
        return text.mid(from, text.indexOf("\r\n", from) - from).toStdString();
    };
    h.date = value("Date");
    h.messageId = value("Message-ID");
    return h;
}
