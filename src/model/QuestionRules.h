#pragma once
#include <cstdint>

#include "model/Records.h"
#include "platform/DataFiles.h"
#include "platform/SjisText.h"

// The editing rules of a question set and the way the question editor and the
// quiz-end window take a stored set into their working copy.

// The taking rule: nothing when `buffer` has no QuestionCount; otherwise
// TotalPoints, and every question whose stored Subject is not empty (with
// QuestionCount along with it). A question stored without a subject keeps the
// working values; Reserved is never taken. A question stored with an empty
// separator whose choices in use all carry the same one is taken with theirs.
void takeQuestionSet(const QuestionSet& buffer, QuestionSet& working);

// trv5_read of the editor and the quiz-end window: reads trv5<round>.dat
// (created empty when missing) into a cleared buffer and takes it into
// `working`. False, `working` untouched, when the file cannot be opened.
bool readQuestionFileInto(DataFiles& files, const SjisText& round, QuestionSet& working);

// trv5_Write: stores the whole working set in trv5<round>.dat. True only when
// it is fully stored.
bool writeQuestionFile(DataFiles& files, const SjisText& round, const QuestionSet& set);

// Points(1..n-1) = total / n (integer part), Points(n) = the remainder, so
// that Points(1..n) add up to total; questions after n keep their points.
// Nothing happens for n outside 1..100.
void DistributePoints(QuestionSet& set, int n, std::int16_t total);

// Choice f (0..9) of question q (1..100) becomes the only correct one and
// CorrectChoice(q) = f + 1. Nothing happens for q or f out of range.
void MarkCorrect(QuestionSet& set, int q, int f);
