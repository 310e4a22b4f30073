#include "model/Connection.h"

Protection protectionOf(std::int16_t stored) {
    return stored >= 0 && stored <= std::int16_t(Protection::Tls) ? Protection(stored) : Protection::Tls;
}

PasswordPlace passwordPlaceOf(std::int16_t stored) {
    return stored == 0 ? PasswordPlace::Keyring : PasswordPlace::Files;
}

LoginKind loginKindOf(std::int16_t stored) {
    return stored >= 0 && stored <= std::int16_t(LoginKind::Own) ? LoginKind(stored) : LoginKind::None;
}
