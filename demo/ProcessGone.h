#pragma once
// Whether a process has ended, for tests that check what a program or script
// left running.
#include <QByteArray>
#include <QFile>
#include <QString>

// True when the process is gone or has finished: a zombie that nobody reaps
// (the machine's first process may not) has ended all the same.
inline bool processGone(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return true;
    // "pid (comm) S ...": the state follows the command name's parenthesis.
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && line.size() > close + 2 && line.at(close + 2) == 'Z';
}
