#pragma once
#include "model/QuizRun.h"
#include "model/Records.h"
#include "platform/DataFiles.h"
#include "platform/SjisText.h"

// The files the main window keeps per round, named from the round selector's
// text (QuizRun::RoundNumber) used verbatim: the roster trv2s<N>.dat, the
// results trv7<N>.dat and the question set trv5<N>.dat, plus the round
// counter trv3.dat. Each call is one whole-record transfer through the shared
// handle (see RecordFiles.h).

// The roster record of the round's address list: entries 0..AddressLastIndex
// carry name, address and the joined mark; every later slot is empty and 0,
// whatever the list arrays still hold beyond the round's entries.
AddressBook rosterFromAddressList(const QuizRun& run);

// trv2_Write: stores the roster of the round in trv2s<RoundNumber>.dat.
// True only when it is fully stored.
bool writeRoster(DataFiles& files, const QuizRun& run);
// trv2_read: reads trv2s<RoundNumber>.dat into ListNames, ListAddresses and
// ListJoined. A file that cannot be opened leaves the three lists empty (a
// past round then shows nobody rather than the entries of another round);
// false in that case.
bool readRoster(DataFiles& files, QuizRun& run);

// trv7_Write: stores the participant table (with ParticipantCount) in
// trv7<RoundNumber>.dat. True only when it is fully stored.
bool writeResults(DataFiles& files, const QuizRun& run);
// trv7_read: reads trv7<RoundNumber>.dat into the participant table; a file
// that cannot be opened leaves the table empty (P = 0) and gives false.
bool readResults(DataFiles& files, QuizRun& run);

// The main window's trv5_read: round `round`'s question set as stored, no
// taking rule. A file that cannot be opened leaves `out` empty (an empty
// QuestionCount: not set up) and gives false.
bool readQuestionSetAsStored(DataFiles& files, const SjisText& round, QuestionSet& out);

// trv3_Write: CurrentRound becomes the next round (never wrapping), RoundNumber
// its decimal text, and the counter is stored. True only when it is stored.
bool advanceRoundCounter(DataFiles& files, QuizRun& run);
