#include "mail/MailSession.h"

#include <exception>

#include "mail/FailureTexts.h"
#include "mail/RuntimeFault.h"
#include "mail/SessionTexts.h"

MailSession::MailSession(Socket& socket, Timer& timer, SessionView& view, const char* connectedStatus,
                         const char* closedStatus)
    : socket_(socket), timer_(timer), view_(view), connectedStatus_(connectedStatus),
      closedStatus_(closedStatus)
{
}

void MailSession::open(const SjisText& server, int port, int timeoutMs, bool implicitTls,
                       const std::vector<std::string>& trustedFingerprints, bool ownerTellsFailures)
{
    if (!socket_.isClosed()) socket_.close();
    running_ = true;
    faulted_ = false;
    connected_ = false;
    quitting_ = false;
    ownerTells_ = ownerTellsFailures;
    failure_ = SessionFailure{};
    socket_.remoteHost = server;
    socket_.remotePort = port;
    socket_.localPort = 0;
    socket_.implicitTls = implicitTls;
    socket_.tlsServerName = server;
    socket_.trustedFingerprints = trustedFingerprints;
    timer_.setInterval(timeoutMs);
    timer_.setEnabled(true);
    socket_.connect();
}

void MailSession::connected()
{
    if (!running_) return;
    connected_ = true;
    showStatus(connectedStatus_);
}

void MailSession::dataArrived()
{
    std::string bytes = socket_.getData();
    if (!active()) return;
    received(bytes);
    // Any arrival, even part of a reply, shows the server is alive.
    restartTimer();
    // A handler further up the stack (a nested event loop) takes the replies.
    if (handling_) return;
    handling_ = true;
    try {
        takeReplies();
    } catch (...) {
        // The socket is closed and the fault shown; the still-running timer
        // then ends the session.
        faulted_ = true;
        socket_.close();
        RuntimeFault f = describeFault(std::current_exception());
        fail(SessionFailure::Kind::Fault, faultMessage(f.number, f.description));
        tell(faultMessage(f.number, f.description));
    }
    handling_ = false;
}

void MailSession::closedByPeer()
{
    if (!running_) return;
    if (!quitting_ && !closedEarly()) fail(SessionFailure::Kind::ConnectionLost, closedStatus_);
    finish();
}

void MailSession::socketError(int number, const std::string& description)
{
    if (!running_) return;
    const SjisText text = faultMessage(number, description);
    fail(connected_ ? SessionFailure::Kind::ConnectionLost : SessionFailure::Kind::NoConnection, text);
    // The owner who tells the operator itself need not wait for the
    // time-out to know the connection is gone.
    if (ownerTells_) {
        abort(text);
        return;
    }
    // Only shown: the time-out (or a close) ends the session.
    view_.showMessage(text);
}

void MailSession::timerTick()
{
    if (!running_) return;
    timer_.setEnabled(false);
    socket_.close();
    running_ = false;   // nothing else is handled while the message is up
    fail(SessionFailure::Kind::TimedOut, SessionTexts::kTimeOut);
    view_.timedOut();
    tell(SessionTexts::kTimeOut);
    ended();
}

void MailSession::beginTls()
{
    socket_.startTls();
}

void MailSession::encrypted()
{
    if (!active()) return;
    restartTimer();
    tlsStarted();
}

void MailSession::certificateRefused(const CertificateRefusal& refusal)
{
    if (!running_) return;
    // Shown once, with what the operator needs to decide whether to trust
    // this certificate, and where; the phase ends at once.
    const SjisText text = certificateRefusedText(socket_.remoteHost, refusal);
    view_.certificateRefused(socket_.remoteHost, certificateProblemsText(refusal), refusal.fingerprint);
    // The phase is over: a message that waits for the operator must not
    // be followed by the time-out's own.
    timer_.setEnabled(false);
    fail(SessionFailure::Kind::Certificate, text);
    tell(text);
    abort(text);
}

void MailSession::abort(const SjisText& status)
{
    if (!running_) return;
    timer_.setEnabled(false);
    if (!socket_.isClosed()) socket_.close();
    showStatus(status);
    running_ = false;
    ended();
}

void MailSession::fail(SessionFailure::Kind kind, const SjisText& detail)
{
    if (failure_) return;
    failure_ = SessionFailure{kind, detail};
}

void MailSession::tell(const SjisText& text)
{
    if (!ownerTells_) view_.showMessage(text);
}

void MailSession::markQuitting()
{
    quitting_ = true;
}

void MailSession::abandon()
{
    timer_.setEnabled(false);
    if (!socket_.isClosed()) socket_.close();
    running_ = false;
    if (endWaiter_) endWaiter_();
}

void MailSession::ended()
{
    view_.sessionEnded();
    if (endWaiter_) endWaiter_();
}

void MailSession::send(const std::string& bytes)
{
    socket_.sendData(bytes);
}

void MailSession::restartTimer()
{
    timer_.setEnabled(false);
    timer_.setEnabled(true);
}

void MailSession::finish()
{
    socket_.close();
    timer_.setEnabled(false);
    showStatus(closedStatus_);
    running_ = false;
    ended();
}

std::string MailSession::firstLine(const std::string& reply)
{
    std::string line = reply.substr(0, reply.find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

bool MailSession::holdsLineBreak(const std::string& s)
{
    return s.find_first_of("\r\n") != std::string::npos;
}
