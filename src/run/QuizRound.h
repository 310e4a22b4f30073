#pragma once
#include <optional>

#include "model/Module1.h"
#include "run/RoundNotes.h"
#include "run/RoundMail.h"
#include "run/RoundView.h"

// How a round ended.
enum class RoundEnd {
    SetupMissing,     // a set-up file not filled in, or nobody to invite: no mail sent
    MailFailed,       // the invitation could not go out, or its replies could not be
                      // fetched: the operator is told why, nothing stored
    NoParticipants,   // nobody joined: nothing stored
    Stored,           // played to the end, roster, results and counter stored
    NotStored,        // played to the end, but the files could not all be stored
    Stopped,          // ended from outside (the window closed): nothing stored
};

// One round from START to the stored results: the set-up checks, the
// invitation and its replies, every question (mail, countdown, fetch,
// missing answers, ranking), the closing mail and the round's files. It never
// returns while the round runs: it waits on the event loop, inside which the
// mail sessions, the timers and the window's events are handled.
class QuizRound {
public:
    QuizRound(Module1& m, RoundNotes& vars, RoundView& view, RoundMail& mail);

    RoundEnd play();

    // Ends the round at once from inside one of its waits: the connections
    // close, no further mail goes out and nothing is stored.
    void stop();
    bool stopped() const { return stopped_; }

private:
    RoundEnd stopForSetup(const SjisText& message);
    RoundEnd end(RoundEnd how);
    // The round cannot go on without this mail: `what` failed, the operator
    // is told why and what to do, and nothing is stored.
    RoundEnd stopForMail(const char* what, const SessionFailure& failure, bool sending);
    // How the round ends early, if it does: stopped from outside, or the
    // invitation or its replies failed as a whole.
    std::optional<RoundEnd> sendInvitationAndFetchReplies(int addressCount, int questionCount);
    // Each returns false when the round was stopped meanwhile.
    bool playQuestion(int q);
    bool sendClosingMail();
    // After a mailing of the phase `phase` went out: the status line says so
    // (unless not `announce`) and names whom it could not reach, who also go
    // to the round's delivery log; a refused login is told to the operator.
    void mailingDone(const SjisText& subject, const SjisText& phase, const MailingReport& report,
                     bool announce = true);
    // After a fetch: a refused login is told to the operator, never taken
    // for a mailbox without replies.
    void fetchDone(const SjisText& subject, const FetchReport& report);
    // What became of mail owed since its mailing: logged, and counted when
    // it never went out.
    void mailEvent(const MailEvent& e);
    void countUndelivered(int more);
    // A line of the round's delivery log: when, the mailing, whose mail,
    // what happened to it, the server's words.
    void logDelivery(const SjisText& phase, const SjisText& address, const SjisText& what, const SjisText& reply);
    // Waits, the status line saying so, until no mail is owed any more:
    // delivered, refused, or past its time.
    void settleOwedMail(const SjisText& subject);
    // The status line and a message box that does not hold up the round.
    void tell(const SjisText& text);
    bool countdown(const SjisText& subject, int minutes);
    // Roster, results, then the counter; the counter moves on only when both
    // others are stored whole, so a round is never counted as played without
    // its results on disk.
    bool storeRound();
    void status(const SjisText& text) { view_.setStatusText(text); }

    Module1& m_;
    RoundNotes& vars_;
    RoundView& view_;
    RoundMail& mail_;
    bool stopped_ = false;
    int undelivered_ = 0;   // recipients of this round's mailings that could not be reached
    // This round's delivery log, named when it starts: storing the round
    // moves the round number on while closing mail may still be owed.
    std::string deliveryLog_;
};
