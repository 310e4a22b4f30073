#pragma once
#include <functional>
#include <string>
#include <vector>

#include "mail/SessionView.h"
#include "mail/SmtpReplyReader.h"
#include "platform/SjisText.h"
#include "platform/Socket.h"
#include "platform/Timer.h"

// One mailing: who gets it and what they get.
struct SmtpJob {
    struct Recipient {
        SjisText name;
        SjisText address;
    };

    SjisText server;        // connected to, and the HELO argument
    int port = 25;
    SjisText ownAddress;    // the envelope sender
    SjisText headerBlock;   // BuildHeaderBlock's six lines
    SjisText subject;
    std::vector<Recipient> recipients;
    // Off: one transaction, one RCPT TO per recipient, one shared text.
    // On: one transaction per recipient, each with its own text; one HELO and
    // one QUIT for the whole connection.
    bool perRecipient = false;
    // The body for recipient i. In shared mode it is asked once, with the index
    // of the last recipient served; in per-recipient mode once per recipient,
    // when the server has answered that recipient's DATA.
    std::function<SjisText(int index)> bodyFor;
    // The main window shows a progress bar and one status line per recipient;
    // the feedback window shows "RCPT TO" and has no bar.
    bool showsProgress = true;
    int timeoutMs = 10000;
};

// The SMTP dialogue as a reply-driven state machine over one socket and its
// time-out timer. The owner routes the socket's and the timer's events to the
// handlers below; the session advances one state per whole server reply.
class SmtpSession {
public:
    enum class State { Connect, Helo, MailFrom, RcptTo, Data, Body, Quit };

    SmtpSession(Socket& socket, Timer& timer, SessionView& view);

    // Closes the socket if it is open, arms the time-out and connects. The
    // caller has set its "sw" to 0 and shown its own status text.
    void start(SmtpJob job);

    // Event handlers (Winsock1_Connect, _DataArrival, _Close, _Error, Timer1_Timer).
    void connected();
    void dataArrived();
    void closedByPeer();
    void socketError(int number, const std::string& description);
    void timerTick();

    State state() const { return state_; }
    static const char* stateName(State s);
    bool running() const { return running_; }
    const std::string& replyCode() const { return replyCode_; }
    int recipientIndex() const { return recipientIndex_; }

private:
    void handleReply(const SmtpReplyReader::Reply& reply);
    bool expect(const char* code);
    void send(const std::string& bytes);
    void sendQuit();
    void restartTimer();
    // The first recipient from `from` on whose address can be sent; each one
    // skipped is named in the status line. -1 when none is left.
    int nextUsableRecipient(int from);
    void reportRecipient(int index);
    void finish(const SjisText& status);
    void end();

    Socket& socket_;
    Timer& timer_;
    SessionView& view_;
    SmtpJob job_;
    SmtpReplyReader reader_;
    State state_ = State::Connect;
    std::string replyCode_;
    int recipientIndex_ = 0;
    bool running_ = false;    // between start() and the end of the session
    bool faulted_ = false;    // a fault closed the socket; the time-out ends the session
    bool handling_ = false;   // inside dataArrived (guards a nested event loop)
};
