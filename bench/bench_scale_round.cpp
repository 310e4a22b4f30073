// A whole round at the largest scale the program is built for: the address
// book full (1000 entries, all marked for sending) and 250 players joining,
// played by pressing START against the private Postfix and Dovecot with 250
// simulated phones (player001 … player250@docomo.ne.jp). Prints the round's
// wall time, processor time and peak resident memory beside the memory the
// idle window holds, then checks what the round stored, what each phone was
// told and what the window shows. Exit 1 if anything is wrong. Not a test:
// start the servers (scripts/mailservers.sh start) and run by hand; nothing
// else may use them meanwhile, since the mailboxes are emptied first.
//
// The other 750 entries of the address book must be mailboxes the server
// takes: the invitation goes out as one transaction with a RCPT per entry,
// and the program gives up the whole mailing at the first refused recipient
// (an unknown user draws "550 User unknown"). They are the servers' mailboxes
// that are neither a player's nor the operator's, each written in up to 42
// different letter cases: distinct addresses to the program, the same mailbox
// to Postfix, which folds the case. Nobody answers from them. Players are
// spread through the book (every fourth entry, the last at entry 998), so
// every phone receiving the invitation shows that all 1000 recipients were
// taken.
//
// What the phones do, question by question, follows a fixed pattern over
// the players (kindOf): right, wrong, silent, a full-width digit, a reply
// without the answer marker, two answers (only the first counts), and an
// answer sent only after the next question came (a late one, cleared unscored).
// The results expected are worked out here from that pattern alone.
//
// The clock moves only once every phone has dealt with the mail in hand and
// Postfix has delivered their replies (as in tests/ui/tst_real_round.cpp), so
// the one-minute countdowns take no time of their own: the round's wall time
// is the program's mail work plus the phones' answering, which the timeline
// printed at the end separates.

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QThread>
#include <QtTest>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <utility>

#include "demo/PreparedRound.h"
#include "support/ProcessTime.h"
#include "support/RawRecord.h"
#include "demo/RealServers.h"
#include "demo/SimulatedPhones.h"
#include "support/SjisLiterals.h"
#include "support/SteppedClock.h"
#include "support/TestWorld.h"
#include "ui/Form1.h"

