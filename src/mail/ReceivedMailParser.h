#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "mail/DeliveryStatus.h"
#include "mail/Players.h"
#include "platform/CharsetConverter.h"
#include "platform/SjisText.h"

// One fetched message as the parser reads it.
struct ReceivedMail {
    SjisText sender;    // the address of the first From header (see ReadReceivedMail)
    SjisText subject;   // decoded and normalised (NormaliseSubject)
    SjisText body;      // decoded body text
    // The Message-IDs its In-Reply-To and References name: the mail it answers.
    std::vector<std::string> answers;
};

// The Message-IDs the round gave its mail. A reply that names one of them in
// In-Reply-To or References answers that mail, whatever its app did to the
// subject ("AW:", "返信:", a subject cut short).
// Kept as the late-reply subjects are: a mailing counts as earlier once its
// replies have been fetched, and a reply to a mail never fetched for (the
// closing mail) stays on the server for the operator to read.
struct SentMessageIds {
    std::unordered_set<std::string> awaited;   // the latest mailing, until its replies are fetched
    std::unordered_set<std::string> earlier;   // the mailings whose replies were fetched
    void mailed(const std::vector<std::string>& ids) { awaited = {ids.begin(), ids.end()}; }
    void fetched() { earlier.merge(awaited); }
};

// How replies are read beyond their own text: whose count, and the converter
// that brings text in Unicode's charsets into Shift_JIS (without one, such
// text is read byte by byte and comes out garbled).
struct ReplyReading {
    PlayerFilter players;
    const CharsetConverter* converter = nullptr;
};

// What the parser needs to know of the run, and where it hands a reply over.
struct ParseContext {
    SjisText ownAddress;         // the operator's address (delivery clause)
    // mailSubject and lateMail are compared with their spaces and CR LF
    // squeezed out, as the reply's subject is (SqueezeSubject).
    SjisText mailSubject;        // the expected reply subject, "Re:" + subject
    SjisText lateMail;           // 遅れメール: expected subjects of earlier fetches, joined
    bool perRecipientMode = false;   // off: invitation phase; on: question phase
    const SentMessageIds* sentIds = nullptr;   // none: replies are told by their subject alone
    ReplyReading reading;
    std::function<void(const SjisText& sender)> acceptReply;
    std::function<void(const SjisText& sender, const SjisText& body)> scoreAnswer;
    // A provider's report that mail of this round (one of sentIds) to
    // `failed.address` could not be delivered; `notice` is the report's own
    // Message-ID. The report itself is left on the server, as all mail that
    // is no reply is, so the same report comes again at the next fetch.
    std::function<void(const FailedDelivery& failed, const std::string& notice)> bounced;
};

// How a fetched message stands before its subject is compared.
enum class MailVerdict {
    Read,           // a message to the operator from a phone: sender, subject and body read
    NotAddressed,   // no delivery clause "for <OwnAddress>;" in its headers
    NotFromPhone,   // not from a player (ReplyReading::players)
    Unreadable,     // headers with no end, a broken encoded word, a multi-part body without delimiters
    Bounce,         // a provider's report of mail it could not deliver
};

struct ReadResult {
    MailVerdict verdict = MailVerdict::Unreadable;
    ReceivedMail mail;   // filled when the verdict is Read
    // Bounce: the recipients the report names as failed, the report's own
    // Message-ID and that of the returned message.
    std::vector<FailedDelivery> failed;
    std::string notice;
    std::string returnedId;
};

// Reads one complete retrieved message (the server's status line first, the
// terminating "." line last, byte-stuffing already undone): the one place that
// decides how a reply's sender, subject and text are obtained. The message is
// read as the MIME message it is; what old phones send that a MIME reader
// does not take (raw ISO-2022-JP in the Subject, the preamble of a multi-part
// message whose type does not say so) is read by the phones' own rules.
ReadResult ReadReceivedMail(std::string_view messageText, std::string_view ownAddress,
                            const ReplyReading& reading = {});

// Judges one complete retrieved message and hands a reply to the awaited mail
// over through the context: one that names its Message-ID, or, naming none
// of the round's, one whose subject is the awaited one. True when the message is to be
// deleted from the server: such a reply, or a late reply to an earlier fetch.
// A message that cannot be read is never handed over and stays on the server.
bool ParseReceivedMail(const std::string& messageText, ParseContext& ctx);
