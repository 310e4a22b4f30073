#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "model/PersonClass.h"
#include "model/Records.h"

// The state of the round being played (or the past round being shown).
struct QuizRun {
    SjisText RoundNumber;              // the text of the round selector
    std::int16_t CurrentRound = 1;     // the round START plays next

    // The round's invitees in address-book order.
    std::array<SjisText, kAddressSlots> ListNames;
    std::array<SjisText, kAddressSlots> ListAddresses;
    std::array<std::int16_t, kAddressSlots> ListJoined{};
    std::int16_t AddressLastIndex = -1;

    ParticipantTable participants;     // ParticipantCount lives in here
    SizedArray2<std::uint8_t> Answered;   // [p][q]: a reply to q has been handled
    std::int16_t ParticipantLastIndex = -1;

    std::vector<PersonClass> Ranking;
    std::int16_t CurrentQuestion = 0;
    std::int16_t ArrivalCounter = 0;

    std::int16_t& ParticipantCount() { return participants.ParticipantCount; }
};
