#include "mail/Pop3Session.h"

#include <algorithm>
#include <utility>

#include "mail/Pop3Capabilities.h"
#include "mail/SessionTexts.h"

Pop3Session::Pop3Session(Socket& socket, Timer& timer, SessionView& view)
    : MailSession(socket, timer, view, SessionTexts::kPop3Connected, SessionTexts::kPop3Closed)
{
}

const char* Pop3Session::stateName(State s)
{
    switch (s) {
    case State::Connect: return "Connect";
    case State::Stls: return "Stls";
    case State::Capa: return "Capa";
    case State::User: return "User";
    case State::Pass: return "Pass";
    case State::Stat: return "Stat";
    case State::Retr: return "Retr";
    case State::Dele: return "Dele";
    case State::Quit: return "Quit";
    }
    return "";
}

void Pop3Session::enterState(State s)
{
    state_ = s;
    view_.stateChanged(stateName(s));
}

void Pop3Session::start(Pop3Job job)
{
    job_ = std::move(job);
    reader_.clear();
    enterState(State::Connect);
    messageCount_ = 0;
    messageNumber_ = 0;
    requested_ = 0;
    loggedIn_ = false;
    pipelining_ = false;
    deleteList_.clear();
    deleteCount_ = 0;
    retrsUnanswered_ = 0;
    delesUnanswered_ = 0;
    open(job_.server, job_.port, job_.timeoutMs, job_.protection == Protection::Tls,
         job_.trustedFingerprints, job_.ownerTellsFailures);
}

void Pop3Session::received(const std::string& bytes)
{
    reader_.append(bytes);
}

void Pop3Session::takeReplies()
{
    while (active() && step()) {
    }
}

bool Pop3Session::step()
{
    if (state_ == State::Quit) return stepAfterQuit();
    if (state_ == State::Capa) {
        const std::optional<Pop3ReplyReader::MultiLine> reply = reader_.nextMultiLine();
        if (!reply) return false;
        // A server without CAPA refuses it: no pipelining, and USER follows.
        capabilitiesKnown(reply->positive ? reply->text : std::string());
        return true;
    }
    if (state_ == State::Retr) {
        const std::optional<Pop3ReplyReader::MultiLine> reply = reader_.nextMultiLine();
        if (!reply) return false;
        --retrsUnanswered_;
        if (!reply->positive) {
            fail(SessionFailure::Kind::Refused, "RETR: " + firstLine(reply->text));
            sendQuit();
            return true;
        }
        messageComplete(reply->text);
        return true;
    }
    const std::optional<std::string> line = reader_.nextStatusLine();
    if (!line) return false;
    if (state_ == State::Dele) --delesUnanswered_;
    handleStatus(*line);
    return true;
}

bool Pop3Session::stepAfterQuit()
{
    // Replies come in the order of the commands: those to the RETRs and
    // DELEs sent before QUIT come first, and only then QUIT's own. Taking
    // one of them for QUIT's answer would close the connection before the
    // server has read QUIT, and it deletes nothing without it.
    if (retrsUnanswered_ > 0) {
        if (!reader_.nextMultiLine()) return false;
        --retrsUnanswered_;
        return true;
    }
    if (delesUnanswered_ > 0) {
        if (!reader_.nextStatusLine()) return false;
        --delesUnanswered_;
        return true;
    }
    // Any data after that ends the session.
    if (!reader_.empty()) finish();
    return false;
}

