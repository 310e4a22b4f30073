// The round's mail set against plain Python doing the same work, in one run
// against the same private Postfix and Dovecot:
//   1. one question mail to each of 1000 participants, one transaction each,
//      every body completed for its player (the program: the main window's
//      own round mail; the peer: smtplib on one connection);
//   2. fetching, judging and deleting 1000 replies (the program: the round
//      mail's fetch; the peer: poplib, the email package, DELE);
//   3. the longest the event loop went unserved while the 1000 mails of 1
//      went out (a 1 ms precise timer notes the largest gap between firings).
// Prints one Markdown table row per measure (columns: measure, program,
// peer, ratio, target; no header, bench/compare.sh writes it) and detail
// lines. A target missed is only printed; the exit status is 1 when a
// correctness check fails (a mail refused or not delivered, a reply not
// scored, a mailbox left with mail).
//
// The peers are bench/peers/*.py, run with Debian's /usr/bin/python3
// (TRV_PEER_PYTHON overrides it, TRV_PEERS_DIR the scripts' folder). Not a
// test: start the servers (scripts/mailservers.sh start) and run by hand;
// nothing else may use them meanwhile, since the mailboxes are emptied.
//
// The 1000 participants use the 250 player mailboxes four times each
// (participant i is player (i mod 250) + 1). The program judges a reply by
// its sender's address, so the first reply from a mailbox answers for all
// four of its participants; the other three still have to be fetched,
// matched to the question and deleted.
//
// The replies are written straight into the operator's Maildir, as Postfix's
// delivery agent leaves them (LF line ends, Return-Path, Delivered-To and the
// Received clause "for <quiz@trivorn.test>;" the parser requires): a thousand
// SMTP sessions to put them there would take far longer than either fetch.

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "codec/Iso2022Jp.h"
#include "support/ProcessTime.h"
#include "demo/RealServers.h"
#include "support/TestWorld.h"
#include "ui/Form1.h"

#include "BenchFolder.h"
#include "SecondQuestion.h"

namespace {

constexpr int kParticipants = 1000;
constexpr int kMailboxes = 250;
static_assert(kMailboxes <= RealServers::playerCount);
constexpr int kCopiesPerMailbox = kParticipants / kMailboxes;
constexpr int kDeliveryTimeoutMs = 180000;
constexpr int kPeerTimeoutMs = 600000;

// Mailbox i, counted from 0.
QByteArray mailbox(int i) { return RealServers::playerAddress(i + 1).toLatin1(); }

// Participant i's address: the 250 mailboxes in turn, four times over.
QByteArray participant(int i) { return mailbox(i % kMailboxes); }

double ms(qint64 ns) { return double(ns) / 1e6; }

// Largest gap between the firings of a 1 ms precise timer, counted from
// start(): what a round's window would feel as its longest freeze.
class StallMeter {
public:
    StallMeter()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] { note(); });
    }
    void start()
    {
        ticks_ = 0;
        longest_ = 0;
        longestAt_ = 0;
        over5_ = over20_ = over50_ = 0;
        clock_.start();
        last_ = 0;
        timer_.start();
    }
    void stop() { timer_.stop(); }
    double longestMs() const { return ms(longest_); }
    double longestAtMs() const { return ms(longestAt_); }
    int ticks() const { return ticks_; }
    QString describe() const
    {
        return QString("%1 firings; longest gap %2 ms, ending %3 ms after the start; gaps over 5 ms: %4, over 20 ms: "
                       "%5, over 50 ms: %6")
            .arg(ticks_)
            .arg(longestMs(), 0, 'f', 2)
            .arg(longestAtMs(), 0, 'f', 1)
            .arg(over5_)
            .arg(over20_)
            .arg(over50_);
    }

private:
    void note()
    {
        const qint64 now = clock_.nsecsElapsed();
        const qint64 gap = now - last_;
        if (gap > longest_) {
            longest_ = gap;
            longestAt_ = now;
        }
        over5_ += gap > 5'000'000;
        over20_ += gap > 20'000'000;
        over50_ += gap > 50'000'000;
        last_ = now;
        ++ticks_;
    }
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
    qint64 longestAt_ = 0;
    int ticks_ = 0;
    int over5_ = 0, over20_ = 0, over50_ = 0;
};

