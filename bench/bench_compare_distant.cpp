// The round's mail with a provider far away: the suite's Postfix and Dovecot
// behind the latency relay (tests/support/LatencyRelay.h), at round trips of
// 10, 50 and 150 ms, against plain Python doing the same work through the
// same relay in the same run:
//   1. one question mail to each of 1000 participants, one transaction each,
//      every body completed for its player, on the submission port after
//      STARTTLS and a login (the program: the main window's own round mail;
//      the peer: smtplib, which sends one command at a time);
//   2. fetching, judging and deleting 250 replies over POP3 inside TLS (the
//      program: the round mail's fetch; the peer: poplib and the email
//      package);
//   3. at 50 ms only, the mails of 1 on port 25 with HELO and no login, the
//      dialogue of old, both sides alike.
// A round trip costs what it costs for each request that waits for its
// answer, so these figures are about how many waits each side needs.
//
//   bench_compare_distant                      every round trip, 1000 mails
//   bench_compare_distant --rtt 50 --mails 200
//
// Prints one Markdown row per measure and round trip (bench/compare.sh
// writes the header), the mail count used in the row's words, and detail
// lines. A target missed is only printed; the exit status is 1 when a
// correctness check fails (a mail refused or not delivered, a reply not
// scored, a mailbox left with mail). Start the servers first
// (scripts/mailservers.sh start); nothing else may use them meanwhile.
#include <QApplication>
#include <QCommandLineParser>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "mail/Transport.h"
#include "support/LatencyRelay.h"
#include "support/TestWorld.h"
#include "ui/Form1.h"

#include "MailMeasures.h"
#include "SecondQuestion.h"

namespace {

constexpr int kReplies = 250;
constexpr int kDefaultMails = 1000;
// The round trip the targets are set for, and the targets there.
constexpr int kTargetRtt = 50;
constexpr double kSmtpTarget = 0.35;
constexpr double kPop3Target = 0.25;

// The main window over a fresh folder, the second question about to go to
// `participants` players.
struct Rig {
    TestWorld world;
    Form1 form;

    OutgoingMail question;

    explicit Rig(int participants) : form(world.module1, [this] { return world.appFolder(); })
    {
        question = prepareSecondQuestion(world.module1, participants, [](int i) { return participant(i).toStdString(); });
    }
    Module1& m() { return world.module1; }

