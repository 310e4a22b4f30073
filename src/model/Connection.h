#pragma once
#include <cstdint>

// How a connection to a mail server is protected, and whom the SMTP server
// is told the sender is. The numbers are what trv1x.dat stores: a folder
// without the file reads 0, the plain connection of old with no login.
enum class Protection : std::int16_t {
    None = 0,       // as it always was: HELO, plain USER/PASS
    StartTls = 1,   // the plain port, then STARTTLS (SMTP) or STLS (POP3)
    Tls = 2,        // TLS from the first byte
};

enum class LoginKind : std::int16_t {
    None = 0,
    Pop3Account = 1,   // the account and password of trv1.dat
    Own = 2,           // a sending account of its own
};

// What a stored number means. A value the program never writes (a damaged
// file) asks for TLS from the first byte, never for less protection than may
// have been meant, and for no login.
Protection protectionOf(std::int16_t stored);
LoginKind loginKindOf(std::int16_t stored);

// Where the passwords of trv1.dat and trv1x.dat are kept. A file written
// before the choice existed reads 0: the keyring, where there is one. Any
// other value keeps them in the files, where they can always be read.
enum class PasswordPlace : std::int16_t {
    Keyring = 0,
    Files = 1,
};
PasswordPlace passwordPlaceOf(std::int16_t stored);

constexpr std::int16_t stored(Protection p) { return std::int16_t(p); }
constexpr std::int16_t stored(LoginKind k) { return std::int16_t(k); }
constexpr std::int16_t stored(PasswordPlace p) { return std::int16_t(p); }
