#include "run/QuizRound.h"

#include "model/RecordFiles.h"
#include "model/RoundFiles.h"
#include "run/RoundSetup.h"
#include "run/RunTexts.h"
#include "run/Scoring.h"

namespace {
// The subject a reply carries: "Re:" and the subject of the mail it answers.
SjisText replySubject(const SjisText& subject) { return "Re:" + subject; }
}  // namespace

QuizRound::QuizRound(Module1& m, Form1Variables& vars, RoundView& view, RoundMail& mail)
    : m_(m), vars_(vars), view_(view), mail_(mail) {}

RoundEnd QuizRound::play() {
    QuizRun& run = m_.quizRun;
    view_.setControlsEnabled(false);
    m_.outgoingMail.PerRecipientMode = 0;
    // Nothing of a round shown before may surface while this one starts: not
    // its joined marks, not its ranking when the grids are paged.
    vars_.受信.clear();
    run.Ranking.clear();
    view_.clearGrids();
    run.participants.ParticipantCount = 0;

    if (const auto missing = ReadRoundSetup(m_)) return stopForSetup(*missing);
    const int questionCount = *QuestionCountOf(m_.questionSet);
    const int addressCount = BuildAddressList(m_);
    if (addressCount == 0) return stopForSetup(RunTexts::kNoAddresses);
    view_.showJoinedPlayers(addressCount);

    if (!sendInvitationAndFetchReplies(addressCount, questionCount)) return RoundEnd::Stopped;

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

bool QuizRound::sendInvitationAndFetchReplies(int addressCount, int questionCount) {
    const InvitationMail& invitation = m_.invitationMail;
    OutgoingMail& mail = m_.outgoingMail;
    mail.MailSubject = invitation.Subject;
    mail.MailBody = invitation.Body;
    mail_.send();
    if (stopped_) return false;
    status(invitation.Subject + RunTexts::kSent);

    if (!countdown(invitation.Subject, invitation.ReplyMinutes)) return false;

    sizeParticipantTable(m_, addressCount, questionCount);
    mail.MailSubject = replySubject(invitation.Subject);
    status(invitation.Subject + RunTexts::kReceiving);
    m_.quizRun.participants.ParticipantCount = 0;
    vars_.受信 = "1";
    mail_.fetch();
    return !stopped_;
}

bool QuizRound::playQuestion(int q) {
    const QuestionSet& set = m_.questionSet;
    OutgoingMail& mail = m_.outgoingMail;
    m_.quizRun.CurrentQuestion = std::int16_t(q);

    mail.MailSubject = set.Subject[q];
    mail.MailBody = set.QuestionMail[q];
    mail_.send();
    if (stopped_) return false;
    status(set.Subject[q] + RunTexts::kSent);

    if (!countdown(set.Subject[q], set.ReplyMinutes[q])) return false;

    // The status line keeps the countdown's last text until the POP3
    // session writes its own.
    mail.MailSubject = replySubject(set.Subject[q]);
    mail_.fetch();
    if (stopped_) return false;

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
    mail_.send();
    return !stopped_;
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
