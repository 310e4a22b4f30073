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
// The peers are bench/peers/*.py (bench/PeerScripts.h). Not a test: start
// the servers (scripts/mailservers.sh start) and run by hand; nothing else may
// use them meanwhile, since the mailboxes are emptied.
//
// The 1000 participants use the 250 player mailboxes four times each (see
// bench/PlayerMailboxes.h, which also says how the replies get there).

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

#include "support/TestWorld.h"
#include "ui/Form1.h"

#include "MailMeasures.h"
#include "SecondQuestion.h"

namespace {

constexpr int kParticipants = 1000;

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

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!readyToCompare(false)) return 1;

    // The second question to 1000 participants, as bench_round_mail sends it
    // to 200.
    TestWorld world;
    Module1& m = world.module1;
    Form1 form(m, [&] { return world.appFolder(); });
    const OutgoingMail question =
        prepareSecondQuestion(m, kParticipants, [](int i) { return participant(i).toStdString(); });
    const SjisText subject = question.MailSubject;

    // ---- 1 and 3: the program sends, then the peer -------------------------
    StallMeter stall;
    const Measured programSend = measure([&] {
        stall.start();
        form.roundMail().send(question);
        stall.stop();
    });
    std::printf("program send, event loop: %s\n", qPrintable(stall.describe()));
    checkProgramMailing("program send", form, kParticipants, programSend);
    const std::optional<double> peerSendMs = peerMailing(
        "peer send", peerMailingJob(m, question, kParticipants, participant, RealServers::host, RealServers::smtpPort),
        kParticipants);

    // ---- 2: the program fetches, then the peer ------------------------------
    const std::optional<Measured> programFetched = programFetch("program fetch", form, m, question, kParticipants);
    const std::optional<double> peerFetchMs =
        peerFetch("peer fetch", subject, kParticipants, RealServers::host, RealServers::pop3Port);

    // ---- the table ----------------------------------------------------------
    const double programSendMs = ms(programSend.ns);
    const double programFetchMs = programFetched ? ms(programFetched->ns) : 0;
    // Rows only: bench/compare.sh puts the header above the rows of every benchmark.
    std::printf("\n");
    row("1000 per-recipient mails", msText(programSendMs), peerSendMs ? msText(*peerSendMs) : "failed",
        ratioText(programSendMs, peerSendMs.value_or(0)), "≤ 1.0×");
    row("fetch + parse + delete 1000 replies", programFetched ? msText(programFetchMs) : "failed",
        peerFetchMs ? msText(*peerFetchMs) : "failed", ratioText(programFetchMs, peerFetchMs.value_or(0)), "≤ 1.0×");
    row("longest event-loop stall, 1000 mails going out", QString::number(stall.longestMs(), 'f', 1) + " ms", "—", "—",
        "≤ 50 ms");
    const bool sendMet = peerSendMs && programSendMs / *peerSendMs <= 1.0;
    const bool fetchMet = programFetched && peerFetchMs && programFetchMs / *peerFetchMs <= 1.0;
    std::printf("\ntargets: send %s, fetch %s, stall %s; correctness checks %s\n", sendMet ? "met" : "NOT met",
                fetchMet ? "met" : "NOT met", stall.longestMs() <= 50.0 ? "met" : "NOT met",
                allGood ? "passed" : "FAILED");
    return allGood ? 0 : 1;
}
