#pragma once
#include <memory>
#include <vector>

#include "model/QuizRun.h"
#include "model/Records.h"
#include "platform/DataFiles.h"
#include "platform/SjisText.h"

// Everything a round's results show, worked out once from the participant
// table, the address list and the question set: the rows of the results
// table in ranking order and the numbers behind each chart. Plain numbers
// and stored texts only; the windows that show them (the results window, a
// projected one) decide the words.

// What a participant's reply to one question was, as the results file holds
// it in 回答 and 採点.
enum class AnswerKind {
    Choice,         // a digit that counted ("0".."9"); the digit is in `choice`
    Unreadable,     // 回答 -1: the character after "答:" was no digit
    NoAnswerLine,   // 採点 empty: a reply without an answer line
    Unanswered,     // 回答 0 marked ×: no reply in time (a "0" answered wrong
                    // reads the same; 0 is never a choice's number)
};

struct AnswerCell {
    AnswerKind kind = AnswerKind::Unanswered;
    int choice = 0;   // the digit, for AnswerKind::Choice
    SjisText mark;    // 採点 as stored: "○", "×" or empty
};

struct ResultRow {
    int participant = 0;   // the row of the results file
    int rank = 0;          // 1..P, the position in the ranking (never shared)
    SjisText name, address;
    int points = 0, correct = 0, percent = 0;
    std::vector<AnswerCell> answers;   // questions 1..Q at 0..Q-1
};

// How the participants answered one question.
struct QuestionTally {
    int question = 0;             // 1..Q
    int correctChoice = 0;        // the choice that scores, 0 when none is marked
    std::vector<int> perChoice;   // choices 1..n at 0..n-1
    int right = 0;                // marked ○
    int otherNumber = 0;          // a digit that is none of the choices
    int unreadable = 0;
    int noAnswerLine = 0;
    int unanswered = 0;

    // Replies that counted as the participant's turn: everything but silence.
    int answered() const;
    // Replies that chose none of the question's choices.
    int invalid() const { return otherNumber + unreadable + noAnswerLine; }
};

// One bar of the points histogram: participants with low..high points.
struct PointsBin {
    int low = 0, high = 0, count = 0;
};

struct Turnout {
    int invited = 0;    // the round's address list, up to its first empty name
    int joined = 0;     // of them, marked as joined
    int finished = 0;   // participants who replied to the last question
};

struct RoundResults {
    SjisText round;           // the round number as the selector shows it
    int questionCount = 0;    // Q
    int totalPoints = 0;      // the full score
    std::vector<ResultRow> rows;   // the ranking order
    std::vector<QuestionTally> questions;   // 1..Q at 0..Q-1
    std::vector<PointsBin> histogram;
    Turnout turnout;
    // The choices of question q (1..Q): their texts, choice f+1 at f.
    std::vector<std::vector<SjisText>> choiceTexts;

    int participants() const { return int(rows.size()); }
    // The share of participants who got question q (1..Q) right, in percent,
    // rounded as every percentage of the program is.
    int percentRight(int q) const;
    // Whether players level on points stand in the ranking, told apart only
    // by who replied first.
    bool hasTies() const;
};

// The results of the round in `run` (participant table and address list)
// with the questions of `set`. The round has `questionsPlayed` questions;
// -1 takes the questions the participant table was sized for (a stored
// round), falling back to the question set's count.
RoundResults buildRoundResults(const QuizRun& run, const QuestionSet& set, int questionsPlayed = -1);

// Reads round `round`'s roster, results and question files into a state of
// its own (the running round's is not touched) and builds its results. A
// missing file reads as empty: no participants, no questions.
RoundResults loadRoundResults(DataFiles& files, const SjisText& round);

// The histogram's bars: one width from 1, 2, 5, 10, 20, 50, … so that at
// most ten bars cover 0..`top`; the first bar starts at 0 and the last ends
// at `top`.
std::vector<PointsBin> pointsBins(int top);
