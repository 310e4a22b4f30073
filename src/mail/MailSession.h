#pragma once
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "mail/SessionFailure.h"
#include "mail/SessionView.h"
#include "platform/SjisText.h"
#include "platform/Socket.h"
#include "platform/Timer.h"

// How long a mail server may stay silent before the session gives up: any
// arrival, even part of a reply, starts the time again.
inline constexpr int kSessionTimeoutMs = 10000;

// What every mail dialogue shares: one socket, its time-out timer and the view
// it reports to. The owner routes the socket's and the timer's events to the
// handlers below; a derived session supplies only its own dialogue.
class MailSession {
public:
    virtual ~MailSession() = default;
    MailSession(const MailSession&) = delete;
    MailSession& operator=(const MailSession&) = delete;

    // Event handlers (WinsockN_Connect, _DataArrival, _Close, _Error, TimerN_Timer),
    // routed here by the owner (mail/SessionWiring.h).
    void connected();
    void dataArrived();
    void closedByPeer();
    void socketError(int number, const std::string& description);
    void timerTick();
    // The socket's TLS events: the handshake done, the certificate refused.
    void encrypted();
    void certificateRefused(const CertificateRefusal& refusal);

    bool running() const { return running_; }
    // Called once the session has ended by any road, or been abandoned:
    // whoever waits for the end goes on (see run/Waiting.h). Empty: nobody.
    // Gives the one it replaces.
    std::function<void()> whenEnded(std::function<void()> waiter) { return std::exchange(endWaiter_, std::move(waiter)); }
    // What went wrong in the latest session; nothing while it runs well.
    const SessionFailure& failure() const { return failure_; }

    // Ends the session at once as failed, showing `status`: for an owner that
    // need not wait for the time-out once the connection is known to be lost
    // (refused, or an error on the socket).
    void abort(const SjisText& status);

    // Drops the session where it stands: the socket is closed and the time-out
    // stopped, nothing is shown and no end is reported (the owner is going away).
    void abandon();

protected:
    // The two status texts name the server: shown once connected, and when
    // the connection ends.
    MailSession(Socket& socket, Timer& timer, SessionView& view, const char* connectedStatus,
                const char* closedStatus);

    // Closes the socket if it is open, arms the time-out and connects. The
    // derived start() has reset its own dialogue first. With `implicitTls`
    // the connection is encrypted before the greeting. With `ownerTellsFailures`
    // the session shows no message box of its own: its owner tells the
    // operator from failure() once the session has ended, and a connection
    // that cannot be made ends it at once rather than after the time-out.
    void open(const SjisText& server, int port, int timeoutMs, bool implicitTls = false,
              const std::vector<std::string>& trustedFingerprints = {}, bool ownerTellsFailures = false);

    // The status line, unless the session runs quietly: a mail tried again
    // while a countdown shows its own.
    void showStatus(const SjisText& text) {
        if (!quiet_) view_.setStatus(text);
    }
    void runQuietly(bool quiet) { quiet_ = quiet; }

    // Notes what went wrong, unless something already has.
    void fail(SessionFailure::Kind kind, const SjisText& detail);
    // QUIT has gone out: the server closing from now on is the orderly end.
    void markQuitting();

    // The server agreed to TLS: the handshake starts, and the dialogue goes
    // on in tlsStarted() once the connection is encrypted.
    void beginTls();
    virtual void tlsStarted() {}
    // The server closed the connection before the dialogue's end: true when
    // the dialogue has dealt with it (put its work off for later), so that
    // it is no failure of the session.
    virtual bool closedEarly() { return false; }

    // Bytes the server sent, kept until the dialogue takes them.
    virtual void received(const std::string& bytes) = 0;
    // Takes every whole reply the kept bytes hold. Runs once at a time: bytes
    // arriving meanwhile (a nested event loop) are kept and taken by this same
    // call. A fault thrown here closes the socket and leaves the ending to the
    // time-out.
    virtual void takeReplies() = 0;

    // Whether the dialogue should go on taking replies.
    bool active() const { return running_ && !faulted_; }
    void send(const std::string& bytes);
    void restartTimer();
    // The orderly end: closes, stops the time-out, shows the closing status.
    void finish();

    // A command argument holding a line break would smuggle in a command of its own.
    static bool holdsLineBreak(const std::string& s);
    // The first line of a server's reply, without its line break: what the
    // operator is shown of it.
    static std::string firstLine(const std::string& reply);

    Socket& socket_;
    Timer& timer_;
    SessionView& view_;

private:
    const char* connectedStatus_;
    const char* closedStatus_;
    // A message box of the session's own, unless its owner tells the operator.
    void tell(const SjisText& text);
    // The end, by whatever road: the view and whoever waits hear of it.
    void ended();
    std::function<void()> endWaiter_;

    bool running_ = false;    // between start() and the end of the session
    bool connected_ = false;  // the connection was made (and encrypted, where asked)
    bool ownerTells_ = false;
    bool quiet_ = false;
    bool quitting_ = false;
    SessionFailure failure_;
    bool faulted_ = false;    // a fault closed the socket; the time-out ends the session
    bool handling_ = false;   // inside takeReplies (guards a nested event loop)
};
