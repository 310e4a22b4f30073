#include "model/Connection.h"

Protection protectionOf(std::int16_t stored) {
    return stored >= 0 && stored <= std::int16_t(Protection::Tls) ? Protection(stored) : Protection::Tls;
}

LoginKind loginKindOf(std::int16_t stored) {
    return stored >= 0 && stored <= std::int16_t(LoginKind::Own) ? LoginKind(stored) : LoginKind::None;
}
