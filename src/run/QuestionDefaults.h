#pragma once
#include "model/Records.h"
#include "platform/SjisText.h"

// What each of the 100 questions of round `round` holds before the operator
// fills it in, as the question editor starts every one: the default subject,
// ":" as the question's separator and as each of its ten choices', the
// choices numbered 1 to 10 with no texts and none correct, no question text,
// a reply time of 5 minutes. Points, stored mails, the count and the full
// score are left as they are.
void SetQuestionDefaults(QuestionSet& set, const SjisText& round);
