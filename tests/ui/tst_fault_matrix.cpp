// A round played with START while one mail session of it meets a server that
// misbehaves: for every state of the first question's SMTP mailing and of its
// POP3 fetch, a refused connection, a close, silence, one byte per read, a
// temporary or permanent refusal, garbage and a reply line of a megabyte;
// for STARTTLS and STLS also garbage or silence where the handshake should
// begin. The
// round must go on to its end, keep every answer it read and store the
// results, whatever the server did. And a fetch of 500 messages, one of them
// 10 MB, must go through.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

#include <functional>
#include <memory>

#include "codec/Base64.h"
#include "demo/PreparedRound.h"
#include "mail/MessageHeaders.h"
#include "model/Connection.h"
#include "support/IconvText.h"
#include "support/RawRecord.h"
#include "support/ScriptedServer.h"
#include "support/SteppedClock.h"
#include "support/TestWorld.h"
#include "ui/Form1.h"

namespace {

using Answer = ScriptedServer::Answer;

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

// Temporary refusals as providers give them: 451 (local error), 450 (too
// much mail), 452 (too many recipients), 421 (closing).
enum class Fault { Refused, Closed, Silence, OneByte, Temporary, Permanent, Garbage, HugeLine, TlsGarbage, TlsStall,
                   TooMuchMail, TooManyRecipients, Closing };

const char* faultName(Fault f) {
    switch (f) {
    case Fault::Refused: return "refused";
    case Fault::Closed: return "closed";
    case Fault::Silence: return "silence";
    case Fault::OneByte: return "one byte per read";
    case Fault::Temporary: return "451";
    case Fault::Permanent: return "5xx/-ERR";
    case Fault::Garbage: return "garbage";
    case Fault::HugeLine: return "1 MB line";
    case Fault::TlsGarbage: return "garbage for a handshake";
    case Fault::TlsStall: return "stalled handshake";
    case Fault::TooMuchMail: return "450";
    case Fault::TooManyRecipients: return "452";
    case Fault::Closing: return "421";
    }
    return "";
}

constexpr int kMegabyte = 1024 * 1024;
const QByteArray kGarbage("\0\xff\xfe\x1b$B0!garbage\r\n", 18);

// The server's answer to the unit the faulty state waits on, spoilt.
Answer spoil(const Answer& normal, Fault fault, bool pop3) {
    const QByteArray said = normal.chunks.join();
    switch (fault) {
    case Fault::Refused:
    case Fault::Closed: {
        Answer a;
        a.close = true;
        return a;
    }
    case Fault::Silence: return Answer::silence();
    case Fault::OneByte: {
        Answer a = normal;
        a.chunks.clear();
        for (char c : said) a.chunks << QByteArray(1, c);
        a.gapMs = 2;
        return a;
    }
    case Fault::Temporary: return Answer::reply(pop3 ? "-ERR [IN-USE] try again later\r\n" : "451 4.3.0 Try again later\r\n");
    case Fault::TooMuchMail: return Answer::reply("450 4.7.1 Error: too much mail\r\n");
    case Fault::TooManyRecipients: return Answer::reply("452 4.5.3 Too many recipients\r\n");
    case Fault::Closing: return Answer::reply("421 4.7.0 Try again later, closing connection\r\n");
    case Fault::Permanent: return Answer::reply(pop3 ? "-ERR refused\r\n" : "554 5.7.1 Refused\r\n");
    case Fault::Garbage: return Answer::reply(kGarbage);
    case Fault::HugeLine: {
        // The positive reply it should have been, its first line a megabyte long.
        const qsizetype lineEnd = said.indexOf("\r\n");
        Answer a = normal;
        a.chunks = {said.left(lineEnd) + " " + QByteArray(kMegabyte, 'x') + said.mid(lineEnd)};
        return a;
    }
    // The go-ahead for TLS, then no handshake: bytes that are none, or nothing.
    case Fault::TlsGarbage: {
        Answer a = normal;
        a.chunks << kGarbage;
        return a;
    }
    case Fault::TlsStall: return normal;
    }
    return normal;
}

// How the faulty session reaches its server: as of old, with a login (EHLO,
// AUTH in the clear), or through STARTTLS/STLS. The rest of the round goes as
// of old. With a login the mailing goes in groups (the server offers
// PIPELINING); Grouped names the rows whose fault hits a grouped command.
enum class Way { Plain, Login, StartTls, Grouped };

// Where a state's reply is: the greeting (no unit), or the answer to the
// nth unit that begins with `unit` in the faulty connection.
struct Trigger {
    const char* state;   // as the session names it
    QByteArray unit;
    int nth = 1;
    Way way = Way::Plain;
};

// The first question goes to two participants, one transaction each: the
// second message's 250 is the one the Body state waits for; the first one's
// is taken in the Helo state.
const QList<Trigger> kSmtpStates = {
    {"Connect", {}}, {"Helo", "HELO "}, {"Mail From", "MAIL FROM:"}, {"Rcpt To", "RCPT TO:"},
    {"Data", "DATA"}, {"Body", "<message>", 2}, {"Quit", "QUIT"},
    {"Ehlo", "EHLO ", 1, Way::Login}, {"Auth", "AUTH ", 1, Way::Login}, {"StartTls", "STARTTLS", 1, Way::StartTls},
    {"Mail From", "MAIL FROM:", 1, Way::Grouped}, {"Rcpt To", "RCPT TO:", 1, Way::Grouped},
    {"Data", "DATA", 1, Way::Grouped}, {"Body", "<message>", 2, Way::Grouped}, {"Quit", "QUIT", 1, Way::Grouped}};
// The mailbox holds the two answers; the fault hits the second RETR, the
// first DELE.
const QList<Trigger> kPop3States = {
    {"Connect", {}}, {"User", "USER "}, {"Pass", "PASS "}, {"Stat", "STAT"},
    {"Retr", "RETR 2"}, {"Dele", "DELE 1"}, {"Quit", "QUIT"}, {"Stls", "STLS", 1, Way::StartTls}};

// Both mail sessions of the first question are each server's second connection.
constexpr int kFaultyConnection = 2;

// A POP3 maildrop as a real server keeps it: messages marked with DELE go
// only when the client says QUIT; a connection lost before that deletes nothing.
struct Maildrop {
    QList<QByteArray> messages;
    QSet<int> marked;

