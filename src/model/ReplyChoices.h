#pragma once
#include <cstdint>

// What trv2x.dat stores of how replies are read. The numbers are what the
// file holds: a folder without the file reads 0, the rules of old.

// Whose replies count.
enum class Players : std::int16_t {
    CarrierDomains = 0,   // senders at the listed mobile mail domains
    AddressBook = 1,      // every sender the address book holds, whatever the domain
};

// Which digits an answer may be written in.
enum class AnswerDigits : std::int16_t {
    HalfWidth = 0,       // 0-9 only, as phones of old write them
    FullWidthToo = 1,    // ０-９ read as 0-9 as well
};

// What a stored number means. A value the program never writes (a damaged
// file) keeps the rule of old: the carriers' domains, half-width digits only
// where it is 0, full-width too otherwise.
Players playersOf(std::int16_t stored);
AnswerDigits answerDigitsOf(std::int16_t stored);

constexpr std::int16_t stored(Players p) { return std::int16_t(p); }
constexpr std::int16_t stored(AnswerDigits d) { return std::int16_t(d); }
