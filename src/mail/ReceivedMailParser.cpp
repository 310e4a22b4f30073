#include "mail/ReceivedMailParser.h"

#include <optional>

#include "codec/Iso2022Jp.h"
#include "mail/CarrierDomains.h"
#include "mail/MailBody.h"
#include "mail/SjisSearch.h"
#include "mail/SubjectDecoder.h"

namespace {

constexpr std::size_t npos = std::string_view::npos;

// Where the parts of a retrieved message lie.
struct MessageLayout {
    std::string_view headers;   // the header lines, each ending in CR LF
    std::string_view body;      // up to the line break before the terminating "." line
};

std::optional<MessageLayout> layOut(std::string_view text) {
    std::size_t start = 0;
    if (text.substr(0, 3) == "+OK") {
        const std::size_t eol = text.find("\r\n");
        if (eol == npos) return std::nullopt;
        start = eol + 2;
    }
    // The blank line ending the headers; its first CR LF ends the last header.
    const std::size_t blank = text.find("\r\n\r\n", start >= 2 ? start - 2 : start);
    if (blank == npos || blank + 2 < start) return std::nullopt;
    const std::size_t bodyStart = blank + 4;

    // The terminating line "." closes the retrieval; the body ends at the
    // line break in front of it, so its last line stays whole.
    std::size_t bodyEnd = text.size();
    if (text.size() >= 5 && text.substr(text.size() - 5) == "\r\n.\r\n") bodyEnd = text.size() - 5;
    else if (text.size() >= 3 && text.substr(text.size() - 3) == "\r\n.") bodyEnd = text.size() - 3;

    MessageLayout layout;
    layout.headers = text.substr(start, blank + 2 - start);
    layout.body = bodyEnd > bodyStart ? text.substr(bodyStart, bodyEnd - bodyStart) : std::string_view{};
    return layout;
}

// The position just after "Name:" of the first header field of that name,
// letter case ignored; npos when there is none.
std::size_t findField(std::string_view headers, std::string_view nameWithColon) {
    for (std::size_t pos = sjisFindNoCase(headers, nameWithColon); pos != npos;
         pos = sjisFindNoCase(headers, nameWithColon, pos + sjisStrictCharLength(headers, pos))) {
        if (pos == 0 || headers[pos - 1] == '\n') return pos + nameWithColon.size();
    }
    return npos;
}

// The rest of the line from `pos`, without its CR LF.
std::string_view restOfLine(std::string_view headers, std::size_t pos) {
    const std::size_t eol = headers.find("\r\n", pos);
    return headers.substr(pos, (eol == npos ? headers.size() : eol) - pos);
}

// From `pos` to the end of the field: its continuation lines (starting with
// a space or a tab) belong to it; the final CR LF does not.
std::string_view restOfField(std::string_view headers, std::size_t pos) {
    std::size_t eol = headers.find("\r\n", pos);
    while (eol != npos && eol + 2 < headers.size() && (headers[eol + 2] == ' ' || headers[eol + 2] == '\t'))
        eol = headers.find("\r\n", eol + 2);
    return headers.substr(pos, (eol == npos ? headers.size() : eol) - pos);
}

bool fromPhone(std::string_view headers) {
    const std::size_t at = findField(headers, "Return-Path:");
    if (at == npos) return true;   // a message without one is let through
    const std::string_view path = restOfLine(headers, at);
    for (std::string_view domain : kCarrierDomains)
        if (sjisContainsNoCase(path, domain)) return true;
    return false;
}

// The sender's address. With a display name in front ("山田 <taro@…>") it is
// the text inside the angle brackets; the name is no part of the address the
// address book holds. Spaces are removed either way.
SjisText readSender(std::string_view headers) {
    const std::size_t at = findField(headers, "From:");
    if (at == npos) return {};
    std::string_view value = restOfLine(headers, at);
    const std::size_t open = value.rfind('<');
    if (open != npos) {
        const std::size_t close = value.find('>', open);
        if (close != npos) value = value.substr(open + 1, close - open - 1);
    }
    SjisText sender;
    for (char c : value)
        if (c != '<' && c != '>' && c != ' ') sender += c;
    return sender;
}

}  // namespace

ReadResult ReadReceivedMail(std::string_view messageText, std::string_view ownAddress) {
    ReadResult result;
    const std::optional<MessageLayout> layout = layOut(messageText);
    if (!layout) return result;   // Unreadable
    const std::string_view headers = layout->headers;

    if (!sjisContainsNoCase(headers, "for <" + std::string(ownAddress) + ">;")) {
        result.verdict = MailVerdict::NotAddressed;
        return result;
    }
    if (!fromPhone(headers)) {
        result.verdict = MailVerdict::NotFromPhone;
        return result;
    }

    ReceivedMail mail;
    mail.sender = readSender(headers);

    const std::size_t subjectAt = findField(headers, "Subject:");
    if (subjectAt != npos) {
        const std::optional<SjisText> decoded = DecodeSubject(restOfField(headers, subjectAt));
        if (!decoded) return result;   // Unreadable
        mail.subject = NormaliseSubject(*decoded);
    }

    const std::optional<std::string> bodyText = ExtractBodyText(headers, layout->body);
    if (!bodyText) return result;   // Unreadable
    mail.body = JisToSjis(*bodyText);

    result.verdict = MailVerdict::Read;
    result.mail = std::move(mail);
    return result;
}

bool ParseReceivedMail(const std::string& messageText, ParseContext& ctx) {
    const ReadResult read = ReadReceivedMail(messageText, ctx.ownAddress);
    if (read.verdict != MailVerdict::Read) return false;
    const ReceivedMail& mail = read.mail;

    // The reply's subject has lost its spaces and line breaks; the awaited
    // ones lose them alike, or an operator's "第1問 (2点)" would never match.
    const SjisText awaited = SqueezeSubject(ctx.mailSubject);

    // A late reply to an earlier fetch is only cleared from the server. An
    // empty subject occurs in any text, so once there has been a fetch, a
    // message with no readable subject is cleared too.
    bool remove = !ctx.lateMail.empty() && sjisContainsNoCase(SqueezeSubject(ctx.lateMail), mail.subject);

    if (mail.subject == awaited) {
        remove = true;
        if (ctx.perRecipientMode) {
            if (ctx.scoreAnswer) ctx.scoreAnswer(mail.sender, mail.body);
        } else {
            if (ctx.acceptReply) ctx.acceptReply(mail.sender);
        }
    }
    return remove;
}
