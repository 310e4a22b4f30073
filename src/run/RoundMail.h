#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "mail/Pop3Session.h"
#include "mail/SessionView.h"
#include "mail/SmtpSession.h"
#include "model/Module1.h"
#include "run/MailJobs.h"
#include "run/OutgoingMail.h"
#include "run/OwedMail.h"
#include "run/RoundNotes.h"

// What a mailing came to.
struct MailingReport {
    SessionFailure failure;   // what ended the session early, if anything did
    int accepted = 0;         // messages the server took
    // Recipients refused on the way; the others got theirs.
    std::vector<SmtpSession::Undelivered> undelivered;
    // Recipients whose mail the server put off: tried again later, as the
    // mailing's terms allow.
    std::vector<SmtpSession::Undelivered> deferred;
};

// What a fetch came to.
struct FetchReport {
    SessionFailure failure;   // what ended the session early, if anything did
    bool loggedIn = false;    // the mailbox was opened: what was read counts
};

// For how long a mailing's put-off mail is still of use, counted from the
// end of its first try, and what the round's log calls the mailing. 0: it
// is not tried again.
struct RetryTerms {
    SjisText phase;
    std::uint32_t forMs = 0;
};

// What became of mail tried again after its first try.
struct MailEvent {
    enum class Kind {
        PutOff,         // held back for the pace, then put off by the server
        TakenLater,     // taken on a later connection
        RefusedLater,   // refused for good on a later connection
        GivenUp,        // still owed at its deadline
        Bounced,        // taken, then reported undeliverable by the provider
    };
    Kind kind = Kind::TakenLater;
    SjisText phase;
    SmtpSession::Undelivered who;   // `reply`: the server's last words on it
};

// How a round sends and fetches. Each call returns once its mail session has
// ended, by whatever road; what became of it is in the report. With
// `roundTellsFailures` the session shows no message box of its own: the
// round tells the operator from the report.
class RoundMail {
public:
    virtual ~RoundMail() = default;
    // `mail` to its recipients: one text to them all, or (PerRecipientMode)
    // one completed copy per participant. What the server puts off, and with
    // a pace set what is held back for it, is owed under `retry`.
    virtual MailingReport send(const OutgoingMail& mail, bool roundTellsFailures = false,
                               const RetryTerms& retry = {}) = 0;
    // Every waiting message through the parser; the replies to `answered`
    // go to the round. Afterwards they count as an earlier fetch's
    // (遅れメール).
    virtual FetchReport fetch(const OutgoingMail& answered, bool roundTellsFailures = false) = 0;
    // Both connections closed at once and their time-outs stopped; a send or
    // fetch in progress returns, and owed mail is dropped.
    virtual void stop() = 0;
    // Owed mail whose time has come goes out on a connection of its own
    // (the call returns at once; the round's waits carry the dialogue), and
    // mail past its deadline is given up. The round calls it every second of
    // its clock while it waits.
    virtual void retryDue() = 0;
    // Mail is still owed, or being tried.
    virtual bool owesMail() const = 0;
    // For the status line: "（再送待ち N通: <the server's words>）", or for
    // mail held for the pace "（送信待ち N通）"; empty when nothing is owed.
    virtual SjisText waitingNote() const = 0;
    // Told what becomes of owed mail.
    std::function<void(const MailEvent&)> onMailEvent;
};

// The round's mail over the main window's two connections: SMTP on one socket
// and its time-out timer, POP3 on the other pair. The window routes the
// sockets' and timers' events to smtp() and pop3().
class RoundMailer final : public RoundMail {
public:
    RoundMailer(Module1& m, RoundNotes& vars, SessionView& view, Socket& smtpSocket, Timer& smtpTimer,
                Socket& pop3Socket, Timer& pop3Timer);

    MailingReport send(const OutgoingMail& mail, bool roundTellsFailures = false,
                       const RetryTerms& retry = {}) override;
    FetchReport fetch(const OutgoingMail& answered, bool roundTellsFailures = false) override;
    void stop() override;
    void retryDue() override;
    bool owesMail() const override { return !owed_.empty() || trying_.has_value(); }
    SjisText waitingNote() const override;

    SmtpSession& smtp() { return smtp_; }
    Pop3Session& pop3() { return pop3_; }

    // Tests point the sessions at servers of their own.
    SessionOverrides overrides;

private:
    // The session on the SMTP connection ended: if it tried owed mail, what
    // it did not deliver is owed again, after a longer pause.
    void smtpEnded();
    void tell(MailEvent::Kind kind, const SjisText& phase, const SmtpSession::Undelivered& who);
    // The pace the settings ask for, as the gap between two messages; 0: none.
    std::uint32_t paceGapMs() const;

    Module1& m_;
    RoundNotes& vars_;
    SessionView& view_;
    Socket& smtpSocket_;
    Socket& pop3Socket_;
    SmtpSession smtp_;
    Pop3Session pop3_;
    int mailings_ = 0;                   // sent so far: the latest one's replies are awaited
    std::vector<OwedMail> owed_;         // waiting for their time
    std::optional<OwedMail> trying_;     // on the SMTP connection now
};
