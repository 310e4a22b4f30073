// Time for a round's mail through the private Postfix and Dovecot: one
// question mail to 200 players (one transaction each, every body completed
// for its player), then fetching and judging their 200 replies. Goes through
// the main window's own round mail (send and fetch). Not a test: start the
// servers (scripts/mailservers.sh start) and run by hand.

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "codec/Base64.h"
#include "codec/Iso2022Jp.h"
#include "run/Scoring.h"
#include "support/ProcessTime.h"
#include "support/RealServers.h"
#include "support/TestWorld.h"
#include "ui/Form1.h"

namespace {

constexpr int kPlayers = 200;

static_assert(kPlayers <= RealServers::playerCount);

// Player i, counted from 0.
QByteArray player(int i) { return RealServers::playerAddress(i + 1).toLatin1(); }

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
    QString error;
    if (!RealServers::emptyAllMailboxes(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    TestWorld world;
    Module1& m = world.module1;
    Form1 form(m, [&] { return world.appFolder(); });
    m.mailSettings.SmtpServer = RealServers::host;
    m.mailSettings.Pop3Server = RealServers::host;
    m.mailSettings.AccountId = RealServers::operatorAddress;
    m.mailSettings.Password = EncodeBase64Text(RealServers::password);
    m.mailSettings.OwnAddress = RealServers::operatorAddress;

    sizeParticipantTable(m, kPlayers, 2);
    ParticipantTable& t = m.quizRun.participants;
    for (int i = 0; i < kPlayers; ++i) {
        m.quizRun.ListNames[std::size_t(i)] = "p" + std::to_string(i);
        m.quizRun.ListAddresses[std::size_t(i)] = player(i).toStdString();
        m.quizRun.ListJoined[std::size_t(i)] = 1;
        t.名前[i] = m.quizRun.ListNames[std::size_t(i)];
        t.アドレス[i] = m.quizRun.ListAddresses[std::size_t(i)];
        t.得点数[i] = std::int16_t(i % 2 ? 10 : 0);
        t.着信順[i] = std::int16_t(i % 2 ? i : 1000 + i);
        t.採点.at(i, 1) = sjis(i % 2 ? "○" : "×");
    }
    t.ParticipantCount = kPlayers;
    m.quizRun.AddressLastIndex = kPlayers - 1;
    m.quizRun.ParticipantLastIndex = kPlayers - 1;
    m.questionSet.CorrectChoice[2] = 3;
    m.questionSet.Points[2] = 10;
    m.questionSet.TotalPoints = 20;
    sizeAnswerTables(m, kPlayers, 2);
    Rank(m);
    m.quizRun.CurrentQuestion = 2;
    m.outgoingMail.PerRecipientMode = 1;
    const SjisText subject = sjis("第2問");
    m.outgoingMail.MailSubject = subject;
    m.outgoingMail.MailBody = sjis(
        "********************\r\n* TRIVORN          *\r\n--------------------\r\n"
        "問題1:×\r\n順位:xxx位\r\n合計得点:xxx/20\r\n\r\n日本一高い山は？\r\n1.富士山\r\n2.北岳\r\n3.奥穂高岳\r\n答:");

    QElapsedTimer clock;
    clock.start();
    double cpu = cpuSeconds();
    form.roundMail().send();
    const qint64 sendMs = clock.elapsed();
    const double sendCpu = cpuSeconds() - cpu;
    bool allDelivered = true;
    for (int i = 0; i < kPlayers; ++i) allDelivered &= RealServers::waitForMessages(QString::fromLatin1(player(i)), 1, 60000);
    const qint64 deliveredMs = clock.elapsed();
    std::printf("send %d per-recipient mails: %lld ms (CPU %.2f s); all delivered after %lld ms%s\n", kPlayers,
                (long long)sendMs, sendCpu, (long long)deliveredMs, allDelivered ? "" : " (SOME MISSING)");

    // The players answer, each from their phone.
    const QByteArray replySubject =
        "Re: =?ISO-2022-JP?B?" + QByteArray::fromStdString(ToIso2022Jp(subject)).toBase64() + "?=";
    for (int i = 0; i < kPlayers; ++i) {
        const QByteArray message = "From: " + player(i) + "\r\nTo: quiz@trivorn.test\r\nSubject: " + replySubject +
                                   "\r\n\r\n" + QByteArray::fromStdString(sjis(i % 3 ? "答:3" : "答:1")) + "\r\n";
        if (!RealServers::sendRawMail(player(i), {RealServers::operatorAddress}, message).accepted) {
            std::fprintf(stderr, "reply %d refused\n", i);
            return 1;
        }
    }
    if (!RealServers::waitForMessages(RealServers::operatorAddress, kPlayers, 60000)) {
        std::fprintf(stderr, "replies did not all arrive\n");
        return 1;
    }

    m.outgoingMail.MailSubject = "Re:" + subject;
    clock.restart();
    cpu = cpuSeconds();
    form.roundMail().fetch();
    const qint64 fetchMs = clock.elapsed();
    const double fetchCpu = cpuSeconds() - cpu;
    int answered = 0;
    for (int i = 0; i < kPlayers; ++i) answered += m.quizRun.Answered.at(i, 2) ? 1 : 0;
    const qsizetype left = RealServers::messages(RealServers::operatorAddress).size();
    std::printf("fetch and judge %d replies: %lld ms (CPU %.2f s); %d answers scored, %lld left on the server\n",
                kPlayers, (long long)fetchMs, fetchCpu, answered, (long long)left);
    return allDelivered && answered == kPlayers && left == 0 ? 0 : 1;
}
