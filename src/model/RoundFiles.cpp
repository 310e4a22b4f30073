#include "model/RoundFiles.h"

#include <algorithm>
#include <memory>
#include <string>

#include "model/FileNames.h"
#include "model/RecordFiles.h"

namespace {
using FileNames::kQuestionPrefix;
using FileNames::kResultsPrefix;
using FileNames::kRosterPrefix;

void clearAddressList(QuizRun& run) {
    run.ListNames.fill(SjisText());
    run.ListAddresses.fill(SjisText());
    run.ListJoined.fill(0);
}
}  // namespace

AddressBook rosterFromAddressList(const QuizRun& run) {
    AddressBook roster;
    const int last = std::min<int>(run.AddressLastIndex, kAddressSlots - 1);
    for (int i = 0; i <= last; ++i) {
        roster.Names[std::size_t(i)] = run.ListNames[std::size_t(i)];
        roster.Addresses[std::size_t(i)] = run.ListAddresses[std::size_t(i)];
        roster.SendFlags[std::size_t(i)] = run.ListJoined[std::size_t(i)];
    }
    return roster;
}

bool writeRoster(DataFiles& files, const QuizRun& run) {
    return writeRecordFile(files, roundFileName(kRosterPrefix, run.RoundNumber), rosterFromAddressList(run));
}

bool readRoster(DataFiles& files, QuizRun& run) {
    // Read into a record of its own: the roster is an address-book record, the
    // address list three arrays of the run state.
    auto roster = std::make_unique<AddressBook>();
    if (!readRecordFile(files, roundFileName(kRosterPrefix, run.RoundNumber), *roster)) {
        clearAddressList(run);
        return false;
    }
    run.ListNames = std::move(roster->Names);
    run.ListAddresses = std::move(roster->Addresses);
    run.ListJoined = roster->SendFlags;
    return true;
}

bool writeResults(DataFiles& files, const QuizRun& run) {
    return writeRecordFile(files, roundFileName(kResultsPrefix, run.RoundNumber), run.participants);
}

bool readResults(DataFiles& files, QuizRun& run) {
    if (!readRecordFile(files, roundFileName(kResultsPrefix, run.RoundNumber), run.participants)) {
        run.participants = ParticipantTable{};
        return false;
    }
    return true;
}

bool readQuestionSetAsStored(DataFiles& files, const SjisText& round, QuestionSet& out) {
    if (!readRecordFile(files, roundFileName(kQuestionPrefix, round), out)) {
        out = QuestionSet{};
        return false;
    }
    return true;
}

bool advanceRoundCounter(DataFiles& files, QuizRun& run) {
    run.CurrentRound = nextRound(run.CurrentRound);
    run.RoundNumber = std::to_string(run.CurrentRound);
    return writeRoundCounter(files, run.CurrentRound);
}
