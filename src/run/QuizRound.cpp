#include "run/QuizRound.h"

#include "mail/FailureTexts.h"
#include "model/RecordFiles.h"
#include "model/RoundFiles.h"
#include "run/RoundSetup.h"
#include "run/RunTexts.h"
#include "run/Scoring.h"
#include "run/Waiting.h"

#include <algorithm>

namespace {

// The countdown's status line with a note of the mail still owed.
class NotedCountdown final : public CountdownView {
public:
    NotedCountdown(CountdownView& view, const RoundMail& mail) : view_(view), mail_(mail) {}
    void setStatusText(const SjisText& text) override { view_.setStatusText(text + mail_.waitingNote()); }
    void setProgressMax(int max) override { view_.setProgressMax(max); }
    void setProgressMin(int min) override { view_.setProgressMin(min); }
    void setProgressStyle(int style) override { view_.setProgressStyle(style); }
    void setProgressValue(int value) override { view_.setProgressValue(value); }

private:
    CountdownView& view_;
    const RoundMail& mail_;
};

// How long after the end of its first try a mailing's put-off mail is of use:
// the invitation until its countdown ends, a question until shortly before
// (a mail that comes later leaves no time to answer it), the closing mail a
// while after the round.
constexpr std::uint32_t kQuestionMarginMs = 10000;
constexpr std::uint32_t kClosingRetryMs = 10 * 60000;
std::uint32_t minutesMs(int minutes) { return std::uint32_t(std::max(minutes, 0)) * 60000u; }

}  // namespace

QuizRound::QuizRound(Module1& m, RoundNotes& vars, RoundView& view, RoundMail& mail)
    : m_(m), vars_(vars), view_(view), mail_(mail) {}

RoundEnd QuizRound::play() {
    QuizRun& run = m_.quizRun;
    // What becomes of owed mail is the round's to log and count; never
    // after the round has returned.
    mail_.onMailEvent = [this](const MailEvent& e) { mailEvent(e); };
    struct Listening {
        RoundMail& mail;
        ~Listening() { mail.onMailEvent = nullptr; }
    } listening{mail_};
    view_.setControlsEnabled(false);
    // Nothing of a round shown before may surface while this one starts: not
    // its joined marks, not its ranking when the grids are paged.
    vars_.受信 = false;
    run.Ranking.clear();
    run.CurrentQuestion = 0;   // the invitation's countdown is no question's
    view_.clearGrids();
    undelivered_ = 0;
    view_.showUndelivered(0);
    run.participants.ParticipantCount = 0;

    if (const auto missing = ReadRoundSetup(m_)) return stopForSetup(*missing);
    deliveryLog_ = RunTexts::kDeliveryLogPrefix + run.RoundNumber + RunTexts::kDeliveryLogSuffix;
    const int questionCount = *QuestionCountOf(m_.questionSet);
    const int addressCount = BuildAddressList(m_);
    if (addressCount == 0) return stopForSetup(RunTexts::kNoAddresses);
    // Before anything is sent: a round that may pass the provider's daily
    // limit goes on only if the operator says so.
    const int dailyLimit = m_.transport.DailyRecipientLimit;
    const RoundRecipients most = MostRecipients(addressCount, questionCount);
    if (dailyLimit > 0 && most.total() > dailyLimit && !view_.goOnOverDailyLimit(most, dailyLimit))
        return stopForSetup(RunTexts::kOverDailyLimit);
    view_.showJoinedPlayers(addressCount);

    if (const auto early = sendInvitationAndFetchReplies(addressCount, questionCount)) return *early;

    const int participants = run.ParticipantCount();
    view_.showJoinedPlayers(addressCount);
    view_.showParticipantCount(participants);
    if (participants == 0) {
        status(RunTexts::kNoParticipants);
        return end(RoundEnd::NoParticipants);
    }

    sizeAnswerTables(m_, participants, questionCount);
    for (int q = 1; q <= questionCount; ++q)
        if (!playQuestion(q)) return RoundEnd::Stopped;
    run.CurrentQuestion = std::int16_t(questionCount + 1);

    if (!sendClosingMail()) return RoundEnd::Stopped;
    const bool stored = storeRound();
    // The results are safe on disk; put-off closing mail has a while yet.
    settleOwedMail(m_.closingMail.Subject);
    status(stored ? RunTexts::kQuizEnded : RunTexts::kNotStored);
    view_.reload();
    return end(stored ? RoundEnd::Stored : RoundEnd::NotStored);
}

