#include "mail/SmtpSession.h"

#include <utility>

#include "mail/OutgoingMessage.h"
#include "mail/RuntimeFault.h"
#include "mail/SessionTexts.h"

namespace {

bool holdsLineBreak(const std::string& s)
{
    return s.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

SmtpSession::SmtpSession(Socket& socket, Timer& timer, SessionView& view)
    : socket_(socket), timer_(timer), view_(view)
{
}

const char* SmtpSession::stateName(State s)
{
    switch (s) {
    case State::Connect: return "Connect";
    case State::Helo: return "Helo";
    case State::MailFrom: return "Mail From";
    case State::RcptTo: return "Rcpt To";
    case State::Data: return "Data";
    case State::Body: return "Body";
    case State::Quit: return "Quit";
    }
    return "";
}

void SmtpSession::start(SmtpJob job)
{
    if (!socket_.isClosed()) socket_.close();
    job_ = std::move(job);
    reader_.clear();
    state_ = State::Connect;
    replyCode_.clear();
    recipientIndex_ = 0;
    running_ = true;
    faulted_ = false;
    socket_.remoteHost = job_.server;
    socket_.remotePort = job_.port;
    socket_.localPort = 0;
    timer_.setInterval(job_.timeoutMs);
    timer_.setEnabled(true);
    socket_.connect();
}

void SmtpSession::connected()
{
    if (!running_) return;
    view_.setStatus(SessionTexts::kSmtpConnected);
}

void SmtpSession::dataArrived()
{
    std::string bytes = socket_.getData();
    if (!running_ || faulted_) return;
    reader_.append(bytes);
    // Any arrival, even part of a reply, shows the server is alive.
    restartTimer();
    // A handler further up the stack (a nested event loop) takes the replies.
    if (handling_) return;
    handling_ = true;
    try {
        while (running_ && !faulted_) {
            auto reply = reader_.next();
            if (!reply) break;
            handleReply(*reply);
        }
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

void SmtpSession::closedByPeer()
{
    if (!running_) return;
    finish(SessionTexts::kSmtpClosed);
}

void SmtpSession::socketError(int number, const std::string& description)
{
    // Only shown: the time-out (or a close) ends the session.
    if (!running_) return;
    view_.showMessage(faultMessage(number, description));
}

void SmtpSession::timerTick()
{
    if (!running_) return;
    timer_.setEnabled(false);
    socket_.close();
    running_ = false;   // nothing else is handled while the message is up
    view_.timedOut();
    view_.showMessage(SessionTexts::kTimeOut);
    view_.sessionEnded();
}

void SmtpSession::handleReply(const SmtpReplyReader::Reply& reply)
{
    replyCode_ = reply.code;
    const int last = int(job_.recipients.size()) - 1;

    switch (state_) {
    case State::Connect:
        if (!expect("220")) return;
        if (holdsLineBreak(job_.server)) {
            view_.setStatus(SessionTexts::kSmtpServerRefused);
            sendQuit();
            return;
        }
        send("HELO " + job_.server + "\r\n");
        state_ = State::Helo;
        recipientIndex_ = 0;
        return;

    case State::Helo: {
        if (!expect("250")) return;
        if (job_.showsProgress) {
            view_.setProgressRange(0, last + 1);
            view_.setProgressStyle(1);
        }
        if (holdsLineBreak(job_.ownAddress)) {
            view_.setStatus(SessionTexts::kSenderRefused);
            sendQuit();
            return;
        }
        int i = nextUsableRecipient(recipientIndex_);
        if (i < 0) {   // nobody (left) to send to
            sendQuit();
            return;
        }
        recipientIndex_ = i;
        send("MAIL FROM:<" + job_.ownAddress + ">\r\n");
        state_ = State::MailFrom;
        return;
    }

    case State::MailFrom: {
        if (!expect("250")) return;
        send("RCPT TO:<" + job_.recipients[std::size_t(recipientIndex_)].address + ">\r\n");
        reportRecipient(recipientIndex_);
        if (job_.perRecipient) {
            state_ = State::RcptTo;
            return;
        }
        int next = nextUsableRecipient(recipientIndex_ + 1);
        if (next < 0)
            state_ = State::RcptTo;
        else
            recipientIndex_ = next;
        return;
    }

    case State::RcptTo:
        if (!expect("250")) return;
        send("DATA\r\n");
        state_ = State::Data;
        return;

    case State::Data: {
        if (!expect("354")) return;
        SjisText body = job_.bodyFor ? job_.bodyFor(recipientIndex_) : SjisText();
        send(BuildMessageText(job_.headerBlock, job_.subject, body));
        if (!job_.perRecipient) {
            state_ = State::Body;
            return;
        }
        int next = nextUsableRecipient(recipientIndex_ + 1);
        if (next < 0) {
            state_ = State::Body;
        } else {
            // The server's "250" for this message starts the next MAIL FROM.
            recipientIndex_ = next;
            state_ = State::Helo;
        }
        return;
    }

    case State::Body:
        if (!expect("250")) return;
        sendQuit();
        return;

    case State::Quit:
        finish(SessionTexts::kSmtpClosed);
        return;
    }
}

bool SmtpSession::expect(const char* code)
{
    if (replyCode_ == code) return true;
    // A refused command (a rejected recipient too) ends the whole mailing.
    view_.setStatus("ERR : " + replyCode_);
    sendQuit();
    return false;
}

void SmtpSession::send(const std::string& bytes)
{
    socket_.sendData(bytes);
}

void SmtpSession::sendQuit()
{
    send("QUIT\r\n");
    state_ = State::Quit;
}

void SmtpSession::restartTimer()
{
    timer_.setEnabled(false);
    timer_.setEnabled(true);
}

int SmtpSession::nextUsableRecipient(int from)
{
    const int count = int(job_.recipients.size());
    for (int i = from; i < count; ++i) {
        const SmtpJob::Recipient& r = job_.recipients[std::size_t(i)];
        if (!holdsLineBreak(r.address)) return i;
        view_.setStatus(r.name + SessionTexts::kRecipientSkipped);
    }
    return -1;
}

void SmtpSession::reportRecipient(int index)
{
    if (!job_.showsProgress) {
        view_.setStatus("RCPT TO");
        return;
    }
    const int n = int(job_.recipients.size());
    const int k = index + 1;
    view_.setProgressValue(k);
    view_.setStatus(job_.recipients[std::size_t(index)].name + SessionTexts::kToName + job_.subject +
                    SessionTexts::kSendingWait + std::to_string(n) + "/" + std::to_string(k) +
                    SessionTexts::kInProgress);
}

void SmtpSession::finish(const SjisText& status)
{
    socket_.close();
    timer_.setEnabled(false);
    view_.setStatus(status);
    end();
}

void SmtpSession::end()
{
    running_ = false;
    view_.sessionEnded();
}
