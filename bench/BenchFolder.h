#pragma once
// The benchmarks' source folder (bench/), for the peers and data they use.
// Compiled through ccache, a source's name in __FILE__ is relative to the
// folder it was compiled in, which is the benchmark's own: the paths are
// hashed as relative ones (scripts/build.sh), so a clone elsewhere shares the
// cache. Resolved against the program's folder, it holds either way.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

inline QString benchFolder()
{
    return QFileInfo(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(__FILE__))).absolutePath();
}