void QuizRound::stop() {
    stopped_ = true;
    mail_.stop();
}

RoundEnd QuizRound::stopForSetup(const SjisText& message) {
    status(message);
    view_.setControlsEnabled(true);
    return RoundEnd::SetupMissing;
}

RoundEnd QuizRound::end(RoundEnd how) {
    view_.setControlsEnabled(true);
    return how;
}

RoundEnd QuizRound::stopForMail(const char* what, const SessionFailure& failure, bool sending) {
    tell(what + failureExplanation(failure, sending));
    return end(RoundEnd::MailFailed);
}

std::optional<RoundEnd> QuizRound::sendInvitationAndFetchReplies(int addressCount, int questionCount) {
    const InvitationMail& invitation = m_.invitationMail;
    const OutgoingMail mail{invitation.Subject, invitation.Body, false, AddressListRecipients(m_.quizRun)};
    // Without the invitation nobody can join: rather than count down for
    // replies that cannot come, the round does not start.
    const MailingReport sent =
        mail_.send(mail, true, {RunTexts::kInvitationPhase, minutesMs(invitation.ReplyMinutes)});
    if (stopped_) return RoundEnd::Stopped;
    // Put off by the server is not refused: it is tried again while the
    // countdown runs.
    if (sent.accepted == 0 && sent.deferred.empty())
        return stopForMail(RunTexts::kInvitationNotSent, sent.failure, true);
    mailingDone(invitation.Subject, RunTexts::kInvitationPhase, sent);

    if (!countdown(invitation.Subject, invitation.ReplyMinutes)) return RoundEnd::Stopped;

    sizeParticipantTable(m_, addressCount, questionCount);
    status(invitation.Subject + RunTexts::kReceiving);
    m_.quizRun.participants.ParticipantCount = 0;
    vars_.受信 = true;
    // A mailbox that could not be opened is no mailbox without replies.
    const FetchReport fetched = mail_.fetch(mail, true);
    if (stopped_) return RoundEnd::Stopped;
    if (fetched.failure && !fetched.loggedIn) return stopForMail(RunTexts::kRepliesNotFetched, fetched.failure, false);
    return std::nullopt;
}

void QuizRound::mailingDone(const SjisText& subject, const SjisText& phase, const MailingReport& report,
                            bool announce) {
    const SessionFailure::Kind kind = report.failure.kind;
    // A refused login, or a sender refused for a quota, is told: the mail
    // will not go out until the operator acts.
    if (kind == SessionFailure::Kind::LoginRefused || refusedForQuota(report.failure)) {
        tell(subject + RunTexts::kNotSent + failureExplanation(report.failure, true));
        return;
    }
    for (const SmtpSession::Undelivered& d : report.deferred)
        logDelivery(phase, d.address, d.step + (" " + SjisText(RunTexts::kLogPutOff)), d.reply);
    const SjisText later = report.deferred.empty() ? SjisText()
                           : " " + SjisText(RunTexts::kSentLater) + std::to_string(report.deferred.size()) +
                                 RunTexts::kUndeliveredUnit;
    if (report.undelivered.empty()) {
        if (announce) status(subject + RunTexts::kSent + later);
        return;
    }
    // Named in the status line (the first few), counted on the window, and
    // every one in the round's delivery log with the server's reply.
    constexpr std::size_t kNamed = 3;
    SjisText names;
    for (std::size_t i = 0; i < report.undelivered.size() && i < kNamed; ++i)
        names += (i ? "\x81\x41" : "") + report.undelivered[i].address;   // 、
    if (report.undelivered.size() > kNamed) names += RunTexts::kAndOthers;
    status(subject + RunTexts::kSent + RunTexts::kUndelivered + std::to_string(report.undelivered.size()) +
           RunTexts::kUndeliveredUnit + " (" + names + ")" + later);
    countUndelivered(int(report.undelivered.size()));
    for (const SmtpSession::Undelivered& u : report.undelivered) logDelivery(phase, u.address, u.step, u.reply);
}

