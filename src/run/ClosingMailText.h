#pragma once
#include "model/Records.h"
#include "platform/SjisText.h"

// The body of the closing mail: greeting, the operator's signature, the
// sentence that ends the round, and the result block of the last question.
// The run fills the rank and score markers in per participant. Every line,
// the last one included, ends in CR LF.
SjisText BuildClosingMailText(const SjisText& greeting, const SjisText& name, const SjisText& round,
                              const QuestionSet& set);

// 第<round>回のクイズ終了ご確認
SjisText DefaultClosingSubject(const SjisText& round);

namespace closingtext {
inline constexpr const char* Greeting1 = "\x82\xa8\x94\xe6\x82\xea\x82\xb3\x82\xdc\x82\xc5\x82\xb7\x81" "B";   // お疲れさまです。
inline constexpr const char* Greeting2 = "\x82\xb2\x8b\xea\x98J\x82\xb3\x82\xdc\x82\xc5\x82\xb5\x82\xbd\x81" "B";   // ご苦労さまでした。
}
