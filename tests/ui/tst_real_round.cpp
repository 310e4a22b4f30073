// A whole round played by pressing START on the main window, against the
// suite's Postfix and Dovecot and eight simulated phones that read their mail
// by POP3 and answer by SMTP, writing with glibc's iconv. The countdowns run on
// a clock that moves only once every phone has dealt with the mail in hand,
// so the round takes seconds and plays the same every time.
//
// The players, in address-book order (slot 8 is not marked for sending):
//   A taro@docomo.ne.jp       joins (encoded word); right, wrong, right
//   B hanako@ezweb.ne.jp      joins (raw ISO-2022-JP, display-name From);
//                             wrong, right then a second answer, wrong
//   C jiro@t.vodafone.ne.jp   joins ("RE:(BCC)"); right, full-width ３, wrong
//   G taro@ezweb.ne.jp        never answers
//   D jiro@docomo.ne.jp       joins (echoes the subject it got); answers the
//                             first question only after the second arrives
//                             (late), right, right
//   E hanako@docomo.ne.jp     joins; wrong, nothing, right
//   F hanako@t.vodafone.ne.jp joins (echo); right, right, wrong
//   H taro@example.com        answers the invitation, but from no carrier
// The first question's subject has a space and parentheses, the second's
// half-width katakana.
//
// Then a round prepared from an empty folder with the keyboard alone, and
// two shorter rounds with players of today (see appPlayers()): replies
// from the carriers' and smartphones' mail apps, each in its app's shape,
// under the default setting and with everyone in the address book playing.
#include <QAccessible>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <functional>
#include <map>

#include "mail/Transport.h"
#include "model/FileNames.h"
#include "model/RecordFiles.h"
#include "support/OperatorActions.h"
#include "demo/PreparedRound.h"
#include "support/ProcessTime.h"
#include "support/RawRecord.h"
#include "support/ServerChecks.h"
#include "demo/SimulatedPhones.h"
#include "support/SjisLiterals.h"
#include "support/SteppedClock.h"
#include "support/TestWorld.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/Form3.h"
#include "ui/Form4.h"
#include "ui/Form5.h"
#include "ui/Form6.h"
#include "ui/PresentationWindow.h"
#include "ui/ResultsCharts.h"

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }
QByteArray sjb(const QString& text) { return QByteArray::fromStdString(sj(text)); }

// How a phone writes the subject of its reply.
enum class Subject { Encoded, Raw, Bcc, Echo };

struct Player {
    QString key, name, address;
    bool marked = true;
    // The reply to the invitation, and the digit written for questions 1..3
    // ("" no answer, "late" the right answer only after the next mail).
    bool joins = false;
    Subject style = Subject::Encoded;
    QByteArray from;   // a From other than the bare address
    QStringList answers;
};

const QList<Player>& players() {
    static const QList<Player> list = {
        {"A", u("山田太郎"), "taro@docomo.ne.jp", true, true, Subject::Encoded, {}, {"1", "2", "2"}},
        {"B", u("鈴木花子"), "hanako@ezweb.ne.jp", true, true, Subject::Raw, "Hanako <hanako@ezweb.ne.jp>",
         {"2", "3+1", "4"}},
        {"C", u("佐藤次郎"), "jiro@t.vodafone.ne.jp", true, true, Subject::Bcc, {}, {"1", u("３"), "3"}},
        {"G", u("田中一郎"), "taro@ezweb.ne.jp", true, false, Subject::Encoded, {}, {}},
        {"D", u("高橋二郎"), "jiro@docomo.ne.jp", true, true, Subject::Echo, {}, {"late", "3", "2"}},
        {"E", u("伊藤花"), "hanako@docomo.ne.jp", true, true, Subject::Encoded, {}, {"3", "", "2"}},
        {"F", u("渡辺健"), "hanako@t.vodafone.ne.jp", true, true, Subject::Echo, {}, {"1", "3", "1"}},
        {"H", u("小林外"), "taro@example.com", true, true, Subject::Encoded, {}, {}},
        {"-", u("中村休"), "jiro@ezweb.ne.jp", false, false, Subject::Encoded, {}, {}},
    };
    return list;
}

QByteArray replySubject(const Player& p, const PhoneMail& mail) {
    switch (p.style) {
    case Subject::Encoded: return encodedWordSubject(mail.subject);
    case Subject::Raw: return rawJisSubject(mail.subject);
    case Subject::Bcc: return encodedWordSubject(mail.subject, "RE:(BCC)");
    case Subject::Echo: return echoedSubject(mail);
    }
    return {};
}

PhoneReply reply(const Player& p, const PhoneMail& mail, const QByteArray& body) {
    return PhoneReply{replySubject(p, mail), p.from, body};
}

