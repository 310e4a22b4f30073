#include "model/RecordFiles.h"

#include <string>

#include "model/Records.h"

std::string roundFileName(std::string_view prefix, const SjisText& round) {
    std::string name(prefix);
    name += round;
    name += ".dat";
    return name;
}

std::optional<std::int16_t> readRoundCounter(DataFiles& files) {
    RoundCounter counter;
    if (!readRecordFile(files, kRoundCounterFile, counter, DataFiles::Mode::ReadOnly)) return std::nullopt;
    // 0 is what an empty or new file holds; a negative value can only come from
    // a damaged file. Either way the first round is the one to play.
    return counter.CurrentRound < 1 ? std::int16_t(1) : counter.CurrentRound;
}

std::int16_t currentRoundOrFirst(DataFiles& files) {
    return readRoundCounter(files).value_or(std::int16_t(1));
}

std::int16_t nextRound(std::int16_t round) {
    return round == INT16_MAX ? round : std::int16_t(round + 1);
}

bool writeRoundCounter(DataFiles& files, std::int16_t round) {
    RoundCounter counter;
    counter.CurrentRound = round;
    return writeRecordFile(files, kRoundCounterFile, counter);
}