    Answer answer(const QByteArray& unit) {
        if (unit.startsWith("USER ")) {
            marked.clear();
            return Answer::reply("+OK\r\n");
        }
        if (unit.startsWith("PASS ")) return Answer::reply("+OK Logged in.\r\n");
        if (unit == "STLS") return Answer::reply("+OK Begin TLS negotiation now.\r\n");
        if (unit == "STAT") return Answer::reply("+OK " + QByteArray::number(messages.size()) + " 999\r\n");
        const int n = unit.mid(5).toInt();
        if (unit.startsWith("RETR ") || unit.startsWith("DELE ")) {
            if (n < 1 || n > messages.size()) return Answer::reply("-ERR no such message\r\n");
            if (unit.startsWith("DELE ")) {
                marked.insert(n);
                return Answer::reply("+OK Marked to be deleted.\r\n");
            }
            const QByteArray& m = messages[n - 1];
            return Answer::reply("+OK " + QByteArray::number(m.size()) + " octets\r\n" + m + "\r\n.\r\n");
        }
        if (unit == "QUIT") {
            QList<QByteArray> kept;
            for (int i = 0; i < messages.size(); ++i)
                if (!marked.contains(i + 1)) kept << messages[i];
            messages = kept;
            marked.clear();
            Answer a = Answer::reply("+OK Logging out.\r\n");
            a.close = true;
            return a;
        }
        return Answer::reply("-ERR Unknown command\r\n");
    }
};

// Answers `normal` gives, except the faulty state's reply on the faulty
// connection. Once that has let TLS begin, or fallen silent, the server
// speaks no more on it: a silent server answers no command sent after the
// one it left unanswered either.
ScriptedServer::Responder spoiling(ScriptedServer*& server, std::function<Answer(const QByteArray&)> normal,
                                   const Trigger* trigger, Fault fault, bool pop3) {
    auto seen = std::make_shared<QMap<QByteArray, int>>();
    auto mute = std::make_shared<bool>(false);
    return [&server, normal, trigger, fault, pop3, seen, mute](const QByteArray& unit) {
        const Answer a = normal(unit);
        if (!trigger || trigger->unit.isEmpty() || server->connections != kFaultyConnection) return a;
        if (*mute) return Answer::silence();
        const QByteArray name = unit.endsWith("\r\n.\r\n") ? QByteArray("<message>") : unit;
        if (!name.startsWith(trigger->unit)) return a;
        if (++(*seen)[trigger->unit] != trigger->nth) return a;
        *mute = fault == Fault::TlsGarbage || fault == Fault::TlsStall || fault == Fault::Silence;
        return spoil(a, fault, pop3);
    };
}

// What a provider of today says besides the plain dialogue of old.
std::optional<Answer> esmtpAnswer(const QByteArray& unit) {
    if (unit.startsWith("EHLO "))
        return Answer::reply("250-mx.trivorn.test\r\n250-PIPELINING\r\n250-STARTTLS\r\n250 AUTH PLAIN LOGIN\r\n");
    if (unit.startsWith("AUTH ")) return Answer::reply("235 2.7.0 Authentication successful\r\n");
    if (unit == "STARTTLS") return Answer::reply("220 2.0.0 Ready to start TLS\r\n");
    return std::nullopt;
}

// The connection settings that make the session take `way`.
TransportSettings reachedBy(Way way, bool pop3) {
    TransportSettings t;
    if (way == Way::Login || way == Way::Grouped) {
        t.SmtpLoginKind = stored(LoginKind::Own);
        t.SmtpUser = "quiz@trivorn.test";
        t.SmtpPassword = EncodeBase64Text("trivorn");
    }
    if (way == Way::StartTls) (pop3 ? t.Pop3Protection : t.SmtpProtection) = stored(Protection::StartTls);
    return t;
}

QByteArray answerReply(const char* sender, const QString& subject, int choice) {
    return deliveredReply(sender, encodedWord(u("Re:") + subject), jis(u("答:%1").arg(choice)));
}

// A round on scripted servers, with the fault (if any) set in.
struct MatrixRig {
    TestWorld world;
    SteppedClock clock;
    // Taro and hanako join. Question 1: taro right (1), hanako wrong (2).
    // Question 2: taro right (2), hanako wrong (1).
    PreparedRound round = PreparedRound::small();
    Maildrop maildrop;
    ScriptedServer* smtpServer = nullptr;
    ScriptedServer* pop3Server = nullptr;
    std::unique_ptr<ScriptedServer> smtp, pop3;
    std::unique_ptr<Form1> form;
    QStringList statuses;
    bool sendingFirstQuestion = false;
    int acceptedQuestionMails = 0;   // first question's messages the SMTP server answered 250 on the first try
    QByteArrayList firstQuestionTakenBy;   // whose first-question message it took, retries too
    QByteArray lastRecipient;              // of the latest RCPT TO
    // A command the server puts off (450) whenever it comes while the first
    // question is sent and counted down, on every connection.
    QByteArray alwaysPutOff;
    bool firstQuestionOpen = false;
    int timesPutOff = 0;
    quint16 deadPort = 0;
    TransportSettings smtpWay, pop3Way;   // for the first question's mailing and fetch

