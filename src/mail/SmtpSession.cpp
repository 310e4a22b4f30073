#include "mail/SmtpSession.h"

#include <utility>

#include "codec/Base64.h"
#include "mail/SmtpExtensions.h"
#include "mail/OutgoingMessage.h"
#include "mail/SessionTexts.h"

namespace {

// A reply that puts off what it answers: the server may take it later.
bool isTemporary(const std::string& code) { return !code.empty() && code[0] == '4'; }
// The server is closing the connection: nothing more is taken on it.
bool isClosing(const std::string& code) { return code == "421"; }

}  // namespace

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
    case State::Rset: return "Rset";
    case State::Quit: return "Quit";
    case State::Drain: return "Drain";
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
    fate_.assign(job_.recipients.size(), Fate::Pending);
    envelope_.clear();
    texts_.clear();
    acceptedIds_.clear();
    undelivered_.clear();
    deferred_.clear();
    mailDeferred_ = false;
    offer_ = {};
    pipelining_ = false;
    awaiting_.clear();
    groupRecipients_.clear();
    transactionTaken_ = false;
    abandoned_ = false;
    runQuietly(job_.quiet);
    open(job_.server, job_.port, job_.timeoutMs, job_.protection == Protection::Tls,
         job_.trustedFingerprints, job_.ownerTellsFailures);
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
    if (isClosing(replyCode_) && state_ != State::Quit) {
        // Whatever it answers, nothing more goes on this connection.
        awaiting_.clear();
        groupRecipients_.clear();
        pipelining_ = false;
        putOffTheRest(stateName(state_), reply);
        return;
    }
    if (pipelining_) {
        handleGroupReply(reply);
        return;
    }

    switch (state_) {
    case State::Connect:
        if (!expect("220", reply, "")) return;
        if (holdsLineBreak(job_.server)) {
            showStatus(SessionTexts::kSmtpServerRefused);
            fail(SessionFailure::Kind::Refused, SessionTexts::kSmtpServerRefused);
            sendQuit();
            return;
        }
        recipientIndex_ = 0;
        if (job_.speaksEsmtp()) {
            sendEhlo();
            return;
        }
        send("HELO " + greeting() + "\r\n");
        enterState(State::Helo);
        return;

    case State::Ehlo:
        if (!expect("250", reply, "EHLO")) return;
        if (goOnAfterEhlo(reply.text)) beginMailing();
        return;

    case State::StartTls:
        if (!expect("220", reply, "STARTTLS")) return;
        // Nothing more is said until the handshake is done: tlsStarted().
        // Whatever came after the 220 in the clear is no answer of the
        // server's; it could only have been slipped in by someone between.
        reader_.clear();
        beginTls();
        return;

    case State::AuthUser:
    case State::AuthPass:
        if (isTemporary(replyCode_)) break;
        if (replyCode_ != "334") break;
        send(PaddedBase64(state_ == State::AuthUser ? job_.authUser : job_.authPassword) + "\r\n");
        enterState(state_ == State::AuthUser ? State::AuthPass : State::Auth);
        return;

    case State::Auth:
        if (replyCode_ != "235") break;
        beginMailing();
        return;

    case State::Helo:
        if (!expect("250", reply, "HELO")) return;
        beginMailing();
        return;

    case State::MailFrom:
        // Put off, it costs only this player their turn; refused for good,
        // the sender is refused for everybody: the mailing ends. With one
        // envelope for all, either is everybody's.
        if (job_.perRecipient && isTemporary(replyCode_)) {
            putOff(recipientIndex_, "MAIL FROM", reply);
            nextPersonalMail();
            return;
        }
        if (!expect("250", reply, "MAIL FROM")) return;
        sendRcpt(recipientIndex_);
        return;

    case State::RcptTo:
        if (replyCode_ == "250" || replyCode_ == "251") {
            if (job_.perRecipient) {
                send("DATA\r\n");
                enterState(State::Data);
            } else {
                envelope_.push_back(recipientIndex_);
                nextSharedRecipient();
            }
            return;
        }
        if (isTemporary(replyCode_)) putOff(recipientIndex_, "RCPT TO", reply);
        else refused("RCPT TO", reply);
        if (job_.perRecipient) resetTransaction();
        else nextSharedRecipient();
        return;

    case State::Data: {
        if (replyCode_ != "354") {
            if (job_.perRecipient) {
                if (isTemporary(replyCode_)) putOff(recipientIndex_, "DATA", reply);
                else refused("DATA", reply);
                resetTransaction();
            } else {
                // Nobody of the envelope gets the mail (now, or at all).
                expect("354", reply, "DATA");
            }
            return;
        }
        send(messageText(recipientIndex_));
        enterState(State::Body);
        return;
    }

    case State::Body:
        textAnswered(reply);
        if (!job_.perRecipient && replyCode_ != "250" && !isTemporary(replyCode_)) {
            expect("250", reply, SessionTexts::kMessageStep);
            return;
        }
        if (job_.perRecipient) nextPersonalMail();
        else sendQuit();
        return;

    case State::Rset:
        nextPersonalMail();
        return;

    case State::Quit:
        finish();
        return;

    case State::Drain:   // only awaited in groups
        return;
    }

    // A login the server cannot check now: the mail waits for a later try.
    if (isTemporary(replyCode_)) {
        putOffTheRest("AUTH", reply);
        return;
    }
    // A login refused: the server's own words say why (a wrong password, mostly).
    showStatus("ERR : " + firstLine(reply.text));
    fail(SessionFailure::Kind::LoginRefused, firstLine(reply.text));
    sendQuit();
}