// The phone's script: join, then answer each question as listed, the even
// questions quoting the mail with its answer line filled in, the odd ones with
// a bare answer line.
PhoneScript scriptOf(const Player& p) {
    return [p](const PhoneMail& mail, int index) -> QList<PhoneReply> {
        if (index == 0) return p.joins ? QList<PhoneReply>{reply(p, mail, jisText(u("参加します。")))} : QList<PhoneReply>{};
        const int q = index;   // the question mails follow the invitation
        if (q > p.answers.size()) return {};
        auto answer = [&](const QString& digit) {
            return reply(p, mail, q % 2 == 0 ? quotedAnswerBody(mail, digit) : jisText(u("答:") + digit));
        };
        const QString a = p.answers[q - 1];
        if (a.isEmpty()) return {};
        if (a == "late") {
            PhoneReply late = answer("1");
            late.holdUntilNextMail = true;
            return {late};
        }
        QList<PhoneReply> out;
        for (const QString& digit : a.split('+')) out << answer(digit);
        return out;
    };
}

// What a phone's mail says about its player's result: the mark of the
// previous question, the rank and the points.
struct Result {
    QString mark;
    int rank, points;
};

// A countdown's clock moves only once every phone the mail went to has
// answered it and Postfix has delivered every answer; meanwhile the phones
// are awake, and they sleep again before the fetch. Phones that never finish
// (a server gone) let the round go on after a minute, so the test fails on
// what is missing instead of hanging.
struct PhoneGate {
    Form1& form;
    SimulatedPhones& phones;
    QString invitation;
    QStringList invited, joined;   // owe an answer to the invitation, to the questions
    QString countdownOf{}, released{};
    QElapsedTimer waiting{};

    bool open() {
        const QString status = form.Text7->text();
        const QString subject = status.left(status.indexOf(u("の返信待ちです。")));
        if (subject == released) return true;
        if (subject != countdownOf) {
            countdownOf = subject;
            waiting.start();
            phones.setAwake(true);
        }
        const QStringList& owing = subject == invitation ? invited : joined;
        bool done = RealServers::queuedMessageCount() == 0;
        for (const QString& address : owing) done = done && phones.hasHandled(address, subject);
        if (!done && waiting.elapsed() < 60000) return false;
        phones.setAwake(false);
        released = subject;
        return true;
    }
};

// Players of today, each replying from the app `shape` names: the answer on
// top of the quoted mail. A feature phone (ReplyShape::Feature) quotes the
// question whole and types its digit into the answer line, as of old.
struct AppPlayer {
    QString name, address;
    ReplyShape shape;
    QStringList answers;   // the digit written for questions 1 and 2
    bool counts;           // a player under the folder's setting
};

// Question 1 is right with 2 (10 points), question 2 with 3 (20 points).
// Under the default setting the carriers of old and of today play and Gmail
// does not; with everyone in the address book Gmail and iCloud play too.
const QList<AppPlayer>& appPlayers(bool addressBook) {
    using S = ReplyShape;
    static const QList<AppPlayer> carriers = {
        {u("山田太郎"), "taro@docomo.ne.jp", S::Feature, {"2", "3"}, true},
        {u("鈴木花子"), "hanako@ezweb.ne.jp", S::Feature, {"1", "3"}, true},
        {u("佐藤次郎"), "taro@au.com", S::Utf8EightBitQSubject, {"2", "3"}, true},
        {u("高橋二郎"), "taro@softbank.ne.jp", S::GmailAlternative, {"2", "1"}, true},
        {u("伊藤花"), "taro@i.softbank.jp", S::IphoneQuotedPrintable, {"2", "3"}, true},
        {u("渡辺健"), "taro@ymobile.ne.jp", S::HtmlOnly, {"3", "3"}, true},
        {u("小林誠"), "hanako@softbank.ne.jp", S::Outlook, {"2", "3"}, true},
        {u("中村外"), "taro@gmail.com", S::GmailAlternative, {"2", "3"}, false},
    };
    static const QList<AppPlayer> everyone = {
        {u("加藤愛"), "jiro@docomo.ne.jp", S::Feature, {"2", "3"}, true},
        {u("吉田翔"), "jiro@gmail.com", S::GmailAlternative, {"2", "3"}, true},
        {u("山本優"), "jiro@icloud.com", S::IphoneQuotedPrintable, {"3", "3"}, true},
        {u("松本誠"), "hanako@gmail.com", S::Outlook, {"2", "3"}, true},
        {u("井上桜"), "hanako@icloud.com", S::HtmlOnly, {"2", "2"}, true},
        {u("木村翼"), "sakura@gmail.com", S::Utf8EightBitQSubject, {"2", "3"}, true},
    };
    return addressBook ? everyone : carriers;
}

PhoneScript appScriptOf(const AppPlayer& p) {
    return [p](const PhoneMail& mail, int index) -> QList<PhoneReply> {
        if (index == 0) return {appReply(mail, p.shape, u("参加します。"))};
        if (index > p.answers.size()) return {};
        const QString digit = p.answers[index - 1];
        if (p.shape == ReplyShape::Feature)
            return {PhoneReply{encodedWordSubject(mail.subject), {}, quotedAnswerBody(mail, digit)}};
        return {appReply(mail, p.shape, u("答:") + digit)};
    };
}

}  // namespace