namespace {

constexpr int kBookEntries = 1000;
constexpr int kPlayers = 250;
constexpr int kQuestions = 3;
// How long the phones may take over one mailing before the round is let go
// on (and the run fails): far more than they need, short of hanging.
constexpr int kPhonesTimeoutMs = 300000;

QString u(const char* utf8) { return QString::fromUtf8(utf8); }
QByteArray sjb(const QString& text) { return QByteArray::fromStdString(sj(text)); }

static_assert(kPlayers <= RealServers::playerCount);

// Player i, counted from 0.
QString playerAddress(int i) { return RealServers::playerAddress(i + 1); }
QString playerName(int i) { return u("選手") + QStringLiteral("%1").arg(i + 1, 3, 10, QChar('0')); }

// ---- The questions and what each player does with them ----

struct Question {
    QString text;
    QStringList choices;
    int correct;
    int points;
};

const QList<Question>& questions() {
    static const QList<Question> list = {
        {u("日本一高い山は?"), {u("富士山"), u("北岳"), u("奥穂高岳")}, 1, 10},
        {u("日本一長い川は?"), {u("石狩川"), u("利根川"), u("信濃川")}, 3, 20},
        {u("日本一大きい湖は?"), {u("霞ヶ浦"), u("琵琶湖"), u("サロマ湖"), u("猪苗代湖")}, 2, 30},
    };
    return list;
}
constexpr int kTotalPoints = 60;

enum class Kind { Right, Wrong, Silent, FullWidth, NoMarker, Twice, Late };

// About half right, a fifth wrong, the rest spread over the odd cases; a
// late answer only where a next question follows to carry it. Every total
// from 0 to 60 points occurs, most of them many times over.
Kind kindOf(int player, int q) {
    const int h = (player * 7 + q * 11 + (player / 20) * q * 3) % 20;
    if (h < 10) return Kind::Right;
    if (h < 14) return Kind::Wrong;
    if (h < 16) return Kind::Silent;
    if (h == 16) return Kind::FullWidth;
    if (h == 17) return Kind::NoMarker;
    if (h == 18) return Kind::Twice;
    return q < kQuestions ? Kind::Late : Kind::Right;
}

int wrongChoice(int q) {
    const Question& question = questions()[q - 1];
    return question.correct % int(question.choices.size()) + 1;
}

// How a phone writes the subject of its reply.
QByteArray replySubject(int player, const PhoneMail& mail) {
    switch (player % 4) {
    case 0: return encodedWordSubject(mail.subject);
    case 1: return rawJisSubject(mail.subject);
    case 2: return encodedWordSubject(mail.subject, "RE:(BCC)");
    default: return echoedSubject(mail);
    }
}

// Joins, then answers each question as kindOf says: odd questions with a
// bare answer line, even ones quoting the mail with its answer line filled.
PhoneScript scriptOf(int player) {
    return [player](const PhoneMail& mail, int index) -> QList<PhoneReply> {
        auto reply = [&](const QByteArray& body) { return PhoneReply{replySubject(player, mail), {}, body}; };
        if (index == 0) return {reply(jisText(u("参加します。")))};
        const int q = index;
        if (q > kQuestions) return {};   // the closing mail
        auto answer = [&](const QString& digit) {
            return reply(q % 2 == 0 ? quotedAnswerBody(mail, digit) : jisText(u("答:") + digit));
        };
        const QString right = QString::number(questions()[q - 1].correct);
        const QString wrong = QString::number(wrongChoice(q));
        switch (kindOf(player, q)) {
        case Kind::Right: return {answer(right)};
        case Kind::Wrong: return {answer(wrong)};
        case Kind::Silent: return {};
        case Kind::FullWidth: return {answer(u("３"))};
        case Kind::NoMarker: return {reply(jisText(u("すみません、わかりません。")))};
        case Kind::Twice: return {answer(wrong), answer(right)};
        case Kind::Late: {
            PhoneReply late = answer(right);
            late.holdUntilNextMail = true;
            return {late};
        }
        }
        return {};
    };
}

// ---- The results the pattern leads to, worked out independently ----

struct Standing {
    int points = 0, arrival = 0, correct = 0, rate = 0;
    QList<int> answers = QList<int>(kQuestions, 0);
    QStringList marks = QStringList(kQuestions, QString());
};

int percent(int correct, int asked) { return (200 * correct + asked) / (2 * asked); }

// standings[q][p]: player p after question q has been fetched and marked
// (q = 0: nobody has answered yet). Within a fetch the replies come in the
// order the phones were added; every reply to the awaited question from a
// participant who has not answered yet takes the next arrival position.
QList<QList<Standing>> expectedStandings() {
    QList<QList<Standing>> out{QList<Standing>(kPlayers)};
    for (int q = 1; q <= kQuestions; ++q) {
        QList<Standing> s = out.last();
        const Question& question = questions()[q - 1];
        int counter = 0;
        for (int p = 0; p < kPlayers; ++p) {
            Standing& st = s[p];
            const Kind kind = kindOf(p, q);
            if (kind == Kind::Silent || kind == Kind::Late) {
                st.marks[q - 1] = u("×");
                st.answers[q - 1] = 0;
                st.rate = percent(st.correct, q);
                continue;
            }
            if (kind == Kind::Right) {
                st.answers[q - 1] = question.correct;
                st.marks[q - 1] = u("○");
                ++st.correct;
                st.points += question.points;
                st.arrival = counter + 1;
                st.rate = percent(st.correct, q);
            } else if (kind == Kind::Wrong || kind == Kind::Twice) {
                st.answers[q - 1] = wrongChoice(q);
                st.marks[q - 1] = u("×");
                st.arrival = counter + 1001;
                st.rate = percent(st.correct, q);
            } else if (kind == Kind::FullWidth) {
                st.answers[q - 1] = -1;
                st.marks[q - 1] = u("×");
                st.rate = percent(st.correct, q);
            }
            // A reply without the marker uses up the turn and changes nothing.
            ++counter;
        }
        out << s;
    }
    return out;
}

// Ranking order: more points first, then the lower arrival position.
bool ahead(const Standing& a, const Standing& b) {
    return a.points != b.points ? a.points > b.points : a.arrival < b.arrival;
}
bool sameKey(const Standing& a, const Standing& b) { return a.points == b.points && a.arrival == b.arrival; }

// ---- The 750 entries nobody answers from ----

// The k-th spelling of an address: bit j of k puts its j-th letter in
// capitals. Spelling 0 is the address as the server lists it.
QString caseVariant(const QString& address, int k) {
    QString out = address;
    int letter = 0;
    for (QChar& c : out) {
        if (!c.isLetter()) continue;
        if (k & (1 << letter)) c = c.toUpper();
        ++letter;
    }
    return out;
}

QStringList silentMailboxes() {
    QStringList out;
    for (const QString& a : RealServers::accounts())
        if (!a.startsWith("player") && a != QLatin1String(RealServers::operatorAddress)) out << a;
    return out;
}

// ---- Measuring ----

long rssKb() {
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

long peakRssKb() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return r.ru_maxrss;
}

// The calling thread only: the program's own work, without the phones' thread.
double threadCpuSeconds() {
    rusage r{};
    getrusage(RUSAGE_THREAD, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// Marks come from the program's thread (the status line's signal and the
// clock's gate), so the processor time beside each is the program's.
struct Timeline {
    struct Event {
        qint64 ms;
        double cpu;
        QString what;
    };
    QElapsedTimer clock;
    QList<Event> events;
    void mark(const QString& what) { events << Event{clock.elapsed(), threadCpuSeconds(), what}; }
};

// Gathers what is wrong, prints the first few.
struct Failures {
    QStringList list;
    void check(bool ok, const QString& what) {
        if (!ok) list << what;
    }
    template <class A, class B>
    void same(const A& actual, const B& expected, const QString& what) {
        if (!(actual == expected)) list << what;
    }
};

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
    const QStringList silent = silentMailboxes();
    if (silent.isEmpty()) {
        std::fprintf(stderr, "the servers have no mailbox besides the players' and the operator's\n");
        return 1;
    }

    TestWorld world;
    SteppedClock clock;
    world.useClock(clock);

    // ---- The round as the editors would leave it ----
    PreparedRound round;
    QList<int> playerAt(kBookEntries, -1);   // book entry → player, -1 for nobody's
    for (int e = 0, extra = 0; e < kBookEntries; ++e) {
        if (e % 4 == 1) {
            const int p = e / 4;
            playerAt[e] = p;
            round.addressBook << PreparedRound::Entry{playerName(p), playerAddress(p), true};
        } else {
            const QString address = caseVariant(silent[extra % silent.size()], extra / silent.size());
            round.addressBook << PreparedRound::Entry{u("会員") + QString::number(e + 1).rightJustified(4, '0'),
                                                      address, true};
            ++extra;
        }
    }
    for (const Question& q : questions()) round.questions << PreparedRound::Question{{}, q.text, q.choices, q.correct, q.points, 1};
    if (!round.writeTo(world.files)) {
        std::fprintf(stderr, "the round could not be prepared in %s\n", qPrintable(world.folder()));
        return 1;
    }
    const QuestionSet set = round.questionSet();
    const QString invitation = fromSjis(round.invitation().Subject);
    QStringList questionSubjects;
    for (int q = 1; q <= kQuestions; ++q) questionSubjects << fromSjis(set.Subject[q]);
    const QString closing = fromSjis(round.closingMail().Subject);
    {
        // Too few silent mailboxes would run out of spellings.
        std::set<QString> distinct;
        for (const auto& entry : round.addressBook) distinct.insert(entry.address);
        if (int(distinct.size()) != kBookEntries) {
            std::fprintf(stderr, "the address book holds %d distinct addresses, not %d\n", int(distinct.size()),
                         kBookEntries);
            return 1;
        }
    }

    SimulatedPhones phones(RealServers::operatorAddress);
    QStringList players;
    for (int p = 0; p < kPlayers; ++p) {
        players << playerAddress(p);
        phones.add(playerAddress(p), scriptOf(p));
    }
    phones.setAwake(false);
    phones.start(50);

    Form1 form(world.module1, [&] { return world.appFolder(); });
    form.show();
    QCoreApplication::processEvents();

    // ---- What happens when, from the status line and the clock's gate ----
    Timeline timeline;
    const QString sendingTail = u("の送信です。しばらくお待ち下さい。");
    const QString awaitingTail = u("の返信待ちです。");
    QString lastSession;
    QObject::connect(form.Text7, &QLineEdit::textChanged, [&](const QString& text) {
        if (text.endsWith(sendingTail)) timeline.mark("SMTP: " + text.left(text.size() - sendingTail.size()));
        else if (text == u("送信メールサバー接続終了")) timeline.mark("SMTP closed");
        else if (text == u("受信メールサバー接続成功")) timeline.mark("POP3 connected");
        else if (text == u("受信メールサバー接続終了")) timeline.mark("POP3 closed");
        else if (text == u("クイズ終了しました。")) timeline.mark("stored, round over");
        else if (text.startsWith("ERR")) timeline.mark("session refused: " + text);
    });

    // A countdown's clock moves only once every phone the mail went to has
    // answered it and Postfix has delivered every answer; meanwhile the phones
    // are awake, and they sleep again before the fetch.
    QString countdownOf, released;
    QElapsedTimer waiting;
    QStringList phonesLate;
    clock.gate = [&] {
        const QString status = form.Text7->text();
        const qsizetype at = status.indexOf(awaitingTail);
        if (at < 0) return true;
        const QString subject = status.left(at);
        if (subject == released) return true;
        if (subject != countdownOf) {
            countdownOf = subject;
            waiting.start();
            timeline.mark("phones answering: " + subject);
            phones.setAwake(true);
        }
        bool done = RealServers::queuedMessageCount() == 0;
        for (const QString& address : players) done = done && phones.hasHandled(address, subject);
        if (!done && waiting.elapsed() < kPhonesTimeoutMs) return false;
        if (!done) phonesLate << subject;
        phones.setAwake(false);
        timeline.mark("phones done");
        released = subject;
        return true;
    };

    // ---- The idle window, then START ----
    const long idleRssKb = rssKb();
    const long idlePeakKb = peakRssKb();
    std::printf("address book %d entries (%d players, %d spellings of %lld silent mailboxes), %d questions\n",
                kBookEntries, kPlayers, kBookEntries - kPlayers, (long long)silent.size(), kQuestions);
    std::printf("idle before START: RSS %.1f MB (peak so far %.1f MB)\n", idleRssKb / 1024.0, idlePeakKb / 1024.0);
    std::fflush(stdout);

    const double cpuBefore = cpuSeconds();
    const double mainCpuBefore = threadCpuSeconds();
    timeline.clock.start();
    timeline.mark("START");
    QTest::mouseClick(form.Command6, Qt::LeftButton);
    const qint64 wallMs = timeline.clock.elapsed();
    const double cpu = cpuSeconds() - cpuBefore;
    const double mainCpu = threadCpuSeconds() - mainCpuBefore;
    const long peakKb = peakRssKb();
    const long afterRssKb = rssKb();

    // The closing mail reaches every participant.
    phones.setAwake(true);
    QElapsedTimer closingWait;
    closingWait.start();
    auto allHaveClosing = [&] {
        for (const QString& address : players)
            if (!phones.hasHandled(address, closing)) return false;
        return true;
    };
    while (!allHaveClosing() && closingWait.elapsed() < 120000) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    const bool closingArrived = allHaveClosing();
    phones.stop();

    // ---- Figures ----
    std::printf("\ntimeline of the round (ms since START, step; the program's processor ms in the step):\n");
    qint64 previous = 0, phonesMs = 0, smtpMs = 0, pop3Ms = 0, smtpStart = -1, pop3Start = -1, phonesStart = -1;
    double previousCpu = timeline.events.isEmpty() ? 0 : timeline.events.first().cpu;
    for (const auto& [ms, cpuAt, what] : timeline.events) {
        std::printf("  %8lld  %+8lld  %6.0f  %s\n", (long long)ms, (long long)(ms - previous),
                    (cpuAt - previousCpu) * 1000, qPrintable(what));
        previous = ms;
        previousCpu = cpuAt;
        if (what.startsWith("SMTP: ")) smtpStart = ms;
        else if (what == "SMTP closed" && smtpStart >= 0) smtpMs += ms - std::exchange(smtpStart, -1);
        else if (what == "POP3 connected") pop3Start = ms;
        else if (what == "POP3 closed" && pop3Start >= 0) pop3Ms += ms - std::exchange(pop3Start, -1);
        else if (what.startsWith("phones answering")) phonesStart = ms;
        else if (what == "phones done" && phonesStart >= 0) phonesMs += ms - std::exchange(phonesStart, -1);
    }
    std::printf("\nround: %lld ms wall; the program's SMTP sessions %lld ms, its POP3 sessions %lld ms, "
                "the phones answering %lld ms\n",
                (long long)wallMs, (long long)smtpMs, (long long)pop3Ms, (long long)phonesMs);
    std::printf("processor (user+sys): %.2f s the whole process, %.2f s the program's thread "
                "(the rest: the phones' thread)\n", cpu, mainCpu);
    std::printf("memory: peak RSS %.1f MB (ru_maxrss, whole process, phones included); idle before START %.1f MB; "
                "after the round %.1f MB\n", peakKb / 1024.0, idleRssKb / 1024.0, afterRssKb / 1024.0);
    std::printf("phones: %d replies accepted by SMTP\n", phones.repliesSent());
    // A row for bench/compare.sh. The peak counts the phones too (they run in
    // this process), so the ratio is if anything too high.
    std::printf("| peak memory, round of 250 players vs idle window | %.1f MB | %.1f MB idle | %.2f× | ≤ 1.5× |\n",
                peakKb / 1024.0, idleRssKb / 1024.0, double(peakKb) / double(idleRssKb));

    // ---- Checks ----
    Failures f;
    f.same(form.Text7->text(), u("クイズ終了しました。"), "status line: " + form.Text7->text());
    f.same(world.messageBox.texts(), QStringList(), "message boxes: " + world.messageBox.texts().join(" | "));
    f.check(phonesLate.isEmpty(), "the phones did not finish in time with: " + phonesLate.join(", "));
    f.check(closingArrived, "the closing mail did not reach every phone");
    f.same(phones.errors(), QStringList(), "phone errors: " + phones.errors().mid(0, 5).join(" | "));

    const QList<QList<Standing>> standings = expectedStandings();
    const QList<Standing>& final = standings.last();

    // What each phone received: the invitation (so every RCPT was taken),
    // three questions and the closing mail, each after the first telling the
    // player the mark of the previous question, a rank the standing allows
    // and the points so far.
    for (int p = 0; p < kPlayers; ++p) {
        const QList<PhoneMail> mails = phones.received(players[p]);
        QStringList subjects;
        for (const PhoneMail& m : mails) subjects << m.subject;
        if (subjects != (QStringList{invitation} << questionSubjects << closing)) {
            f.list << players[p] + " received: " + subjects.join(" / ");
            continue;
        }
        f.check(!mails[1].body.contains(u("順位:")), players[p] + ": question 1 carries a result block");
        for (int q = 1; q <= kQuestions; ++q) {
            const QList<Standing>& s = standings[q];
            int better = 0, notWorse = 0;
            for (const Standing& o : s) {
                better += ahead(o, s[p]) ? 1 : 0;
                notWorse += ahead(o, s[p]) || sameKey(o, s[p]) ? 1 : 0;
            }
            const QString body = mails[q + 1].body;
            const QRegularExpression rank(u("順位:(\\d+)位\n"));
            const int told = rank.match(body).captured(1).toInt();
            f.check(body.contains(u("問題%1:%2\n").arg(q).arg(s[p].marks[q - 1])) && told > better &&
                        told <= notWorse && body.contains(u("合計得点:%1/%2\n").arg(s[p].points).arg(kTotalPoints)),
                    QStringLiteral("%1, mail %2: expected mark \"%3\", rank %4..%5, points %6; got\n%7")
                        .arg(players[p]).arg(q + 1).arg(s[p].marks[q - 1]).arg(better + 1).arg(notWorse)
                        .arg(s[p].points).arg(body));
        }
    }
    // The invitation in the silent mailboxes too.
    qsizetype copies = 0;
    for (const QString& box : silent) {
        const qsizetype n = RealServers::messages(box).size();
        f.check(n > 0, box + " received no invitation");
        copies += n;
    }
    std::printf("invitation copies stored in the %lld silent mailboxes: %lld\n", (long long)silent.size(),
                (long long)copies);

    // The window: the first page of the ranking, the count of participants.
    QList<Standing> sorted = final;
    std::stable_sort(sorted.begin(), sorted.end(), ahead);
    for (int row = 0; row < 10; ++row) {
        const QString name = form.Text1[row]->text();
        const int p = name.startsWith(u("選手")) ? name.mid(2).toInt() - 1 : -1;
        f.check(p >= 0 && p < kPlayers && sameKey(final[p], sorted[row]) &&
                    form.Text2[row]->text() == QString::number(row + 1) &&
                    form.Text3[row]->text() == QString::number(sorted[row].points),
                QStringLiteral("ranking row %1: %2 %3 %4, expected %5 points").arg(row).arg(name)
                    .arg(form.Text2[row]->text(), form.Text3[row]->text()).arg(sorted[row].points));
    }
    const QString count = u("参加人数(%1人)").arg(kPlayers);
    f.same(form.Label6->text(), count, "ranking count: " + form.Label6->text());
    f.same(form.Label9->text(), count, "joined count: " + form.Label9->text());
    f.same(form.Combo1->currentText(), QStringLiteral("2"), "round selector: " + form.Combo1->currentText());

    // The counter moved on; the roster of round 1 lists the whole book.
    f.same(world.readFile("trv3.dat"), counterFile(2), "trv3.dat does not hold round 2");
    const QByteArray rosterBytes = world.readFile("trv2s1.dat");
    const RawRoster roster(rosterBytes);
    f.check(!roster.overrun && roster.end == rosterBytes.size(), "trv2s1.dat is not one whole roster");
    for (int e = 0; e < kBookEntries && !roster.overrun; ++e) {
        const auto& entry = round.addressBook[e];
        f.check(roster.names[e] == sjb(entry.name) && roster.addresses[e] == entry.address.toLatin1() &&
                    roster.joined[e] == (playerAt[e] >= 0 ? 1 : 0),
                QStringLiteral("roster entry %1: %2 %3 %4").arg(e).arg(fromSjis(roster.names[e].toStdString()))
                    .arg(QString::fromLatin1(roster.addresses[e])).arg(roster.joined[e]));
    }

    // The results: a row for every invitee, the players in the order they
    // joined (the order the phones were added), each with what its phone sent.
    const QByteArray resultBytes = world.readFile("trv71.dat");
    const RawResults results(resultBytes);
    f.check(!results.overrun && results.end == resultBytes.size(), "trv71.dat is not one whole results record");
    f.same(results.participants, kPlayers, QStringLiteral("trv71.dat: %1 participants").arg(results.participants));
    f.same(results.descriptors.size(), qsizetype(10), "trv71.dat: not ten arrays");
    for (int a = 0; a < 7 && a < results.descriptors.size(); ++a)
        f.check(results.descriptors[a].dims == 1 &&
                    results.descriptors[a].countAndLower == (QList<QPair<int, int>>{{kBookEntries, 0}}),
                QStringLiteral("trv71.dat: array %1 is not sized 0..%2").arg(a).arg(kBookEntries - 1));
    for (int a : {7, 8})
        f.check(a < results.descriptors.size() && results.descriptors[a].dims == 2 &&
                    results.descriptors[a].countAndLower ==
                        (QList<QPair<int, int>>{{kBookEntries, 0}, {kQuestions, 1}}),
                QStringLiteral("trv71.dat: array %1 is not sized 0..%2 by 1..%3").arg(a).arg(kBookEntries - 1)
                    .arg(kQuestions));
    if (!results.overrun && results.descriptors.size() == 10 && results.rows() == kBookEntries) {
        int wrongRows = 0;
        for (int p = 0; p < kBookEntries; ++p) {
            const bool used = p < kPlayers;
            const Standing st = used ? final[p] : Standing{};
            bool ok = results.addresses[p] == (used ? playerAddress(p).toLatin1() : QByteArray()) &&
                      results.names[p] == (used ? sjb(playerName(p)) : QByteArray()) &&
                      results.points[p] == st.points && results.arrival[p] == st.arrival &&
                      results.rank[p] == 0 &&   // the ranking is worked out again when a round is shown
                      results.correct[p] == st.correct && results.rate[p] == st.rate;
            for (int q = 1; q <= kQuestions; ++q)
                ok = ok && results.answers[results.at(p, q)] == st.answers[q - 1] &&
                     results.marks[results.at(p, q)] == sjb(st.marks[q - 1]);
            if (ok) continue;
            if (++wrongRows > 5) continue;
            QStringList got, want;
            for (int q = 1; q <= kQuestions; ++q) {
                got << QString::number(results.answers[results.at(p, q)]) +
                           fromSjis(results.marks[results.at(p, q)].toStdString());
                want << QString::number(st.answers[q - 1]) + st.marks[q - 1];
            }
            f.list << QStringLiteral("trv71.dat row %1 (%2): points %3 arrival %4 rank %5 correct %6 rate %7 [%8]; "
                                     "expected points %9 arrival %10 correct %11 rate %12 [%13]")
                          .arg(p).arg(QString::fromLatin1(results.addresses[p])).arg(results.points[p])
                          .arg(results.arrival[p]).arg(results.rank[p]).arg(results.correct[p]).arg(results.rate[p])
                          .arg(got.join(' ')).arg(st.points).arg(st.arrival).arg(st.correct).arg(st.rate)
                          .arg(want.join(' '));
        }
        if (wrongRows > 5) f.list << QStringLiteral("… %1 rows of trv71.dat wrong in all").arg(wrongRows);
    }

    // Nothing left for the operator: late and second answers were cleared.
    const qsizetype left = RealServers::messages(RealServers::operatorAddress).size();
    f.same(left, qsizetype(0), QStringLiteral("%1 message(s) left in the operator's mailbox").arg(left));

    std::map<Kind, int> kinds;
    for (int q = 1; q <= kQuestions; ++q)
        for (int p = 0; p < kPlayers; ++p) ++kinds[kindOf(p, q)];
    std::printf("answers played: %d right, %d wrong, %d silent, %d full-width, %d without marker, %d twice, "
                "%d late; best %d points, %d players on 0\n",
                kinds[Kind::Right], kinds[Kind::Wrong], kinds[Kind::Silent], kinds[Kind::FullWidth],
                kinds[Kind::NoMarker], kinds[Kind::Twice], kinds[Kind::Late], sorted.first().points,
                int(std::count_if(final.begin(), final.end(), [](const Standing& s) { return s.points == 0; })));

    if (!f.list.isEmpty()) {
        std::printf("\nWRONG (%lld):\n", (long long)f.list.size());
        for (const QString& line : f.list.mid(0, 40)) std::printf("  %s\n", qPrintable(line));
        return 1;
    }
    std::printf("\nall checks passed: %d participants stored with their answers, marks, points and arrival; "
                "every phone told its mark, rank and points; counter at round 2\n", kPlayers);
    return 0;
}
