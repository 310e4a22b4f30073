#pragma once
#include <vector>

#include "mail/SmtpSession.h"
#include "platform/SjisText.h"

// One mailing of the round, handed to the send as a value: what goes out and
// to whom. The fetch that follows is handed the same value, whose replies it
// awaits.
struct OutgoingMail {
    SjisText MailSubject;
    SjisText MailBody;
    // On: one message per recipient, the recipients being the participants
    // row by row, each body completed with that player's results. Off: one
    // text to every recipient in one transaction.
    bool PerRecipientMode = false;
    std::vector<SmtpJob::Recipient> recipients;
};

// The subject a reply to `mail` carries: "Re:" and its subject.
inline SjisText ReplySubject(const OutgoingMail& mail) { return "Re:" + mail.MailSubject; }