class TestRealRound : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TRV_REQUIRE_REAL_SERVERS(); }
    void init() {
        QString error;
        QVERIFY2(RealServers::emptyAllMailboxes(&error), qPrintable(error));
    }
    void aWholeRoundOnRealServers();
    void phonesAndAppsOfToday_data();
    void phonesAndAppsOfToday();
    void preparedAndStartedWithTheKeyboardAlone();
    void throughAThrottledProviderWithABounce();
};

void TestRealRound::aWholeRoundOnRealServers() {
    TestWorld world;
    SteppedClock clock;
    world.useClock(clock);

    PreparedRound round;
    for (const Player& p : players()) round.addressBook << PreparedRound::Entry{p.name, p.address, p.marked};
    round.questions = {
        {u("第1問 (10点)"), u("日本一高い山は?"), {u("富士山"), u("北岳"), u("奥穂高岳")}, 1, 10, 1},
        {u("ｸｲｽﾞ第2問"), u("日本一長い川は?"), {u("石狩川"), u("利根川"), u("信濃川")}, 3, 20, 1},
        {{}, u("日本一大きい湖は?"), {u("霞ヶ浦"), u("琵琶湖"), u("サロマ湖"), u("猪苗代湖")}, 2, 40, 1},
    };
    QVERIFY(round.writeTo(world.files));
    const QuestionSet set = round.questionSet();
    const QString invitation = fromSjis(round.invitation().Subject);
    const QStringList questions{fromSjis(set.Subject[1]), fromSjis(set.Subject[2]), fromSjis(set.Subject[3])};
    const QString closing = fromSjis(round.closingMail().Subject);

    SimulatedPhones phones(RealServers::operatorAddress);
    QStringList invited, joined;
    for (const Player& p : players()) {
        if (!p.marked) continue;
        phones.add(p.address, scriptOf(p));
        invited << p.address;
        if (p.joins && p.key != "H") joined << p.address;
    }
    phones.setAwake(false);
    phones.start(50);

    Form1 form(world.module1, [&] { return world.appFolder(); });
    form.show();

    PhoneGate gate{form, phones, invitation, invited, joined};
    clock.gate = [&] { return gate.open(); };

    // The round projected for the room while it plays.
    QTest::mouseClick(form.PresentButton, Qt::LeftButton);
    PresentationWindow* projected = form.presentation();
    QVERIFY(projected && projected->isFullScreen());
    // What the room saw while each countdown ran: the stage, and the answers
    // chart as assistive technology reads it.
    const auto spoken = [&] {
        return QAccessible::queryAccessibleInterface(projected->Answers)->text(QAccessible::Description);
    };
    QStringList seen;
    QString countdownShown;
    // The clock is also read while mail goes out between two countdowns;
    // only what the countdowns showed counts here.
    clock.gate = [&] {
        if (projected->Countdown->text().startsWith(u("残り"))) {
            countdownShown = projected->Countdown->text();
            const QString now = projected->Stage->text() + " " + spoken();
            if (seen.isEmpty() || seen.last() != now) seen << now;
        }
        return gate.open();
    };

    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    QTest::mouseClick(form.Command6, Qt::LeftButton);
    const double cpu = cpuSeconds() - cpuBefore;
    qInfo("round of 3 questions, 8 phones: %lld ms wall, %.2f s processor (this process, phones included)",
          wall.elapsed(), cpu);

    QCOMPARE(form.Text7->text(), u("クイズ終了しました。"));
    QCOMPARE(world.messageBox.texts(), QStringList());

    // The closing mail reaches every participant.
    phones.setAwake(true);
    for (const QString& address : joined) QTRY_VERIFY_WITH_TIMEOUT(phones.hasHandled(address, closing), 15000);
    phones.stop();
    QCOMPARE(phones.errors(), QStringList());

    // ---- What each phone received ----
    // Mark of the previous question, rank and points, per question 2, 3 and
    // the closing mail.
    const std::map<QString, QList<Result>> expected = {
        {"taro@docomo.ne.jp", {{u("○"), 1, 10}, {u("×"), 5, 10}, {u("○"), 2, 50}}},
        {"hanako@ezweb.ne.jp", {{u("×"), 5, 0}, {u("○"), 2, 20}, {u("×"), 5, 20}}},
        {"jiro@t.vodafone.ne.jp", {{u("○"), 2, 10}, {u("×"), 4, 10}, {u("×"), 6, 10}}},
        {"jiro@docomo.ne.jp", {{u("×"), 4, 0}, {u("○"), 3, 20}, {u("○"), 1, 60}}},
        {"hanako@docomo.ne.jp", {{u("×"), 6, 0}, {u("×"), 6, 0}, {u("○"), 3, 40}}},
        {"hanako@t.vodafone.ne.jp", {{u("○"), 3, 10}, {u("○"), 1, 30}, {u("×"), 4, 30}}},
    };
    for (const QString& address : invited) {
        const QList<PhoneMail> mails = phones.received(address);
        QStringList subjects;
        for (const PhoneMail& m : mails) subjects << m.subject;
        const auto it = expected.find(address);
        if (it == expected.end()) {
            QCOMPARE(subjects, QStringList{invitation});
            continue;
        }
        QCOMPARE(subjects, (QStringList{invitation} << questions << closing));
        QVERIFY2(!mails[1].body.contains(u("順位:")), "question 1 goes out unchanged");
        for (int k = 0; k < 3; ++k) {
            const Result& r = it->second[k];
            const QString body = mails[k + 2].body;
            const int previous = k + 1;
            QVERIFY2(body.contains(u("問題%1:%2\n").arg(previous).arg(r.mark)), qPrintable(address + "\n" + body));
            QVERIFY2(body.contains(u("順位:%1位\n").arg(r.rank)), qPrintable(address + "\n" + body));
            QVERIFY2(body.contains(u("合計得点:%1/70\n").arg(r.points)), qPrintable(address + "\n" + body));
        }
    }
    QVERIFY(RealServers::messages("jiro@ezweb.ne.jp").isEmpty());   // not marked for sending

    // ---- The window after the round ----
    const QList<QStringList> ranking = {
        {u("高橋二郎"), "1", "60", "(60/70)  67%"}, {u("山田太郎"), "2", "50", "(50/70)  67%"},
        {u("伊藤花"), "3", "40", "(40/70)  33%"},   {u("渡辺健"), "4", "30", "(30/70)  67%"},
        {u("鈴木花子"), "5", "20", "(20/70)  33%"}, {u("佐藤次郎"), "6", "10", "(10/70)  33%"},
        {"", "", "", ""},
    };
    for (int row = 0; row < ranking.size(); ++row)
        QCOMPARE((QStringList{form.Text1[row]->text(), form.Text2[row]->text(), form.Text3[row]->text(),
                              form.Text4[row]->text()}),
                 ranking[row]);
    const QStringList joinedMarks{u("○"), u("○"), u("○"), u("×"), u("○"), u("○"), u("○"), u("×"), "", ""};
    for (int row = 0; row < 10; ++row) {
        QCOMPARE(form.Text5[row]->text(), row < 8 ? players()[row].name : QString());
        QCOMPARE(form.Text6[row]->text(), joinedMarks[row]);
    }
    QCOMPARE(form.Label6->text(), u("参加人数(6人)"));
    QCOMPARE(form.Label9->text(), u("参加人数(6人)"));
    QCOMPARE(form.Combo1->currentText(), u("2"));
    QVERIFY(form.Command6->isEnabled());

    // ---- The presentation: each question's answers once it was fetched, as
    // the stored results count them; then the podium ----
    const RoundResults stored = loadRoundResults(world.files, "1");
    const auto answers = [&](int q) { return chartAlternative(ResultsChart::Answers, stored, q); };
    QCOMPARE(seen, (QStringList{u("参加受付中 "), u("第1問 "), u("第2問 ") + answers(1), u("第3問 ") + answers(2)}));
    QCOMPARE(spoken(), answers(3));
    QCOMPARE(answers(1), u("問1の回答: 1（正解） 富士山 3人、2 北岳 1人、3 奥穂高岳 1人、無効 0人、"
                           "無回答 1人。回答 5人、無回答 1人。"));
    QVERIFY2(QRegularExpression(u("^残り [01]:[0-5][0-9]$")).match(countdownShown).hasMatch(), qPrintable(countdownShown));
    QCOMPARE(projected->Stage->text(), u("最終結果"));
    QCOMPARE((QStringList{projected->Podium[0]->text(), projected->Podium[1]->text(), projected->Podium[2]->text(),
                          projected->Places[0]->text(), projected->Places[3]->text()}),
             (QStringList{u("高橋二郎\n60点"), u("山田太郎\n50点"), u("伊藤花\n40点"), u("4位　渡辺健　30点"), QString()}));

    // ---- The stored round, read by offsets ----
    QCOMPARE(world.readFile("trv3.dat"), counterFile(2));
    const RawRoster roster(world.readFile("trv2s1.dat"));
    QVERIFY(!roster.overrun);
    QCOMPARE(roster.end, int(world.readFile("trv2s1.dat").size()));
    for (int i = 0; i < 1000; ++i) {
        const bool listed = i < 8;
        QCOMPARE(roster.names[i], listed ? sjb(players()[i].name) : QByteArray());
        QCOMPARE(roster.addresses[i], listed ? players()[i].address.toLatin1() : QByteArray());
        QCOMPARE(roster.joined[i], listed ? (joinedMarks[i] == u("○") ? 1 : 0) : 0);
    }

    const RawResults results(world.readFile("trv71.dat"));
    QVERIFY(!results.overrun);
    QCOMPARE(results.end, int(world.readFile("trv71.dat").size()));
    QCOMPARE(results.participants, 6);
    QCOMPARE(results.descriptors.size(), 10);
    for (int a = 0; a < 7; ++a) {
        QCOMPARE(results.descriptors[a].dims, 1);
        QCOMPARE(results.descriptors[a].countAndLower, (QList<QPair<int, int>>{{8, 0}}));
    }
    for (int a : {7, 8}) {
        QCOMPARE(results.descriptors[a].dims, 2);
        QCOMPARE(results.descriptors[a].countAndLower, (QList<QPair<int, int>>{{8, 0}, {3, 1}}));
    }
    QCOMPARE(results.descriptors[9].dims, 0);
    QVERIFY(results.reserved.isEmpty());

    // Rows in joining order; arrival positions as the replies came in: a last
    // scored answer that was right counts from 1, a wrong one from 1001.
    struct Row {
        const char* address;
        QString name;
        int points, arrival, correct, rate;
        QList<int> answers;
        QStringList marks;
    };
    const QString o = u("○"), x = u("×");
    const QList<Row> rows = {
        {"taro@docomo.ne.jp", u("山田太郎"), 50, 1, 2, 67, {1, 2, 2}, {o, x, o}},
        {"hanako@ezweb.ne.jp", u("鈴木花子"), 20, 1002, 1, 33, {2, 3, 4}, {x, o, x}},
        {"jiro@t.vodafone.ne.jp", u("佐藤次郎"), 10, 1003, 1, 33, {1, -1, 3}, {o, x, x}},
        {"jiro@docomo.ne.jp", u("高橋二郎"), 60, 4, 2, 67, {0, 3, 2}, {x, o, o}},
        {"hanako@docomo.ne.jp", u("伊藤花"), 40, 5, 1, 33, {3, 0, 2}, {x, x, o}},
        {"hanako@t.vodafone.ne.jp", u("渡辺健"), 30, 1006, 2, 67, {1, 3, 1}, {o, o, x}},
    };
    for (int p = 0; p < 8; ++p) {
        const bool used = p < rows.size();
        const Row row = used ? rows[p] : Row{"", QString(), 0, 0, 0, 0, {0, 0, 0}, {"", "", ""}};
        QCOMPARE(results.addresses[p], QByteArray(row.address));
        QCOMPARE(results.names[p], sjb(row.name));
        QCOMPARE(results.points[p], row.points);
        QCOMPARE(results.arrival[p], row.arrival);
        QCOMPARE(results.rank[p], 0);
        QCOMPARE(results.correct[p], row.correct);
        QCOMPARE(results.rate[p], row.rate);
        for (int q = 1; q <= 3; ++q) {
            QCOMPARE(results.answers[results.at(p, q)], row.answers[q - 1]);
            QCOMPARE(results.marks[results.at(p, q)], sjb(row.marks[q - 1]));
        }
    }

    // ---- Left on the server: only the answer from no carrier ----
    const QList<QByteArray> left = RealServers::messages(RealServers::operatorAddress);
    QCOMPARE(left.size(), 1);
    QVERIFY(left[0].contains("Return-Path: <taro@example.com>"));
}

