// START on the main window against scripted mail servers, with the clock in
// the test's hands: the set-up checks, the status texts of a whole round with
// a session time-out inside it, results that cannot be stored, the window
// closed during a countdown, and the display of past rounds.
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTcpServer>
#include <QtTest>

#include <sys/resource.h>

#include <csignal>
#include <functional>
#include <memory>

#include "model/QuestionRules.h"
#include "model/RecordFiles.h"
#include "model/RoundFiles.h"
#include "support/IconvText.h"
#include "support/OperatorActions.h"
#include "demo/PreparedRound.h"
#include "demo/SimulatedPhones.h"
#include "support/RawRecord.h"
#include "support/ScriptedServer.h"
#include "support/SjisLiterals.h"
#include "support/SteppedClock.h"
#include "support/TestWorld.h"
#include "ui/Form1.h"
#include "ui/ResultsWindow.h"
#include "ui/Widgets.h"

namespace {

using Answer = ScriptedServer::Answer;

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

// Every file of the folder with its bytes.
QMap<QString, QByteArray> snapshot(const TestWorld& world) {
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(world.folder()).entryList(QDir::Files)) files[name] = world.readFile(name);
    return files;
}

QList<QWidget*> roundControls(Form1& f) {
    return {f.Command1, f.Command2, f.Command3, f.Command4, f.Command5, f.Command6, f.Command7, f.Combo1};
}

// The status texts a round writes itself, in order: its phases and the
// countdowns (not the sessions' own texts in between).
QStringList runTexts(const QStringList& statuses) {
    QStringList out;
    for (const QString& s : statuses) {
        if (s.endsWith(u("の送信です。しばらくお待ち下さい。")) || s.endsWith(u("の送信終了しました。")) ||
            s.endsWith(u("の受信です。しばらくお待ち下さい。")) || s.contains(u("の返信待ちです。 ")) ||
            s == u("クイズ終了しました。") || s == u("参加者がいない為終了しました。") ||
            s == u("結果を保存できませんでした。"))
            out << s;
    }
    return out;
}

QStringList countdownTexts(const QString& subject, int minutes) {
    QStringList out{subject + u("の返信待ちです。 %1分お待ち下さい。").arg(minutes)};
    for (int left = minutes * 60 - 1; left >= 0; --left)
        out << subject + u("の返信待ちです。 %1分%2秒お待ち下さい。").arg(left / 60).arg(left % 60);
    return out;
}

// A round on scripted servers: SMTP takes everything, POP3 serves the replies
// the test lays out per awaited subject.
struct Rig {
    TestWorld world;
    SteppedClock clock;
    ScriptedServer smtp{Answer::reply("220 mx.trivorn.test ESMTP\r\n"), ScriptedServer::smtpAcceptingAll()};
    QMap<QByteArray, QList<QByteArray>> replies;   // by awaited subject (Shift_JIS "Re:" + subject)
    ScriptedServer pop3{Answer::reply("+OK Dovecot ready.\r\n"),
                        ScriptedServer::pop3Serving([this] { return replies.value(awaited()); })};
    PreparedRound round = PreparedRound::small();
    std::unique_ptr<Form1> form;
    QStringList statuses;

    Rig() { world.useClock(clock); }

    // "Re:" and the subject of the mail the round sent last: whose replies
    // it fetches next.
    QByteArray awaited() const {
        for (auto it = smtp.received.crbegin(); it != smtp.received.crend(); ++it) {
            const RealServers::StoredMail sent = RealServers::splitStoredMail(QByteArray(*it).replace("\r\n", "\n"));
            if (!sent.subject.isEmpty()) return "Re:" + QByteArray::fromStdString(sj(readHeaderText(sent.subject).value_or("")));
        }
        return {};
    }

    // Writes the round and opens the main window on it.
    Form1& open() {
        if (!round.writeTo(world.files)) qWarning("the prepared round was not written");
        form = std::make_unique<Form1>(world.module1, [this] { return world.appFolder(); });
        form->roundMail().overrides.smtpPort = smtp.port();
        form->roundMail().overrides.pop3Port = pop3.port();
        form->roundMail().overrides.timeoutMs = 1500;
        QObject::connect(form->Text7, &QLineEdit::textChanged, [this](const QString& t) { statuses << t; });
        form->show();
        return *form;
    }

