#pragma once
#include <cstdint>

#include "platform/SjisText.h"

// The mail being sent, or during a fetch the expected reply subject.
struct OutgoingMail {
    SjisText MailSubject;   // during a fetch: "Re:" + the awaited subject
    SjisText MailBody;
    SjisText PersonalBody;  // per-recipient mode: MailBody completed for one participant
    std::int16_t PerRecipientMode = 0;
    SjisText HeaderBlock;
};
