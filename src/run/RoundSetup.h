#pragma once
#include <optional>

#include "model/Module1.h"
#include "platform/SjisText.h"

// What START reads before any mail goes out: the set-up files of the round
// (the selector's text, QuizRun::RoundNumber), each whole into its shared
// record, and the round's address list from the address book.

// Reads the mail settings (their passwords from the keyring where it keeps
// them), the address book, the round counter, the
// invitation, the question set and the closing mail, in that order, and
// stops at the first that is not set up: its message for the status line.
// Nothing when every file is set up. Files are opened for reading only: a
// missing one reads as empty and is not created, so a round that stops here
// leaves the folder as it was.
std::optional<SjisText> ReadRoundSetup(Module1& m);

// The number of questions: QuestionCount as a whole number 1..100, nothing
// for anything else (the tables of a round need at least one question and
// have room for a hundred).
std::optional<int> QuestionCountOf(const QuestionSet& set);

// The address list: every address-book slot, in order, whose send mark is
// set and whose address is neither empty nor a single space. Returns the
// number of entries C (AddressLastIndex is C - 1); nothing joined yet.
int BuildAddressList(Module1& m);

// Whether address-book slot `slot` is invited: its send mark set and its
// address neither empty nor a single space.
bool IsInvited(const AddressBook& book, int slot);

// The most recipients a round sends to, should everyone invited join: what
// a provider's daily limit counts.
struct RoundRecipients {
    int invitation = 0;   // everyone invited, in one mail
    int questions = 0;    // every question to every player
    int closing = 0;      // the closing mail to every player
    int total() const { return invitation + questions + closing; }
};
RoundRecipients MostRecipients(int invited, int questionCount);
