#pragma once
#include "model/Records.h"
#include "platform/SjisText.h"
#include "model/NumberField.h"

// The body of a question mail, built from the question set. The run sends the
// stored text as it is, apart from the result block (run/ResultLines.h) that
// it completes for each participant.

namespace mailtext {
// The banner that opens every mail the program sends; 20 characters each.
inline constexpr const char* StarLine = "********************";
inline constexpr const char* TitleLine = "* TRIVORN          *";
inline constexpr const char* DashLine = "--------------------";
inline constexpr const char* CrLf = "\r\n";
}  // namespace mailtext

// The text of a number field as it goes into a mail: a whole number in plain
// decimal ("05" gives "5"), any other text unchanged.
SjisText PlainNumberText(const SjisText& text);

// The values of one question that the editor takes from its controls rather
// than from the question set (they may be ahead of the set while it is typed).
struct QuestionMailFields {
    int question = 1;          // 1..100
    SjisText questionText;     // CR LF line ends
    SjisText replyMinutes;
    SjisText fullScore;
    SjisText points;
};

// The body of question `fields.question`; the choices and the previous
// question's correct choice come from `set`. Lines end in CR LF except the
// last, the answer line. Empty when the question number is outside 1..100.
SjisText BuildQuestionMailText(const QuestionSet& set, const QuestionMailFields& fields);

// Rebuilds the stored body of every question 1..100 from the set alone.
void ComposeAllQuestionMails(QuestionSet& set);

// The subject a new question starts with: 第<round>回のクイズ第<q>問.
SjisText DefaultQuestionSubject(const SjisText& round, int question);

// A choice slot whose text is empty or one space is not in use.
bool ChoiceInUse(const SjisText& choiceText);
