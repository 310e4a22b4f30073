#include "run/ClosingMailText.h"

#include <string>

#include "run/QuestionMailText.h"
#include "run/ResultLines.h"
#include "run/RunTexts.h"

namespace {
constexpr const char* kDesu = "\x82\xc5\x82\xb7\x81" "B";                      // です。
constexpr const char* kThisEnds = "\x82\xb1\x82\xea\x82\xc5\x81" "A\x91\xe6";   // これで、第
constexpr const char* kRoundOf = "\x89\xf1\x96\xda\x82\xcc";                     // 回目の
constexpr const char* kQuizEnds =   // クイズを終了いたします。
    "\x83N\x83" "C\x83Y\x82\xf0\x8fI\x97\xb9\x82\xa2\x82\xbd\x82\xb5\x82\xdc\x82\xb7\x81" "B";
constexpr const char* kRoundPrefix = "\x91\xe6";   // 第
constexpr const char* kClosingSubject =             // 回のクイズ終了ご確認
    "\x89\xf1\x82\xcc\x83N\x83" "C\x83Y\x8fI\x97\xb9\x82\xb2\x8am\x94" "F";
}  // namespace

SjisText BuildClosingMailText(const SjisText& greeting, const SjisText& name, const SjisText& round,
                              const QuestionSet& set) {
    using namespace mailtext;
    using namespace resultlines;
    // The result block repeats the last question's; a count that is not a
    // question number (a damaged file) shows no correct choice rather than
    // reading outside the question slots.
    const auto last = WholeNumber(set.QuestionCount);
    const bool valid = last && *last >= 1 && *last <= kQuestionSlots;
    const int correct = valid ? set.CorrectChoice[std::size_t(*last)] : 0;

    SjisText body;
    auto line = [&body](const SjisText& text) { body += text; body += CrLf; };
    line(StarLine);
    line(TitleLine);
    line(StarLine);
    line(greeting);
    line(name + kDesu);
    line(kThisEnds + round + kRoundOf);
    line(kQuizEnds);
    line(DashLine);
    line(ResultLine(set.QuestionCount, RunTexts::kWrong));
    line(CorrectAnswerLine(std::to_string(correct)));
    line(RankLine());
    line(ScoreLine(std::to_string(set.TotalPoints)));
    line(DashLine);
    return body;
}

SjisText DefaultClosingSubject(const SjisText& round) { return kRoundPrefix + round + kClosingSubject; }