    MatrixRig(const Trigger* smtpFault, const Trigger* pop3Fault, Fault fault)
        : smtpWay(reachedBy(smtpFault ? smtpFault->way : Way::Plain, false)),
          pop3Way(reachedBy(pop3Fault ? pop3Fault->way : Way::Plain, true)) {
        world.useClock(clock);
        // Time stands still while a mailing is on the wire: a server answers
        // at once as a round counts its seconds.
        clock.gate = [this] { return !form || !form->roundMail().smtp().running(); };
        QTcpServer probe;   // a port that nobody listens on any more
        probe.listen(QHostAddress::LocalHost, 0);
        deadPort = probe.serverPort();
        probe.close();

        // The first question's messages the server took are counted as it answers them.
        auto smtpAnswers = spoiling(smtpServer, ScriptedServer::smtpAcceptingAll(esmtpAnswer), smtpFault, fault, false);
        smtp = std::make_unique<ScriptedServer>(
            Answer::reply("220 mx.trivorn.test ESMTP\r\n"), [this, smtpAnswers](const QByteArray& unit) {
                Answer a = smtpAnswers(unit);
                if (firstQuestionOpen && !alwaysPutOff.isEmpty() && unit == alwaysPutOff) {
                    a = Answer::reply("450 4.2.1 Mailbox busy, try again later\r\n");
                    ++timesPutOff;
                }
                if (unit.startsWith("RCPT TO:")) lastRecipient = unit.mid(9, unit.indexOf('>') - 9);
                const bool taken = unit.endsWith("\r\n.\r\n") && a.chunks.join().startsWith("250");
                if (sendingFirstQuestion && taken) ++acceptedQuestionMails;
                if (taken && unit.contains(firstQuestionSubject())) firstQuestionTakenBy << lastRecipient;
                return a;
            });
        pop3 = std::make_unique<ScriptedServer>(Answer::reply("+OK Dovecot ready.\r\n"),
                                                spoiling(pop3Server, [this](const QByteArray& unit) {
                                                    return maildrop.answer(unit);
                                                }, pop3Fault, fault, true));
        smtpServer = smtp.get();
        pop3Server = pop3.get();
        if (fault != Fault::Refused) {
            if (smtpFault && smtpFault->unit.isEmpty())
                smtp->greetingFor = [fault](int n) -> std::optional<Answer> {
                    if (n != kFaultyConnection) return std::nullopt;
                    return spoil(Answer::reply("220 mx.trivorn.test ESMTP\r\n"), fault, false);
                };
            if (pop3Fault && pop3Fault->unit.isEmpty())
                pop3->greetingFor = [fault](int n) -> std::optional<Answer> {
                    if (n != kFaultyConnection) return std::nullopt;
                    return spoil(Answer::reply("+OK Dovecot ready.\r\n"), fault, true);
                };
        }
    }

