#pragma once
#include <cstdint>
#include <vector>

#include "mail/ReceivedMailParser.h"
#include "model/Module1.h"
#include "run/OutgoingMail.h"
#include "platform/SjisText.h"

// Who takes part in a round, how each answer is judged, how the participants
// are ranked after every question, and how each participant's copy of a mail
// is completed with their own result. Everything works on Module1's QuizRun
// and QuestionSet; the question being played is quizRun.CurrentQuestion.

// START, before the invitation replies are fetched: rows 0..C-1 of every
// participant field and questions 1..Q of the per-question fields, all zero
// or empty; no participant yet.
void sizeParticipantTable(Module1& m, int C, int Q);
// START, once the participants are known: the answered marks (P x Q, all
// unset) and the ranking (P entries).
void sizeAnswerTables(Module1& m, int P, int Q);

// A reply to the invitation from `sender`: every unjoined address-list entry
// that is the same address (sameAddress) joins, as the next participant row.
void AcceptReply(Module1& m, const SjisText& sender);

// A reply to the current question from `sender` with the decoded body text,
// read by ReadAnswer. Only the first handled reply of a participant to a
// question counts.
void ScoreAnswer(Module1& m, const SjisText& sender, const SjisText& body);

// After question q's fetch: every participant without a handled reply gets
// "×" and answer 0, and their percentage is worked out again for q questions.
void MarkMissingAnswers(Module1& m, int q);

// Rebuilds quizRun.Ranking from the participant rows and sorts it; ranks are
// positions 1..P (never shared). The participant table's 順位 stays as it is.
void Rank(Module1& m);
// The ranking of a participant table as Rank makes it: persons in order, 順位
// set to their positions 1..P. `rows`, when given, receives the participant
// row each of them comes from.
std::vector<PersonClass> RankedPersons(const ParticipantTable& t, std::vector<int>* rows = nullptr);

// The copy of `body` for participant row `row`, with the mark of the previous
// question, the rank and the points filled in. Question 1 goes out unchanged.
SjisText CompleteMail(Module1& m, int row, const SjisText& body);

// correct ÷ questions × 100 in floating point, rounded to the nearest whole
// number with halves to the even neighbour (2/3 → 67, 1/8 → 12, 3/8 → 38).
std::int16_t CorrectPercent(int correct, int questions);

// The parser's view of the current fetch: the awaited subject, the late-reply
// subjects, the phase, and the hand-over to AcceptReply / ScoreAnswer.
ParseContext replyContext(Module1& m, const OutgoingMail& answered, const SjisText& lateMail,
                          const SentMessageIds* sentIds = nullptr);
