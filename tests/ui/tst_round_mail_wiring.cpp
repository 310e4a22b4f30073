#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include "mail/OutgoingMessage.h"
#include "run/Scoring.h"
#include "support/MessageStamp.h"
#include "support/ScriptedServer.h"
#include "support/TestWorld.h"
#include "ui/Form1.h"

// The main window's round mail (send and fetch) against scripted servers on
// loopback, through the window's own sockets, timers and status line.

namespace {

using Answer = ScriptedServer::Answer;

QByteArray bytes(const std::string& s) { return QByteArray::fromStdString(s); }

}  // namespace

class TestRoundMailWiring : public QObject {
    Q_OBJECT
private slots:
    void invitationToTheAddressList();
    void questionMailCompletedPerParticipant();
    void timeOutInsideARoundKeepsButtonsDisabled();
    void fetchAcceptsRepliesAndRemembersTheSubject();
};

void TestRoundMailWiring::invitationToTheAddressList()
{
    TestWorld world;
    Module1& m = world.module1;
    Form1 form(m, [&] { return world.appFolder(); });
    ScriptedServer server(Answer{{"220-mx.trivorn.test\r\n", "220 ready\r\n"}}, ScriptedServer::smtpAcceptingAll());
    form.roundMail().overrides.smtpPort = server.port();
    m.mailSettings.SmtpServer = "127.0.0.1";
    m.mailSettings.OwnAddress = "quiz@trivorn.test";
    m.mailSettings.SenderName = sjis("クイズ事務局");
    m.quizRun.ListNames[0] = sjis("山田");
    m.quizRun.ListAddresses[0] = "taro@docomo.ne.jp";
    m.quizRun.ListNames[1] = sjis("鈴木");
    m.quizRun.ListAddresses[1] = "hana@ezweb.ne.jp";
    m.quizRun.AddressLastIndex = 1;
    const OutgoingMail mail{sjis("第3回クイズ大会参加確認"), sjis("参加される方は\r\n.\r\nこのまま返信して下さい。"), false,
                            AddressListRecipients(m.quizRun)};

    form.roundMail().send(mail);

    QCOMPARE(server.commands(), (QList<QByteArray>{"HELO quizhost.trivorn.test", "MAIL FROM:<quiz@trivorn.test>",
                                                     "RCPT TO:<taro@docomo.ne.jp>", "RCPT TO:<hana@ezweb.ne.jp>",
                                                     "DATA", "<message>", "QUIT"}));
    // From the operator by name, to nobody by name: the two addresses stay
    // in the envelope.
    MessageHeaders h;
    h.fixedBlock = BuildHeaderBlock("quiz@trivorn.test");
    h.from = {m.mailSettings.SenderName, "quiz@trivorn.test"};
    h.subject = mail.MailSubject;
    h = stampedLike(h, server.received[5]);
    QCOMPARE(server.received[5], bytes(BuildMessageText(HeaderSection(h), mail.MailBody)));
    QVERIFY(server.received[5].contains("\r\nTo: undisclosed-recipients:;\r\nMessage-ID: <"));
    // The replies that name it are replies to it.
    QCOMPARE(form.vars.sentIds.awaited.count(h.messageId), std::size_t(1));
    QCOMPARE(fromSjis(form.status()), QString::fromUtf8("送信メールサバー接続終了"));
    QCOMPARE(form.ProgressBar1->maximum(), 2);
    QCOMPARE(form.ProgressBar1->value(), 2);
    QVERIFY(world.messageBox.shown.empty());
}

void TestRoundMailWiring::questionMailCompletedPerParticipant()
{
    TestWorld world;
    Module1& m = world.module1;
    Form1 form(m, [&] { return world.appFolder(); });
    ScriptedServer server(Answer::reply("220 mx\r\n"), ScriptedServer::smtpAcceptingAll());
    form.roundMail().overrides.smtpPort = server.port();
    m.mailSettings.SmtpServer = "127.0.0.1";
    m.mailSettings.OwnAddress = "quiz@trivorn.test";

    // Two participants after question 1: hana answered right, taro wrong.
    sizeParticipantTable(m, 2, 2);
    ParticipantTable& t = m.quizRun.participants;
    const char* names[] = {"taro", "hana"};
    for (int i = 0; i < 2; ++i) {
        t.名前[i] = names[i];
        t.アドレス[i] = std::string(names[i]) + "@docomo.ne.jp";
    }
    t.ParticipantCount = 2;
    m.quizRun.ParticipantLastIndex = 1;
    t.得点数[1] = 10;
    t.採点.at(0, 1) = sjis("×");
    t.採点.at(1, 1) = sjis("○");
    m.questionSet.TotalPoints = 20;
    sizeAnswerTables(m, 2, 2);
    Rank(m);
    m.quizRun.CurrentQuestion = 2;
    const OutgoingMail mail{sjis("第2問"), sjis("問題1:×\r\n順位:xxx位\r\n合計得点:xxx/20"), true,
                            ParticipantRecipients(m.quizRun)};

    form.roundMail().send(mail);

    QCOMPARE(server.commands(),
             (QList<QByteArray>{"HELO quizhost.trivorn.test", "MAIL FROM:<quiz@trivorn.test>", "RCPT TO:<taro@docomo.ne.jp>",
                                "DATA", "<message>", "MAIL FROM:<quiz@trivorn.test>", "RCPT TO:<hana@docomo.ne.jp>",
                                "DATA", "<message>", "QUIT"}));
    // Each to its player by name.
    auto headersFor = [&](int row) {
        MessageHeaders h;
        h.fixedBlock = BuildHeaderBlock("quiz@trivorn.test");
        h.from = {"", "quiz@trivorn.test"};
        h.to = Mailbox{t.名前[row], t.アドレス[row]};
        h.subject = mail.MailSubject;
        return HeaderSection(stampedLike(h, server.received[row == 0 ? 4 : 8]));
    };
    const QByteArray forTaro = bytes(BuildMessageText(headersFor(0), CompleteMail(m, 0, mail.MailBody)));
    const QByteArray forHana = bytes(BuildMessageText(headersFor(1), CompleteMail(m, 1, mail.MailBody)));
    QVERIFY(forTaro != forHana);
    QCOMPARE(server.received[4], forTaro);
    QCOMPARE(server.received[8], forHana);
}