    QString subject(int q) const { return fromSjis(round.questionSet().Subject[q]); }
    QByteArray firstQuestionSubject() const {
        return QByteArray::fromStdString(TextField("Subject", round.questionSet().Subject[1]));
    }
    QByteArray joining(const char* sender, const QByteArray& body = "join") const {
        return deliveredReply(sender, encodedWord(u("Re:") + fromSjis(round.invitation().Subject)), body);
    }

    // Plays the whole round; the players answer as each countdown begins.
    void play(bool smtpRefused = false, bool pop3Refused = false) {
        if (maildrop.messages.isEmpty()) maildrop.messages = {joining("taro@docomo.ne.jp"), joining("hanako@ezweb.ne.jp")};
        QVERIFY(round.writeTo(world.files));
        form = std::make_unique<Form1>(world.module1, [this] { return world.appFolder(); });
        Form1& f = *form;
        f.roundMail().overrides.smtpPort = smtp->port();
        f.roundMail().overrides.pop3Port = pop3->port();
        f.roundMail().overrides.timeoutMs = 1000;
        const QString q1 = subject(1), q2 = subject(2);
        QObject::connect(f.Text7, &QLineEdit::textChanged, [&, q1, q2, smtpRefused, pop3Refused](const QString& t) {
            statuses << t;
            TransportSettings& transport = world.module1.transport;
            if (t == q1 + u("の送信です。しばらくお待ち下さい。")) {
                sendingFirstQuestion = true;
                firstQuestionOpen = true;
                if (smtpRefused) f.roundMail().overrides.smtpPort = deadPort;
                transport = smtpWay;
            }
            // The end of the mailing, with whom it could not reach after it, if
            // any, or what failed.
            if (t.startsWith(q1 + u("の送信終了しました。")) || t.startsWith(q1 + u("を送信できませんでした。"))) {
                sendingFirstQuestion = false;
                f.roundMail().overrides.smtpPort = smtp->port();
                transport = TransportSettings();
            }
            // The countdown's first line, with a note of mail put off if any.
            if (t.startsWith(q1 + u("の返信待ちです。 1分お待ち下さい。"))) {
                maildrop.messages << answerReply("taro@docomo.ne.jp", q1, 1) << answerReply("hanako@ezweb.ne.jp", q1, 2);
                if (pop3Refused) f.roundMail().overrides.pop3Port = deadPort;
                transport = pop3Way;
            }
            if (t == q2 + u("の送信です。しばらくお待ち下さい。")) {
                firstQuestionOpen = false;
                f.roundMail().overrides.pop3Port = pop3->port();
                transport = TransportSettings();
            }
            if (t.startsWith(q2 + u("の返信待ちです。 1分お待ち下さい。")))
                maildrop.messages << answerReply("taro@docomo.ne.jp", q2, 2) << answerReply("hanako@ezweb.ne.jp", q2, 1);
        });
        f.show();
        QTest::mouseClick(f.Command6, Qt::LeftButton);
    }
};

}  // namespace