void QuizRound::mailEvent(const MailEvent& e) {
    switch (e.kind) {
    case MailEvent::Kind::PutOff:
        logDelivery(e.phase, e.who.address, e.who.step + (" " + SjisText(RunTexts::kLogPutOff)), e.who.reply);
        return;
    case MailEvent::Kind::TakenLater:
        logDelivery(e.phase, e.who.address, RunTexts::kLogTakenLater, e.who.reply);
        return;
    case MailEvent::Kind::RefusedLater:
        logDelivery(e.phase, e.who.address, SjisText(RunTexts::kLogRefusedLater) + " " + e.who.step, e.who.reply);
        countUndelivered(1);
        return;
    case MailEvent::Kind::GivenUp:
        logDelivery(e.phase, e.who.address, RunTexts::kLogGivenUp, e.who.reply);
        countUndelivered(1);
        return;
    case MailEvent::Kind::Bounced:
        logDelivery(e.phase, e.who.address, RunTexts::kLogBounced, e.who.reply);
        countUndelivered(1);
        return;
    }
}

void QuizRound::countUndelivered(int more) {
    undelivered_ += more;
    view_.showUndelivered(undelivered_);
}

void QuizRound::logDelivery(const SjisText& phase, const SjisText& address, const SjisText& what,
                            const SjisText& reply) {
    m_.platform.files->appendLine(deliveryLog_, m_.platform.clock->localDateTime() + '\t' + phase + '\t' + address + '\t' +
                                           what + '\t' + reply);
}

void QuizRound::settleOwedMail(const SjisText& subject) {
    while (mail_.owesMail() && !stopped_) {
        status(subject + RunTexts::kRetryWait + mail_.waitingNote());
        wait(m_.platform, 1000, &stopped_);
        mail_.retryDue();
    }
}

void QuizRound::fetchDone(const SjisText& subject, const FetchReport& report) {
    if (report.failure.kind == SessionFailure::Kind::LoginRefused)
        tell(subject + RunTexts::kRepliesNotRead + failureExplanation(report.failure, false));
}

void QuizRound::tell(const SjisText& text) {
    status(text);
    if (MessageBox* box = m_.platform.messageBox) box->show(text, false);
}

bool QuizRound::playQuestion(int q) {
    const QuestionSet& set = m_.questionSet;
    m_.quizRun.CurrentQuestion = std::int16_t(q);

    const OutgoingMail mail{set.Subject[q], set.QuestionMail[q], true, ParticipantRecipients(m_.quizRun)};
    const SjisText phase = RunTexts::kQuestionPhase + std::to_string(q);
    const std::uint32_t whole = minutesMs(set.ReplyMinutes[q]);
    const MailingReport sent =
        mail_.send(mail, false, {phase, whole > kQuestionMarginMs ? whole - kQuestionMarginMs : 0});
    if (stopped_) return false;
    mailingDone(set.Subject[q], phase, sent);

    if (!countdown(set.Subject[q], set.ReplyMinutes[q])) return false;

    // The status line keeps the countdown's last text until the POP3
    // session writes its own.
    const FetchReport fetched = mail_.fetch(mail);
    if (stopped_) return false;
    fetchDone(set.Subject[q], fetched);

    MarkMissingAnswers(m_, q);
    Rank(m_);
    view_.showRanking();
    return true;
}

bool QuizRound::sendClosingMail() {
    const OutgoingMail mail{m_.closingMail.Subject, m_.closingMail.Body, true, ParticipantRecipients(m_.quizRun)};
    const MailingReport sent = mail_.send(mail, false, {RunTexts::kClosingPhase, kClosingRetryMs});
    if (stopped_) return false;
    // The round's end says the rest.
    mailingDone(m_.closingMail.Subject, RunTexts::kClosingPhase, sent, false);
    return true;
}

bool QuizRound::countdown(const SjisText& subject, int minutes) {
    // Owed mail is tried on the countdown's own clock, second by second:
    // the countdown never waits for it.
    NotedCountdown noted(view_, mail_);
    Countdown(m_.platform, noted, subject, minutes, &stopped_, [this] { mail_.retryDue(); });
    return !stopped_;
}

bool QuizRound::storeRound() {
    DataFiles& files = *m_.platform.files;
    QuizRun& run = m_.quizRun;
    // Both are tried: what can be stored is kept, even when the other fails.
    const bool roster = writeRoster(files, run);
    const bool results = writeResults(files, run);
    if (!roster || !results) return false;

    const std::int16_t round = run.CurrentRound;
    const SjisText roundText = run.RoundNumber;
    if (advanceRoundCounter(files, run)) return true;
    run.CurrentRound = round;
    run.RoundNumber = roundText;
    return false;
}
