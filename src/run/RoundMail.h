#pragma once
#include "mail/Pop3Session.h"
#include "mail/SessionView.h"
#include "mail/SmtpSession.h"
#include "model/Module1.h"
#include "run/MailJobs.h"
#include "run/OutgoingMail.h"
#include "run/RoundNotes.h"

// What a mailing came to.
struct MailingReport {
    SessionFailure failure;   // what ended the session early, if anything did
    int accepted = 0;         // messages the server took
    // Recipients refused on the way; the others got theirs.
    std::vector<SmtpSession::Undelivered> undelivered;
};

// What a fetch came to.
struct FetchReport {
    SessionFailure failure;   // what ended the session early, if anything did
    bool loggedIn = false;    // the mailbox was opened: what was read counts
};

// How a round sends and fetches. Each call returns once its mail session has
// ended, by whatever road; what became of it is in the report. With
// `roundTellsFailures` the session shows no message box of its own: the
// round tells the operator from the report.
class RoundMail {
public:
    virtual ~RoundMail() = default;
    // `mail` to its recipients: one text to them all, or (PerRecipientMode)
    // one completed copy per participant.
    virtual MailingReport send(const OutgoingMail& mail, bool roundTellsFailures = false) = 0;
    // Every waiting message through the parser; the replies to `answered`
    // go to the round. Afterwards they count as an earlier fetch's
    // (遅れメール).
    virtual FetchReport fetch(const OutgoingMail& answered, bool roundTellsFailures = false) = 0;
    // Both connections closed at once and their time-outs stopped; a send or
    // fetch in progress returns.
    virtual void stop() = 0;
};

// The round's mail over the main window's two connections: SMTP on one socket
// and its time-out timer, POP3 on the other pair. The window routes the
// sockets' and timers' events to smtp() and pop3().
class RoundMailer final : public RoundMail {
public:
    RoundMailer(Module1& m, RoundNotes& vars, SessionView& view, Socket& smtpSocket, Timer& smtpTimer,
                Socket& pop3Socket, Timer& pop3Timer);

    MailingReport send(const OutgoingMail& mail, bool roundTellsFailures = false) override;
    FetchReport fetch(const OutgoingMail& answered, bool roundTellsFailures = false) override;
    void stop() override;

    SmtpSession& smtp() { return smtp_; }
    Pop3Session& pop3() { return pop3_; }

    // Tests point the sessions at servers of their own.
    SessionOverrides overrides;

private:
    Module1& m_;
    RoundNotes& vars_;
    SessionView& view_;
    Socket& smtpSocket_;
    Socket& pop3Socket_;
    SmtpSession smtp_;
    Pop3Session pop3_;
};