class TestFaultMatrix : public QObject {
    Q_OBJECT
private slots:
    void roundThroughAFaultyServer_data();
    void roundThroughAFaultyServer();
    void fetchOf500MessagesWithOneOf10MB();
    void putOffUntilTimeRunsOut();
};

void TestFaultMatrix::roundThroughAFaultyServer_data() {
    QTest::addColumn<bool>("pop3");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("fault");
    const QList<Fault> faults = {Fault::Closed, Fault::Silence, Fault::OneByte, Fault::Temporary,
                                 Fault::Permanent, Fault::Garbage, Fault::HugeLine};
    // The scripted servers cannot go on in TLS, so a reply that lets the
    // handshake begin is a fault of its own there, never harmless.
    const QList<Fault> tlsFaults = {Fault::Closed, Fault::Silence, Fault::Temporary, Fault::Permanent,
                                    Fault::Garbage, Fault::TlsGarbage, Fault::TlsStall};
    for (bool pop3 : {false, true}) {
        const QList<Trigger>& states = pop3 ? kPop3States : kSmtpStates;
        for (int s = 0; s < states.size(); ++s) {
            QList<Fault> here = states[s].way == Way::StartTls ? tlsFaults : faults;
            if (s == 0) here.prepend(Fault::Refused);
            // POP3 has one kind of refusal only; SMTP puts off in four words.
            if (pop3) here.removeAll(Fault::Temporary);
            else here << Fault::TooMuchMail << Fault::TooManyRecipients << Fault::Closing;
            for (Fault f : here)
                QTest::addRow("%s %s%s %s", pop3 ? "POP3" : "SMTP", states[s].state,
                              states[s].way == Way::Grouped ? " (grouped)" : "", faultName(f))
                    << pop3 << s << int(f);
        }
    }
}