void SmtpSession::beginMailing()
{
    if (job_.showsProgress) {
        view_.setProgressRange(0, int(job_.recipients.size()));
        view_.setProgressStyle(1);
    }
    if (holdsLineBreak(job_.ownAddress)) {
        showStatus(SessionTexts::kSenderRefused);
        fail(SessionFailure::Kind::Refused, SessionTexts::kSenderRefused);
        sendQuit();
        return;
    }
    int i = nextUsableRecipient(recipientIndex_);
    if (i < 0) {   // nobody (left) to send to
        if (!undelivered_.empty() && !anyDeferred())
            fail(SessionFailure::Kind::NobodyReachable, undelivered_.front().reply);
        sendQuit();
        return;
    }
    if (offer_.pipelining) {
        sendFirstGroup(i);
        return;
    }
    recipientIndex_ = i;
    send("MAIL FROM:<" + job_.ownAddress + ">\r\n");
    enterState(State::MailFrom);
}

void SmtpSession::sendEhlo()
{
    send("EHLO " + greeting() + "\r\n");
    enterState(State::Ehlo);
}

std::string SmtpSession::greeting() const
{
    if (!job_.greetingName.empty() && !holdsLineBreak(job_.greetingName)) return job_.greetingName;
    const std::string address = socket_.localAddress();
    if (address.find(':') != std::string::npos) return "[IPv6:" + address + "]";
    return "[" + address + "]";
}

void SmtpSession::tlsStarted()
{
    // What the server offered in the clear counts no longer: ask again.
    sendEhlo();
}