    // taro and hanako join; taro answers question 2 right, hanako wrong.
    void joinAndAnswer() {
        const PreparedRound& r = round;
        const QString invitation = fromSjis(r.invitation().Subject);
        const QString second = fromSjis(r.questionSet().Subject[2]);
        replies[QByteArray::fromStdString("Re:" + r.invitation().Subject)] = {
            deliveredReply("taro@docomo.ne.jp", encodedWord(u("Re:") + invitation), "join"),
            deliveredReply("hanako@ezweb.ne.jp", "Re: " + jis(invitation), "join")};
        replies[QByteArray::fromStdString("Re:" + r.questionSet().Subject[2])] = {
            deliveredReply("taro@docomo.ne.jp", encodedWord(u("Re:") + second), jis(u("答:2"))),
            deliveredReply("hanako@ezweb.ne.jp", encodedWord(u("Re:") + second), jis(u("答:1")))};
    }
};

}  // namespace

class TestRound : public QObject {
    Q_OBJECT
private slots:
    void setupChecks_data();
    void setupChecks();
    void wholeRoundWithATimeOut();
    void invitationThatCannotGoOut_data();
    void invitationThatCannotGoOut();
    void resultsThatCannotBeStored_data();
    void resultsThatCannotBeStored();
    void pastRounds_data();
    void pastRounds();
    void closingTheWindowDuringACountdown();
};

// ---- Set-up checks ---------------------------------------------------------

namespace {
struct SetupCase {
    const char* name;
    std::function<void(PreparedRound&)> edit;   // before the files are written
    std::function<void(TestWorld&)> after;       // on the written files
    const char* message;
};

void rewriteQuestionCount(TestWorld& w, const char* count) {
    auto set = std::make_unique<QuestionSet>(PreparedRound::small().questionSet());
    set->QuestionCount = count;
    writeRecordFile(w.files, "trv51.dat", *set);
}

QList<SetupCase> setupCases() {
    auto remove = [](const QStringList& names) {
        return [names](TestWorld& w) {
            for (const QString& n : names) w.removeFile(n);
        };
    };
    const char* mail = "メールの設定をして下さい。";
    const char* book = "アドレス帳の設定をして下さい。";
    const char* invitation = "クイズ参加確認の設定をして下さい。";
    const char* questions = "問題を入力して下さい。";
    const char* closing = "クイズ終了を設定して下さい。";
    const char* nobody = "送信するアドレスがありません。";
    return {
        {"nothing set up", {}, remove({"trv1.dat", "trv2.dat", "trv3.dat", "trv41.dat", "trv51.dat", "trv61.dat"}), mail},
        {"no POP3 server", [](PreparedRound& r) { r.pop3Server.clear(); }, {}, mail},
        {"slot 0 has an address but no name", [](PreparedRound& r) { r.addressBook[0].name.clear(); }, {}, book},
        {"no address book, no invitation", {}, remove({"trv2.dat", "trv41.dat"}), book},
        {"no invitation, no questions", {}, remove({"trv41.dat", "trv51.dat"}), invitation},
        {"invitation without greeting", {},
         [](TestWorld& w) {
             RawMailFile f(w.readFile("trv41.dat"));
             f.greeting.clear();
             w.writeFile("trv41.dat", f.bytes());
         },
         invitation},
        {"no questions, no closing mail", {}, remove({"trv51.dat", "trv61.dat"}), questions},
        {"question count 0", {}, [](TestWorld& w) { rewriteQuestionCount(w, "0"); }, questions},
        {"question count 101", {}, [](TestWorld& w) { rewriteQuestionCount(w, "101"); }, questions},
        {"question count not a number", {}, [](TestWorld& w) { rewriteQuestionCount(w, "2a"); }, questions},
        {"no closing mail", {}, remove({"trv61.dat"}), closing},
        // The operator, asked, would rather not pass the provider's daily quota.
        {"more recipients than the daily limit, and the operator stops",
         {},
         [](TestWorld& w) {
             TransportSettings t;
             t.DailyRecipientLimit = 3;
             writeRecordFile(w.files, "trv1x.dat", t);
             w.messageBox.answer = false;
         },
         "1日の送信上限を超えるおそれがあるため、クイズを始めませんでした。"},
        {"nobody marked for sending",
         [](PreparedRound& r) {
             for (auto& e : r.addressBook) e.send = false;
         },
         {}, nobody},
        {"marked slots without an address",
         [](PreparedRound& r) {
             r.addressBook[0].address = " ";
             r.addressBook[1].address.clear();
             r.addressBook[2].send = false;
         },
         {}, nobody},
    };
}
}  // namespace

