#include "mail/OutgoingMessage.h"

#include "codec/Iso2022Jp.h"

void BuildHeaderBlock(OutgoingMail& mail, const SjisText& ownAddress)
{
    mail.HeaderBlock.clear();
    mail.HeaderBlock += "Reply-To: " + ownAddress + "\r\n";
    mail.HeaderBlock += "X-Mailer: TRIVORN\r\n";
    mail.HeaderBlock += "MIME-Version: 1.0\r\n";
    mail.HeaderBlock += "Content-Type: text/plain; charset=iso-2022-jp\r\n";
    mail.HeaderBlock += "Content-Transfer-Encoding: 7bit\r\n";
    mail.HeaderBlock += "X-Mozilla-Status: 0001\r\n";
}

std::string DotStuff(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 64 + 1);
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && c == '.') out += '.';
        out += c;
        lineStart = (c == '\n');
    }
    return out;
}

std::string BuildMessageText(const SjisText& headerBlock, const SjisText& subject, const SjisText& body)
{
    // Stuffing the whole text, not just the body, also keeps a subject or an
    // address that somehow holds a line break from ending the mail early.
    std::string text = headerBlock;
    text += "Subject: ";
    text += ToIso2022Jp(subject);
    text += "\r\n";
    text += ToIso2022Jp(body);
    text = DotStuff(text);
    text += "\r\n.\r\n";
    return text;
}
