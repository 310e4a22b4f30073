#include "mail/SmtpSession.h"

#include <utility>

#include "mail/SmtpExtensions.h"
#include "mail/OutgoingMessage.h"
#include "mail/SessionTexts.h"

SmtpSession::SmtpSession(Socket& socket, Timer& timer, SessionView& view)
    : MailSession(socket, timer, view, SessionTexts::kSmtpConnected, SessionTexts::kSmtpClosed)
{
}

const char* SmtpSession::stateName(State s)
{
    switch (s) {
    case State::Connect: return "Connect";
    case State::Ehlo: return "Ehlo";
    case State::StartTls: return "StartTls";
    case State::Auth: return "Auth";
    case State::AuthUser: return "AuthUser";
    case State::AuthPass: return "AuthPass";
    case State::Helo: return "Helo";
    case State::MailFrom: return "Mail From";
    case State::RcptTo: return "Rcpt To";
    case State::Data: return "Data";
    case State::Body: return "Body";
    case State::Quit: return "Quit";
    }
    return "";
}

void SmtpSession::enterState(State s)
{
    state_ = s;
    view_.stateChanged(stateName(s));
}

void SmtpSession::start(SmtpJob job)
{
    job_ = std::move(job);
    reader_.clear();
    enterState(State::Connect);
    replyCode_.clear();
    recipientIndex_ = 0;
    awaitingAcceptance_ = false;
    accepted_ = 0;
    open(job_.server, job_.port, job_.timeoutMs, job_.protection == SmtpJob::Protection::Tls,
         job_.trustedFingerprints);
}

void SmtpSession::received(const std::string& bytes)
{
    reader_.append(bytes);
}

void SmtpSession::takeReplies()
{
    while (active()) {
        auto reply = reader_.next();
        if (!reply) break;
        handleReply(*reply);
    }
}

void SmtpSession::handleReply(const SmtpReplyReader::Reply& reply)
{
    replyCode_ = reply.code;
    if (awaitingAcceptance_) {
        awaitingAcceptance_ = false;
        if (replyCode_ == "250") ++accepted_;
    }

    switch (state_) {
    case State::Connect:
        if (!expect("220")) return;
        if (holdsLineBreak(job_.server)) {
            view_.setStatus(SessionTexts::kSmtpServerRefused);
            sendQuit();
            return;
        }
        recipientIndex_ = 0;
        if (job_.speaksEsmtp()) {
            sendEhlo();
            return;
        }
        send("HELO " + job_.server + "\r\n");
        enterState(State::Helo);
        return;

    case State::Ehlo:
        if (!expect("250")) return;
        if (goOnAfterEhlo(reply.text)) beginMailing();
        return;

    case State::StartTls:
        if (!expect("220")) return;
        // Nothing more is said until the handshake is done: tlsStarted().
        // Whatever came after the 220 in the clear is no answer of the
        // server's; it could only have been slipped in by someone between.
        reader_.clear();
        beginTls();
        return;

    case State::AuthUser:
        if (!expect("334")) return;
        send(SaslBase64(job_.authUser) + "\r\n");
        enterState(State::AuthPass);
        return;

    case State::AuthPass:
        if (!expect("334")) return;
        send(SaslBase64(job_.authPassword) + "\r\n");
        enterState(State::Auth);
        return;

    case State::Auth:
        if (replyCode_ != "235") {
            // The server's own words say why (a wrong password, mostly).
            view_.setStatus("ERR : " + ReplyFirstLine(reply.text));
            sendQuit();
            return;
        }
        beginMailing();
        return;

    case State::Helo:
        if (!expect("250")) return;
        beginMailing();
        return;

    case State::MailFrom: {
        if (!expect("250")) return;
        send("RCPT TO:<" + job_.recipients[std::size_t(recipientIndex_)].address + ">\r\n");
        reportRecipient(recipientIndex_);
        if (job_.perRecipient) {
            enterState(State::RcptTo);
            return;
        }
        int next = nextUsableRecipient(recipientIndex_ + 1);
        if (next < 0)
            enterState(State::RcptTo);
        else
            recipientIndex_ = next;
        return;
    }

    case State::RcptTo:
        if (!expect("250")) return;
        send("DATA\r\n");
        enterState(State::Data);
        return;

    case State::Data: {
        if (!expect("354")) return;
        SjisText body = job_.bodyFor ? job_.bodyFor(recipientIndex_) : SjisText();
        send(BuildMessageText(job_.headerBlock, job_.subject, body));
        awaitingAcceptance_ = true;
        if (!job_.perRecipient) {
            enterState(State::Body);
            return;
        }
        int next = nextUsableRecipient(recipientIndex_ + 1);
        if (next < 0) {
            enterState(State::Body);
        } else {
            // The server's "250" for this message starts the next MAIL FROM.
            recipientIndex_ = next;
            enterState(State::Helo);
        }
        return;
    }

    case State::Body:
        if (!expect("250")) return;
        sendQuit();
        return;

    case State::Quit:
        finish();
        return;
    }
}

void SmtpSession::beginMailing()
{
    if (job_.showsProgress) {
        view_.setProgressRange(0, int(job_.recipients.size()));
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
    enterState(State::MailFrom);
}

void SmtpSession::sendEhlo()
{
    send("EHLO " + job_.server + "\r\n");
    enterState(State::Ehlo);
}

void SmtpSession::tlsStarted()
{
    // What the server offered in the clear counts no longer: ask again.
    sendEhlo();
}

bool SmtpSession::goOnAfterEhlo(const std::string& ehloReply)
{
    const EhloOffer offer = ReadEhloOffer(ehloReply);
    if (job_.protection == SmtpJob::Protection::StartTls && !socket_.isEncrypted()) {
        if (!offer.startTls) {
            // Never a silent fall-back to plain text: the phase ends here.
            view_.setStatus(SessionTexts::kNoStartTls);
            sendQuit();
            return false;
        }
        send("STARTTLS\r\n");
        enterState(State::StartTls);
        return false;
    }
    if (job_.authUser.empty()) return true;
    if (offer.authPlain) {
        const std::string credentials = std::string(1, '\0') + job_.authUser + '\0' + job_.authPassword;
        send("AUTH PLAIN " + SaslBase64(credentials) + "\r\n");
        enterState(State::Auth);
    } else if (offer.authLogin) {
        send("AUTH LOGIN\r\n");
        enterState(State::AuthUser);
    } else {
        view_.setStatus(SessionTexts::kNoAuth);
        sendQuit();
    }
    return false;
}

bool SmtpSession::expect(const char* code)
{
    if (replyCode_ == code) return true;
    // A refused command (a rejected recipient too) ends the whole mailing.
    view_.setStatus("ERR : " + replyCode_);
    sendQuit();
    return false;
}

void SmtpSession::sendQuit()
{
    send("QUIT\r\n");
    enterState(State::Quit);
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
