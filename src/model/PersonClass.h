#pragma once
#include <cstdint>

#include "platform/SjisText.h"

// One ranked participant, built afresh for every ranking from a row of the
// participant table.
struct PersonClass {
    std::int16_t 得点数 = 0;   // first ranking key: more points first
    std::int16_t 着信順 = 0;   // second key: earlier arrival first
    SjisText アドレス;
    std::int16_t 順位 = 0;
    SjisText 名前;
    std::int16_t 正解数 = 0;
    std::int16_t 正解率 = 0;

    // Negative when this person ranks before `o`.
    std::int16_t compareTo(const PersonClass& o) const {
        if (得点数 < o.得点数) return 1;
        if (得点数 > o.得点数) return -1;
        if (着信順 < o.着信順) return -1;
        if (着信順 > o.着信順) return 1;
        return 0;
    }
};
