#include "ui/ResultCells.h"

#include <string>

#include "run/RunTexts.h"

int pageCount(int entries) {
    if (entries <= 0) return 1;
    return (entries + kGridRows - 1) / kGridRows;
}

RankingCells rankingCells(const PersonClass& person, int totalPoints) {
    const std::string points = std::to_string(person.得点数);
    return {person.名前, std::to_string(person.順位), points,
            "(" + points + "/" + std::to_string(totalPoints) + ")  " + std::to_string(person.正解率) + "%"};
}

SjisText joinedMark(const QuizRun& run, bool received, int k) {
    if (!received || k < 0 || k >= kAddressSlots || run.ListNames[std::size_t(k)].empty()) return {};
    return run.ListJoined[std::size_t(k)] == 1 ? RunTexts::kRight : RunTexts::kWrong;
}

SjisText participantCountText(int count) {
    return RunTexts::kCountOpen + std::to_string(count) + RunTexts::kCountClose;
}