void TestRoundMailWiring::timeOutInsideARoundKeepsButtonsDisabled()
{
    TestWorld world;
    Module1& m = world.module1;
    Form1 form(m, [&] { return world.appFolder(); });
    ScriptedServer server(Answer::silence(), {});
    form.roundMail().overrides.smtpPort = server.port();
    form.roundMail().overrides.timeoutMs = 300;
    m.mailSettings.SmtpServer = "127.0.0.1";
    m.quizRun.ListAddresses[0] = "taro@docomo.ne.jp";
    m.quizRun.AddressLastIndex = 0;
    for (QPushButton* b : {form.Command1, form.Command2, form.Command3, form.Command4, form.Command5,
                           form.Command6, form.Command7})
        b->setEnabled(false);   // as START leaves them

    QElapsedTimer clock;
    clock.start();
    form.roundMail().send({"S", {}, false, AddressListRecipients(m.quizRun)});

    QVERIFY(clock.elapsed() >= 300);
    QCOMPARE(world.messageBox.shown.size(), std::size_t(1));
    QCOMPARE(world.messageBox.shown[0].text, std::string("Time Out Err"));
    QVERIFY(!world.messageBox.shown[0].blocking);
    for (QPushButton* b : {form.Command1, form.Command2, form.Command3, form.Command4, form.Command5,
                           form.Command6, form.Command7})
        QVERIFY(!b->isEnabled());
}

void TestRoundMailWiring::fetchAcceptsRepliesAndRemembersTheSubject()
{
    TestWorld world;
    Module1& m = world.module1;
    Form1 form(m, [&] { return world.appFolder(); });
    const QByteArray invite = QByteArray::fromStdString(sjis("参加確認"));
    const QByteArray jisSubject = "Re: \x1b$B;22C3NG'\x1b(B";   // raw ISO-2022-JP 参加確認
    ScriptedServer server(Answer::reply("+OK Dovecot (Debian) ready.\r\n"),
                          ScriptedServer::pop3Serving([=] {
                              return QList<QByteArray>{deliveredReply("taro@docomo.ne.jp", jisSubject, "join"),
                                                       deliveredReply("spam@example.com", jisSubject, "join"),
                                                       deliveredReply("hana@ezweb.ne.jp", "Re: other", "x")};
                          }));
    form.roundMail().overrides.pop3Port = server.port();
    m.mailSettings.Pop3Server = "127.0.0.1";
    m.mailSettings.AccountId = "quiz@trivorn.test";
    m.mailSettings.Password = "dHJpdm9ybg";   // "trivorn" as stored
    m.mailSettings.OwnAddress = "quiz@trivorn.test";
    m.quizRun.ListNames[0] = "taro";
    m.quizRun.ListAddresses[0] = "taro@docomo.ne.jp";
    m.quizRun.ListNames[1] = "hana";
    m.quizRun.ListAddresses[1] = "hana@ezweb.ne.jp";
    m.quizRun.AddressLastIndex = 1;
    sizeParticipantTable(m, 2, 1);
    m.quizRun.ArrivalCounter = 9;
    const OutgoingMail invitation{invite.toStdString(), {}, false, {}};
    form.vars.遅れメール = "Re:earlier";

    form.roundMail().fetch(invitation);

    QCOMPARE(server.received, (QList<QByteArray>{"USER quiz@trivorn.test", "PASS trivorn", "STAT", "RETR 1",
                                                  "RETR 2", "RETR 3", "DELE 1", "QUIT"}));
    QCOMPARE(m.quizRun.ListJoined[0], std::int16_t(1));
    QCOMPARE(m.quizRun.ListJoined[1], std::int16_t(0));
    QCOMPARE(m.quizRun.ParticipantCount(), std::int16_t(1));
    QVERIFY(m.quizRun.ArrivalCounter != 9);
    QCOMPARE(form.vars.遅れメール, "Re:earlier" + ReplySubject(invitation));
    QCOMPARE(fromSjis(form.status()), QString::fromUtf8("受信メールサバー接続終了"));
    QVERIFY(world.messageBox.shown.empty());
}

QTEST_MAIN(TestRoundMailWiring)
#include "tst_round_mail_wiring.moc"