// The round reaches its end and stores the results; the first question
// counts exactly the answers that were read before the fault, the second
// question counts as usual; message boxes never wait for the operator and
// say only what went wrong.
void TestFaultMatrix::roundThroughAFaultyServer() {
    QFETCH(bool, pop3);
    QFETCH(int, state);
    QFETCH(int, fault);
    const Fault kind = Fault(fault);
    const Trigger& trigger = (pop3 ? kPop3States : kSmtpStates)[state];
    const QByteArray stateName = trigger.state;
    MatrixRig rig(pop3 ? nullptr : &trigger, pop3 ? &trigger : nullptr, kind);
    rig.play(!pop3 && kind == Fault::Refused, pop3 && kind == Fault::Refused);
    if (QTest::currentTestFailed()) return;
    Form1& f = *rig.form;

    // What the fault leaves of the first question. A reply that arrives whole,
    // however slowly or oddly long, is as good as a normal one. A refusal of
    // taro's RCPT TO or DATA, or of hanako's message, costs that one player
    // the mail; hanako or taro still gets theirs.
    // An EHLO reply beyond the reader's bound is cut, and the offer of AUTH
    // with it.
    const bool harmless = kind == Fault::OneByte || (kind == Fault::HugeLine && stateName != "Ehlo");
    const bool temporary = kind == Fault::Temporary || kind == Fault::TooMuchMail ||
                           kind == Fault::TooManyRecipients || kind == Fault::Closing;
    const bool refusal = temporary || kind == Fault::Permanent || kind == Fault::Garbage;
    // Put off, by a 4xx or by the server closing once it has greeted: the
    // mail goes on a later connection while the countdown runs, to each
    // player once.
    const bool putOff = !pop3 && stateName != "Quit" &&
                        (temporary || (kind == Fault::Closed && stateName != "Connect"));
    // In a group, the NUL after the garbage line spoils the reply that
    // follows it, DATA's 354: the server waits for a text the client does
    // not send, and the time-out ends the mailing.
    const bool spoilsNext = trigger.way == Way::Grouped && kind == Fault::Garbage && stateName == "Rcpt To";
    const bool onePlayer =
        refusal && !spoilsNext && (stateName == "Rcpt To" || stateName == "Data" || stateName == "Body");
    int mailsTaken = 2;                  // of the first question, by the SMTP server
    int mailsSent = 2;                   // of the first question, message texts sent
    QList<int> firstAnswers{1, 2};       // taro's and hanako's, as stored
    if (!pop3 && !harmless) {
        if (onePlayer) mailsTaken = 1;
        else if (stateName == "Body") mailsTaken = 1;
        else if (stateName != "Quit") mailsTaken = 0;
        if (stateName == "Rcpt To" || stateName == "Data") mailsSent = onePlayer ? 1 : 0;
        else if (stateName != "Body" && stateName != "Quit") mailsSent = 0;
    }
    if (pop3 && !harmless) {
        if (stateName == "Retr") firstAnswers = {1, 0};
        else if (stateName != "Dele" && stateName != "Quit") firstAnswers = {0, 0};
    }
    QStringList boxes;
    if (kind == Fault::Refused) boxes << "ERR(10061;Connection refused)";
    // A handshake that meets garbage fails at once; either way the session
    // ends at its time-out, as after a refused connection.
    if (kind == Fault::TlsGarbage) boxes << "ERR(13;…)";
    if (kind == Fault::Refused || kind == Fault::Silence || kind == Fault::TlsGarbage || kind == Fault::TlsStall ||
        spoilsNext)
        boxes << "Time Out Err";
    // A refused login is said as such, never taken for a mailbox without replies.
    if (pop3 && kind == Fault::Permanent && (stateName == "User" || stateName == "Pass"))
        boxes << rig.subject(1) + u("の返信を受信できませんでした。受信メールサーバーがログインを拒否しました（-ERR refused）。"
                                     "メールの設定で「アカウント名」と「パスワード」を確かめて下さい。");
    // So is a refused SMTP login, in the server's words made readable.
    const QString authReply = kind == Fault::Permanent ? u("554 5.7.1 Refused") : u("????$B0!garbage");
    if (!pop3 && refusal && !putOff && stateName == "Auth")
        boxes << rig.subject(1) + u("を送信できませんでした。送信メールサーバーがログインを拒否しました（") + authReply +
                     u("）。メールの設定の「接続」で、送信の認証と送信のアカウント名・パスワードを確かめて下さい。");

    QCOMPARE(f.Text7->text(), u("クイズ終了しました。"));
    // The TLS library's own words vary with its version.
    QStringList shownBoxes = rig.world.messageBox.texts();
    for (QString& text : shownBoxes)
        if (text.startsWith("ERR(13;")) text = "ERR(13;…)";
    QCOMPARE(shownBoxes, boxes);
    for (const auto& shown : rig.world.messageBox.shown) QVERIFY(!shown.blocking);
    QVERIFY(f.Command6->isEnabled());
    QCOMPARE(rig.world.readFile("trv3.dat"), counterFile(2));

    const RawResults results(rig.world.readFile("trv71.dat"));
    QVERIFY(!results.overrun);
    QCOMPARE(results.participants, 2);
    QCOMPARE((QList<int>{results.answers[results.at(0, 1)], results.answers[results.at(1, 1)]}), firstAnswers);
    QCOMPARE((QList<int>{results.answers[results.at(0, 2)], results.answers[results.at(1, 2)]}), (QList<int>{2, 1}));
    const int taroPoints = (firstAnswers[0] == 1 ? 10 : 0) + 20;
    QCOMPARE(results.points[0], taroPoints);
    // Every reply was read in the end: late ones by the next fetch.
    QCOMPARE(rig.maildrop.messages.size(), 0);

    // The question went out as far as the server let it, what it put off
    // on a later connection, to each player once; the later mailings went
    // out whole on connections of their own.
    if (putOff) {
        QByteArrayList takenBy = rig.firstQuestionTakenBy;
        std::sort(takenBy.begin(), takenBy.end());
        QCOMPARE(takenBy, (QByteArrayList{"hanako@ezweb.ne.jp", "taro@docomo.ne.jp"}));
        const QByteArray log = rig.world.readFile("delivery1.log");
        QVERIFY2(log.contains("\t" + u("再送で送信").toUtf8() + "\t"), log.constData());
    } else {
        QCOMPARE(rig.acceptedQuestionMails, mailsTaken);
        QCOMPARE(rig.smtp->commands().count("<message>"), 1 + mailsSent + 2 + 2);
    }
    // A refusal or garbage is named in the status line, as the code the server gave.
    const QStringList shownErrors = rig.statuses.filter(QRegularExpression("^ERR : "));
    if (!pop3 && refusal && stateName != "Quit") {
        QCOMPARE(shownErrors.size(), 1);
        // Garbage shows its first three bytes, whatever they are.
        const QString code = temporary ? QString::fromLatin1(faultName(kind)) : kind == Fault::Permanent ? u("554") : QString();
        QCOMPARE(shownErrors[0].left(6 + code.size()), u("ERR : ") + code);
        // A refused login shows the server's whole line.
        if (stateName != "Auth" || putOff) QCOMPARE(shownErrors[0].size(), 9);
        else if (kind != Fault::Garbage) QCOMPARE(shownErrors[0], u("ERR : ") + authReply);
    } else {
        QCOMPARE(shownErrors, QStringList());
    }
    qInfo("%s | %s | %s | boxes: %s | status: %s", pop3 ? "POP3" : "SMTP", trigger.state, faultName(kind),
          qPrintable(boxes.join(", ")), qPrintable(shownErrors.join(", ")));
}