// Whether every check so far held; a failed one is printed where it fails.
bool allGood = true;

void check(bool ok, const QString& what)
{
    if (!ok) {
        allGood = false;
        std::printf("CHECK FAILED: %s\n", qPrintable(what));
    }
}

// What 1000 question mails left in the player mailboxes.
struct Deliveries {
    int total = 0;
    int wrongCount = 0;      // mailboxes holding other than four
    int incomplete = 0;      // bodies with a placeholder left in them
    double averageBytes = 0;
    qint64 waitedMs = 0;
};

// Waits until Postfix's queue is empty and every player mailbox holds its four
// copies (or the time-out), then looks at what arrived.
Deliveries awaitQuestionMails()
{
    Deliveries d;
    QElapsedTimer clock;
    clock.start();
    for (int b = 0; b < kMailboxes; ++b)
        RealServers::waitForMessages(QString::fromLatin1(mailbox(b)), kCopiesPerMailbox,
                                     int(std::max<qint64>(1, kDeliveryTimeoutMs - clock.elapsed())));
    while (RealServers::queuedMessageCount() != 0 && clock.elapsed() < kDeliveryTimeoutMs) QThread::msleep(20);
    d.waitedMs = clock.elapsed();
    qint64 bytes = 0;
    for (int b = 0; b < kMailboxes; ++b) {
        const QList<QByteArray> mails = RealServers::messages(QString::fromLatin1(mailbox(b)));
        d.total += int(mails.size());
        if (mails.size() != kCopiesPerMailbox) ++d.wrongCount;
        for (const QByteArray& raw : mails) {
            bytes += raw.size();
            // Rank and points go in where "xxx" stood; ASCII stays ASCII in ISO-2022-JP.
            if (raw.contains("xxx")) ++d.incomplete;
        }
    }
    d.averageBytes = d.total ? double(bytes) / d.total : 0;
    return d;
}

bool emptyEverything(const char* when)
{
    QString error;
    if (RealServers::emptyAllMailboxes(&error)) return true;
    std::printf("CHECK FAILED: emptying the mailboxes %s: %s\n", when, qPrintable(error));
    allGood = false;
    return false;
}

// ISO-2022-JP the way phones write it: back to ASCII with ESC ( B.
QByteArray phoneJis(const SjisText& text)
{
    return QByteArray::fromStdString(ToIso2022Jp(text)).replace("\x1b(J", "\x1b(B");
}

// Writes `count` replies into the operator's Maildir: participant i's reply
// "答:3" to `subject`, in the shape Postfix's delivery leaves. Files go to
// tmp/ first and are renamed into new/, owned by the mailbox's owner, as a
// delivery agent does, so Dovecot never sees half a message.
bool putReplies(int count, const SjisText& subject, QString* error)
{
    const QString box = RealServers::directory() + "/maildirs/trivorn.test/quiz";
    const QFileInfo info(box);
    if (!info.isDir()) {
        *error = box + " is not a folder";
        return false;
    }
    const QByteArray encodedSubject = "Re: =?ISO-2022-JP?B?" + phoneJis(subject).toBase64() + "?=";
    const QByteArray body = phoneJis(sjis("答:3"));
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    // Names never repeat within a run, even for two batches in one second.
    static int batch = 0;
    ++batch;
    for (int i = 0; i < count; ++i) {
        const QByteArray from = participant(i);
        const QByteArray id = QByteArray::number(i).rightJustified(5, '0');
        const QByteArray text =
            "Return-Path: <" + from + ">\n"
            "X-Original-To: quiz@trivorn.test\n"
            "Delivered-To: quiz@trivorn.test\n"
            "Received: from phone (localhost [127.0.0.1])\n"
            "\tby mail.trivorn.test (Postfix) with SMTP id 4F2A1" + id + "\n"
            "\tfor <quiz@trivorn.test>; Mon,  7 Dec 2026 10:00:00 +0900 (JST)\n"
            "Message-Id: <" + id + ".reply@docomo.ne.jp>\n"
            "Date: Mon, 7 Dec 2026 10:00:00 +0900\n"
            "From: " + from + "\n"
            "To: quiz@trivorn.test\n"
            "Subject: " + encodedSubject + "\n"
            "MIME-Version: 1.0\n"
            "Content-Type: text/plain; charset=ISO-2022-JP\n"
            "Content-Transfer-Encoding: 7bit\n"
            "\n" + body + "\n";
        // Seconds, then the microsecond after "M": the order RealServers reads.
        const QString name = QString("%1.M%2P%3Q%4_%5.bench").arg(now).arg(i, 6, 10, QChar('0')).arg(getpid()).arg(batch).arg(i);
        const QString tmp = box + "/tmp/" + name;
        QFile f(tmp);
        if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) {
            *error = "cannot write " + tmp;
            return false;
        }
        f.close();
        if (::chown(QFile::encodeName(tmp).constData(), info.ownerId(), info.groupId()) != 0 ||
            ::chmod(QFile::encodeName(tmp).constData(), 0600) != 0 ||
            ::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(box + "/new/" + name).constData()) != 0) {
            *error = "cannot hand over " + tmp;
            return false;
        }
    }
    return true;
}

