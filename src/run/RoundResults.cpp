#include "run/RoundResults.h"

#include <algorithm>

#include "model/FileNames.h"
#include "model/NumberField.h"
#include "model/RecordFiles.h"
#include "run/QuestionMailText.h"
#include "run/RunTexts.h"
#include "run/Scoring.h"

namespace {

AnswerCell answerCell(const ParticipantTable& t, int p, int q) {
    AnswerCell cell;
    if (!t.回答.has(p, q)) return cell;
    const int value = t.回答.at(p, q);
    cell.mark = t.採点.has(p, q) ? t.採点.at(p, q) : SjisText();
    if (cell.mark.empty())
        cell.kind = AnswerKind::NoAnswerLine;
    else if (value < 0)
        cell.kind = AnswerKind::Unreadable;
    else if (value == 0 && cell.mark != RunTexts::kRight)
        cell.kind = AnswerKind::Unanswered;
    else {
        cell.kind = AnswerKind::Choice;
        cell.choice = value;
    }
    return cell;
}

// The number of choices question q offers: up to its last choice in use, as
// its mail shows them (every slot has a label, used or not). A question file
// that is gone offers none; the digits the participants answered then stand
// for the choices.
int choiceCount(const QuestionSet& set, int q, const std::vector<ResultRow>& rows) {
    int n = 0;
    if (q >= 1 && q <= kQuestionSlots)
        for (int f = 0; f < kChoiceSlots; ++f)
            if (ChoiceInUse(set.ChoiceText[q][f])) n = f + 1;
    if (n > 0) return n;
    for (const ResultRow& row : rows) {
        const AnswerCell& a = row.answers[std::size_t(q - 1)];
        if (a.kind == AnswerKind::Choice) n = std::max(n, a.choice);
    }
    return n;
}

QuestionTally tally(const QuestionSet& set, int q, const std::vector<ResultRow>& rows) {
    QuestionTally t;
    t.question = q;
    t.correctChoice = q <= kQuestionSlots ? set.CorrectChoice[q] : 0;
    t.perChoice.assign(std::size_t(choiceCount(set, q, rows)), 0);
    for (const ResultRow& row : rows) {
        const AnswerCell& a = row.answers[std::size_t(q - 1)];
        if (a.mark == RunTexts::kRight) ++t.right;
        switch (a.kind) {
        case AnswerKind::Choice:
            if (a.choice >= 1 && a.choice <= int(t.perChoice.size()))
                ++t.perChoice[std::size_t(a.choice - 1)];
            else
                ++t.otherNumber;
            break;
        case AnswerKind::Unreadable: ++t.unreadable; break;
        case AnswerKind::NoAnswerLine: ++t.noAnswerLine; break;
        case AnswerKind::Unanswered: ++t.unanswered; break;
        }
    }
    return t;
}

Turnout turnout(const QuizRun& run, const std::vector<ResultRow>& rows, int Q) {
    Turnout t;
    // Counted as the main window counts them: up to the first empty name.
    while (t.invited < kAddressSlots && !run.ListNames[std::size_t(t.invited)].empty()) {
        if (run.ListJoined[std::size_t(t.invited)] == 1) ++t.joined;
        ++t.invited;
    }
    if (Q > 0)
        for (const ResultRow& row : rows)
            if (row.answers[std::size_t(Q - 1)].kind != AnswerKind::Unanswered) ++t.finished;
    return t;
}

}  // namespace

int QuestionTally::answered() const {
    int n = otherNumber + unreadable + noAnswerLine;
    for (int c : perChoice) n += c;
    return n;
}

int RoundResults::percentRight(int q) const {
    if (q < 1 || q > int(questions.size())) return 0;
    return CorrectPercent(questions[std::size_t(q - 1)].right, participants());
}

bool RoundResults::hasTies() const {
    for (std::size_t i = 1; i < rows.size(); ++i)
        if (rows[i].points == rows[i - 1].points) return true;
    return false;
}

std::vector<PointsBin> pointsBins(int top) {
    top = std::max(top, 0);
    const auto width = [top] {
        for (int decade = 1;; decade *= 10)
            for (int step : {1, 2, 5})
                if (top / (step * decade) < 10) return step * decade;
    }();
    std::vector<PointsBin> bins;
    for (int low = 0; low <= top; low += width) bins.push_back({low, std::min(low + width - 1, top), 0});
    return bins;
}

RoundResults buildRoundResults(const QuizRun& run, const QuestionSet& set, int questionsPlayed) {
    const ParticipantTable& t = run.participants;
    RoundResults r;
    r.round = run.RoundNumber;
    int Q = questionsPlayed;
    if (Q < 0) Q = t.回答.sized() ? t.回答.lower2 + t.回答.count2 - 1 : 0;
    if (Q <= 0 && questionsPlayed < 0) Q = int(std::max(0L, WholeNumber(set.QuestionCount).value_or(0)));
    r.questionCount = std::clamp(Q, 0, kQuestionSlots);
    r.totalPoints = set.TotalPoints;

    std::vector<int> order;
    const std::vector<PersonClass> ranked = RankedPersons(t, &order);
    r.rows.reserve(ranked.size());
    for (std::size_t i = 0; i < ranked.size(); ++i) {
        const PersonClass& person = ranked[i];
        ResultRow row;
        row.participant = order[i];
        row.rank = person.順位;
        row.name = person.名前;
        row.address = person.アドレス;
        row.points = person.得点数;
        row.correct = person.正解数;
        row.percent = person.正解率;
        row.answers.reserve(std::size_t(r.questionCount));
        for (int q = 1; q <= r.questionCount; ++q) row.answers.push_back(answerCell(t, order[i], q));
        r.rows.push_back(std::move(row));
    }

    for (int q = 1; q <= r.questionCount; ++q) {
        r.questions.push_back(tally(set, q, r.rows));
        std::vector<SjisText> texts;
        for (std::size_t f = 0; f < r.questions.back().perChoice.size(); ++f)
            texts.push_back(f < std::size_t(kChoiceSlots) ? set.ChoiceText[q][f] : SjisText());
        r.choiceTexts.push_back(std::move(texts));
    }

    // A full score of 0 (no question file) still shows where the points lie.
    int top = r.totalPoints;
    for (const ResultRow& row : r.rows) top = std::max(top, row.points);
    r.histogram = pointsBins(top);
    for (const ResultRow& row : r.rows) {
        const int points = std::max(row.points, 0);
        for (PointsBin& bin : r.histogram)
            if (points <= bin.high) { ++bin.count; break; }
    }
    r.turnout = turnout(run, r.rows, r.questionCount);
    return r;
}

RoundResults loadRoundResults(DataFiles& files, const SjisText& round) {
    // Both records are large (the roster alone holds 2000 texts): on the heap.
    auto run = std::make_unique<QuizRun>();
    auto roster = std::make_unique<AddressBook>();
    auto set = std::make_unique<QuestionSet>();
    run->RoundNumber = round;
    // Read only: looking at a round that has no files yet must not make them.
    constexpr auto kReadOnly = DataFiles::Mode::ReadOnly;
    if (readRecordFile(files, roundFileName(FileNames::kRosterPrefix, round), *roster, kReadOnly)) {
        run->ListNames = std::move(roster->Names);
        run->ListAddresses = std::move(roster->Addresses);
        run->ListJoined = roster->SendFlags;
    }
    readRecordFile(files, roundFileName(FileNames::kResultsPrefix, round), run->participants, kReadOnly);
    readRecordFile(files, roundFileName(FileNames::kQuestionPrefix, round), *set, kReadOnly);
    return buildRoundResults(*run, *set);
}