// The operator's mailbox has filled up before the invitation's replies are
// fetched: 500 messages, most of them not for the round, one of them a
// player's 10 MB photo. Every message is read, the three joining replies are
// taken (the big one too) and deleted, the rest stays, and the round goes on.
void TestFaultMatrix::fetchOf500MessagesWithOneOf10MB() {
    MatrixRig rig(nullptr, nullptr, Fault::Closed);
    QByteArray photo = "--b\r\nContent-Type: image/jpeg\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    const QByteArray line = QByteArray(76, 'A') + "\r\n";
    while (photo.size() < 10 * kMegabyte) photo += (photo.size() % 4096 < 78 ? "." + line : line);
    photo += "--b--\r\n";
    QList<QByteArray>& box = rig.maildrop.messages;
    for (int i = 1; i <= 500; ++i) {
        if (i == 1) box << rig.joining("taro@docomo.ne.jp");
        else if (i == 250) box << rig.joining("jiro@t.vodafone.ne.jp", photo);
        else if (i == 500) box << rig.joining("hanako@ezweb.ne.jp");
        else if (i % 2) box << deliveredReply("news@shop.example", "Sale " + QByteArray::number(i), "buy now");
        else box << deliveredReply("taro@docomo.ne.jp", encodedWord(u("Re:昨日の件")), jis(u("了解です")));
    }

    rig.play();

    Form1& f = *rig.form;
    QCOMPARE(f.Text7->text(), u("クイズ終了しました。"));
    QCOMPARE(rig.world.messageBox.texts(), QStringList());
    // The first fetch asked for every message once and deleted the three joining ones.
    const QList<QByteArray> commands = rig.pop3->commands();
    const qsizetype secondLogin = commands.indexOf("USER quiz@trivorn.test", 1);
    QVERIFY(secondLogin > 0);
    QList<QByteArray> retrieved, deleted;
    for (const QByteArray& c : commands.mid(0, secondLogin)) {
        if (c.startsWith("RETR ")) retrieved << c;
        if (c.startsWith("DELE ")) deleted << c;
    }
    QCOMPARE(retrieved.size(), 500);
    QCOMPARE(retrieved.last(), QByteArray("RETR 500"));
    QCOMPARE(deleted, (QList<QByteArray>{"DELE 1", "DELE 250", "DELE 500"}));
    QCOMPARE(f.Label6->text(), u("参加人数(3人)"));

    const RawResults results(rig.world.readFile("trv71.dat"));
    QVERIFY(!results.overrun);
    QCOMPARE(results.participants, 3);
    // In the order their replies came.
    QCOMPARE(results.names, (QList<QByteArray>{sjis(u("山田")).c_str(), sjis(u("佐藤")).c_str(), sjis(u("鈴木")).c_str()}));
    QCOMPARE(rig.maildrop.messages.size(), 497);
}

