#pragma once
// The peers of the mail benchmarks: bench/peers/*.py, run with Debian's
// /usr/bin/python3 (TRV_PEER_PYTHON overrides it, TRV_PEERS_DIR the scripts'
// folder). Each prints one line "RESULT {json}" with its figures.
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <cstdio>
#include <functional>
#include <optional>

#include "demo/RealServers.h"
#include "model/Module1.h"
#include "support/TestWorld.h"

#include "BenchFolder.h"

inline constexpr int kPeerTimeoutMs = 600000;

inline QString peersDir()
{
    const QByteArray env = qgetenv("TRV_PEERS_DIR");
    if (!env.isEmpty()) return QString::fromLocal8Bit(env);
    return benchFolder() + "/peers";
}

inline QString peerPython()
{
    const QByteArray env = qgetenv("TRV_PEER_PYTHON");
    return env.isEmpty() ? QStringLiteral("/usr/bin/python3") : QString::fromLocal8Bit(env);
}

// Runs a peer script and returns the object of its "RESULT {…}" line.
inline std::optional<QJsonObject> runPeer(const QString& script, const QStringList& args,
                                          int timeoutMs = kPeerTimeoutMs)
{
    QProcess p;
    p.setProgram(peerPython());
    p.setArguments(QStringList{peersDir() + "/" + script} + args);
    p.start();
    if (!p.waitForStarted(10000) || !p.waitForFinished(timeoutMs)) {
        std::printf("CHECK FAILED: peer %s did not run to its end (%s)\n", qPrintable(script),
                    qPrintable(p.errorString()));
        p.kill();
        p.waitForFinished(5000);
        return std::nullopt;
    }
    const QByteArray err = p.readAllStandardError();
    if (!err.isEmpty()) std::printf("peer %s said on stderr:\n%s\n", qPrintable(script), err.constData());
    std::optional<QJsonObject> result;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
        if (line.startsWith("RESULT ")) result = QJsonDocument::fromJson(line.mid(7)).object();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        std::printf("CHECK FAILED: peer %s exited with %d\n", qPrintable(script), p.exitCode());
    if (!result) std::printf("CHECK FAILED: peer %s printed no RESULT line\n", qPrintable(script));
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return std::nullopt;
    return result;
}

// The job smtp_send.py reads for `mail`, which `m` is about to send to its
// first `count` participants (participant i at `address(i)`): the same
// subject, template and per-player fields; the peer completes and encodes
// each copy itself.
inline QJsonObject peerMailingJob(const Module1& m, const OutgoingMail& mail, int count,
                                  const std::function<QByteArray(int)>& address, const QString& host, int port)
{
    const ParticipantTable& t = m.quizRun.participants;
    QJsonArray recipients;
    for (int i = 0; i < count; ++i) {
        int rank = 0;
        for (std::size_t k = 0; k < m.quizRun.Ranking.size(); ++k)
            if (m.quizRun.Ranking[k].アドレス == t.アドレス[i]) {
                rank = int(k) + 1;
                break;
            }
        recipients.append(QJsonObject{{"address", QString::fromLatin1(address(i))},
                                      {"name", fromSjis(t.名前[i])},
                                      {"mark", fromSjis(t.採点.at(i, 1))},
                                      {"rank", rank},
                                      {"points", int(t.得点数[i])}});
    }
    return QJsonObject{
        {"host", host},
        {"port", port},
        {"sender", RealServers::operatorAddress},
        {"senderName", fromSjis(m.mailSettings.SenderName)},
        {"subject", fromSjis(mail.MailSubject)},
        {"template", fromSjis(mail.MailBody)},
        {"previousQuestion", 1},
        {"totalPoints", 20},
        {"extraHeaders", QJsonArray{QJsonArray{"Reply-To", RealServers::operatorAddress},
                                    QJsonArray{"X-Mailer", "TRIVORN"},
                                    QJsonArray{"X-Mozilla-Status", "0001"}}},
        {"recipients", recipients},
    };
}
