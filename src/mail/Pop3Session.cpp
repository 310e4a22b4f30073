#include "mail/Pop3Session.h"

#include <utility>

#include "mail/SessionTexts.h"

namespace {

// Every positive reply begins with "+OK", bare or followed by text; "-ERR"
// and anything else is negative.
bool positive(const std::string& line)
{
    return line.compare(0, 3, "+OK") == 0;
}

}  // namespace

Pop3Session::Pop3Session(Socket& socket, Timer& timer, SessionView& view)
    : MailSession(socket, timer, view, SessionTexts::kPop3Connected, SessionTexts::kPop3Closed)
{
}

const char* Pop3Session::stateName(State s)
{
    switch (s) {
    case State::Connect: return "Connect";
    case State::User: return "User";
    case State::Pass: return "Pass";
    case State::Stat: return "Stat";
    case State::Retr: return "Retr";
    case State::Dele: return "Dele";
    case State::Quit: return "Quit";
    }
    return "";
}

void Pop3Session::start(Pop3Job job)
{
    job_ = std::move(job);
    buffer_.clear();
    state_ = State::Connect;
    messageCount_ = 0;
    messageNumber_ = 0;
    messageText_.clear();
    deleteList_.clear();
    deleteCount_ = 0;
    open(job_.server, job_.port, job_.timeoutMs);
}

void Pop3Session::received(const std::string& bytes)
{
    buffer_ += bytes;
}

void Pop3Session::takeReplies()
{
    if (state_ == State::Quit) {
        // Any data after QUIT ends the session.
        if (!buffer_.empty()) finish();
        return;
    }
    while (active() && state_ != State::Quit && step()) {
    }
}

bool Pop3Session::step()
{
    if (state_ == State::Retr) return takeMessage();
    std::string line;
    if (!takeStatusLine(line)) return false;
    handleStatus(line);
    return true;
}

bool Pop3Session::takeStatusLine(std::string& line)
{
    std::size_t lf = buffer_.find('\n');
    if (lf == std::string::npos) {
        if (buffer_.size() < kMaxStatusLine) return false;
        line = buffer_;   // no line end in sight: taken as a (negative) reply
        buffer_.clear();
        return true;
    }
    std::size_t end = (lf > 0 && buffer_[lf - 1] == '\r') ? lf - 1 : lf;
    line = buffer_.substr(0, end);
    buffer_.erase(0, lf + 1);
    return true;
}

void Pop3Session::handleStatus(const std::string& line)
{
    if (!positive(line)) {
        sendQuit();
        return;
    }
    switch (state_) {
    case State::Connect:
        if (holdsLineBreak(job_.account)) {
            view_.setStatus(SessionTexts::kAccountRefused);
            sendQuit();
            return;
        }
        send("USER " + job_.account + "\r\n");
        state_ = State::User;
        view_.setStatus("User");
        return;

    case State::User:
        if (holdsLineBreak(job_.password)) {
            view_.setStatus(SessionTexts::kPasswordRefused);
            sendQuit();
            return;
        }
        send("PASS " + job_.password + "\r\n");
        state_ = State::Pass;
        view_.setStatus("Pass");
        return;

    case State::Pass:
        send("STAT\r\n");
        state_ = State::Stat;
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
        state_ = State::Retr;
        requestMessage();
        view_.setStatus("Retr");
        return;
    }

    case State::Dele:
        if (deleteCount_ < deleteList_.size()) {
            send("DELE " + std::to_string(deleteList_[deleteCount_]) + "\r\n");
            ++deleteCount_;
            view_.setStatus("Dele2");
        } else {
            sendQuit();
        }
        return;

    case State::Retr:
    case State::Quit:
        return;
    }
}

bool Pop3Session::takeMessage()
{
    if (buffer_.empty()) return false;
    const std::size_t before = messageText_.size();
    messageText_ += buffer_;
    buffer_.clear();

    if (statusEnd_ == std::string::npos) {
        std::size_t lf = messageText_.find('\n');
        if (lf == std::string::npos) {
            if (messageText_.size() >= kMaxStatusLine) sendQuit();
            return false;
        }
        std::size_t end = (lf > 0 && messageText_[lf - 1] == '\r') ? lf - 1 : lf;
        // Only the reply's status line can refuse the message; a body line
        // that happens to begin with "-ERR" is just text.
        if (!positive(messageText_.substr(0, end))) {
            sendQuit();
            return false;
        }
        statusEnd_ = lf + 1;
        searched_ = end;   // the status line's own CR LF may open the terminator
    } else {
        // The terminator may straddle the previous arrival and this one.
        searched_ = before >= 4 ? before - 4 : 0;
        if (searched_ + 2 < statusEnd_) searched_ = statusEnd_ - 2;
    }

    std::size_t pos = messageText_.find("\r\n.\r\n", searched_);
    if (pos == std::string::npos) return false;
    const std::size_t end = pos + 5;
    buffer_ = messageText_.substr(end);
    std::string message = messageText_.substr(0, end);
    messageText_.clear();
    statusEnd_ = std::string::npos;
    messageComplete(message);
    return true;
}

void Pop3Session::messageComplete(const std::string& message)
{
    bool keep = false;
    try {
        keep = job_.parse && job_.parse(unstuff(message));
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
    deleteCount_ = 1;
    send("DELE " + std::to_string(deleteList_[0]) + "\r\n");
    state_ = State::Dele;
    view_.setStatus("Dele");
}

void Pop3Session::requestMessage()
{
    messageText_.clear();
    statusEnd_ = std::string::npos;
    searched_ = 0;
    send("RETR " + std::to_string(messageNumber_) + "\r\n");
}

void Pop3Session::sendQuit()
{
    send("QUIT\r\n");
    state_ = State::Quit;
    // Only what the server says after QUIT counts as its answer.
    buffer_.clear();
}

std::string Pop3Session::unstuff(const std::string& message)
{
    std::string out;
    out.reserve(message.size());
    bool lineStart = true;
    for (std::size_t i = 0; i < message.size(); ++i) {
        char c = message[i];
        if (lineStart && c == '.' && i + 1 < message.size() && message[i + 1] == '.') {
            lineStart = false;
            continue;   // drop the stuffed dot, keep the one after it
        }
        out += c;
        lineStart = (c == '\n');
    }
    return out;
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
