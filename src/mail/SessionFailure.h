#pragma once
#include "platform/SjisText.h"

// What went wrong in a mail session, for its owner to tell the operator what
// failed, why and what to do. The first thing that went wrong counts: what
// follows from it (the QUIT, the close) says nothing new.
struct SessionFailure {
    enum class Kind {
        None,              // the dialogue ran its course
        NoConnection,      // the server could not be reached at all
        ConnectionLost,    // the connection broke off in the middle of the dialogue
        TimedOut,          // the server fell silent
        Certificate,       // its certificate failed the checks and is not trusted
        NoStartTls,        // the settings ask for STARTTLS, the server does not offer it
        NoStls,            // the settings ask for STLS, the server does not offer it
        NoAuth,            // the settings ask for a login, the server offers none we speak
        LoginRefused,      // the account or the password was refused
        Refused,           // a command the whole session needs was refused
        NobodyReachable,   // every recipient of the mailing was refused
        Fault,             // a fault of the program's own while it read a reply
    };
    Kind kind = Kind::None;
    // The server's reply line, the socket's or the TLS library's words, or
    // the program's own text for what it refused to send.
    SjisText detail;

    explicit operator bool() const { return kind != Kind::None; }
};
