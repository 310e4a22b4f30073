#pragma once
#include <cstdint>

#include "platform/SjisText.h"

// The window variables of the main window, kept apart from the QObject so
// their Japanese names stay out of the meta-object compiler's way.
struct Form1Variables {
    // A record: 0 while a mail session of the round runs, 1 once it has
    // ended. The round waits on the session itself, never on this.
    std::int16_t sw = 0;
    // "1" once the joined marks of the round shown are known.
    SjisText 受信;
    // Expected reply subjects of every fetch finished in this run, joined
    // without separator; never cleared while the program runs.
    SjisText 遅れメール;
};