void TestRound::setupChecks_data() {
    QTest::addColumn<int>("index");
    const QList<SetupCase> cases = setupCases();
    for (int i = 0; i < cases.size(); ++i) QTest::newRow(cases[i].name) << i;
}

// Each check stops START with its message, in the order the files are read,
// before any connection is made and without writing or creating any file.
void TestRound::setupChecks() {
    QFETCH(int, index);
    const SetupCase c = setupCases()[index];
    Rig rig;
    if (c.edit) c.edit(rig.round);
    QVERIFY(rig.round.writeTo(rig.world.files));
    if (c.after) c.after(rig.world);
    rig.form = std::make_unique<Form1>(rig.world.module1, [&] { return rig.world.appFolder(); });
    Form1& f = *rig.form;
    f.roundMail().overrides.smtpPort = rig.smtp.port();
    f.roundMail().overrides.pop3Port = rig.pop3.port();
    f.show();
    const auto before = snapshot(rig.world);

    QTest::mouseClick(f.Command6, Qt::LeftButton);

    QCOMPARE(f.Text7->text(), u(c.message));
    QCOMPARE(rig.smtp.connections, 0);
    QCOMPARE(rig.pop3.connections, 0);
    QCOMPARE(snapshot(rig.world), before);
    QVERIFY(!f.roundRunning());
    for (QWidget* w : roundControls(f)) QVERIFY2(w->isEnabled(), qPrintable(w->accessibleName()));
}

// ---- An invitation that cannot go out -----------------------------------------

// Rather than count down for replies that cannot come, the round does not
// start: one message says what failed, why and what to do; no fetch, no
// question, nothing stored, and START is ready again.
void TestRound::invitationThatCannotGoOut_data() {
    QTest::addColumn<int>("server");   // 0: nobody listens, 1: silent, 2: refuses every address, 3: over quota
    QTest::addColumn<QString>("why");
    const QString what = u("参加確認のメールを送信できなかったため、クイズを始めませんでした。");
    QTest::newRow("nobody listens") << 0 << what + u("送信メールサーバーに接続できません（ERR(10061;");
    QTest::newRow("silent") << 1 << what + u("送信メールサーバーが応答しません。メールの設定で「送信メール　[SMTP]」と、"
                                            "「接続」の送信ポートと送信の暗号化を確かめて下さい。");
    QTest::newRow("every address refused")
        << 2 << what + u("どのアドレスも送信メールサーバーに受け付けられませんでした（550 5.1.1 User unknown）。"
                         "アドレス帳のアドレスを確かめて下さい。");
    QTest::newRow("sender refused for a quota")
        << 3 << what + u("送信数の上限に達したようです: 550 5.4.5 Daily user sending quota exceeded。"
                         "時間をおいてから、またはプロバイダの送信数の上限を確かめてから、もう一度ＳＴＡＲＴを押して下さい。");
}

void TestRound::invitationThatCannotGoOut() {
    QFETCH(int, server);
    QFETCH(QString, why);
    Rig rig;
    ScriptedServer silent(Answer::silence(), {});
    ScriptedServer refusing(Answer::reply("220 mx ESMTP\r\n"),
                            ScriptedServer::smtpAcceptingAll([](const QByteArray& u) -> std::optional<Answer> {
                                if (u.startsWith("RCPT TO:")) return Answer::reply("550 5.1.1 User unknown\r\n");
                                return std::nullopt;
                            }));
    ScriptedServer overQuota(Answer::reply("220 mx ESMTP\r\n"),
                             ScriptedServer::smtpAcceptingAll([](const QByteArray& u) -> std::optional<Answer> {
                                 if (u.startsWith("MAIL FROM:"))
                                     return Answer::reply("550 5.4.5 Daily user sending quota exceeded\r\n");
                                 return std::nullopt;
                             }));
    QTcpServer probe;   // a port nobody listens on any more
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 deadPort = probe.serverPort();
    probe.close();
    Form1& f = rig.open();
    const quint16 ports[] = {deadPort, silent.port(), refusing.port(), overQuota.port()};
    f.roundMail().overrides.smtpPort = ports[server];
    const auto before = snapshot(rig.world);

    QTest::mouseClick(f.Command6, Qt::LeftButton);

    QCOMPARE(rig.world.messageBox.texts().size(), 1);
    const QString said = rig.world.messageBox.texts()[0];
    QVERIFY2(server == 0 ? said.startsWith(why) : said == why, qPrintable(said));
    QCOMPARE(f.Text7->text(), said);
    QCOMPARE(rig.pop3.connections, 0);
    QCOMPARE(snapshot(rig.world), before);
    QVERIFY(!f.roundRunning());
    for (QWidget* w : roundControls(f)) QVERIFY2(w->isEnabled(), qPrintable(w->accessibleName()));
}

