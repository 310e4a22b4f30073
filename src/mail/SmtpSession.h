#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "mail/MailSession.h"
#include "mail/MessageHeaders.h"
#include "mail/SmtpExtensions.h"
#include "mail/SmtpReplyReader.h"
#include "model/Connection.h"
#include "platform/SjisText.h"

// One mailing: who gets it and what they get.
struct SmtpJob {
    struct Recipient {
        SjisText name;
        SjisText address;
    };

    SjisText server;        // connected to
    // What the session greets the server with (HELO/EHLO): this machine's
    // fully qualified name, as RFC 5321 asks; empty: the address literal of
    // this end of the connection ("[192.0.2.7]").
    SjisText greetingName;
    int port = 25;
    SjisText ownAddress;    // the envelope sender
    SjisText subject;       // as the status line names the mailing
    // The header fields of the message to recipient `index` (in shared mode,
    // the last recipient served), asked for as its text goes out: its Date is
    // the moment it leaves, its Message-ID its own.
    std::function<MessageHeaders(int index)> headersFor;
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
    int timeoutMs = kSessionTimeoutMs;
    // The session shows no message box of its own: its owner tells the
    // operator what failed (MailSession::open).
    bool ownerTellsFailures = false;
    // Nor does it write the status line (a mail tried again during a
    // countdown, which shows its own); with no progress bar either.
    bool quiet = false;

    // How the connection is protected: not at all (the dialogue opens with
    // HELO, as it always has), STARTTLS after EHLO, or TLS from the first byte.
    Protection protection = Protection::None;
    // With a user the session logs in (AUTH PLAIN, or AUTH LOGIN when that is
    // all the server offers) before the first MAIL FROM.
    SjisText authUser;
    SjisText authPassword;   // in clear
    std::vector<std::string> trustedFingerprints;

    // Today's submission services want EHLO; plain HELO stays for a job
    // that neither protects nor logs in, byte for byte as before.
    bool speaksEsmtp() const { return protection != Protection::None || !authUser.empty(); }
};

// The SMTP dialogue as a reply-driven state machine: it advances one state per
// whole server reply. Where the server's EHLO reply offers PIPELINING, the
// commands of a transaction go out as one group (MAIL, every RCPT, DATA; a
// message's text together with the next transaction's group) and the
// replies are taken in the order they answer; the state is then what the
// next reply answers. The HELO dialogue never groups.
class SmtpSession final : public MailSession {
public:
    // Each state names the reply it waits for.
    enum class State {
        Connect,    // the greeting, 220
        Ehlo,       // the 250 for EHLO (again once TLS has started): what the server offers
        StartTls,   // the 220 for STARTTLS; then the handshake, then EHLO again
        Auth,       // the 235 for AUTH PLAIN, or for the password of AUTH LOGIN
        AuthUser,   // AUTH LOGIN: the 334 asking for the user name
        AuthPass,   // AUTH LOGIN: the 334 asking for the password
        Helo,       // the 250 for HELO
        MailFrom,   // the 250 for MAIL FROM
        RcptTo,     // the 250 for the RCPT TO of the recipient being served
        Data,       // the 354 for DATA
        Body,       // the 250 for a message text
        Rset,       // whatever answers RSET, after a recipient was refused
        Quit,       // whatever follows QUIT
        // In groups only: whatever answers a command of a group already
        // given up, an RSET, or the empty text a transaction without
        // recipients must still be given. Taken and passed over.
        Drain,
    };

    SmtpSession(Socket& socket, Timer& timer, SessionView& view);

    // Closes the socket if it is open, arms the time-out and connects. The
    // caller has shown its own status text.
    void start(SmtpJob job);

    // Its events arrive from the owner's socket and timer (mail/SessionWiring.h).

    State state() const { return state_; }
    static const char* stateName(State s);
    const std::string& replyCode() const { return replyCode_; }
    int recipientIndex() const { return recipientIndex_; }
    // Messages the server took (its "250" after a message text): only these
    // count as sent, whatever else the session met.
    int acceptedMessages() const { return int(acceptedIds_.size()); }
    // The Message-IDs of those messages, in the order the server took them.
    const std::vector<std::string>& acceptedMessageIds() const { return acceptedIds_; }

