#include "run/QuizRound.h"

#include "mail/FailureTexts.h"
#include "model/RecordFiles.h"
#include "model/RoundFiles.h"
#include "run/RoundSetup.h"
#include "run/RunTexts.h"
#include "run/Scoring.h"

namespace {
// The subject a reply carries: "Re:" and the subject of the mail it answers.
SjisText replySubject(const SjisText& subject) { return "Re:" + subject; }
}  // namespace

QuizRound::QuizRound(Module1& m, RoundNotes& vars, RoundView& view, RoundMail& mail)
    : m_(m), vars_(vars), view_(view), mail_(mail) {}

RoundEnd QuizRound::play() {
    QuizRun& run = m_.quizRun;
    view_.setControlsEnabled(false);
    m_.outgoingMail.PerRecipientMode = 0;
    // Nothing of a round shown before may surface while this one starts: not
    // its joined marks, not its ranking when the grids are paged.
    vars_.受信.clear();
    run.Ranking.clear();
    run.CurrentQuestion = 0;   // the invitation's countdown is no question's
    view_.clearGrids();
    undelivered_ = 0;
    view_.showUndelivered(0);
    run.participants.ParticipantCount = 0;

    if (const auto missing = ReadRoundSetup(m_)) return stopForSetup(*missing);
    const int questionCount = *QuestionCountOf(m_.questionSet);
    const int addressCount = BuildAddressList(m_);
    if (addressCount == 0) return stopForSetup(RunTexts::kNoAddresses);
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
    m_.outgoingMail.PerRecipientMode = 1;
    for (int q = 1; q <= questionCount; ++q)
        if (!playQuestion(q)) return RoundEnd::Stopped;
    run.CurrentQuestion = std::int16_t(questionCount + 1);

    if (!sendClosingMail()) return RoundEnd::Stopped;
    const bool stored = storeRound();
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
    OutgoingMail& mail = m_.outgoingMail;
    mail.MailSubject = invitation.Subject;
    mail.MailBody = invitation.Body;
    // Without the invitation nobody can join: rather than count down for
    // replies that cannot come, the round does not start.
    const MailingReport sent = mail_.send(true);
    if (stopped_) return RoundEnd::Stopped;
    if (sent.accepted == 0) return stopForMail(RunTexts::kInvitationNotSent, sent.failure, true);
    mailingDone(invitation.Subject, RunTexts::kInvitationPhase, sent);

    if (!countdown(invitation.Subject, invitation.ReplyMinutes)) return RoundEnd::Stopped;

    sizeParticipantTable(m_, addressCount, questionCount);
    mail.MailSubject = replySubject(invitation.Subject);
    status(invitation.Subject + RunTexts::kReceiving);
    m_.quizRun.participants.ParticipantCount = 0;
    vars_.noteJoinedMarksKnown();
    // A mailbox that could not be opened is no mailbox without replies.
    const FetchReport fetched = mail_.fetch(true);
    if (stopped_) return RoundEnd::Stopped;
    if (fetched.failure && !fetched.loggedIn) return stopForMail(RunTexts::kRepliesNotFetched, fetched.failure, false);
    return std::nullopt;
}

void QuizRound::mailingDone(const SjisText& subject, const SjisText& phase, const MailingReport& report,
                            bool announce) {
    if (report.failure.kind == SessionFailure::Kind::LoginRefused) {
        tell(subject + RunTexts::kNotSent + failureExplanation(report.failure, true));
        return;
    }
    if (report.undelivered.empty()) {
        if (announce) status(subject + RunTexts::kSent);
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
           RunTexts::kUndeliveredUnit + " (" + names + ")");
    undelivered_ += int(report.undelivered.size());
    view_.showUndelivered(undelivered_);

    DataFiles& files = *m_.platform.files;
    const std::string log = RunTexts::kDeliveryLogPrefix + m_.quizRun.RoundNumber + RunTexts::kDeliveryLogSuffix;
    const std::string when = m_.platform.clock->localDateTime();
    for (const SmtpSession::Undelivered& u : report.undelivered)
        files.appendLine(log, when + '\t' + phase + '\t' + u.address + '\t' + u.step + '\t' + u.reply);
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
    OutgoingMail& mail = m_.outgoingMail;
    m_.quizRun.CurrentQuestion = std::int16_t(q);

    mail.MailSubject = set.Subject[q];
    mail.MailBody = set.QuestionMail[q];
    const MailingReport sent = mail_.send();
    if (stopped_) return false;
    mailingDone(set.Subject[q], RunTexts::kQuestionPhase + std::to_string(q), sent);

    if (!countdown(set.Subject[q], set.ReplyMinutes[q])) return false;

    // The status line keeps the countdown's last text until the POP3
    // session writes its own.
    mail.MailSubject = replySubject(set.Subject[q]);
    const FetchReport fetched = mail_.fetch();
    if (stopped_) return false;
    fetchDone(set.Subject[q], fetched);

    MarkMissingAnswers(m_, q);
    Rank(m_);
    view_.showRanking();
    return true;
}

bool QuizRound::sendClosingMail() {
    OutgoingMail& mail = m_.outgoingMail;
    mail.PerRecipientMode = 1;
    mail.MailSubject = m_.closingMail.Subject;
    mail.MailBody = m_.closingMail.Body;
    const MailingReport sent = mail_.send();
    if (stopped_) return false;
    // The round's end says the rest.
    mailingDone(m_.closingMail.Subject, RunTexts::kClosingPhase, sent, false);
    return true;
}

bool QuizRound::countdown(const SjisText& subject, int minutes) {
    Countdown(m_.platform, view_, subject, minutes, &stopped_);
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