// ---- A whole round -----------------------------------------------------------

// Two players join; the first question's fetch meets a silent server and
// times out, the round goes on, everybody's missing answer is marked wrong.
// Replies to the invitation are fetched at once (no reply time). The status line shows every phase
// text in order, the buttons stay off after the time-out until the end, and
// the round is stored under its number.
void TestRound::wholeRoundWithATimeOut() {
    Rig rig;
    rig.joinAndAnswer();
    ScriptedServer silent(Answer::silence(), {});
    Form1& f = rig.open();
    Module1& m = rig.world.module1;
    const QuestionSet set = rig.round.questionSet();
    const QString invitation = fromSjis(rig.round.invitation().Subject);
    const QString q1 = fromSjis(set.Subject[1]);
    const QString q2 = fromSjis(set.Subject[2]);
    const QString closing = fromSjis(rig.round.closingMail().Subject);

    // The clock is read throughout the countdowns: the first question's fetch
    // goes to the silent server, and during the second countdown (after the
    // time-out) the operator tries the buttons.
    int editorsOpened = 0;
    f.setEditorFactory(1, [&] {
        ++editorsOpened;
        return nullptr;
    });
    QList<bool> enabledAfterTimeOut;
    int smtpBefore = -1, smtpAfterClicks = -2;
    bool resultsOfferedMeanwhile = true;
    rig.clock.gate = [&] {
        const QString status = f.Text7->text();
        if (status.startsWith(q1 + u("の返信待ち"))) f.roundMail().overrides.pop3Port = silent.port();
        if (status.startsWith(q2 + u("の返信待ち")) && enabledAfterTimeOut.isEmpty()) {
            f.roundMail().overrides.pop3Port = rig.pop3.port();
            for (QWidget* w : roundControls(f)) enabledAfterTimeOut << w->isEnabled();
            resultsOfferedMeanwhile = f.ResultsButton->isEnabled();
            smtpBefore = rig.smtp.connections;
            f.Command6_Click();   // reached even though the button is off
            f.Command1_Click();
            smtpAfterClicks = rig.smtp.connections;
        }
        return true;
    };

    QTest::mouseClick(f.Command6, Qt::LeftButton);

    QStringList expected{invitation + u("の送信です。しばらくお待ち下さい。"), invitation + u("の送信終了しました。")};
    expected << countdownTexts(invitation, 0);
    expected << invitation + u("の受信です。しばらくお待ち下さい。");
    expected << q1 + u("の送信です。しばらくお待ち下さい。") << q1 + u("の送信終了しました。");
    expected << countdownTexts(q1, 1);
    expected << q2 + u("の送信です。しばらくお待ち下さい。") << q2 + u("の送信終了しました。");
    expected << countdownTexts(q2, 1);
    expected << closing + u("の送信です。しばらくお待ち下さい。") << u("クイズ終了しました。");
    QCOMPARE(runTexts(rig.statuses), expected);
    QCOMPARE(f.Text7->text(), u("クイズ終了しました。"));

    QCOMPARE(rig.world.messageBox.texts(), QStringList{"Time Out Err"});
    QVERIFY(!rig.world.messageBox.shown[0].blocking);
    QCOMPARE(enabledAfterTimeOut, QList<bool>(8, false));
    QCOMPARE(editorsOpened, 0);
    QCOMPARE(smtpAfterClicks, smtpBefore);
    // Invitation, two questions and the closing mail; each question and the
    // closing mail one copy per participant.
    QCOMPARE(rig.smtp.connections, 4);
    QCOMPARE(rig.smtp.commands().count("<message>"), 7);
    QCOMPARE(rig.smtp.commands().count("RCPT TO:<jiro@t.vodafone.ne.jp>"), 1);

    // The grids show the last ranking and who joined; the window is ready for
    // the next round.
    QCOMPARE(f.Text1[0]->text(), u("山田"));
    QCOMPARE(f.Text2[0]->text(), u("1"));
    QCOMPARE(f.Text3[0]->text(), u("20"));
    QCOMPARE(f.Text4[0]->text(), u("(20/30)  50%"));
    QCOMPARE(f.Text1[1]->text(), u("鈴木"));
    QCOMPARE(f.Text4[1]->text(), u("(0/30)  0%"));
    QVERIFY(f.Text1[2]->text().isEmpty());
    QCOMPARE((QStringList{f.Text5[0]->text(), f.Text6[0]->text(), f.Text5[2]->text(), f.Text6[2]->text()}),
             (QStringList{u("山田"), u("○"), u("佐藤"), u("×")}));
    QCOMPARE(f.Label6->text(), u("参加人数(2人)"));
    QCOMPARE(f.Label9->text(), u("参加人数(2人)"));
    QCOMPARE(f.Combo1->currentText(), u("2"));
    QCOMPARE(op::entries(f.Combo1), op::numbers(1, 2));
    for (QWidget* w : roundControls(f)) QVERIFY(w->isEnabled());
    QCOMPARE(f.VScroll1->maximum(), 0);
    QCOMPARE(rig.world.readFile("trv3.dat"), counterFile(2));
    QVERIFY(!f.roundRunning());

    const RawResults results(rig.world.readFile("trv71.dat"));
    QVERIFY(!results.overrun);
    QCOMPARE(results.participants, 2);
    for (int p = 0; p < 2; ++p) {
        QCOMPARE(results.marks[results.at(p, 1)], QByteArray::fromStdString(sj(u("×"))));
        QCOMPARE(results.answers[results.at(p, 1)], 0);
    }
    QCOMPARE(results.answers[results.at(0, 2)], 2);
    QCOMPARE(results.answers[results.at(1, 2)], 1);
    QCOMPARE(m.quizRun.CurrentRound, std::int16_t(2));

    // The round just played, still in the grids, is what the results open on.
    QVERIFY(!resultsOfferedMeanwhile);
    QVERIFY(f.ResultsButton->isEnabled());
    f.ResultsButton->click();
    QCOMPARE(f.resultsWindow()->Heading->text(), u("第1回クイズ大会 結果"));
    QCOMPARE(f.resultsWindow()->sortedTable()->index(0, 1).data().toString(), u("山田"));
}

