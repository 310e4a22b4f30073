#include "model/QuestionRules.h"

#include <memory>

#include "model/FileNames.h"
#include "model/RecordFiles.h"

namespace {

// The separator a stored question is taken with. One stored empty while its
// choices in use all carry one and the same (a round the demonstration
// prepared before it wrote questions the editor's way) takes theirs: taken
// empty, the editor would spread the empty separator over the choices and
// drop it from the mail at the first edit. A slot with neither number nor
// text was never used and has no say.
SjisText separatorOf(const QuestionSet& set, int q) {
    if (!set.Separator[q].empty()) return set.Separator[q];
    SjisText agreed;
    for (int f = 0; f < kChoiceSlots; ++f) {
        if (set.ChoiceLabel[q][f].empty() && set.ChoiceText[q][f].empty()) continue;
        const SjisText& own = set.ChoiceSeparator[q][f];
        if (own.empty() || (!agreed.empty() && own != agreed)) return {};
        agreed = own;
    }
    return agreed;
}

}  // namespace

void takeQuestionSet(const QuestionSet& buffer, QuestionSet& working) {
    if (buffer.QuestionCount.empty()) return;   // never set up: keep what the window holds
    working.TotalPoints = buffer.TotalPoints;
    for (int q = 1; q <= kQuestionSlots; ++q) {
        // A question stored without a subject was never filled in; its working
        // values (the defaults the window has set) are worth more than blanks.
        if (buffer.Subject[q].empty()) continue;
        working.QuestionCount = buffer.QuestionCount;
        working.Subject[q] = buffer.Subject[q];
        working.QuestionText[q] = buffer.QuestionText[q];
        working.Separator[q] = separatorOf(buffer, q);
        working.CorrectChoice[q] = buffer.CorrectChoice[q];
        working.ChoiceLabel[q] = buffer.ChoiceLabel[q];
        working.ChoiceSeparator[q] = buffer.ChoiceSeparator[q];
        working.ChoiceText[q] = buffer.ChoiceText[q];
        working.ChoiceCorrect[q] = buffer.ChoiceCorrect[q];
        working.ReplyMinutes[q] = buffer.ReplyMinutes[q];
        working.QuestionMail[q] = buffer.QuestionMail[q];
        working.Points[q] = buffer.Points[q];
    }
}

bool readQuestionFileInto(DataFiles& files, const SjisText& round, QuestionSet& working) {
    auto buffer = std::make_unique<QuestionSet>();
    if (!readRecordFile(files, roundFileName(FileNames::kQuestionPrefix, round), *buffer)) return false;
    takeQuestionSet(*buffer, working);
    return true;
}

bool writeQuestionFile(DataFiles& files, const SjisText& round, const QuestionSet& set) {
    return writeRecordFile(files, roundFileName(FileNames::kQuestionPrefix, round), set);
}

void DistributePoints(QuestionSet& set, int n, std::int16_t total) {
    if (n < 1 || n > kQuestionSlots) return;
    const int share = total / n;   // the integer part; the last question takes the rest
    int given = 0;
    for (int q = 1; q < n; ++q) {
        set.Points[q] = std::int16_t(share);
        given += share;
    }
    set.Points[n] = std::int16_t(total - given);
}

void MarkCorrect(QuestionSet& set, int q, int f) {
    if (q < 1 || q > kQuestionSlots || f < 0 || f >= kChoiceSlots) return;
    for (int g = 0; g < kChoiceSlots; ++g) set.ChoiceCorrect[q][g] = (g == f) ? 1 : 0;
    set.CorrectChoice[q] = std::int16_t(f + 1);
}