// A round with players of today among those of old, every reply in the
// shape its app writes (see ReplyShape): each right answer counts, wherever
// the app put it, and a player who may not play under the folder's setting
// is left on the server.
void TestRealRound::phonesAndAppsOfToday_data() {
    QTest::addColumn<bool>("addressBook");
    QTest::newRow("carriers of old and of today") << false;
    QTest::newRow("everyone in the address book") << true;
}

void TestRealRound::phonesAndAppsOfToday() {
    QFETCH(bool, addressBook);
    const QList<AppPlayer>& players = appPlayers(addressBook);
    TestWorld world;
    SteppedClock clock;
    world.useClock(clock);

    PreparedRound round;
    for (const AppPlayer& p : players) round.addressBook << PreparedRound::Entry{p.name, p.address, true};
    // The second subject is long enough that the apps write it in several
    // encoded words.
    round.questions = {
        {{}, u("日本の首都はどこですか?"), {u("大阪"), u("東京"), u("京都")}, 2, 10, 1},
        {u("【歴史】第2問 江戸幕府を開いたのは誰でしょう (20点)"), u("江戸幕府を開いたのは?"),
         {u("織田信長"), u("豊臣秀吉"), u("徳川家康")}, 3, 20, 1},
    };
    QVERIFY(round.writeTo(world.files));
    if (addressBook) {
        ReplySettings settings;
        settings.PlayersRule = stored(Players::AddressBook);
        QVERIFY(writeRecordFile(world.files, FileNames::kReplySettings, settings));
    }
    const QString invitation = fromSjis(round.invitation().Subject);

    SimulatedPhones phones(RealServers::operatorAddress);
    QStringList invited, joined;
    for (const AppPlayer& p : players) {
        phones.add(p.address, appScriptOf(p));
        invited << p.address;
        if (p.counts) joined << p.address;
    }
    phones.setAwake(false);
    phones.start(50);

    Form1 form(world.module1, [&] { return world.appFolder(); });
    form.show();
    PhoneGate gate{form, phones, invitation, invited, joined};
    clock.gate = [&] { return gate.open(); };
    QTest::mouseClick(form.Command6, Qt::LeftButton);
    QCOMPARE(form.Text7->text(), u("クイズ終了しました。"));
    QCOMPARE(world.messageBox.texts(), QStringList());
    phones.stop();
    QCOMPARE(phones.errors(), QStringList());

    // The stored results, read by the program's own record code: rows in
    // joining order, which is the order the phones answered in.
    ParticipantTable results;
    QVERIFY(readRecordFile(world.files, "trv71.dat", results, DataFiles::Mode::ReadOnly));
    QCOMPARE(int(results.ParticipantCount), int(joined.size()));
    const int rightChoice[] = {0, 2, 3}, worth[] = {0, 10, 20};
    int row = 0;
    for (const AppPlayer& p : players) {
        const QByteArray address = p.address.toLatin1();
        const char* who = address.constData();
        if (!p.counts) {
            // Its joining did not count: it was asked no question.
            QVERIFY2(phones.received(p.address).size() == 1, who);
            continue;
        }
        QCOMPARE(QString::fromLatin1(results.アドレス[row]), p.address);
        int points = 0, correct = 0;
        for (int q = 1; q <= 2; ++q) {
            const int digit = p.answers[q - 1].toInt();
            const bool isRight = digit == rightChoice[q];
            points += isRight ? worth[q] : 0;
            correct += isRight ? 1 : 0;
            QVERIFY2(results.回答.at(row, q) == digit, who);
            QVERIFY2(fromSjis(results.採点.at(row, q)) == (isRight ? u("○") : u("×")), who);
        }
        QVERIFY2(results.得点数[row] == points, who);
        QVERIFY2(results.正解数[row] == correct, who);
        ++row;
    }

    // Left on the server: the reply of the one who may not play, untouched.
    QStringList left, notPlaying;
    static const QRegularExpression returnPath("^Return-Path: <([^>]*)>", QRegularExpression::MultilineOption);
    for (const QByteArray& m : RealServers::messages(RealServers::operatorAddress))
        left << returnPath.match(QString::fromLatin1(m)).captured(1);
    for (const AppPlayer& p : players)
        if (!p.counts) notPlaying << p.address;
    QCOMPARE(left, notPlaying);
}