// ---- Storing ------------------------------------------------------------------

void TestRound::resultsThatCannotBeStored_data() {
    QTest::addColumn<QString>("failing");   // empty: every write (a file-size limit)
    QTest::addColumn<bool>("rosterStored");
    QTest::addColumn<bool>("resultsStored");
    QTest::newRow("nothing can be written") << QString() << false << false;
    QTest::newRow("the counter cannot be written") << "trv3.dat" << true << true;
    QTest::newRow("the roster cannot be written") << "trv2s1.dat" << false << true;
}

// The round plays to its end, but says the results were not stored; the
// counter stays, so the round can be played again, and whatever was stored
// whole stays.
void TestRound::resultsThatCannotBeStored() {
    QFETCH(QString, failing);
    QFETCH(bool, rosterStored);
    QFETCH(bool, resultsStored);
    Rig rig;
    rig.joinAndAnswer();
    op::WritesFail files(rig.world.files, failing.toStdString());
    Form1& f = rig.open();
    if (!failing.isEmpty()) rig.world.platform.files = &files;

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);   // a refused write, not a killed program
    if (failing.isEmpty()) {
        rlimit none = saved;
        none.rlim_cur = 1;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &none), 0);
    }
    QTest::mouseClick(f.Command6, Qt::LeftButton);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(f.Text7->text(), u("結果を保存できませんでした。"));
    QCOMPARE(rig.world.readFile("trv3.dat"), counterFile(1));
    QCOMPARE(f.Combo1->currentText(), u("1"));
    QVERIFY(f.Command6->isEnabled());
    QCOMPARE(!RawRoster(rig.world.readFile("trv2s1.dat")).overrun, rosterStored);
    const RawResults results(rig.world.readFile("trv71.dat"));
    QCOMPARE(!results.overrun && results.participants == 2, resultsStored);
}

// ---- Past rounds ---------------------------------------------------------------

