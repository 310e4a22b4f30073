#pragma once
#include <array>
#include <string_view>

// The mobile mail domains whose senders may play: NTT docomo, au EZweb and
// Vodafone. A fetched message whose Return-Path names none of them is not a
// player's reply. Sub-domains (t.vodafone.ne.jp) are covered because the
// Return-Path is searched for these texts, letter case ignored.
inline constexpr std::array<std::string_view, 3> kCarrierDomains = {
    "docomo.ne.jp",
    "ezweb.ne.jp",
    "vodafone.ne.jp",
};