bool SmtpSession::goOnAfterEhlo(const std::string& ehloReply)
{
    offer_ = ReadEhloOffer(ehloReply);
    const EhloOffer& offer = offer_;
    if (job_.protection == Protection::StartTls && !socket_.isEncrypted()) {
        if (!offer.startTls) {
            // Never a silent fall-back to plain text: the phase ends here.
            showStatus(SessionTexts::kNoStartTls);
            fail(SessionFailure::Kind::NoStartTls, SessionTexts::kNoStartTls);
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
        send("AUTH PLAIN " + PaddedBase64(credentials) + "\r\n");
        enterState(State::Auth);
    } else if (offer.authLogin) {
        send("AUTH LOGIN\r\n");
        enterState(State::AuthUser);
    } else {
        showStatus(SessionTexts::kNoAuth);
        fail(SessionFailure::Kind::NoAuth, SessionTexts::kNoAuth);
        sendQuit();
    }
    return false;
}

bool SmtpSession::expect(const char* code, const SmtpReplyReader::Reply& reply, const char* command)
{
    if (replyCode_ == code) return true;
    if (isTemporary(replyCode_)) {
        putOffTheRest(*command ? command : "CONNECT", reply);
        return false;
    }
    showStatus("ERR : " + replyCode_);
    const std::string line = firstLine(reply.text);
    fail(SessionFailure::Kind::Refused, *command ? std::string(command) + ": " + line : line);
    sendQuit();
    return false;
}

void SmtpSession::sendQuit()
{
    send("QUIT\r\n");
    markQuitting();
    // In groups its answer comes after those still due.
    if (pipelining_) await(State::Quit);
    else enterState(State::Quit);
}

int SmtpSession::nextUsableRecipient(int from)
{
    const int count = int(job_.recipients.size());
    for (int i = from; i < count; ++i) {
        const SmtpJob::Recipient& r = job_.recipients[std::size_t(i)];
        if (!holdsLineBreak(r.address)) return i;
        showStatus(r.name + SessionTexts::kRecipientSkipped);
        undelivered_.push_back({i, r.name, r.address, SessionTexts::kAddressStep,
                                r.name + SessionTexts::kRecipientSkipped});
    }
    return -1;
}

void SmtpSession::sendRcpt(int index)
{
    recipientIndex_ = index;
    send("RCPT TO:<" + job_.recipients[std::size_t(index)].address + ">\r\n");
    reportRecipient(index);
    enterState(State::RcptTo);
}

void SmtpSession::refused(const char* step, const SmtpReplyReader::Reply& reply)
{
    const SmtpJob::Recipient& r = job_.recipients[std::size_t(recipientIndex_)];
    fate_[std::size_t(recipientIndex_)] = Fate::Refused;
    undelivered_.push_back({recipientIndex_, r.name, r.address, step, firstLine(reply.text)});
    showStatus("ERR : " + replyCode_);
}

void SmtpSession::defer(int index, const char* step, const SmtpReplyReader::Reply& reply)
{
    Fate& fate = fate_[std::size_t(index)];
    if (fate != Fate::Pending) return;
    fate = Fate::Deferred;
    const SmtpJob::Recipient& r = job_.recipients[std::size_t(index)];
    deferred_.push_back({index, r.name, r.address, step, firstLine(reply.text)});
}

void SmtpSession::putOff(int index, const char* step, const SmtpReplyReader::Reply& reply)
{
    defer(index, step, reply);
    showStatus("ERR : " + replyCode_);
}

void SmtpSession::putOffTheRest(const char* step, const SmtpReplyReader::Reply& reply)
{
    for (int i = 0; i < int(fate_.size()); ++i) defer(i, step, reply);
    showStatus("ERR : " + replyCode_);
    if (pipelining_) abandonGroup();
    sendQuit();
}

bool SmtpSession::closedEarly()
{
    // Mail not yet taken goes on a later connection, as after a 421; a
    // text sent but not answered counts as not taken.
    if (state_ == State::Connect) return false;
    const SmtpReplyReader::Reply closed{"421", "421 " + std::string(SessionTexts::kSmtpClosed)};
    for (int i = 0; i < int(fate_.size()); ++i) defer(i, stateName(state_), closed);
    return anyDeferred();
}

std::vector<int> SmtpSession::untaken() const
{
    std::vector<int> out;
    for (int i = 0; i < int(fate_.size()); ++i)
        if (fate_[std::size_t(i)] == Fate::Pending || fate_[std::size_t(i)] == Fate::Deferred) out.push_back(i);
    return out;
}

void SmtpSession::resetTransaction()
{
    send("RSET\r\n");
    enterState(State::Rset);
}

void SmtpSession::nextSharedRecipient()
{
    const int next = nextUsableRecipient(recipientIndex_ + 1);
    if (next >= 0) {
        sendRcpt(next);
    } else if (!envelope_.empty()) {
        send("DATA\r\n");
        enterState(State::Data);
    } else {
        if (!anyDeferred())
            fail(SessionFailure::Kind::NobodyReachable, undelivered_.empty() ? SjisText() : undelivered_.front().reply);
        sendQuit();
    }
}

void SmtpSession::nextPersonalMail()
{
    const int next = nextUsableRecipient(recipientIndex_ + 1);
    if (next < 0) {
        if (acceptedIds_.empty() && !undelivered_.empty() && !anyDeferred())
            fail(SessionFailure::Kind::NobodyReachable, undelivered_.front().reply);
        sendQuit();
        return;
    }
    recipientIndex_ = next;
    send("MAIL FROM:<" + job_.ownAddress + ">\r\n");
    enterState(State::MailFrom);
}

void SmtpSession::reportRecipient(int index)
{
    if (!job_.showsProgress) {
        showStatus("RCPT TO");
        return;
    }
    const int n = int(job_.recipients.size());
    const int k = index + 1;
    view_.setProgressValue(k);
    showStatus(job_.recipients[std::size_t(index)].name + SessionTexts::kToName + job_.subject +
                    SessionTexts::kSendingWait + std::to_string(n) + "/" + std::to_string(k) +
                    SessionTexts::kInProgress);
}

// ---- Groups -----------------------------------------------------------------
// The replies are read in the order of the commands they answer; awaiting_
// holds what each reply still due answers, and the state is its front.

void SmtpSession::await(State s)
{
    awaiting_.push_back(s);
    if (awaiting_.size() == 1) enterState(s);
}

void SmtpSession::sendFirstGroup(int from)
{
    pipelining_ = true;
    std::string bytes;
    appendGroup(bytes, from);
    send(bytes);
}

void SmtpSession::appendGroup(std::string& bytes, int from)
{
    bytes += "MAIL FROM:<" + job_.ownAddress + ">\r\n";
    await(State::MailFrom);
    for (int i = from; i >= 0; i = job_.perRecipient ? -1 : nextUsableRecipient(i + 1)) {
        bytes += "RCPT TO:<" + job_.recipients[std::size_t(i)].address + ">\r\n";
        await(State::RcptTo);
        groupRecipients_.push_back(i);
    }
    bytes += "DATA\r\n";
    await(State::Data);
}

void SmtpSession::handleGroupReply(const SmtpReplyReader::Reply& reply)
{
    if (awaiting_.empty()) return;   // nothing was asked: no answer of the dialogue
    const State answered = awaiting_.front();
    awaiting_.pop_front();
    switch (answered) {
    case State::MailFrom:
        mailDeferred_ = false;
        if (replyCode_ == "250") break;
        if (isTemporary(replyCode_)) {
            // Put off: one player's turn, whose RCPT and DATA now fail for
            // want of a sender; or, with one envelope, everybody's.
            if (!job_.perRecipient) {
                putOffTheRest("MAIL FROM", reply);
                break;
            }
            mailDeferred_ = true;
            if (!groupRecipients_.empty()) putOff(groupRecipients_.front(), "MAIL FROM", reply);
            break;
        }
        // The sender refused is refused for everybody: the mailing ends
        // once the rest of the group is answered.
        showStatus("ERR : " + replyCode_);
        fail(SessionFailure::Kind::Refused, "MAIL FROM: " + firstLine(reply.text));
        abandonGroup();
        break;
    case State::RcptTo: {
        recipientIndex_ = groupRecipients_.front();
        groupRecipients_.pop_front();
        reportRecipient(recipientIndex_);
        // Without a sender the transaction holds no recipient, whatever
        // a server answers.
        transactionTaken_ = !mailDeferred_ && (replyCode_ == "250" || replyCode_ == "251");
        if (transactionTaken_) {
            if (!job_.perRecipient) envelope_.push_back(recipientIndex_);
        } else if (mailDeferred_) {
            defer(recipientIndex_, "RCPT TO", reply);   // said already, at MAIL FROM
        } else if (isTemporary(replyCode_)) {
            putOff(recipientIndex_, "RCPT TO", reply);
        } else {
            refused("RCPT TO", reply);
        }
        break;
    }
    case State::Data:
        groupDataAnswered(reply);
        break;
    case State::Body:
        groupTextAnswered(reply);
        break;
    case State::Quit:
        finish();
        return;
    default:   // Drain
        break;
    }
    if (awaiting_.empty()) endGroups();
    else if (state_ != awaiting_.front()) enterState(awaiting_.front());
}

void SmtpSession::groupDataAnswered(const SmtpReplyReader::Reply& reply)
{
    const bool go = replyCode_ == "354";
    if (abandoned_) {
        // A server may take DATA even so; it then waits for a text, and an
        // empty one reaches nobody. QUIT follows once all is answered.
        if (go) {
            send(".\r\n");
            await(State::Drain);
        }
        return;
    }
    if (job_.perRecipient) {
        if (go && transactionTaken_) {
            closeTransaction(messageText(recipientIndex_), State::Body);
        } else if (go) {
            // DATA taken without a recipient: the text must still come; an
            // empty one reaches nobody and ends the transaction.
            closeTransaction(".\r\n", State::Drain);
        } else {
            if (transactionTaken_ && isTemporary(replyCode_)) putOff(recipientIndex_, "DATA", reply);
            else if (transactionTaken_) refused("DATA", reply);
            closeTransaction("RSET\r\n", State::Drain);
        }
        return;
    }
    if (envelope_.empty()) {
        if (go) {
            send(".\r\n");
            await(State::Drain);
        }
        if (!anyDeferred())
            fail(SessionFailure::Kind::NobodyReachable, undelivered_.empty() ? SjisText() : undelivered_.front().reply);
        sendQuit();
        return;
    }
    if (!expect("354", reply, "DATA")) return;   // nobody of the envelope gets the mail
    send(messageText(recipientIndex_));
    await(State::Body);
}

std::string SmtpSession::messageText(int index)
{
    const MessageHeaders headers = job_.headersFor(index);
    texts_.push_back({headers.messageId, job_.perRecipient ? std::vector<int>{index} : envelope_});
    return BuildMessageText(HeaderSection(headers), job_.bodyFor ? job_.bodyFor(index) : SjisText());
}

void SmtpSession::textAnswered(const SmtpReplyReader::Reply& reply)
{
    if (texts_.empty()) return;
    const SentText text = std::move(texts_.front());
    texts_.pop_front();
    if (replyCode_ == "250") {
        acceptedIds_.push_back(text.messageId);
        for (int i : text.recipients) fate_[std::size_t(i)] = Fate::Taken;
    } else if (isTemporary(replyCode_)) {
        for (int i : text.recipients) defer(i, SessionTexts::kMessageStep, reply);
        showStatus("ERR : " + replyCode_);
    } else if (job_.perRecipient) {
        recipientIndex_ = text.recipients.front();
        refused(SessionTexts::kMessageStep, reply);
    }
}

void SmtpSession::groupTextAnswered(const SmtpReplyReader::Reply& reply)
{
    textAnswered(reply);
    if (!job_.perRecipient && replyCode_ != "250" && !isTemporary(replyCode_))
        expect("250", reply, SessionTexts::kMessageStep);
}

void SmtpSession::closeTransaction(std::string bytes, State answer)
{
    await(answer);
    const int next = nextUsableRecipient(recipientIndex_ + 1);
    if (next >= 0) appendGroup(bytes, next);
    send(bytes);
}

void SmtpSession::abandonGroup()
{
    abandoned_ = true;
    for (State& s : awaiting_)
        if (s == State::RcptTo) s = State::Drain;
    groupRecipients_.clear();
}

void SmtpSession::endGroups()
{
    if (job_.perRecipient && acceptedIds_.empty() && !undelivered_.empty() && !anyDeferred())
        fail(SessionFailure::Kind::NobodyReachable, undelivered_.front().reply);
    sendQuit();
}