void TestRound::pastRounds_data() {
    QTest::addColumn<int>("persons");        // stored participants; -1: no results file
    QTest::addColumn<QStringList>("names");  // the roster's names, in slot order
    QTest::addColumn<QList<int>>("joined");  // its joined marks
    QTest::addColumn<int>("joinedCount");    // what the joined line counts
    QTest::addColumn<int>("lastPage");       // of the ranking

    auto invitees = [](int n) {
        QStringList names;
        for (int i = 0; i < n; ++i) names << u("招待%1").arg(i);
        return names;
    };
    auto firstJoined = [](int n, int of) {
        QList<int> marks;
        for (int i = 0; i < of; ++i) marks << (i < n ? 1 : 0);
        return marks;
    };
    QTest::newRow("23 persons") << 23 << invitees(25) << firstJoined(23, 25) << 23 << 2;
    QTest::newRow("10 persons") << 10 << invitees(10) << firstJoined(10, 10) << 10 << 0;
    QTest::newRow("11 persons") << 11 << invitees(12) << firstJoined(11, 12) << 11 << 1;
    QTest::newRow("third name empty")
        << 3 << QStringList{u("甲"), u("乙"), QString(), u("丁"), u("戊")} << QList<int>{1, 0, 0, 1, 1} << 1 << 0;
    QTest::newRow("no results file") << -1 << invitees(3) << firstJoined(0, 3) << 0 << 0;
}

// A past round comes back from its roster and results, in red and with START
// off; its ranking is worked out again and both grids page by ten. Choosing
// the current round afterwards leaves nothing of it.
void TestRound::pastRounds() {
    QFETCH(int, persons);
    QFETCH(QStringList, names);
    QFETCH(QList<int>, joined);
    QFETCH(int, joinedCount);
    QFETCH(int, lastPage);
    TestWorld world;
    DataFiles& files = world.files;
    QVERIFY(writeRoundCounter(files, 5));

    QuizRun stored;
    stored.RoundNumber = "2";
    for (int i = 0; i < names.size(); ++i) {
        stored.ListNames[std::size_t(i)] = sjis(names[i]);
        stored.ListAddresses[std::size_t(i)] = "p" + std::to_string(i) + "@docomo.ne.jp";
        stored.ListJoined[std::size_t(i)] = std::int16_t(joined[i]);
    }
    stored.AddressLastIndex = std::int16_t(names.size() - 1);
    QVERIFY(writeRoster(files, stored));
    // Row r has 10 * ((7r) mod n) points: all different, so position k holds
    // the row with 10 * (n - 1 - k) points.
    ParticipantTable& t = stored.participants;
    const int n = std::max(persons, 0);
    auto rowAt = [n](int position) {
        for (int r = 0; r < n; ++r)
            if ((7 * r) % n == n - 1 - position) return r;
        return -1;
    };
    if (persons >= 0) {
        const int rows = int(names.size());
        for (auto* a : {&t.着信順, &t.得点数, &t.順位, &t.正解数, &t.正解率}) a->size(0, rows - 1);
        t.名前.size(0, rows - 1);
        t.アドレス.size(0, rows - 1);
        t.回答.size(0, rows - 1, 1, 3);
        t.採点.size(0, rows - 1, 1, 3);
        t.ParticipantCount = std::int16_t(persons);
        for (int r = 0; r < persons; ++r) {
            t.名前[r] = sjis(u("選手%1").arg(r));
            t.アドレス[r] = "p" + std::to_string(r) + "@docomo.ne.jp";
            t.得点数[r] = std::int16_t(10 * ((7 * r) % n));
            t.正解率[r] = std::int16_t(r);
        }
        QVERIFY(writeResults(files, stored));
    }
    auto set = std::make_unique<QuestionSet>();
    set->QuestionCount = "3";
    set->TotalPoints = 500;
    QVERIFY(writeQuestionFile(files, "2", *set));

    Form1 f(world.module1, [&] { return world.appFolder(); });
    f.show();
    QVERIFY(op::choose(f.Combo1, u("2")));

    QVERIFY(!f.Command6->isEnabled());
    QVERIFY(hasPastRoundColour(f.Combo1));
    for (auto* column : {&f.Text1, &f.Text2, &f.Text3, &f.Text4, &f.Text5, &f.Text6})
        for (QLineEdit* cell : *column) QVERIFY(hasPastRoundColour(cell));
    QCOMPARE(f.Label6->text(), u("参加人数(%1人)").arg(n));
    QCOMPARE(f.Label9->text(), u("参加人数(%1人)").arg(joinedCount));
    QCOMPARE(f.VScroll1->maximum(), lastPage);

    // Every page of the ranking, the last one partly filled.
    for (int page = lastPage; page >= 0; --page) {
        f.VScroll1->setValue(page);
        for (int row = 0; row < 10; ++row) {
            const int position = page * 10 + row;
            const int r = position < n ? rowAt(position) : -1;
            const QStringList shown{f.Text1[row]->text(), f.Text2[row]->text(), f.Text3[row]->text(),
                                    f.Text4[row]->text()};
            const QStringList want = r < 0 ? QStringList{"", "", "", ""}
                                           : QStringList{u("選手%1").arg(r), QString::number(position + 1),
                                                         QString::number(10 * (n - 1 - position)),
                                                         QStringLiteral("(%1/500)  %2%").arg(10 * (n - 1 - position)).arg(r)};
            QCOMPARE(shown, want);
        }
    }

    // The joined-players grid pages through the invited slots (up to the
    // first without a name); a page shows every slot with a name, marked.
    int invited = 0;
    while (invited < names.size() && !names[invited].isEmpty()) ++invited;
    QCOMPARE(f.VScroll2->maximum(), (std::max(invited, 1) + 9) / 10 - 1);
    f.VScroll2->setValue(f.VScroll2->maximum());
    for (int row = 0; row < 10; ++row) {
        const int k = f.VScroll2->value() * 10 + row;
        const QString name = names.value(k);
        QCOMPARE(f.Text5[row]->text(), name);
        QCOMPARE(f.Text6[row]->text(), name.isEmpty() ? QString() : joined[k] == 1 ? u("○") : u("×"));
    }

    QVERIFY(op::choose(f.Combo1, u("5")));
    QVERIFY(f.Command6->isEnabled());
    QVERIFY(!hasPastRoundColour(f.Combo1));
    for (auto* column : {&f.Text1, &f.Text2, &f.Text3, &f.Text4, &f.Text5, &f.Text6})
        for (QLineEdit* cell : *column) {
            QVERIFY(cell->text().isEmpty());
            QVERIFY(!hasPastRoundColour(cell));
        }
    QVERIFY(f.Label6->text().isEmpty() && f.Label9->text().isEmpty());
    QCOMPARE(f.VScroll1->maximum(), 0);
    QCOMPARE(f.VScroll2->maximum(), 0);
}