    // A recipient the mailing could not reach, and why.
    struct Undelivered {
        int index = 0;
        SjisText name;
        SjisText address;
        const char* step = "";   // what was refused: "RCPT TO", "DATA", the message, the address itself
        SjisText reply;          // the server's reply line, or why the program did not send
    };
    // Every recipient refused on the way, in the order met. One bad address
    // stops no one: the mailing goes on to the next recipient.
    const std::vector<Undelivered>& undelivered() const { return undelivered_; }
    // Every recipient whose mail the server put off: a 4xx reply to the
    // commands of its transaction, or to the whole session's (421 and the
    // server closing put off all mail not yet taken). Its owner may try
    // them again later; `reply` is the server's line.
    const std::vector<Undelivered>& deferred() const { return deferred_; }
    // The recipients whose mail the server neither took nor refused for
    // good, however the session ended: what a later try still owes them.
    std::vector<int> untaken() const;

private:
    void received(const std::string& bytes) override;
    void takeReplies() override;
    void handleReply(const SmtpReplyReader::Reply& reply);
    void tlsStarted() override;
    void sendEhlo();
    std::string greeting() const;
    // After HELO, EHLO (and the login, if any): the first MAIL FROM.
    void beginMailing();
    // Acts on what the EHLO reply offers: true when the mail can begin now;
    // otherwise STARTTLS or AUTH has been sent, or the phase ended (nothing
    // more sent in the clear).
    bool goOnAfterEhlo(const std::string& ehloReply);
    // The reply is `code`; otherwise the command it answers was refused,
    // which ends the session: for good (5xx), or for now (4xx), when every
    // mail not yet taken is put off.
    bool expect(const char* code, const SmtpReplyReader::Reply& reply, const char* command);
    bool closedEarly() override;
    // What becomes of a recipient's mail, as the server's replies say.
    enum class Fate : std::uint8_t { Pending, Taken, Refused, Deferred };
    void defer(int index, const char* step, const SmtpReplyReader::Reply& reply);
    // The recipient being served put off, named in the status line as a
    // refusal is.
    void putOff(int index, const char* step, const SmtpReplyReader::Reply& reply);
    // Every mail not yet taken or refused is put off, and the session ends
    // with QUIT: the server cannot take mail now.
    void putOffTheRest(const char* step, const SmtpReplyReader::Reply& reply);
    bool anyDeferred() const { return !deferred_.empty(); }
    void sendQuit();
    // The whole text of the message to recipient `index`; its Message-ID
    // and recipients wait for the server's answer to the text.
    std::string messageText(int index);
    // The server answered the oldest text still unanswered: its recipients
    // have it (2xx), get it later (4xx) or, each with a text of their own,
    // never (5xx).
    void textAnswered(const SmtpReplyReader::Reply& reply);
    // The first recipient from `from` on whose address can be sent; each one
    // skipped is named in the status line and noted. -1 when none is left.
    int nextUsableRecipient(int from);
    void sendRcpt(int index);
    void reportRecipient(int index);
    // The recipient being served was refused at `step`: noted, and named in
    // the status line with the server's code.
    void refused(const char* step, const SmtpReplyReader::Reply& reply);
    // One transaction each: the refused player's is dropped (RSET); its
    // answer starts the next player's.
    void resetTransaction();
    // One envelope for everybody: the next RCPT TO, else DATA when someone was
    // taken, else the end.
    void nextSharedRecipient();
    // One transaction each: the next recipient's MAIL FROM, else QUIT.
    void nextPersonalMail();

    // Grouped commands. The first transaction's group, from recipient `from`.
    void sendFirstGroup(int from);
    // MAIL, the RCPT of each recipient from `from` on (one in per-recipient
    // mode, every usable one otherwise) and DATA, appended to `bytes` with
    // the replies they await.
    void appendGroup(std::string& bytes, int from);
    void await(State s);
    void handleGroupReply(const SmtpReplyReader::Reply& reply);
    void groupDataAnswered(const SmtpReplyReader::Reply& reply);
    void groupTextAnswered(const SmtpReplyReader::Reply& reply);
    // Per-recipient: `bytes` (the text, or what closes a transaction that
    // failed) goes out with the next recipient's group, if any.
    void closeTransaction(std::string bytes, State answer);
    // The sender was refused: the replies still due to the group answer
    // nothing that matters now, and no further group is sent.
    void abandonGroup();
    // Nothing is outstanding: the mailing is over.
    void endGroups();

    SmtpJob job_;
    SmtpReplyReader reader_;
    // The only way the dialogue moves on; the owner hears of every move.
    void enterState(State s);

    State state_ = State::Connect;
    std::string replyCode_;
    int recipientIndex_ = 0;
    std::vector<Fate> fate_;       // a recipient's, by index
    std::vector<int> envelope_;    // shared envelope: whose RCPT TO was taken
    struct SentText {
        std::string messageId;
        std::vector<int> recipients;
    };
    std::deque<SentText> texts_;        // sent and not yet answered, oldest first
    std::vector<std::string> acceptedIds_;
    std::vector<Undelivered> deferred_;
    bool mailDeferred_ = false;         // per-recipient groups: this transaction's MAIL FROM was put off
    EhloOffer offer_;              // of the latest EHLO reply
    bool pipelining_ = false;      // the mailing sends groups
    std::deque<State> awaiting_;   // in groups: what each reply due answers, in order
    std::deque<int> groupRecipients_;   // the recipient of each RCPT TO due
    bool transactionTaken_ = false;     // per-recipient groups: its RCPT TO was taken
    bool abandoned_ = false;            // the sender was refused: the mailing ends
    std::vector<Undelivered> undelivered_;
};
