#pragma once
#include <memory>
#include <optional>
#include <set>
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
//
// The files named private are made and written with mode 0600, an older
// copy's 0644 file included, so that a password never sits in a file others
// may read.
class LocalDataFiles : public DataFiles {
public:
    explicit LocalDataFiles(const QString& folder, std::set<std::string> privateNames = {});
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
    bool isPrivate(const QString& path) const;

    QString folder_;
    std::set<std::string> privateNames_;
    std::unique_ptr<QFile> file_;
    Mode mode_ = Mode::ReadOnly;
};
