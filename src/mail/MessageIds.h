#pragma once
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"
#include "platform/SjisText.h"

// Message-IDs for the mail the program sends, and the ones replies name.
// A reply that names the Message-ID of a question mail answers that
// question, whatever its app did to the subject.

// Makes Message-IDs "<time.count.random@domain>": the time and a count that
// goes up with every ID keep one maker's IDs apart, the random part keeps
// them apart from every other maker's, on this machine or another.
class MessageIdMaker {
public:
    MessageIdMaker();
    std::string next(const WallTime& now, std::string_view domain);

private:
    std::uint32_t count_ = 0;
    std::mt19937_64 random_;
};

// The domain of a mail address: the text after its last "@", where that is a
// domain name. Receivers of today refuse mail whose sender has none.
std::optional<std::string> DomainOf(const SjisText& address);

// The right side of the IDs: the domain of the operator's own address, or,
// for an address without one ("quiz"), the SMTP server's name.
std::string MessageIdDomain(const SjisText& ownAddress, const SjisText& smtpServer);

// Every "<...>" identifier in the value of an In-Reply-To or References
// field, in order, angle brackets included.
std::vector<std::string> ReferencedIds(std::string_view field);
