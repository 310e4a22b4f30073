#pragma once
#include <string>

#include "platform/SjisText.h"

// What a submission service of today says after EHLO, and the forms its
// extensions want.

// The extensions of an EHLO reply this program uses.
struct EhloOffer {
    bool startTls = false;
    bool authPlain = false;
    bool authLogin = false;
    // Commands may be sent in groups, their replies read afterwards in order.
    bool pipelining = false;
};

// Reads every line of a (multi-line) 250 reply to EHLO: "250-STARTTLS",
// "250-AUTH PLAIN LOGIN", "250-PIPELINING", and the older "250 AUTH=LOGIN" alike; keywords are
// compared without regard to case.
EhloOffer ReadEhloOffer(const std::string& reply);

