#include "mail/Pop3Session.h"

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
    loggedIn_ = false;
    pipelining_ = false;
    deleteList_.clear();
    deleteCount_ = 0;
    open(job_.server, job_.port, job_.timeoutMs, job_.protection == Protection::Tls,
         job_.trustedFingerprints, job_.ownerTellsFailures);
}

void Pop3Session::received(const std::string& bytes)
{
    reader_.append(bytes);
}

void Pop3Session::takeReplies()
{
    if (state_ == State::Quit) {
        // Any data after QUIT ends the session.
        if (!reader_.empty()) finish();
        return;
    }
    while (active() && state_ != State::Quit && step()) {
    }
}

bool Pop3Session::step()
{
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
        if (!reply->positive) {
            fail(SessionFailure::Kind::Refused, "RETR: " + firstLine(reply->text));
            sendQuit();
            return false;
        }
        messageComplete(reply->text);
        return true;
    }
    const std::optional<std::string> line = reader_.nextStatusLine();
    if (!line) return false;
    handleStatus(*line);
    return true;
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
        deleteList_.clear();
        deleteCount_ = 0;
        if (job_.fetchBegins) job_.fetchBegins();
        enterState(State::Retr);
        requestMessage();
        view_.setStatus("Retr");
        return;
    }

    case State::Dele:
        if (deleteCount_ < deleteList_.size()) {
            sendNextDele();
            view_.setStatus("Dele2");
        } else {
            sendQuit();
        }
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
        requestMessage();
        return;
    }
    if (deleteList_.empty()) {
        sendQuit();
        return;
    }
    deleteCount_ = 0;
    sendNextDele();
    enterState(State::Dele);
    view_.setStatus("Dele");
}

void Pop3Session::sendNextDele()
{
    send("DELE " + std::to_string(deleteList_[deleteCount_]) + "\r\n");
    ++deleteCount_;
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

void Pop3Session::requestMessage()
{
    send("RETR " + std::to_string(messageNumber_) + "\r\n");
}

void Pop3Session::sendQuit()
{
    send("QUIT\r\n");
    markQuitting();
    enterState(State::Quit);
    // Only what the server says after QUIT counts as its answer.
    reader_.clear();
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
