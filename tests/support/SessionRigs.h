#pragma once
#include <QByteArrayList>

#include <string>
#include <vector>

#include "mail/Pop3Session.h"
#include "mail/SessionWiring.h"
#include "mail/SmtpSession.h"
#include "platform/qt/QtSocket.h"
#include "platform/qt/QtTimer.h"
#include "support/FakeSocket.h"
#include "support/FakeTimer.h"
#include "support/RecordingSessionView.h"
#include "support/TestWorld.h"   // sjis(): UTF-8 source text to Shift_JIS

// A session wired to a socket, a timer and a recording view, the way a
// window routes its socket and timer events. Fakes unless told otherwise.
template <class Session, class SocketType = FakeSocket, class TimerType = FakeTimer>
struct SessionRig {
    SocketType socket;
    TimerType timer;
    RecordingSessionView view;
    Session session{socket, timer, view};

    SessionRig() { wireSession(session, socket, timer, SocketErrorPolicy::ShowAndAwaitTimeOut); }

    // With a fake socket: the server's replies in order, "<tls>" standing for
    // the handshake completing. False when the session had not asked for that
    // handshake by then.
    bool serverSays(const QByteArrayList& replies)
    {
        int handshakes = 0;
        for (const QByteArray& r : replies) {
            if (r != "<tls>") {
                socket.deliver(r.toStdString());
                continue;
            }
            if (socket.startTlsCalls != ++handshakes) return false;
            socket.completeTls();
        }
        return true;
    }

    // With a fake socket: what the session sent.
    std::string lastSent() const { return socket.sends.empty() ? std::string() : socket.sends.back(); }
    // The command lines sent, each without its CR LF; a message text counts as one.
    std::vector<std::string> commands() const
    {
        std::vector<std::string> out;
        for (const auto& s : socket.sends)
            out.push_back(s.size() >= 2 && s.compare(s.size() - 2, 2, "\r\n") == 0 ? s.substr(0, s.size() - 2) : s);
        return out;
    }
};

// Header fields as the dialogue tests give them: fixed values, the
// Message-ID "<index@test>" of the recipient asked for when `numbered`.
inline MessageHeaders testHeaders(int index = 0, bool numbered = false)
{
    MessageHeaders h;
    h.fixedBlock = "X-Test: 1\r\n";
    h.date = "Thu, 10 Dec 2026 23:45:12 +0900";
    h.from = {"", "quiz@trivorn.test"};
    h.messageId = "<" + std::to_string(numbered ? index : 0) + "@test>";
    h.subject = "Quiz";
    return h;
}

using SmtpRig = SessionRig<SmtpSession>;
using Pop3Rig = SessionRig<Pop3Session>;

// Over real connections, with the program's own Qt socket and timer.
template <class Session>
using QtSessionRig = SessionRig<Session, QtSocket, QtTimer>;
