#include "run/ResultLines.h"

namespace {
constexpr const char* kQuestion = "\x96\xe2\x91\xe8";   // 問題
constexpr const char* kCorrect = "\x90\xb3\x89\xf0:";   // 正解:
constexpr const char* kRank = "\x8f\x87\x88\xca:";      // 順位:
constexpr const char* kRankUnit = "\x88\xca";           // 位
constexpr const char* kScore = "\x8d\x87\x8cv\x93\xbe\x93_:";   // 合計得点:
}  // namespace

namespace resultlines {
SjisText ResultLine(const SjisText& question, const SjisText& mark) { return kQuestion + question + ":" + mark; }
SjisText CorrectAnswerLine(const SjisText& correctChoice) { return kCorrect + correctChoice; }
SjisText RankLine(const SjisText& rank) { return kRank + rank + kRankUnit; }
SjisText ScoreLine(const SjisText& fullScore, const SjisText& points) { return kScore + points + "/" + fullScore; }
}  // namespace resultlines