// A server that puts off hanako's first question on every try: it goes
// again after 15 s and 30 s more, and is given up 10 s before the countdown
// ends, logged and counted; the round goes on, taro's mail is unharmed.
void TestFaultMatrix::putOffUntilTimeRunsOut() {
    MatrixRig rig(nullptr, nullptr, Fault::Closed);
    rig.alwaysPutOff = "RCPT TO:<hanako@ezweb.ne.jp>";
    rig.play();
    Form1& f = *rig.form;
    QCOMPARE(f.Text7->text(), u("クイズ終了しました。"));
    QCOMPARE(rig.firstQuestionTakenBy, QByteArrayList{"taro@docomo.ne.jp"});
    // The first try and two more, each put off; no fourth: 15 + 30 + 60 s
    // is past the 50 s a question's mail is of use.
    QCOMPARE(rig.timesPutOff, 3);
    QVERIFY(f.Undelivered->isVisible());
    QCOMPARE(f.Undelivered->text(), u("送信できなかったアドレス: 1件"));
    QStringList log = QString::fromUtf8(rig.world.readFile("delivery1.log")).split('\n', Qt::SkipEmptyParts);
    for (QString& line : log) line = line.section('\t', 1);   // without the time
    QCOMPARE(log, (QStringList{u("問題1\thanako@ezweb.ne.jp\tRCPT TO 一時的に拒否\t450 4.2.1 Mailbox busy, try again later"),
                               u("問題1\thanako@ezweb.ne.jp\t再送をあきらめました\t450 4.2.1 Mailbox busy, try again later")}));
    const RawResults results(rig.world.readFile("trv71.dat"));
    QCOMPARE(results.answers[results.at(1, 1)], 2);   // she answered all the same: the fetch reads it
}

QTEST_MAIN(TestFaultMatrix)
#include "tst_fault_matrix.moc"
