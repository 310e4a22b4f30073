#pragma once
#include "model/PersonClass.h"
#include "model/QuizRun.h"
#include "platform/SjisText.h"

// What the main window's grids show, cell by cell, the same while a round
// runs and for a past round: plain functions over the round state.

// Rows per grid page; page p holds entries 10p .. 10p + 9.
inline constexpr int kGridRows = 10;

// Pages for `entries` entries: ceil(entries / 10), and always at least one.
int pageCount(int entries);

// The four ranking cells of one person: name, rank, points, and
// "(" points "/" full score ")  " percentage "%" (two spaces).
struct RankingCells {
    SjisText name, rank, points, rate;
};
RankingCells rankingCells(const PersonClass& person, int totalPoints);

// The joined mark of address-list slot `k`: "○" joined, "×" not, but only
// once the round's joined marks are known (`received`) and the slot holds a
// name; otherwise empty.
SjisText joinedMark(const QuizRun& run, bool received, int k);

// The count line under a grid: 参加人数(<count>人).
SjisText participantCountText(int count);
