#include "run/Scoring.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "mail/Players.h"
#include "mail/SjisSearch.h"
#include "run/AnswerMarker.h"
#include "run/ResultLines.h"
#include "run/RunTexts.h"
#include "run/ShellSort.h"

namespace {

const SjisText kRight = RunTexts::kRight;   // ○
const SjisText kWrong = RunTexts::kWrong;   // ×

std::string decimal(long v) { return std::to_string(v); }

bool isQuestionIndex(int q) { return q >= 1 && q <= kQuestionSlots; }

}  // namespace

void sizeParticipantTable(Module1& m, int C, int Q) {
    ParticipantTable& t = m.quizRun.participants;
    const int last = C - 1;
    t.ParticipantCount = 0;
    t.着信順.size(0, last);
    t.得点数.size(0, last);
    t.順位.size(0, last);
    t.名前.size(0, last);
    t.アドレス.size(0, last);
    t.正解数.size(0, last);
    t.正解率.size(0, last);
    t.回答.size(0, last, 1, Q);
    t.採点.size(0, last, 1, Q);
    m.quizRun.ParticipantLastIndex = -1;
    m.quizRun.Answered.clear();
    m.quizRun.Ranking.clear();
}

void sizeAnswerTables(Module1& m, int P, int Q) {
    m.quizRun.Answered.size(0, P - 1, 1, Q);
    m.quizRun.Ranking.assign(P > 0 ? std::size_t(P) : 0, PersonClass{});
}

void AcceptReply(Module1& m, const SjisText& sender) {
    if (sender.empty()) return;   // a message without a From header matches nobody
    QuizRun& run = m.quizRun;
    ParticipantTable& t = run.participants;
    const int last = std::min<int>(run.AddressLastIndex, kAddressSlots - 1);
    // The whole list is scanned: an address listed twice joins twice.
    for (int i = 0; i <= last; ++i) {
        if (!sameAddress(run.ListAddresses[i], sender) || run.ListJoined[i] != 0) continue;
        const int row = run.ArrivalCounter;
        // The table has a row for every invitee; never write past it.
        if (!t.アドレス.has(row) || !t.名前.has(row)) return;
        run.ListJoined[i] = 1;
        t.アドレス[row] = run.ListAddresses[i];
        t.名前[row] = run.ListNames[i];
        run.ArrivalCounter = std::int16_t(row + 1);
        t.ParticipantCount = std::int16_t(row + 1);
        run.ParticipantLastIndex = std::int16_t(row);
    }
}

std::int16_t CorrectPercent(int correct, int questions) {
    if (questions <= 0) return 0;
    // Divide first, then multiply: that order fixes which results are
    // exact halves (1 of 8 is 12.5 and goes to 12).
    const double v = double(correct) / double(questions) * 100.0;
    double whole = std::floor(v);
    const double fraction = v - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    return std::int16_t(whole);
}

void ScoreAnswer(Module1& m, const SjisText& sender, const SjisText& body) {
    QuizRun& run = m.quizRun;
    ParticipantTable& t = run.participants;
    const QuestionSet& qs = m.questionSet;
    const int q = run.CurrentQuestion;
    if (!isQuestionIndex(q) || sender.empty()) return;

    const Answer answer = ReadAnswer(body, answerDigitsOf(m.replySettings.FullWidthDigits) == AnswerDigits::FullWidthToo);
    for (int p = 0; p <= run.ParticipantLastIndex; ++p) {
        if (!t.アドレス.has(p) || !sameAddress(t.アドレス[p], sender)) continue;
        if (!run.Answered.has(p, q) || run.Answered.at(p, q) || !t.採点.has(p, q)) continue;

        // A reply without any answer marker uses up the turn and changes nothing.
        if (answer.marked) {
            if (answer.digit) {
                const int d = *answer.digit;
                t.回答.at(p, q) = std::int16_t(d);
                if (d == qs.CorrectChoice[q]) {
                    t.採点.at(p, q) = kRight;
                    t.正解数[p] = std::int16_t(t.正解数[p] + 1);
                    t.得点数[p] = std::int16_t(t.得点数[p] + qs.Points[q]);
                    t.着信順[p] = std::int16_t(run.ArrivalCounter + 1);
                } else {
                    // Behind everyone whose latest scored answer was right.
                    t.採点.at(p, q) = kWrong;
                    t.着信順[p] = std::int16_t(run.ArrivalCounter + 1001);
                }
            } else {
                // Unreadable: a letter, nothing after the marker, or a
                // full-width digit where those are not taken.
                t.採点.at(p, q) = kWrong;
                t.回答.at(p, q) = -1;
            }
            t.正解率[p] = CorrectPercent(t.正解数[p], q);
        }
        run.ArrivalCounter = std::int16_t(run.ArrivalCounter + 1);
        run.Answered.at(p, q) = 1;
    }
}

