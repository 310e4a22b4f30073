#include "run/QuestionDefaults.h"

#include <string>

#include "run/QuestionMailText.h"

void SetQuestionDefaults(QuestionSet& set, const SjisText& round) {
    for (int q = 1; q <= kQuestionSlots; ++q) {
        set.Subject[q] = DefaultQuestionSubject(round, q);
        set.Separator[q] = ":";
        set.QuestionText[q].clear();
        set.ReplyMinutes[q] = 5;
        for (int f = 0; f < kChoiceSlots; ++f) {
            set.ChoiceLabel[q][f] = std::to_string(f + 1);
            set.ChoiceSeparator[q][f] = ":";
            set.ChoiceText[q][f].clear();
            set.ChoiceCorrect[q][f] = 0;
        }
        // The correct choice goes with the ticks: a choice left over from a
        // round viewed earlier must not become this round's answer unseen.
        set.CorrectChoice[q] = 0;
    }
}