// ---- Closing the window ----------------------------------------------------------

// Closing the main window while the first question's countdown runs ends the
// round at once: START returns, both connections are closed and their
// time-outs stopped, nothing of the round is stored, and the application's
// event loop ends (the program exits) instead of waiting on.
void TestRound::closingTheWindowDuringACountdown() {
    Rig rig;
    rig.joinAndAnswer();
    Form1& f = rig.open();
    const auto before = snapshot(rig.world);
    // The countdown stands still. Five seconds after the closing it moves on
    // again, so a wait that ignored the closing would end late instead of
    // never, and a round that ignored it would run on and store its files.
    QElapsedTimer sinceClosing;
    rig.clock.gate = [&] { return sinceClosing.isValid() && sinceClosing.elapsed() > 5000; };

    bool startReturned = false;
    qint64 returnedAfterMs = -1;
    QTimer::singleShot(0, &f, [&] {
        QTest::mouseClick(f.Command6, Qt::LeftButton);
        startReturned = true;
        returnedAfterMs = sinceClosing.elapsed();
    });
    const QString question = fromSjis(rig.round.questionSet().Subject[1]);
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (f.Text7->text().startsWith(question + u("の返信待ちです。"))) {
            closer.stop();
            sinceClosing.start();
            f.close();
        }
    });
    closer.start(20);
    QTimer::singleShot(15000, [] { QCoreApplication::exit(99); });   // a round that never lets go

    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(startReturned);
    QVERIFY2(returnedAfterMs < 2000, qPrintable(QString::number(returnedAfterMs)));
    QVERIFY(!f.roundRunning());
    QVERIFY(f.Winsock1->isClosed() && f.Winsock2->isClosed());
    QVERIFY(!f.Timer1->enabled() && !f.Timer2->enabled());
    QCOMPARE(snapshot(rig.world), before);
    // The invitation and the question to both players; no fetch for it.
    QCOMPARE(rig.smtp.commands().count("<message>"), 3);
    QCOMPARE(rig.pop3.connections, 1);
}

QTEST_MAIN(TestRound)
#include "tst_round.moc"
