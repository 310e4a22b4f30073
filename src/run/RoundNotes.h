#pragma once
#include <cstdint>
#include <set>
#include <string>

#include "mail/ReceivedMailParser.h"
#include "platform/SjisText.h"

// What a round notes down as it goes, beyond the shared records: whether
// the joined marks are known, and which subjects earlier fetches awaited (so
// late replies are told apart). Kept apart from the main window's QObject so
// the Japanese names stay out of the meta-object compiler's way.
struct RoundNotes {
    // Set once the joined marks of the round shown are known.
    bool 受信 = false;
    // Expected reply subjects of every fetch finished in this run, joined
    // without separator; never cleared while the program runs.
    SjisText 遅れメール;
    // The Message-IDs of the mail the server took, told apart as the
    // subjects of 遅れメール are.
    SentMessageIds sentIds;
    // The reports of undelivered mail already told: the report's Message-ID
    // and the address. A report stays on the server and is read again.
    std::set<std::string> bouncesTold;
};
