#pragma once
// The mail benchmarks' players on the suite's servers: participant i is the
// numbered mailbox (i mod 250) + 1, so 1000 participants use each mailbox
// four times. The program judges a reply by its sender's address, so the
// first reply from a mailbox answers for all of its participants; the others
// still have to be fetched, matched to the question and deleted.
//
// Replies are written straight into the operator's Maildir, as Postfix's
// delivery agent leaves them (LF line ends, Return-Path, Delivered-To and the
// Received clause "for <quiz@trivorn.test>;" the parser requires): a thousand
// SMTP sessions to put them there would take far longer than either fetch.
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSslSocket>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "codec/Iso2022Jp.h"
#include "demo/RealServers.h"
#include "support/TestWorld.h"

#include "CompareOutput.h"

inline constexpr int kMailboxes = 250;
static_assert(kMailboxes <= RealServers::playerCount);
inline constexpr int kDeliveryTimeoutMs = 180000;

// Mailbox i, counted from 0.
inline QByteArray mailbox(int i) { return RealServers::playerAddress(i + 1).toLatin1(); }

// Participant i's address: the 250 mailboxes in turn.
inline QByteArray participant(int i) { return mailbox(i % kMailboxes); }

// How many of `participants` share mailbox b.
inline int copiesIn(int b, int participants) { return participants / kMailboxes + (b < participants % kMailboxes); }

// What a per-recipient mailing left in the player mailboxes.
struct Deliveries {
    int total = 0;
    int wrongCount = 0;      // mailboxes not holding their participants' copies
    int incomplete = 0;      // bodies with a placeholder left in them
    double averageBytes = 0;
    qint64 waitedMs = 0;
};

// Waits until Postfix's queue is empty and every player mailbox holds the
// copies of its participants (or the time-out), then looks at what arrived.
inline Deliveries awaitQuestionMails(int participants)
{
    Deliveries d;
    QElapsedTimer clock;
    clock.start();
    for (int b = 0; b < kMailboxes; ++b)
        if (copiesIn(b, participants) > 0)
            RealServers::waitForMessages(QString::fromLatin1(mailbox(b)), copiesIn(b, participants),
                                         int(std::max<qint64>(1, kDeliveryTimeoutMs - clock.elapsed())));
    while (RealServers::queuedMessageCount() != 0 && clock.elapsed() < kDeliveryTimeoutMs) QThread::msleep(20);
    d.waitedMs = clock.elapsed();
    qint64 bytes = 0;
    for (int b = 0; b < kMailboxes; ++b) {
        const QList<QByteArray> mails = RealServers::messages(QString::fromLatin1(mailbox(b)));
        d.total += int(mails.size());
        if (mails.size() != copiesIn(b, participants)) ++d.wrongCount;
        for (const QByteArray& raw : mails) {
            bytes += raw.size();
            // Rank and points go in where "xxx" stood; ASCII stays ASCII in ISO-2022-JP.
            if (raw.contains("xxx")) ++d.incomplete;
        }
    }
    d.averageBytes = d.total ? double(bytes) / d.total : 0;
    return d;
}

// Whether the servers answering are still the instance whose folder this
// run reads (its certificate is made afresh at every start). Should another
// start take the ports meanwhile, our mail would go into mailboxes nobody
// here looks at, and fill those of whoever started it.
inline bool serversStillOurs()
{
    QSslSocket s;
    s.setPeerVerifyMode(QSslSocket::VerifyNone);
    s.connectToHostEncrypted(RealServers::host, RealServers::pop3sPort);
    const bool up = s.waitForEncrypted(10000);
    const QByteArray seen = up ? s.peerCertificate().digest(QCryptographicHash::Sha256) : QByteArray();
    s.abort();
    return !seen.isEmpty() && seen == RealServers::serverCertificateSha256();
}

// Empties every mailbox between two measures; a run whose servers were
// replaced under it stops here, before it sends anything more.
inline bool emptyEverything(const char* when)
{
    if (!serversStillOurs()) {
        std::printf("CHECK FAILED: the mail servers are no longer those of %s (started again elsewhere?); "
                    "stopping %s\n",
                    qPrintable(RealServers::directory()), when);
        std::fflush(stdout);
        std::exit(1);
    }
    QString error;
    if (RealServers::emptyAllMailboxes(&error)) return true;
    std::printf("CHECK FAILED: emptying the mailboxes %s: %s\n", when, qPrintable(error));
    allGood = false;
    return false;
}

// ISO-2022-JP the way phones write it: back to ASCII with ESC ( B.
inline QByteArray phoneJis(const SjisText& text)
{
    return QByteArray::fromStdString(ToIso2022Jp(text)).replace("\x1b(J", "\x1b(B");
}

// Writes `count` replies into the operator's Maildir: participant i's reply
// "答:3" to `subject`, in the shape Postfix's delivery leaves. Files go to
// tmp/ first and are renamed into new/, owned by the mailbox's owner, as a
// delivery agent does, so Dovecot never sees half a message.
inline bool putReplies(int count, const SjisText& subject, QString* error)
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
