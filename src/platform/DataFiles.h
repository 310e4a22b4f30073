#pragma once
#include <optional>
#include <string>

// The data files of the program's folder, opened one at a time through one
// shared handle. Every file holds one record from its first byte.
class DataFiles {
public:
    enum class Mode {
        ReadWrite,   // binary read and write; a missing file is created empty
        ReadOnly,    // reading only; a missing file fails to open
    };

    virtual ~DataFiles() = default;

    // Closes the file that is open, then opens `name` (a bare file name such as
    // "trv43.dat") in the program's folder. False when it cannot be opened; a
    // name that would reach outside the folder never opens.
    virtual bool open(const std::string& name, Mode mode) = 0;
    // The bytes of the open file from offset 0 (the record decoder stops where
    // its record ends). Nothing when no file is open.
    virtual std::optional<std::string> readRecord() = 0;
    // Writes `record` at offset 0 of the open file. The file never shortens
    // (bytes beyond the record stay), and a failed write leaves the old file
    // whole. True only when the whole record is stored.
    virtual bool writeRecord(const std::string& record) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Adds one line of text (Shift_JIS, without its line break) at the end of
    // the text file `name` of the folder, made when missing. Written as UTF-8,
    // for the operator to read with any editor; the record handle is left as
    // it is. False when the line could not be added.
    virtual bool appendLine(const std::string& name, const std::string& line) { return false; }
};
