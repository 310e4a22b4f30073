#include "mail/MailSession.h"

#include <exception>

#include "mail/RuntimeFault.h"
#include "mail/SessionTexts.h"

MailSession::MailSession(Socket& socket, Timer& timer, SessionView& view, const char* connectedStatus,
                         const char* closedStatus)
    : socket_(socket), timer_(timer), view_(view), connectedStatus_(connectedStatus),
      closedStatus_(closedStatus)
{
}

void MailSession::open(const SjisText& server, int port, int timeoutMs, bool implicitTls,
                       const std::vector<std::string>& trustedFingerprints)
{
    if (!socket_.isClosed()) socket_.close();
    running_ = true;
    faulted_ = false;
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
    view_.setStatus(connectedStatus_);
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
        view_.showMessage(faultMessage(f.number, f.description));
    }
    handling_ = false;
}

void MailSession::closedByPeer()
{
    if (!running_) return;
    finish();
}

void MailSession::socketError(int number, const std::string& description)
{
    // Only shown: the time-out (or a close) ends the session.
    if (!running_) return;
    view_.showMessage(faultMessage(number, description));
}

void MailSession::timerTick()
{
    if (!running_) return;
    timer_.setEnabled(false);
    socket_.close();
    running_ = false;   // nothing else is handled while the message is up
    view_.timedOut();
    view_.showMessage(SessionTexts::kTimeOut);
    view_.sessionEnded();
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

void MailSession::certificateRefused(const std::string& problems, const std::string& fingerprint)
{
    if (!running_) return;
    // Shown once, with what the operator needs to decide whether to trust
    // this certificate in the mail settings; the phase ends at once.
    const SjisText text = SessionTexts::kCertificateRefused + socket_.remoteHost + " : " + problems +
                          " (SHA-256 " + fingerprint + ")";
    view_.certificateRefused(socket_.remoteHost, fingerprint);
    // The phase is over: a message that waits for the operator must not
    // be followed by the time-out's own.
    timer_.setEnabled(false);
    view_.showMessage(text);
    abort(text);
}

void MailSession::abort(const SjisText& status)
{
    if (!running_) return;
    timer_.setEnabled(false);
    if (!socket_.isClosed()) socket_.close();
    view_.setStatus(status);
    running_ = false;
    view_.sessionEnded();
}

void MailSession::abandon()
{
    timer_.setEnabled(false);
    if (!socket_.isClosed()) socket_.close();
    running_ = false;
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
    view_.setStatus(closedStatus_);
    running_ = false;
    view_.sessionEnded();
}

bool MailSession::holdsLineBreak(const std::string& s)
{
    return s.find_first_of("\r\n") != std::string::npos;
}