void Pop3Session::handleStatus(const std::string& line)
{
    if (!Pop3ReplyReader::positive(line)) {
        switch (state_) {
        case State::Stls:
            // Never a silent fall-back to plain text: the fetch ends here.
            view_.setStatus(SessionTexts::kNoStls);
            fail(SessionFailure::Kind::NoStls, SessionTexts::kNoStls);
            break;
        case State::User:
        case State::Pass:
            // Not "no replies": the operator is told the login was refused.
            // (Anything but -ERR is no answer to the login at all.)
            if (line.rfind("-ERR", 0) == 0) {
                fail(SessionFailure::Kind::LoginRefused, firstLine(line));
                break;
            }
            [[fallthrough]];
        default:
            fail(SessionFailure::Kind::Refused, std::string(stateName(state_)) + ": " + firstLine(line));
            break;
        }
        sendQuit();
        return;
    }
    switch (state_) {
    case State::Connect:
        if (job_.protection == Protection::StartTls && !socket_.isEncrypted()) {
            send("STLS\r\n");
            enterState(State::Stls);
            return;
        }
        askCapabilitiesOrLogIn();
        return;

    case State::Stls:
        // Nothing more is said until the handshake is done: tlsStarted().
        // Whatever came after the +OK in the clear is no answer of the
        // server's; it could only have been slipped in by someone between.
        reader_.clear();
        beginTls();
        return;

    case State::User:
        if (holdsLineBreak(job_.password)) {
            view_.setStatus(SessionTexts::kPasswordRefused);
            fail(SessionFailure::Kind::Refused, SessionTexts::kPasswordRefused);
            sendQuit();
            return;
        }
        send("PASS " + job_.password + "\r\n");
        enterState(State::Pass);
        view_.setStatus("Pass");
        return;

    case State::Pass:
        loggedIn_ = true;
        send("STAT\r\n");
        enterState(State::Stat);
        view_.setStatus("Stat");
        return;

    case State::Stat: {
        int count = statCount(line);
        if (count <= 0) {   // empty mailbox, or no readable count
            sendQuit();
            return;
        }
        messageCount_ = count;
        messageNumber_ = 1;
        requested_ = 0;
        deleteList_.clear();
        deleteCount_ = 0;
        if (job_.fetchBegins) job_.fetchBegins();
        enterState(State::Retr);
        requestMessages();
        view_.setStatus("Retr");
        return;
    }

    case State::Dele:
        if (delesUnanswered_ == 0 && deleteCount_ == deleteList_.size()) {
            sendQuit();
            return;
        }
        if (delesUnanswered_ == 0) sendDeles();
        view_.setStatus("Dele2");
        return;

    case State::Capa:
    case State::Retr:
    case State::Quit:
        return;
    }
}

void Pop3Session::capabilitiesKnown(const std::string& capaReply)
{
    pipelining_ = ReadPop3Capabilities(capaReply).pipelining;
    sendUser();
}

void Pop3Session::messageComplete(const std::string& message)
{
    bool keep = false;
    try {
        keep = job_.parse && job_.parse(message);
    } catch (...) {
        // One message the parser cannot read stays on the server; the fetch
        // goes on with the next.
        keep = false;
    }
    if (keep) deleteList_.push_back(messageNumber_);

    if (messageNumber_ < messageCount_) {
        ++messageNumber_;
        requestMessages();
        return;
    }
    if (deleteList_.empty()) {
        sendQuit();
        return;
    }
    deleteCount_ = 0;
    sendDeles();
    enterState(State::Dele);
    view_.setStatus("Dele");
}

void Pop3Session::sendDeles()
{
    const std::size_t upTo = pipelining_ ? deleteList_.size() : deleteCount_ + 1;
    std::string group;
    for (; deleteCount_ < upTo; ++deleteCount_) {
        group += "DELE " + std::to_string(deleteList_[deleteCount_]) + "\r\n";
        ++delesUnanswered_;
    }
    send(group);
}

void Pop3Session::askCapabilitiesOrLogIn()
{
    // The plain dialogue stays as it always was.
    if (job_.protection == Protection::None) {
        sendUser();
        return;
    }
    send("CAPA\r\n");
    enterState(State::Capa);
}

void Pop3Session::sendUser()
{
    if (holdsLineBreak(job_.account)) {
        view_.setStatus(SessionTexts::kAccountRefused);
        fail(SessionFailure::Kind::Refused, SessionTexts::kAccountRefused);
        sendQuit();
        return;
    }
    send("USER " + job_.account + "\r\n");
    enterState(State::User);
    view_.setStatus("User");
}

void Pop3Session::tlsStarted()
{
    askCapabilitiesOrLogIn();
}

void Pop3Session::requestMessages()
{
    // Without pipelining the window holds the one message whose reply comes next.
    const int upTo = std::min(messageCount_, messageNumber_ - 1 + (pipelining_ ? kRetrWindow : 1));
    std::string group;
    for (; requested_ < upTo; ++requested_) {
        group += "RETR " + std::to_string(requested_ + 1) + "\r\n";
        ++retrsUnanswered_;
    }
    if (!group.empty()) send(group);
}

void Pop3Session::sendQuit()
{
    send("QUIT\r\n");
    markQuitting();
    enterState(State::Quit);
    // Only what the server says after QUIT counts as its answer; what it
    // still owes for the commands before comes first (stepAfterQuit).
    if (retrsUnanswered_ == 0 && delesUnanswered_ == 0) reader_.clear();
}

int Pop3Session::statCount(const std::string& statusLine)
{
    if (statusLine.compare(0, 4, "+OK ") != 0) return -1;
    std::size_t from = 4;
    std::size_t to = statusLine.find(' ', from);
    std::string field = statusLine.substr(from, to == std::string::npos ? std::string::npos : to - from);
    if (field.empty() || field.size() > 9) return -1;
    int n = 0;
    for (char c : field) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}
