// The players of the demonstration round: thirteen simulated phones that
// read their mail through the POP3 server and answer through the SMTP server,
// each as demo::players() describes it.
//
//   trivorn-phones --server ADDRESS --servers-dir DIR [--speed N]
//                  [--watch-pid PID] [--max-minutes M] [--seed S]
//                  [--keep-mail DIR]
//
// --speed must be the program's own: the phones answer within the reply time
// as the program's clock counts it. The phones stop by themselves once the
// process --watch-pid has ended (the program), or after --max-minutes.
// With --keep-mail every mail the phones receive is also written to DIR, one
// file a mail (see SimulatedPhones::keepMailIn).
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "demo/DemoRound.h"

namespace {

std::mutex printing;

void say(const QString& line) {
    std::lock_guard lock(printing);
    std::printf("phones: %s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

QString value(const QStringList& args, const char* name, const QString& fallback = {}) {
    const qsizetype i = args.indexOf(QLatin1String(name));
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString server = value(args, "--server");
    const QString serversDir = value(args, "--servers-dir");
    const int speed = value(args, "--speed", "1").toInt();
    const qint64 watched = value(args, "--watch-pid", "0").toLongLong();
    const int maxMinutes = value(args, "--max-minutes", "30").toInt();
    if (server.isEmpty() || serversDir.isEmpty() || speed < 1 || maxMinutes < 1) {
        std::fprintf(stderr, "usage: trivorn-phones --server ADDRESS --servers-dir DIR [--speed N] "
                             "[--watch-pid PID] [--max-minutes M] [--seed S] [--keep-mail DIR]\n");
        return 2;
    }
    // The phones wait for the servers' queue to drain before they look, and
    // find it through this variable.
    qputenv("TRV_MAILSERVERS_DIR", serversDir.toLocal8Bit());

    const quint32 seed = value(args, "--seed", QString::number(QRandomGenerator::system()->generate())).toUInt();
    QRandomGenerator random(seed);
    std::mutex drawing;
    auto randomMs = [&](int lo, int hi) {
        std::lock_guard lock(drawing);
        return int(random.bounded(lo, hi + 1));
    };
    const int replyWindowMs = 60000 / speed;   // every reply time of the round is one minute

    SimulatedPhones phones("quiz@trivorn.test", server);
    if (const QString kept = value(args, "--keep-mail"); !kept.isEmpty()) phones.keepMailIn(kept);
    for (const demo::Player& player : demo::players()) {
        const PhoneScript inner = demo::script(player, replyWindowMs, randomMs);
        phones.add(player.address, [inner, player](const PhoneMail& mail, int index) {
            const QList<PhoneReply> replies = inner(mail, index);
            QString what = replies.isEmpty() ? QStringLiteral("no reply") : QStringLiteral("%1 reply(ies)").arg(replies.size());
            if (!replies.isEmpty() && replies.first().holdUntilNextMail) what = QStringLiteral("replies late");
            say(QStringLiteral("%1 (%2) got \"%3\": %4").arg(player.address, player.name, mail.subject, what));
            return replies;
        });
    }
    // A look every sixtieth of the reply time, within bounds: quick enough
    // for a sped-up round, and no needless load on the servers at real speed.
    phones.start(std::clamp(replyWindowMs / 60, 200, 1000));
    say(QStringLiteral("%1 phones polling %2 (speed %3, seed %4)")
            .arg(demo::players().size()).arg(server).arg(speed).arg(seed));

    const QDeadlineTimer deadline(qint64(maxMinutes) * 60000);
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        const bool programGone = watched > 0 && !QFileInfo::exists(QStringLiteral("/proc/%1").arg(watched));
        if (programGone || deadline.hasExpired()) {
            say(programGone ? QStringLiteral("the program has ended; stopping") : QStringLiteral("time is up; stopping"));
            app.quit();
        }
    });
    check.start(500);
    const int status = app.exec();
    phones.stop();
    for (const QString& e : phones.errors()) say(QStringLiteral("error: ") + e);
    return status;
}
