#pragma once
#include "model/Module1.h"
#include "run/Form1Variables.h"
#include "run/RoundMail.h"
#include "run/RoundView.h"

// How a round ended.
enum class RoundEnd {
    SetupMissing,     // a set-up file not filled in, or nobody to invite: no mail sent
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
    QuizRound(Module1& m, Form1Variables& vars, RoundView& view, RoundMail& mail);

    RoundEnd play();

    // Ends the round at once from inside one of its waits: the connections
    // close, no further mail goes out and nothing is stored.
    void stop();
    bool stopped() const { return stopped_; }

private:
    RoundEnd stopForSetup(const SjisText& message);
    RoundEnd end(RoundEnd how);
    // Each returns false when the round was stopped meanwhile.
    bool sendInvitationAndFetchReplies(int addressCount, int questionCount);
    bool playQuestion(int q);
    bool sendClosingMail();
    bool countdown(const SjisText& subject, int minutes);
    // Roster, results, then the counter; the counter moves on only when both
    // others are stored whole, so a round is never counted as played without
    // its results on disk.
    bool storeRound();
    void status(const SjisText& text) { view_.setStatusText(text); }

    Module1& m_;
    Form1Variables& vars_;
    RoundView& view_;
    RoundMail& mail_;
    bool stopped_ = false;
};
