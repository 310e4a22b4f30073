#include "mail/ReceivedMailParser.h"

#include <optional>

#include "codec/Iso2022Jp.h"
#include "mail/HtmlText.h"
#include "mail/MailBody.h"
#include "mail/MessageIds.h"
#include "mail/MimeMessage.h"
#include "mail/ReplyCharset.h"
#include "mail/SjisSearch.h"
#include "mail/SubjectDecoder.h"

namespace {

constexpr std::size_t npos = std::string_view::npos;

// Where the parts of a retrieved message lie.
struct MessageLayout {
    std::string_view message;   // header block, blank line and body
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
    layout.message = text.substr(start, bodyEnd - start);
    layout.headers = text.substr(start, blank + 2 - start);
    layout.body = bodyEnd > bodyStart ? text.substr(bodyStart, bodyEnd - bodyStart) : std::string_view{};
    return layout;
}

// The text of the reply: the part a person wrote, in Shift_JIS, HTML made
// plain text. No value when the parts of a multi-part message cannot be told.
std::optional<SjisText> readBody(const MessageLayout& layout, const MimeMessage& mime,
                                 const CharsetConverter* converter) {
    if (!mime.isMultipart() && HasMultiPartPreamble(layout.body)) {
        const std::optional<std::string> text = ExtractBodyText(layout.headers, layout.body);
        if (!text) return std::nullopt;
        return JisToSjis(*text);
    }
    if (mime.isBroken()) return std::nullopt;
    const std::optional<MimeMessage::Text> text = mime.text();
    if (!text) return SjisText();   // nothing but attachments
    SjisText sjis = replyTextToSjis(text->charset, text->bytes, converter);
    return text->html ? HtmlToText(sjis, converter) : sjis;
}

// Which of the round's mailings a reply names, if any.
enum class Named { Awaited, Earlier, None };

Named namedMailing(const ReceivedMail& mail, const SentMessageIds* sent) {
    if (!sent) return Named::None;
    bool earlier = false;
    for (const std::string& id : mail.answers) {
        if (sent->awaited.count(id)) return Named::Awaited;
        earlier = earlier || sent->earlier.count(id);
    }
    return earlier ? Named::Earlier : Named::None;
}

}  // namespace

ReadResult ReadReceivedMail(std::string_view messageText, std::string_view ownAddress, const ReplyReading& reading) {
    ReadResult result;
    const std::optional<MessageLayout> layout = layOut(messageText);
    if (!layout) return result;   // Unreadable

    const MimeMessage mime(layout->message);
    // Reports come from the provider, not from a phone: read before the
    // players' rule, which they would never pass, and before the delivery
    // clause, which a report the provider made on its own machine lacks.
    // What keeps a stranger's report out is the Message-ID it returns.
    if (const std::optional<DeliveryReport> report = mime.deliveryReport()) {
        result.verdict = MailVerdict::Bounce;
        result.failed = FailedDeliveries(report->status);
        const std::vector<std::string> notice = ReferencedIds(mime.field("Message-ID").value_or(""));
        result.notice = notice.empty() ? std::string() : notice.front();
        result.returnedId = ReturnedMessageId(report->returned);
        return result;
    }
    if (!sjisContainsNoCase(layout->headers, "for <" + std::string(ownAddress) + ">;")) {
        result.verdict = MailVerdict::NotAddressed;
        return result;
    }
    ReceivedMail mail;
    mail.sender = addressOf(mime.field("From").value_or(""));
    if (!fromPlayer(reading.players, mime.field("Return-Path"), mail.sender)) {
        result.verdict = MailVerdict::NotFromPhone;
        return result;
    }

    if (const std::optional<std::string> field = mime.field("Subject")) {
        const std::optional<SjisText> decoded = DecodeSubject(*field, reading.converter);
        if (!decoded) return result;   // Unreadable
        mail.subject = NormaliseSubject(*decoded);
    }

    for (const char* field : {"In-Reply-To", "References"})
        for (std::string& id : ReferencedIds(mime.field(field).value_or("")))
            mail.answers.push_back(std::move(id));

    std::optional<SjisText> body = readBody(*layout, mime, reading.converter);
    if (!body) return result;   // Unreadable
    mail.body = std::move(*body);

    result.verdict = MailVerdict::Read;
    result.mail = std::move(mail);
    return result;
}

bool ParseReceivedMail(const std::string& messageText, ParseContext& ctx) {
    const ReadResult read = ReadReceivedMail(messageText, ctx.ownAddress, ctx.reading);
    if (read.verdict == MailVerdict::Bounce && ctx.bounced && ctx.sentIds &&
        (ctx.sentIds->awaited.count(read.returnedId) || ctx.sentIds->earlier.count(read.returnedId)))
        for (const FailedDelivery& f : read.failed) ctx.bounced(f, read.notice);
    if (read.verdict != MailVerdict::Read) return false;
    const ReceivedMail& mail = read.mail;

    // The reply's subject has lost its spaces and line breaks and has its
    // reply prefix written one way; the awaited one is read by the same rule,
    // or an operator's "第1問 (2点)" would never match.
    const SjisText awaited = NormaliseSubject(ctx.mailSubject);

    // A late reply to an earlier fetch is only cleared from the server. An
    // empty subject occurs in any text, so once there has been a fetch, a
    // message with no readable subject is cleared too.
    bool remove = !ctx.lateMail.empty() && sjisContainsNoCase(SqueezeSubject(ctx.lateMail), mail.subject);

    // The Message-ID a reply names was put there by its app, the subject
    // may have been changed by it or by hand: where they disagree, the ID
    // tells. A reply naming an earlier mail of the round is late, even when
    // every question has the same subject.
    const Named named = namedMailing(mail, ctx.sentIds);
    if (named == Named::Earlier) remove = true;
    if (named == Named::Awaited || (named == Named::None && mail.subject == awaited)) {
        remove = true;
        if (ctx.perRecipientMode) {
            if (ctx.scoreAnswer) ctx.scoreAnswer(mail.sender, mail.body);
        } else {
            if (ctx.acceptReply) ctx.acceptReply(mail.sender);
        }
    }
    return remove;
}
