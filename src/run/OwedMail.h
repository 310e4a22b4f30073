#pragma once
#include <cstdint>
#include <vector>

#include "mail/SmtpSession.h"
#include "platform/SjisText.h"

// Mail a mailing still owes some of its recipients: put off by the server
// (a 4xx reply, 421, a connection closed before the mail was taken) and
// tried again on a new connection after a pause that grows, or held back to
// keep the pace the operator set. It is of use only for a while (a question
// mail until shortly before its countdown ends); after its deadline it is
// given up.
struct OwedMail {
    struct Owed {
        SmtpJob::Recipient recipient;
        SjisText body;   // the text as completed for this recipient at the first try
    };
    SjisText subject;
    bool perRecipient = false;
    std::vector<Owed> owed;
    SjisText phase;               // how the delivery log names the mailing
    int mailing = 0;              // which of the round's mailings it belongs to
    std::uint32_t deadline = 0;   // clock ticks
    std::uint32_t due = 0;        // the next try, clock ticks
    int tries = 0;                // connections tried so far for it
    SjisText lastReply;           // the server's words at the last try
    bool paced = false;           // held back for the pace, not yet tried
};

// The pause after the n-th try (n from 1): 15 s, 30 s, 60 s, then 120 s.
std::uint32_t RetryPauseMs(int tries);

// Differences of the 32-bit tick count compare right across its wrap.
inline bool reached(std::uint32_t now, std::uint32_t moment) { return std::int32_t(now - moment) >= 0; }
