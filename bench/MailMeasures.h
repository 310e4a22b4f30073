#pragma once
// The measures the mail benchmarks take alike, each with the checks that
// make its figure count: the program's per-recipient mailing and its fetch
// of replies through the main window's round mail, and the same work done
// by the Python peers. Each step leaves the mailboxes it used empty again.
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <optional>

#include "support/ProcessTime.h"
#include "ui/Form1.h"

#include "CompareOutput.h"
#include "PeerScripts.h"
#include "PlayerMailboxes.h"

struct Measured {
    qint64 ns = 0;
    double cpu = 0;   // seconds of this process
};

// Whether the servers (with their TLS listeners, where `tls`) and the peer
// scripts are there; if so the mailboxes are emptied. Says what is missing.
inline bool readyToCompare(bool tls)
{
    const QString reason = RealServers::unavailableReason();
    const QString tlsReason = tls ? RealServers::tlsUnavailableReason() : QString();
    if (!reason.isEmpty() || !tlsReason.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(reason.isEmpty() ? tlsReason : reason));
        return false;
    }
    if (!QFileInfo(peersDir() + "/smtp_send.py").exists()) {
        std::fprintf(stderr, "no peer scripts under %s (set TRV_PEERS_DIR)\n", qPrintable(peersDir()));
        return false;
    }
    return emptyEverything("at the start");
}

template <class Work> Measured measure(Work&& work)
{
    const double cpu = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    work();
    return {clock.nsecsElapsed(), cpuSeconds() - cpu};
}

// That a mailing of `count` of which `accepted` were taken arrived whole;
// the mailboxes are emptied afterwards.
inline void checkDeliveries(const QString& label, int count, int accepted, const Deliveries& mails)
{
    check(accepted == count, QString("%1: %2 of %3 mails accepted").arg(label).arg(accepted).arg(count));
    check(mails.total == count && mails.wrongCount == 0,
          QString("%1: %2 mails delivered, %3 mailboxes without their copies").arg(label).arg(mails.total)
              .arg(mails.wrongCount));
    check(mails.incomplete == 0, QString("%1: %2 bodies not completed").arg(label).arg(mails.incomplete));
    emptyEverything(qPrintable("after " + label));
}

// The program's mailing of `count` per-recipient mails (its round mail set to
// them), measured by `sent`: waits for the deliveries and checks them.
inline void checkProgramMailing(const QString& label, Form1& form, int count, const Measured& sent)
{
    const int accepted = form.roundMail().smtp().acceptedMessages();
    const Deliveries mails = awaitQuestionMails(count);
    std::printf("%s: %d per-recipient mails in %.1f ms (CPU %.2f s), %d accepted; %d delivered "
                "(%.0f bytes each on average as stored), all in %lld ms more\n",
                qPrintable(label), count, ms(sent.ns), sent.cpu, accepted, mails.total, mails.averageBytes,
                (long long)mails.waitedMs);
    checkDeliveries(label, count, accepted, mails);
}

// smtp_send.py sends `job` (see peerMailingJob) to its `count` recipients;
// its time from connecting to the end of QUIT, after the deliveries are checked.
inline std::optional<double> peerMailing(const QString& label, const QJsonObject& job, int count,
                                         int timeoutMs = kPeerTimeoutMs)
{
    QTemporaryDir jobDir;
    const QString jobFile = jobDir.filePath("send-job.json");
    QFile f(jobFile);
    if (!f.open(QIODevice::WriteOnly) || f.write(QJsonDocument(job).toJson(QJsonDocument::Compact)) < 0) {
        check(false, label + ": cannot write " + jobFile);
        return std::nullopt;
    }
    f.close();
    const std::optional<QJsonObject> peer = runPeer("smtp_send.py", {jobFile}, timeoutMs);
    if (!peer) {
        allGood = false;
        emptyEverything(qPrintable("after " + label));
        return std::nullopt;
    }
    const double peerMs = (*peer)["seconds"].toDouble() * 1000.0;
    const int accepted = (*peer)["accepted"].toInt();
    const Deliveries mails = awaitQuestionMails(count);
    std::printf("%s: %d per-recipient mails in %.1f ms (of which composing %.1f ms; CPU %.2f s), %d "
                "accepted, %.0f bytes each as sent; %d delivered (%.0f bytes each on average as stored), all "
                "in %lld ms more\n",
                qPrintable(label), count, peerMs, (*peer)["composeSeconds"].toDouble() * 1000.0,
                (*peer)["cpuSeconds"].toDouble(), accepted, (*peer)["averageBytes"].toDouble(), mails.total,
                mails.averageBytes, (long long)mails.waitedMs);
    checkDeliveries(label, count, accepted, mails);
    return peerMs;
}

