#pragma once
#include <QLockFile>
#include <QString>
#include <memory>

#include "platform/InstanceGuard.h"

// One copy per program folder: a lock file in the temporary folder whose name
// is derived from the program's folder. A lock left by a copy that died is
// taken over.
class QtInstanceGuard : public InstanceGuard {
public:
    explicit QtInstanceGuard(const QString& programFolder);
    bool claim() override;

    QString lockFilePath() const { return lockPath_; }
    static QString lockFilePathFor(const QString& programFolder);

private:
    QString lockPath_;
    std::unique_ptr<QLockFile> lock_;
};
