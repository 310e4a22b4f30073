#pragma once
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/Records.h"
#include "platform/DataFiles.h"
#include "platform/SjisText.h"

// Whose fetched messages are players' replies. A message that comes from no
// player is left on the server untouched, as mail the operator reads elsewhere.

// The mobile mail domains of the carriers, of old and of today: a folder that
// never chose its own list takes these.
inline constexpr std::array<std::string_view, 7> kCarrierDomains = {
    "docomo.ne.jp", "ezweb.ne.jp", "au.com", "softbank.ne.jp", "i.softbank.jp", "vodafone.ne.jp", "ymobile.ne.jp",
};

struct PlayerFilter {
    // CarrierDomains: the sender's envelope address (Return-Path) lies in one
    // of `domains`; AddressBook: the sender (From) is in `addressBook`,
    // whatever the domain.
    using Rule = Players;
    Rule rule = Rule::CarrierDomains;
    std::vector<std::string> domains{kCarrierDomains.begin(), kCarrierDomains.end()};
    std::vector<SjisText> addressBook;
};

// Whether a message comes from a player: `returnPath` is the value of its
// Return-Path field (none: the message has none, and passes the domain rule,
// as mail handed over without an envelope always has), `sender` the address
// of its From field.
bool fromPlayer(const PlayerFilter& filter, std::optional<std::string_view> returnPath, const SjisText& sender);

// The address of an address field (From, Return-Path): what stands inside its
// last angle brackets, else the whole value; white space and line breaks left
// out. A display name in front ("山田 <taro@…>") is no part of the address
// the address book holds.
std::string addressOf(std::string_view fieldValue);

// The address lies in the domain itself or in one of its sub-domains
// (t.vodafone.ne.jp in vodafone.ne.jp), never in a domain that merely ends in
// the same letters (xdocomo.ne.jp) or holds them (docomo.ne.jp.example.com).
bool inDomain(std::string_view address, std::string_view domain);

// Two addresses are the same mailbox: the part before the last "@" exactly,
// the domain in any letter case (phones write Taro@DOCOMO.NE.JP as readily).
bool sameAddress(std::string_view a, std::string_view b);

// The filter a round reads its replies with.
PlayerFilter playerFilterOf(const ReplySettings& settings, const AddressBook& book);

// The domains in force: the stored list, or the carriers' when none is stored.
std::vector<std::string> playerDomainsOf(const ReplySettings& settings);
// Stores the operator's list, each domain in lower case without spaces or a
// leading "@"; empty lines are dropped. A list equal to the carriers' is
// stored as none, so the folder follows the program's list. False, with the
// settings unchanged, when there are more than kPlayerDomainSlots domains.
bool storePlayerDomains(ReplySettings& settings, const std::vector<std::string>& domains);

// trv2x.dat as stored, read without creating it: a folder without it gets
// the carriers' domains and half-width answers only.
ReplySettings ReadReplySettings(DataFiles& files);
