#pragma once
#include "platform/SjisText.h"

// The result block of the question and closing mails. The stored text holds
// it with placeholders: the previous question marked wrong, rank and score
// as "xxx". Each participant's copy is completed by finding these exact
// lines and writing that participant's values in, so the stored lines and
// the lines searched for are built here and nowhere else.
namespace resultlines {
inline constexpr char kPlaceholder[] = "xxx";

// 問題<question>:<mark>, stored with the wrong mark ×.
SjisText ResultLine(const SjisText& question, const SjisText& mark);
// 正解:<choice>
SjisText CorrectAnswerLine(const SjisText& correctChoice);
// 順位:<rank>位
SjisText RankLine(const SjisText& rank = kPlaceholder);
// 合計得点:<points>/<full score>
SjisText ScoreLine(const SjisText& fullScore, const SjisText& points = kPlaceholder);
}  // namespace resultlines