QString peersDir()
{
    const QByteArray env = qgetenv("TRV_PEERS_DIR");
    if (!env.isEmpty()) return QString::fromLocal8Bit(env);
    return benchFolder() + "/peers";
}

QString peerPython()
{
    const QByteArray env = qgetenv("TRV_PEER_PYTHON");
    return env.isEmpty() ? QStringLiteral("/usr/bin/python3") : QString::fromLocal8Bit(env);
}

// Runs a peer script and returns the object of its "RESULT {…}" line.
std::optional<QJsonObject> runPeer(const QString& script, const QStringList& args)
{
    QProcess p;
    p.setProgram(peerPython());
    p.setArguments(QStringList{peersDir() + "/" + script} + args);
    p.start();
    if (!p.waitForStarted(10000) || !p.waitForFinished(kPeerTimeoutMs)) {
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

QString msText(double v) { return QString::number(v, 'f', 0) + " ms"; }

void row(const char* measure, const QString& program, const QString& peer, const QString& ratio, const char* target)
{
    std::printf("| %s | %s | %s | %s | %s |\n", measure, qPrintable(program), qPrintable(peer), qPrintable(ratio),
                target);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString reason = RealServers::unavailableReason();
    if (!reason.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(reason));
        return 1;
    }
    if (!QFileInfo(peersDir() + "/smtp_send.py").exists()) {
        std::fprintf(stderr, "no peer scripts under %s (set TRV_PEERS_DIR)\n", qPrintable(peersDir()));
        return 1;
    }
    if (!emptyEverything("at the start")) return 1;

    // The second question to 1000 participants, as bench_round_mail sends it
    // to 200.
    TestWorld world;
    Module1& m = world.module1;
    Form1 form(m, [&] { return world.appFolder(); });
    prepareSecondQuestion(m, kParticipants, [](int i) { return participant(i).toStdString(); });
    const SjisText subject = m.outgoingMail.MailSubject;
    const ParticipantTable& t = m.quizRun.participants;

    // ---- 1 and 3: the program sends ---------------------------------------
    StallMeter stall;
    QElapsedTimer clock;
    double cpu = cpuSeconds();
    clock.start();
    stall.start();
    form.roundMail().send();
    const qint64 programSendNs = clock.nsecsElapsed();
    stall.stop();
    const double programSendCpu = cpuSeconds() - cpu;
    const int programAccepted = form.roundMail().smtp().acceptedMessages();
    const Deliveries programMails = awaitQuestionMails();
    std::printf("program send: %d per-recipient mails in %.1f ms (CPU %.2f s), %d accepted; %d delivered "
                "(%.0f bytes each on average as stored), all in %lld ms more\n",
                kParticipants, ms(programSendNs), programSendCpu, programAccepted, programMails.total,
                programMails.averageBytes, (long long)programMails.waitedMs);
    std::printf("program send, event loop: %s\n", qPrintable(stall.describe()));
    check(programAccepted == kParticipants, QString("program: %1 of %2 mails accepted").arg(programAccepted).arg(kParticipants));
    check(programMails.total == kParticipants && programMails.wrongCount == 0,
          QString("program: %1 mails delivered, %2 mailboxes without exactly %3").arg(programMails.total)
              .arg(programMails.wrongCount).arg(kCopiesPerMailbox));
    check(programMails.incomplete == 0, QString("program: %1 bodies not completed").arg(programMails.incomplete));
    emptyEverything("after the program's mailing");

    // ---- 1: the peer sends --------------------------------------------------
    // Same subject, template and per-player fields; the peer completes and
    // encodes each copy itself.
    QTemporaryDir jobDir;
    QJsonArray recipients;
    for (int i = 0; i < kParticipants; ++i) {
        int rank = 0;
        for (std::size_t k = 0; k < m.quizRun.Ranking.size(); ++k)
            if (m.quizRun.Ranking[k].アドレス == t.アドレス[i]) {
                rank = int(k) + 1;
                break;
            }
        recipients.append(QJsonObject{{"address", QString::fromLatin1(participant(i))},
                                      {"mark", fromSjis(t.採点.at(i, 1))},
                                      {"rank", rank},
                                      {"points", int(t.得点数[i])}});
    }
    const QJsonObject job{
        {"host", RealServers::host},
        {"port", RealServers::smtpPort},
        {"sender", RealServers::operatorAddress},
        {"subject", fromSjis(subject)},
        {"template", fromSjis(m.outgoingMail.MailBody)},
        {"previousQuestion", 1},
        {"totalPoints", 20},
        {"extraHeaders", QJsonArray{QJsonArray{"Reply-To", RealServers::operatorAddress},
                                    QJsonArray{"X-Mailer", "TRIVORN"},
                                    QJsonArray{"X-Mozilla-Status", "0001"}}},
        {"recipients", recipients},
    };
    const QString jobFile = jobDir.filePath("send-job.json");
    {
        QFile f(jobFile);
        if (!f.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(jobFile));
            return 1;
        }
        f.write(QJsonDocument(job).toJson(QJsonDocument::Compact));
    }
    const std::optional<QJsonObject> peerSend = runPeer("smtp_send.py", {jobFile});
    double peerSendMs = 0;
    if (peerSend) {
        peerSendMs = (*peerSend)["seconds"].toDouble() * 1000.0;
        const int accepted = (*peerSend)["accepted"].toInt();
        const Deliveries peerMails = awaitQuestionMails();
        std::printf("peer send: %d per-recipient mails in %.1f ms (of which composing %.1f ms; CPU %.2f s), %d "
                    "accepted, %.0f bytes each as sent; %d delivered (%.0f bytes each on average as stored), all "
                    "in %lld ms more\n",
                    kParticipants, peerSendMs, (*peerSend)["composeSeconds"].toDouble() * 1000.0,
                    (*peerSend)["cpuSeconds"].toDouble(), accepted, (*peerSend)["averageBytes"].toDouble(),
                    peerMails.total, peerMails.averageBytes, (long long)peerMails.waitedMs);
        check(accepted == kParticipants, QString("peer: %1 of %2 mails accepted").arg(accepted).arg(kParticipants));
        check(peerMails.total == kParticipants && peerMails.wrongCount == 0,
              QString("peer: %1 mails delivered, %2 mailboxes without exactly %3").arg(peerMails.total)
                  .arg(peerMails.wrongCount).arg(kCopiesPerMailbox));
        check(peerMails.incomplete == 0, QString("peer: %1 bodies not completed").arg(peerMails.incomplete));
    } else {
        allGood = false;
    }
    emptyEverything("after the peer's mailing");

    // ---- 2: the program fetches ---------------------------------------------
    QString error;
    if (!putReplies(kParticipants, subject, &error)) {
        std::printf("CHECK FAILED: putting the replies in: %s\n", qPrintable(error));
        return 1;
    }
    const int waitingForProgram = int(RealServers::messages(RealServers::operatorAddress).size());
    m.outgoingMail.MailSubject = "Re:" + subject;
    cpu = cpuSeconds();
    clock.restart();
    form.roundMail().fetch();
    const qint64 programFetchNs = clock.nsecsElapsed();
    const double programFetchCpu = cpuSeconds() - cpu;
    int scored = 0;
    for (int i = 0; i < kParticipants; ++i) scored += m.quizRun.Answered.at(i, 2) && t.回答.at(i, 2) == 3 ? 1 : 0;
    const int programLeft = int(RealServers::messages(RealServers::operatorAddress).size());
    std::printf("program fetch: %d replies waiting; fetched, judged and deleted in %.1f ms (CPU %.2f s); %d of %d "
                "participants scored with answer 3; %d left on the server\n",
                waitingForProgram, ms(programFetchNs), programFetchCpu, scored, kParticipants, programLeft);
    check(waitingForProgram == kParticipants, QString("program fetch: %1 replies waiting").arg(waitingForProgram));
    check(scored == kParticipants, QString("program fetch: %1 answers scored").arg(scored));
    check(programLeft == 0, QString("program fetch: %1 replies left on the server").arg(programLeft));
    emptyEverything("after the program's fetch");

    // ---- 2: the peer fetches ------------------------------------------------
    if (!putReplies(kParticipants, subject, &error)) {
        std::printf("CHECK FAILED: putting the replies in again: %s\n", qPrintable(error));
        return 1;
    }
    const int waitingForPeer = int(RealServers::messages(RealServers::operatorAddress).size());
    const std::optional<QJsonObject> peerFetch =
        runPeer("pop3_fetch.py", {RealServers::host, QString::number(RealServers::pop3Port),
                                  RealServers::operatorAddress, RealServers::password, fromSjis(subject)});
    double peerFetchMs = 0;
    const int peerLeft = int(RealServers::messages(RealServers::operatorAddress).size());
    if (peerFetch) {
        peerFetchMs = (*peerFetch)["seconds"].toDouble() * 1000.0;
        std::printf("peer fetch: %d replies waiting; %d retrieved, %d judged (from %d senders), %d deleted in %.1f ms "
                    "(CPU %.2f s); %d left on the server\n",
                    waitingForPeer, (*peerFetch)["retrieved"].toInt(), (*peerFetch)["judged"].toInt(),
                    (*peerFetch)["senders"].toInt(), (*peerFetch)["deleted"].toInt(), peerFetchMs,
                    (*peerFetch)["cpuSeconds"].toDouble(), peerLeft);
        check((*peerFetch)["judged"].toInt() == kParticipants,
              QString("peer fetch: %1 replies judged").arg((*peerFetch)["judged"].toInt()));
    } else {
        allGood = false;
    }
    check(waitingForPeer == kParticipants, QString("peer fetch: %1 replies waiting").arg(waitingForPeer));
    check(peerLeft == 0, QString("peer fetch: %1 replies left on the server").arg(peerLeft));
    emptyEverything("at the end");

    // ---- the table ----------------------------------------------------------
    const auto ratio = [](double program, double peer) {
        return peer > 0 ? QString::number(program / peer, 'f', 2) + "×" : QString("—");
    };
    const double sendRatio = peerSendMs > 0 ? ms(programSendNs) / peerSendMs : 0;
    const double fetchRatio = peerFetchMs > 0 ? ms(programFetchNs) / peerFetchMs : 0;
    // Rows only: bench/compare.sh puts the header above the rows of every benchmark.
    std::printf("\n");
    row("1000 per-recipient mails", msText(ms(programSendNs)), peerSend ? msText(peerSendMs) : "failed",
        ratio(ms(programSendNs), peerSendMs), "≤ 1.0×");
    row("fetch + parse + delete 1000 replies", msText(ms(programFetchNs)), peerFetch ? msText(peerFetchMs) : "failed",
        ratio(ms(programFetchNs), peerFetchMs), "≤ 1.0×");
    row("longest event-loop stall, 1000 mails going out", QString::number(stall.longestMs(), 'f', 1) + " ms", "—", "—",
        "≤ 50 ms");
    std::printf("\ntargets: send %s, fetch %s, stall %s; correctness checks %s\n",
                peerSend && sendRatio <= 1.0 ? "met" : "NOT met", peerFetch && fetchRatio <= 1.0 ? "met" : "NOT met",
                stall.longestMs() <= 50.0 ? "met" : "NOT met", allGood ? "passed" : "FAILED");
    return allGood ? 0 : 1;
}