void MarkMissingAnswers(Module1& m, int q) {
    QuizRun& run = m.quizRun;
    ParticipantTable& t = run.participants;
    for (int p = 0; p < t.ParticipantCount; ++p) {
        if (!run.Answered.has(p, q) || run.Answered.at(p, q)) continue;
        if (!t.採点.has(p, q) || !t.正解率.has(p)) continue;
        t.採点.at(p, q) = kWrong;
        t.回答.at(p, q) = 0;
        t.正解率[p] = CorrectPercent(t.正解数[p], q);
    }
}

namespace {
// One ranked person with the participant row it was copied from.
struct RankedRow {
    PersonClass person;
    int row = 0;
    std::int16_t compareTo(const RankedRow& o) const { return person.compareTo(o.person); }
};
}  // namespace

std::vector<PersonClass> RankedPersons(const ParticipantTable& t, std::vector<int>* rows) {
    std::vector<RankedRow> ranked;
    for (int i = 0; i < t.ParticipantCount && t.アドレス.has(i); ++i) {
        RankedRow r;
        r.row = i;
        r.person.得点数 = t.得点数[i];
        r.person.着信順 = t.着信順[i];
        r.person.アドレス = t.アドレス[i];
        r.person.順位 = t.順位[i];
        r.person.名前 = t.名前[i];
        r.person.正解数 = t.正解数[i];
        r.person.正解率 = t.正解率[i];
        ranked.push_back(std::move(r));
    }
    // The row rides along without taking part in the comparison, so the
    // order is exactly the one the persons alone would get.
    ShellSort(ranked);
    std::vector<PersonClass> persons;
    persons.reserve(ranked.size());
    if (rows) rows->clear();
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        ranked[i].person.順位 = std::int16_t(i + 1);
        persons.push_back(std::move(ranked[i].person));
        if (rows) rows->push_back(ranked[i].row);
    }
    return persons;
}

void Rank(Module1& m) {
    m.quizRun.Ranking = RankedPersons(m.quizRun.participants);
}

SjisText CompleteMail(Module1& m, int row, const SjisText& body) {
    const QuizRun& run = m.quizRun;
    const ParticipantTable& t = run.participants;
    const int q = run.CurrentQuestion;
    if (q <= 1 || !t.アドレス.has(row)) return body;

    const std::string total = decimal(m.questionSet.TotalPoints);
    const std::string previous = decimal(q - 1);
    const SjisText mark = t.採点.has(row, q - 1) ? t.採点.at(row, q - 1) : SjisText{};

    SjisText out = body;
    for (std::size_t k = 0; k < run.Ranking.size(); ++k) {
        if (run.Ranking[k].アドレス != t.アドレス[row]) continue;
        using namespace resultlines;
        out = sjisReplaceAll(out, ResultLine(previous, kWrong), ResultLine(previous, mark));
        out = sjisReplaceAll(out, RankLine(), RankLine(decimal(long(k) + 1)));
        out = sjisReplaceAll(out, ScoreLine(total), ScoreLine(total, decimal(t.得点数[row])));
    }
    return out;
}

ParseContext replyContext(Module1& m, const OutgoingMail& answered, const SjisText& lateMail,
                          const SentMessageIds* sentIds) {
    ParseContext ctx;
    ctx.ownAddress = m.mailSettings.OwnAddress;
    ctx.mailSubject = ReplySubject(answered);
    ctx.lateMail = lateMail;
    ctx.sentIds = sentIds;
    ctx.perRecipientMode = answered.PerRecipientMode;
    ctx.reading.players = playerFilterOf(m.replySettings, m.addressBook);
    ctx.reading.converter = m.platform.converter;
    ctx.acceptReply = [&m](const SjisText& sender) { AcceptReply(m, sender); };
    ctx.scoreAnswer = [&m](const SjisText& sender, const SjisText& body) { ScoreAnswer(m, sender, body); };
    return ctx;
}