namespace {

// The keyboard as the operator's only device: keys go to whatever has the
// focus in the active window, as they would on a desktop.
struct Keyboard {
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
        QTest::keyClick(target, key, modifiers);
    }
    // Tab until `control` (or the box it hands its focus to) has the focus.
    bool tabTo(QWidget* control) {
        for (int presses = 0; presses < 120; ++presses) {
            QWidget* now = QApplication::focusWidget();
            if (now && (now == control || now->focusProxy() == control || control->focusProxy() == now ||
                        control->isAncestorOf(now)))
                return true;
            press(Qt::Key_Tab);
        }
        return false;
    }
    // ASCII key by key; Japanese as the input method hands it over.
    void type(const QString& text) {
        press(Qt::Key_A, Qt::ControlModifier);   // over whatever the box held
        if (op::isAscii(text))
            QTest::keyClicks(QApplication::focusWidget(), text);
        else
            op::commit(QApplication::focusWidget(), text);
    }
};

}  // namespace

// An operator who uses no mouse prepares a round in an empty folder, from
// the mail settings to the closing mail, and starts it; the round plays on
// the suite's servers as a round prepared any other way.
void TestRealRound::preparedAndStartedWithTheKeyboardAlone() {
    TestWorld world;
    SteppedClock clock;
    world.useClock(clock);
    const QString address = "taro@docomo.ne.jp";
    SimulatedPhones phones(RealServers::operatorAddress);
    phones.add(address, [](const PhoneMail& mail, int index) -> QList<PhoneReply> {
        if (index > 1) return {};
        return {PhoneReply{encodedWordSubject(mail.subject), {}, jisText(index == 0 ? u("参加します。") : u("答:2"))}};
    });
    phones.setAwake(false);
    phones.start(50);

    Form1 form(world.module1, [&] { return world.appFolder(); });
    QPointer<Form2> settings;
    QPointer<Form3> book;
    QPointer<Form5> questions;
    form.setEditorFactory(1, [&]() -> EditorWindow* { return settings = new Form2(world.module1); });
    form.setEditorFactory(2, [&]() -> EditorWindow* { return book = new Form3(world.module1); });
    form.setEditorFactory(3, [&]() -> EditorWindow* { return new Form4(world.module1); });
    form.setEditorFactory(4, [&]() -> EditorWindow* { return questions = new Form5(world.module1); });
    form.setEditorFactory(5, [&]() -> EditorWindow* { return new Form6(world.module1); });
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    Keyboard keys;
    auto open = [&](Qt::Key key, const QString& title) {
        keys.press(key, Qt::AltModifier);
        QTRY_VERIFY(QApplication::activeWindow() && QApplication::activeWindow()->windowTitle() == title);
    };

    open(Qt::Key_M, u("メールの設定"));
    const QList<QPair<QLineEdit*, QString>> account = {
        {settings->Text1, RealServers::host}, {settings->Text2, RealServers::host},
        {settings->Text3, RealServers::operatorAddress}, {settings->Text4, RealServers::password},
        {settings->Text5, RealServers::operatorAddress}, {settings->Text6, u("クイズ事務局")}};
    for (const auto& [box, text] : account) {
        QVERIFY2(keys.tabTo(box), qPrintable(box->accessibleName()));
        keys.type(text);
    }
    keys.press(Qt::Key_Escape);   // 戻る: the settings are kept on leaving
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&form));

    open(Qt::Key_A, u("アドレス帳設定"));
    QVERIFY(keys.tabTo(book->Text1[0]));
    keys.type(u("山田太郎"));
    QVERIFY(keys.tabTo(book->Text2[0]));
    keys.type(address);
    QVERIFY(keys.tabTo(book->Check1[0]));
    keys.press(Qt::Key_Space);
    keys.press(Qt::Key_Escape);
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&form));

    open(Qt::Key_I, u("クイズ参加確認"));
    keys.press(Qt::Key_K, Qt::AltModifier);   // 確定, the offered invitation as it is
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&form));

    open(Qt::Key_Q, u("問題入力"));
    QVERIFY(keys.tabTo(questions->Text2));
    keys.type(u("日本一高い山は?"));
    const QStringList choices = {u("北岳"), u("富士山"), u("奥穂高岳")};
    for (int i = 0; i < choices.size(); ++i) {
        QVERIFY(keys.tabTo(questions->Text6[i]));
        keys.type(choices[i]);
    }
    QVERIFY(keys.tabTo(questions->Check1[1]));
    keys.press(Qt::Key_Space);
    keys.press(Qt::Key_K, Qt::AltModifier);
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&form));

    open(Qt::Key_E, u("クイズ終了確認"));
    keys.press(Qt::Key_K, Qt::AltModifier);
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&form));
    QCOMPARE(world.messageBox.texts(), QStringList());

    const QString invitation = u("第1回のクイズ参加ご確認");
    PhoneGate gate{form, phones, invitation, {address}, {address}};
    clock.gate = [&] { return gate.open(); };
    // A key presses its button the way Qt animates a click: a moment later.
    keys.press(Qt::Key_S, Qt::AltModifier);   // ＳＴＡＲＴ
    QTRY_COMPARE_WITH_TIMEOUT(form.Text7->text(), u("クイズ終了しました。"), 120000);
    QCOMPARE(world.messageBox.texts(), QStringList());
    phones.setAwake(true);
    QTRY_VERIFY_WITH_TIMEOUT(phones.received(address).size() == 3, 15000);
    phones.stop();
    QCOMPARE(phones.errors(), QStringList());

    // Joined, asked the question typed, answered it right with the choice
    // ticked from the keyboard.
    const QList<PhoneMail> mails = phones.received(address);
    QCOMPARE(mails[0].subject, invitation);
    QVERIFY2(mails[1].body.contains(u("日本一高い山は?")) && mails[1].body.contains(u("2:富士山")),
             qPrintable(mails[1].body));
    QVERIFY2(mails[2].body.contains(u("問題1:○")), qPrintable(mails[2].body));
    const RawResults results(world.readFile("trv71.dat"));
    QCOMPARE(results.participants, 1);
    QCOMPARE(results.names[0], sjb(u("山田太郎")));
    QCOMPARE(results.correct[0], 1);
}

