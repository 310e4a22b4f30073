#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "mail/MailSession.h"
#include "model/Connection.h"
#include "mail/Pop3ReplyReader.h"
#include "platform/SjisText.h"

// One fetch: where from, and what to do with each message.
struct Pop3Job {
    SjisText server;
    int port = 110;
    SjisText account;
    SjisText password;   // in clear
    // Judges one complete message (status line first, final "." line last,
    // byte-stuffing removed). True: delete it from the server at the end.
    std::function<bool(const std::string& messageText)> parse;
    // A fetch pass begins: the mailbox holds at least one message.
    std::function<void()> fetchBegins;
    int timeoutMs = kSessionTimeoutMs;
    // The session shows no message box of its own: its owner tells the
    // operator what failed (MailSession::open).
    bool ownerTellsFailures = false;

    // How the connection is protected: not at all (as it always was), STLS
    // after the greeting, or TLS from the first byte.
    Protection protection = Protection::None;
    std::vector<std::string> trustedFingerprints;
};

// The POP3 dialogue as a reply-driven state machine: USER, PASS, STAT,
// RETR 1..n, DELE for every message the parser kept, QUIT. On a protected
// connection CAPA comes before USER; a server that offers PIPELINING gets
// the RETRs in a window and the DELEs as one group, and its replies are
// taken in order just the same.
class Pop3Session final : public MailSession {
public:
    // Each state names the reply it waits for.
    enum class State {
        Connect,   // the greeting
        Stls,      // +OK for STLS; then the handshake, then CAPA
        Capa,      // the capability list, or -ERR from a server without CAPA
        User,      // +OK for USER
        Pass,      // +OK for PASS
        Stat,      // the count of STAT
        Retr,      // each retrieved message in turn
        Dele,      // +OK for each DELE in turn
        Quit,      // the replies still owed, then whatever follows QUIT
    };

    // RETRs sent and not yet answered, at most, when the server pipelines.
    static constexpr int kRetrWindow = 32;

    Pop3Session(Socket& socket, Timer& timer, SessionView& view);

    // Closes the socket if it is open, arms the time-out and connects.
    void start(Pop3Job job);

    // Its events arrive from Winsock2 and Timer2.

    State state() const { return state_; }
    static const char* stateName(State s);
    int messageCount() const { return messageCount_; }
    // The server took the account and password: what the session read counts.
    bool loggedIn() const { return loggedIn_; }
    // The server's CAPA listed PIPELINING.
    bool pipelining() const { return pipelining_; }
    const std::vector<int>& deleteList() const { return deleteList_; }

    // The count of a STAT reply: the text after "+OK " up to the next space
    // or the line end; -1 when that is not a whole number.
    static int statCount(const std::string& statusLine);

private:
    void received(const std::string& bytes) override;
    void takeReplies() override;
    // Takes whatever the reader holds in the current state; false when it
    // needs more bytes.
    bool step();
    // After QUIT: one reply owed to a command sent before it, or the end.
    bool stepAfterQuit();
    void handleStatus(const std::string& line);
    void capabilitiesKnown(const std::string& capaReply);
    void messageComplete(const std::string& message);
    // RETR for every message not yet asked for that fits in the window.
    void requestMessages();
    void sendQuit();
    // DELE for the messages of the deletion record not yet sent: the next
    // one, or all of them in one group when the server pipelines.
    void sendDeles();
    // CAPA on a protected connection; USER at once on a plain one.
    void askCapabilitiesOrLogIn();
    void sendUser();
    void tlsStarted() override;

    Pop3Job job_;
    Pop3ReplyReader reader_;
    // The only way the dialogue moves on; the owner hears of every move.
    void enterState(State s);

    State state_ = State::Connect;
    int messageCount_ = 0;
    bool loggedIn_ = false;
    bool pipelining_ = false;
    int messageNumber_ = 0;         // the message whose reply comes next
    int requested_ = 0;             // RETR commands sent
    std::vector<int> deleteList_;
    std::size_t deleteCount_ = 0;   // DELE commands sent
    // Commands sent whose replies have not been taken: after QUIT they are
    // read and dropped before whatever answers QUIT.
    int retrsUnanswered_ = 0;
    int delesUnanswered_ = 0;
};
