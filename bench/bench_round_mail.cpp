// Time for a round's mail through the private Postfix and Dovecot: one
// question mail to 200 players (one transaction each, every body completed
// for its player), then fetching and judging their 200 replies. Goes through
// the main window's own round mail (send and fetch). Not a test: start the
// servers (scripts/mailservers.sh start) and run by hand.

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "codec/Iso2022Jp.h"
#include "support/ProcessTime.h"
#include "demo/RealServers.h"
#include "support/TestWorld.h"
#include "ui/Form1.h"

#include "SecondQuestion.h"

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
    const OutgoingMail question = prepareSecondQuestion(m, kPlayers, [](int i) { return player(i).toStdString(); });
    const SjisText subject = question.MailSubject;

    QElapsedTimer clock;
    clock.start();
    double cpu = cpuSeconds();
    form.roundMail().send(question);
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

    clock.restart();
    cpu = cpuSeconds();
    form.roundMail().fetch(question);
    const qint64 fetchMs = clock.elapsed();
    const double fetchCpu = cpuSeconds() - cpu;
    int answered = 0;
    for (int i = 0; i < kPlayers; ++i) answered += m.quizRun.Answered.at(i, 2) ? 1 : 0;
    const qsizetype left = RealServers::messages(RealServers::operatorAddress).size();
    std::printf("fetch and judge %d replies: %lld ms (CPU %.2f s); %d answers scored, %lld left on the server\n",
                kPlayers, (long long)fetchMs, fetchCpu, answered, (long long)left);
    return allDelivered && answered == kPlayers && left == 0 ? 0 : 1;
}
