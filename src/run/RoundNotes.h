#pragma once
#include <cstdint>

#include "platform/SjisText.h"

// What a round notes down as it goes, beyond the shared records: whether a
// mail session is running, whether the joined marks are known, and which
// subjects earlier fetches awaited (so late replies are told apart). Kept
// apart from the main window's QObject so the Japanese names stay out of
// the meta-object compiler's way.
struct RoundNotes {
    // A record: 0 while a mail session of the round runs, 1 once it has
    // ended. The round waits on the session itself, never on this.
    std::int16_t sw = 0;
    // "1" once the joined marks of the round shown are known.
    SjisText 受信;
    // Written as one character rather than copied from a literal: GCC 12
    // takes the copy for an overlapping memcpy and warns (-Wrestrict).
    void noteJoinedMarksKnown() { 受信.assign(1, '1'); }
    // Expected reply subjects of every fetch finished in this run, joined
    // without separator; never cleared while the program runs.
    SjisText 遅れメール;
};
