#pragma once
#include "mail/MailSession.h"
#include "platform/Socket.h"
#include "platform/Timer.h"

// What an error on the socket does to the session it is wired to.
enum class SocketErrorPolicy {
    // Shown (unless the session's owner tells failures itself); the
    // session's time-out, or a close, then ends it. A round does this.
    ShowAndAwaitTimeOut,
    // The session ends at once with the error as its status: there is
    // nothing left to wait for. The feedback window does this.
    EndSession,
};

// Routes every event of `socket` and `timer` to `session`: the one way a
// window, or a test, attaches a mail session to its connection. The three
// must outlive the wiring (they are the owner's members).
void wireSession(MailSession& session, Socket& socket, Timer& timer, SocketErrorPolicy onError);