// A provider that takes five messages a minute (the suite's throttled
// listener, at ten times the speed, as is the round's clock) and one player
// whose address bounces. Eight players need two of the provider's minutes to
// receive a question, and a question lasts three: the mail put off is sent
// again within the countdown, none twice; the bounce is told once.
void TestRealRound::throughAThrottledProviderWithABounce() {
    TestWorld world;
    SteppedClock clock;
    world.useClock(clock);

    PreparedRound round;
    QStringList reachable;
    for (int i = 1; i <= 8; ++i) reachable << QString("player%1@docomo.ne.jp").arg(i, 3, 10, QChar('0'));
    const QString gone = QString("hanako@") + RealServers::bouncingDomain;
    for (const QString& address : reachable) round.addressBook << PreparedRound::Entry{address.left(9), address, true};
    round.addressBook << PreparedRound::Entry{u("不達"), gone, true};
    round.questions = {
        {u("第1問"), u("日本一高い山は?"), {u("富士山"), u("北岳")}, 1, 10, 3},
        {u("第2問"), u("日本一長い川は?"), {u("利根川"), u("信濃川")}, 2, 10, 3},
    };
    QVERIFY(round.writeTo(world.files));
    TransportSettings t;
    t.SmtpPort = storedPort(RealServers::throttledPort);
    QVERIFY(writeRecordFile(world.files, FileNames::kTransport, t));
    const QString invitation = fromSjis(round.invitation().Subject);
    const QuestionSet set = round.questionSet();
    const QStringList questions{fromSjis(set.Subject[1]), fromSjis(set.Subject[2])};
    const QString closing = fromSjis(round.closingMail().Subject);

    SimulatedPhones phones(RealServers::operatorAddress);
    for (const QString& address : reachable)
        phones.add(address, [](const PhoneMail& mail, int index) -> QList<PhoneReply> {
            if (index == 0) return {appReply(mail, ReplyShape::Feature, u("参加します。"))};
            if (index > 2) return {};
            return {PhoneReply{encodedWordSubject(mail.subject), {}, quotedAnswerBody(mail, QString::number(index))}};
        });
    phones.start(50);

    Form1 form(world.module1, [&] { return world.appFolder(); });
    form.show();
    // A second of the round passes in a tenth of one, and not before every
    // phone has answered what it received and Postfix has delivered it (a
    // phone that never does lets time go on after a minute, so the test
    // fails on what is missing instead of hanging).
    QElapsedTimer wall;
    wall.start();
    qint64 lastStep = 0;
    clock.gate = [&] {
        const qint64 since = wall.elapsed() - lastStep;
        if (since < RealServers::throttleUnitMs / 60) return false;
        const QString status = form.Text7->text();
        const QString awaited = status.left(status.indexOf(u("の返信待ちです。")));
        bool answered = RealServers::queuedMessageCount() == 0;
        for (const QString& address : reachable)
            for (const PhoneMail& m : phones.received(address))
                answered = answered && (m.subject != awaited || phones.hasHandled(address, awaited));
        if (!answered && since < 60000) return false;
        lastStep = wall.elapsed();
        return true;
    };
    QTest::mouseClick(form.Command6, Qt::LeftButton);
    QCOMPARE(form.Text7->text(), u("クイズ終了しました。"));
    QCOMPARE(world.messageBox.texts(), QStringList());
    for (const QString& address : reachable) QTRY_VERIFY_WITH_TIMEOUT(phones.hasHandled(address, closing), 30000);
    phones.stop();
    QCOMPARE(phones.errors(), QStringList());

    // Every player got every mail once, and answered every question.
    for (const QString& address : reachable) {
        QStringList subjects;
        for (const PhoneMail& m : phones.received(address)) subjects << m.subject;
        QCOMPARE(subjects, (QStringList{invitation} << questions << closing));
    }
    ParticipantTable results;
    QVERIFY(readRecordFile(world.files, "trv71.dat", results, DataFiles::Mode::ReadOnly));
    QCOMPARE(int(results.ParticipantCount), 8);
    for (int row = 0; row < 8; ++row) QCOMPARE(int(results.得点数[row]), 20);

    // The log: in every mailing to the eight some were put off, and each of
    // those was sent later, once; the bounce is told once.
    QStringList log = QString::fromUtf8(world.readFile("delivery1.log")).split('\n', Qt::SkipEmptyParts);
    for (QString& line : log) line = line.section('\t', 1);   // without the time
    for (const QString& phase : {u("問題1"), u("問題2"), u("クイズ終了")}) {
        QStringList putOff, later;
        for (const QString& line : log) {
            const QStringList f = line.split('\t');
            if (f.size() != 4 || f[0] != phase) continue;
            if (f[2] == u("MAIL FROM 一時的に拒否")) {
                QCOMPARE(f[3], QString("450 4.7.1 Error: too much mail from 127.0.0.1"));
                if (!putOff.contains(f[1])) putOff << f[1];
            }
            if (f[2] == u("再送で送信")) later << f[1];
        }
        QVERIFY2(!putOff.isEmpty() && later.size() == putOff.size(), qPrintable(phase + "\n" + log.join('\n')));
        putOff.sort();
        later.sort();
        QCOMPARE(later, putOff);
    }
    QCOMPARE(log.filter(u("再送をあきらめました")), QStringList());
    QCOMPARE(log.filter(gone), (QStringList{u("不達通知\t") + gone + u("\t配送できませんでした\t5.1.1 unknown user: \"hanako\"")}));
    QCOMPARE(form.Undelivered->text(), u("送信できなかったアドレス: 1件"));
}

QTEST_MAIN(TestRealRound)
#include "tst_real_round.moc"
