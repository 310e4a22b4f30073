#include "run/OwedMail.h"

#include <algorithm>

std::uint32_t RetryPauseMs(int tries) {
    // Providers that throttle count over a minute or so: the first pause
    // gives them time, the later ones do not hammer a server that is down.
    constexpr std::uint32_t kFirstPauseMs = 15000;
    constexpr int kDoublings = 3;
    return kFirstPauseMs << std::clamp(tries - 1, 0, kDoublings);
}