    // Mail goes out through `relay`: with `today`, as to a provider of today
    // (the submission port after STARTTLS, with the POP3 account's login);
    // else as to the carriers' server of old (port 25, HELO, no login).
    void sendThrough(const LatencyRelay& relay, bool today)
    {
        TransportSettings& t = m().transport;
        t.SmtpPort = storedPort(relay.port());
        if (!today) return;
        t.SmtpProtection = stored(Protection::StartTls);
        t.SmtpLoginKind = stored(LoginKind::Pop3Account);
        trustServers();
    }
    // Replies come in through `relay`, inside TLS from the first byte.
    void fetchThrough(const LatencyRelay& relay)
    {
        m().transport.Pop3Protection = stored(Protection::Tls);
        m().transport.Pop3Port = storedPort(relay.port());
        trustServers();
    }
    // The servers' certificate, by its fingerprint: the relay's address is theirs.
    void trustServers() { trustCertificate(m().transport, RealServers::host, RealServers::serverFingerprint()); }
};

std::unique_ptr<LatencyRelay> relayTo(quint16 port, int rtt)
{
    auto relay = std::make_unique<LatencyRelay>(RealServers::host, port, std::chrono::milliseconds(rtt));
    QString error;
    if (relay->listen(&error)) return relay;
    check(false, error);
    return nullptr;
}

void describe(const LatencyRelay& r, const char* what)
{
    std::printf("relay to %s at %lld ms: %d connections, %lld bytes to the server, %lld to the clients\n", what,
                (long long)r.roundTrip().count(), r.connections(), (long long)r.bytesToServer(),
                (long long)r.bytesToClient());
}

// A peer's time limit: twice what a round trip for every request would take,
// on top of the usual one.
int peerTimeoutMs(int requests, int rtt) { return kPeerTimeoutMs + 2 * requests * rtt; }

struct Row {
    QString measure;
    std::optional<double> programMs, peerMs;
    double target;   // 0: none
};

QString targetText(double target) { return target > 0 ? "≤ " + QString::number(target, 'f', 2) + "×" : "—"; }

// The per-recipient mailing of `mails`, the program's and the peer's, each
// through `relay` as sendThrough() says.
Row mailing(int mails, int rtt, const LatencyRelay& relay, bool today, double target)
{
    Rig rig(mails);
    rig.sendThrough(relay, today);
    const QString route = today ? "587 STARTTLS + login" : "25 HELO";
    const QString where = QString("%1, %2 ms").arg(route).arg(rtt);
    QJsonObject job = peerMailingJob(rig.m(), rig.question, mails, participant, RealServers::host, relay.port());
    if (today) {
        job["starttls"] = true;
        job["cafile"] = RealServers::caCertificatePath();
        job["login"] = QJsonObject{{"user", RealServers::operatorAddress}, {"password", RealServers::password}};
    }
    const Measured sent = measure([&] { rig.form.roundMail().send(rig.question); });
    checkProgramMailing("program send (" + where + ")", rig.form, mails, sent);
    const std::optional<double> peerMs =
        peerMailing("peer send (" + where + ")", job, mails, peerTimeoutMs(4 * mails, rtt));
    return {QString("%1 per-recipient mails, %2, %3 ms round trip").arg(mails).arg(route).arg(rtt), ms(sent.ns),
            peerMs, target};
}

// The replies of 250 players fetched, judged and deleted through `relay`,
// inside TLS, by the program and by the peer.
Row fetching(int rtt, const LatencyRelay& relay, double target)
{
    Rig rig(kReplies);
    rig.fetchThrough(relay);
    const QString where = QString("995 TLS, %1 ms").arg(rtt);
    const SjisText subject = rig.question.MailSubject;
    const std::optional<Measured> fetched =
        programFetch("program fetch (" + where + ")", rig.form, rig.m(), rig.question, kReplies);
    const std::optional<double> peerMs =
        peerFetch("peer fetch (" + where + ")", subject, kReplies, RealServers::host, relay.port(),
                  {"--tls", RealServers::caCertificatePath()}, peerTimeoutMs(2 * kReplies, rtt));
    return {QString("fetch + judge + delete %1 replies, 995 TLS, %2 ms round trip").arg(kReplies).arg(rtt),
            fetched ? std::optional<double>(ms(fetched->ns)) : std::nullopt, peerMs, target};
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"rtt", "Round trips to measure at, in milliseconds, comma-separated.", "list", "10,50,150"});
    parser.addOption({"mails", "Per-recipient mails of each mailing.", "count", QString::number(kDefaultMails)});
    parser.process(app);
    std::vector<int> rtts;
    for (const QString& word : parser.value("rtt").split(',')) {
        bool ok = false;
        const int rtt = word.toInt(&ok);
        if (!ok || rtt < 0) {
            std::fprintf(stderr, "--rtt takes round trips in milliseconds, not %s\n", qPrintable(word));
            return 2;
        }
        rtts.push_back(rtt);
    }
    bool ok = false;
    const int mails = parser.value("mails").toInt(&ok);
    if (!ok || mails < 1 || mails > kAddressSlots) {
        std::fprintf(stderr, "--mails takes a count from 1 to %d\n", kAddressSlots);
        return 2;
    }

    if (!readyToCompare(true)) return 1;

    std::vector<Row> rows;
    for (const int rtt : rtts) {
        const bool targeted = rtt == kTargetRtt;
        const std::unique_ptr<LatencyRelay> submission = relayTo(RealServers::submissionPort, rtt);
        const std::unique_ptr<LatencyRelay> pop3s = relayTo(RealServers::pop3sPort, rtt);
        if (!submission || !pop3s) return 1;
        rows.push_back(mailing(mails, rtt, *submission, true, targeted ? kSmtpTarget : 0));
        rows.push_back(fetching(rtt, *pop3s, targeted ? kPop3Target : 0));
        describe(*submission, "587");
        describe(*pop3s, "995");
        if (!targeted) continue;
        const std::unique_ptr<LatencyRelay> smtp = relayTo(RealServers::smtpPort, rtt);
        if (!smtp) return 1;
        rows.push_back(mailing(mails, rtt, *smtp, false, 0));
        describe(*smtp, "25");
    }

    // Rows only: bench/compare.sh puts the header above the rows of every benchmark.
    std::printf("\n");
    QStringList missed;
    int targets = 0;
    for (const Row& r : rows) {
        const double program = r.programMs.value_or(0), peer = r.peerMs.value_or(0);
        row(r.measure, r.programMs ? msText(program) : "failed", r.peerMs ? msText(peer) : "failed",
            ratioText(program, peer), targetText(r.target));
        if (r.target <= 0) continue;
        ++targets;
        if (!(r.programMs && r.peerMs && program / peer <= r.target)) missed << r.measure;
    }
    const QString verdict = targets == 0        ? QString("none at these round trips")
                            : missed.isEmpty() ? QString("met")
                                               : "NOT met: " + missed.join("; ");
    std::printf("\ntargets %s; correctness checks %s\n", qPrintable(verdict), allGood ? "passed" : "FAILED");
    return allGood ? 0 : 1;
}
