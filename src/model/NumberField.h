#pragma once
#include <charconv>
#include <optional>

#include "platform/SjisText.h"

// Numbers the operator types into a field: the editors check them before
// "確定" stores anything, and the mails repeat them in plain decimal.

// A whole number written as ASCII digits with an optional leading '-', no
// spaces; nothing for anything else (empty, '+', full-width digits, "1.5",
// " 3") and for values beyond a long's reach.
inline std::optional<long> WholeNumber(const SjisText& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first == last) return std::nullopt;
    // from_chars takes a leading '-' but no '+' and no spaces, which is what we want.
    long value = 0;
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last) return std::nullopt;
    return value;
}

// A whole number inside [lowest, highest]; nothing otherwise.
inline std::optional<int> wholeNumberIn(const SjisText& text, long lowest, long highest) {
    const auto n = WholeNumber(text);
    if (!n || *n < lowest || *n > highest) return std::nullopt;
    return int(*n);
}
