#include "model/ReplyChoices.h"

Players playersOf(std::int16_t stored) {
    return stored == std::int16_t(Players::AddressBook) ? Players::AddressBook : Players::CarrierDomains;
}

AnswerDigits answerDigitsOf(std::int16_t stored) {
    return stored != 0 ? AnswerDigits::FullWidthToo : AnswerDigits::HalfWidth;
}
