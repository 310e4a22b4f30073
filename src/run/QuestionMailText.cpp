#include "run/QuestionMailText.h"

#include <string>

#include "run/ResultLines.h"
#include "run/RunTexts.h"

namespace {
constexpr const char* kQuestion = "\x96\xe2\x91\xe8";   // 問題
constexpr const char* kIdeographicComma = "\x81" "A";   // 、
constexpr const char* kInstruction1 =
    "'\x93\x9a:'\x82\xc9\x94\xd4\x8d\x86\x82\xf0\x93\xfc\x97\xcd";   // '答:'に番号を入力
constexpr const char* kInstruction2 =
    "\x82\xb5\x82\xc4\x95\xd4\x90M\x82\xb5\x82\xc4\x89\xba\x82\xb3\x82\xa2\x81" "B";   // して返信して下さい。
constexpr const char* kTimeLimit1 =
    "\x95\xaa\x88\xc8\x93\xe0\x82\xc9\x95\xd4\x90M\x82\xcc";   // 分以内に返信の
// ない方は不正解といたします｡ — the last byte is the half-width full stop.
constexpr const char* kTimeLimit2 =
    "\x82\xc8\x82\xa2\x95\xfb\x82\xcd\x95s\x90\xb3\x89\xf0\x82\xc6\x82\xa2\x82\xbd\x82\xb5\x82\xdc\x82\xb7\xa1";
constexpr const char* kAnswer = "\x93\x9a:   (\x93_\x90\x94:";    // 答:   (点数:
constexpr const char* kRoundPrefix = "\x91\xe6";                  // 第
constexpr const char* kRoundQuizNo = "\x89\xf1\x82\xcc\x83N\x83" "C\x83Y\x91\xe6";   // 回のクイズ第
constexpr const char* kQuestionSuffix = "\x96\xe2";               // 問

SjisText decimal(long n) { return std::to_string(n); }
}  // namespace

SjisText PlainNumberText(const SjisText& text) {
    if (auto n = WholeNumber(text)) return decimal(*n);
    return text;
}

bool ChoiceInUse(const SjisText& choiceText) { return !(choiceText.empty() || choiceText == " "); }

SjisText BuildQuestionMailText(const QuestionSet& set, const QuestionMailFields& fields) {
    const int q = fields.question;
    if (q < 1 || q > kQuestionSlots) return {};
    using namespace mailtext;
    using namespace resultlines;

    SjisText body;
    auto line = [&body](const SjisText& text) { body += text; body += CrLf; };

    line(StarLine);
    line(TitleLine);
    line(StarLine);
    line(kQuestion + decimal(q) + kIdeographicComma);
    line(fields.questionText);
    line("");
    for (int f = 0; f < kChoiceSlots; ++f) {
        // Unused slots are left out, so the numbers shown may have gaps; a
        // player always answers with the slot's position, not its label.
        if (!ChoiceInUse(set.ChoiceText[q][f])) continue;
        line(set.ChoiceLabel[q][f] + set.ChoiceSeparator[q][f] + set.ChoiceText[q][f]);
    }
    line("");
    line(kInstruction1);
    line(kInstruction2);
    line(PlainNumberText(fields.replyMinutes) + kTimeLimit1);
    line(kTimeLimit2);
    line(DashLine);
    if (q != 1) {
        line(ResultLine(decimal(q - 1), RunTexts::kWrong));
        line(CorrectAnswerLine(decimal(set.CorrectChoice[q - 1])));
        line(RankLine());
        line(ScoreLine(PlainNumberText(fields.fullScore)));
        line(DashLine);
    }
    body += kAnswer + PlainNumberText(fields.points) + ")";
    return body;
}

void ComposeAllQuestionMails(QuestionSet& set) {
    for (int q = 1; q <= kQuestionSlots; ++q) {
        QuestionMailFields fields;
        fields.question = q;
        fields.questionText = set.QuestionText[q];
        fields.replyMinutes = decimal(set.ReplyMinutes[q]);
        fields.fullScore = decimal(set.TotalPoints);
        fields.points = decimal(set.Points[q]);
        set.QuestionMail[q] = BuildQuestionMailText(set, fields);
    }
}

SjisText DefaultQuestionSubject(const SjisText& round, int question) {
    return kRoundPrefix + round + kRoundQuizNo + decimal(question) + kQuestionSuffix;
}
