#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/FileNames.h"
#include "model/RecordCodec.h"
#include "platform/DataFiles.h"
#include "platform/SjisText.h"

// Whole-record transfers through the one shared file handle. Every operation
// closes the handle first, moves one record and closes it again, so no file
// stays open between operations.

// prefix + round + ".dat", the round used verbatim: ("trv7", "03") gives
// "trv703.dat", a different file from round "3".
std::string roundFileName(std::string_view prefix, const SjisText& round);

// Reads the record of `name` into `out`: on success `out` is emptied and
// filled from the file (a short or empty file leaves the missing members
// empty). False, with `out` untouched, when the file cannot be opened or read.
// ReadWrite creates a missing file, empty, as every editor expects.
template <class R>
bool readRecordFile(DataFiles& files, const std::string& name, R& out,
                    DataFiles::Mode mode = DataFiles::Mode::ReadWrite) {
    files.close();
    if (!files.open(name, mode)) return false;
    std::optional<std::string> bytes = files.readRecord();
    files.close();
    if (!bytes) return false;
    decodeRecord(*bytes, out);
    return true;
}

// Writes `record` at the start of `name` (created when missing; a longer old
// file keeps its tail). True only when the whole record is stored.
template <class R>
bool writeRecordFile(DataFiles& files, const std::string& name, const R& record) {
    files.close();
    if (!files.open(name, DataFiles::Mode::ReadWrite)) return false;
    const bool stored = files.writeRecord(encodeRecord(record));
    files.close();
    return stored;
}

// The round counter trv3.dat: the round that START plays next.
inline constexpr const char* kRoundCounterFile = FileNames::kRoundCounter;

// The stored counter, opened for reading only: nothing when the file cannot be
// opened (absent); a stored value below 1 (0, or a damaged file) reads as 1.
std::optional<std::int16_t> readRoundCounter(DataFiles& files);
// The counter as the round selector needs it: the stored value, 1 when absent.
std::int16_t currentRoundOrFirst(DataFiles& files);
// The round after `round`; the 16-bit counter never wraps, 32 767 stays 32 767.
std::int16_t nextRound(std::int16_t round);
// Stores `round` in trv3.dat. True only when it is fully stored.
bool writeRoundCounter(DataFiles& files, std::int16_t round);
