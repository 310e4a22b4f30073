#pragma once
#include <memory>
#include <optional>
#include <string>

#include <QFile>
#include <QString>

#include "platform/DataFiles.h"

// The data files of one folder on the local disk, one open at a time.
//
// Names come from Shift_JIS text (a round number typed by the operator ends up
// in them) and are decoded as Windows-31J; a name that could leave the folder
// or name something other than a plain file in it never opens.
//
// A write never leaves a half-written file: the new record, followed by the
// old file's bytes beyond its length, goes to a temporary file in the same
// folder, which then replaces the old file in one rename.
class LocalDataFiles : public DataFiles {
public:
    explicit LocalDataFiles(const QString& folder);
    ~LocalDataFiles() override;

    bool open(const std::string& name, Mode mode) override;
    std::optional<std::string> readRecord() override;
    bool writeRecord(const std::string& record) override;
    void close() override;
    bool isOpen() const override;
    bool appendLine(const std::string& name, const std::string& line) override;

    // The full path `name` stands for, or an empty string when it is not a
    // plain file name of the folder.
    QString pathFor(const std::string& name) const;

private:
    QString folder_;
    std::unique_ptr<QFile> file_;
    Mode mode_ = Mode::ReadOnly;
};