// Puts `replies` answers "3" to `question` into the operator's mailbox
// (participant i's from participant(i)) and has the program fetch, judge and
// delete them; every participant whose mailbox answered must be scored, and
// the mailbox left empty.
inline std::optional<Measured> programFetch(const QString& label, Form1& form, Module1& m,
                                            const OutgoingMail& question, int replies)
{
    const SjisText subject = question.MailSubject;
    QString error;
    if (!putReplies(replies, subject, &error)) {
        check(false, label + ": putting the replies in: " + error);
        return std::nullopt;
    }
    const int waiting = int(RealServers::messages(RealServers::operatorAddress).size());
    // The replies say "Re: " before the subject; the program ignores the space.
    const Measured fetched = measure([&] { form.roundMail().fetch(question); });
    const ParticipantTable& t = m.quizRun.participants;
    int scored = 0, answered = 0;
    for (int i = 0; i < t.ParticipantCount; ++i) {
        answered += i % kMailboxes < replies ? 1 : 0;
        scored += m.quizRun.Answered.at(i, 2) && t.回答.at(i, 2) == 3 ? 1 : 0;
    }
    const int left = int(RealServers::messages(RealServers::operatorAddress).size());
    std::printf("%s: %d replies waiting; fetched, judged and deleted in %.1f ms (CPU %.2f s); %d of %d "
                "participants scored with answer 3; %d left on the server\n",
                qPrintable(label), waiting, ms(fetched.ns), fetched.cpu, scored, t.ParticipantCount, left);
    check(waiting == replies, QString("%1: %2 replies waiting").arg(label).arg(waiting));
    check(scored == answered, QString("%1: %2 answers scored of %3").arg(label).arg(scored).arg(answered));
    check(left == 0, QString("%1: %2 replies left on the server").arg(label).arg(left));
    emptyEverything(qPrintable("after " + label));
    return fetched;
}

// The same replies fetched by pop3_fetch.py from `host`:`port` (`options`
// follow the usual arguments); its time from connecting to the end of QUIT.
inline std::optional<double> peerFetch(const QString& label, const SjisText& subject, int replies, const QString& host,
                                       int port, const QStringList& options = {}, int timeoutMs = kPeerTimeoutMs)
{
    QString error;
    if (!putReplies(replies, subject, &error)) {
        check(false, label + ": putting the replies in: " + error);
        return std::nullopt;
    }
    const int waiting = int(RealServers::messages(RealServers::operatorAddress).size());
    const std::optional<QJsonObject> peer =
        runPeer("pop3_fetch.py",
                QStringList{host, QString::number(port), RealServers::operatorAddress, RealServers::password,
                            fromSjis(subject)} + options,
                timeoutMs);
    const int left = int(RealServers::messages(RealServers::operatorAddress).size());
    std::optional<double> peerMs;
    if (peer) {
        peerMs = (*peer)["seconds"].toDouble() * 1000.0;
        std::printf("%s: %d replies waiting; %d retrieved, %d judged (from %d senders), %d deleted in %.1f ms "
                    "(CPU %.2f s); %d left on the server\n",
                    qPrintable(label), waiting, (*peer)["retrieved"].toInt(), (*peer)["judged"].toInt(),
                    (*peer)["senders"].toInt(), (*peer)["deleted"].toInt(), *peerMs, (*peer)["cpuSeconds"].toDouble(),
                    left);
        check((*peer)["judged"].toInt() == replies,
              QString("%1: %2 replies judged").arg(label).arg((*peer)["judged"].toInt()));
    } else {
        allGood = false;
    }
    check(waiting == replies, QString("%1: %2 replies waiting").arg(label).arg(waiting));
    check(left == 0, QString("%1: %2 replies left on the server").arg(label).arg(left));
    emptyEverything(qPrintable("after " + label));
    return peerMs;
}
