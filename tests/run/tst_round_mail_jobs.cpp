#include <QtTest>

#include "codec/Base64.h"
#include "mail/OutgoingMessage.h"
#include "run/MailJobs.h"
#include "support/FakeTime.h"

// What the sessions get from the round's shared state.

class TestRoundMailJobs : public QObject {
    Q_OBJECT
private slots:
    void invitationGoesToTheAddressList_data();
    void invitationGoesToTheAddressList();
    void perRecipientMailGoesToParticipants();
    void fetchUsesAccountAndClearPassword_data();
    void fetchUsesAccountAndClearPassword();

private:
    FakeClock clock;   // mail is dated by it
    Platform platform = [this] {
        Platform p;
        p.clock = &clock;
        return p;
    }();
};

void TestRoundMailJobs::invitationGoesToTheAddressList_data()
{
    QTest::addColumn<int>("lastIndex");
    QTest::addColumn<int>("expected");
    QTest::newRow("three") << 2 << 3;
    QTest::newRow("one") << 0 << 1;
    QTest::newRow("none") << -1 << 0;
    QTest::newRow("every slot") << 999 << 1000;
    QTest::newRow("beyond the list") << 1500 << 1000;
}

void TestRoundMailJobs::invitationGoesToTheAddressList()
{
    QFETCH(int, lastIndex);
    QFETCH(int, expected);
    Module1 m(platform);
    m.mailSettings.SmtpServer = "smtp.trivorn.test";
    m.mailSettings.OwnAddress = "quiz@trivorn.test";
    m.mailSettings.SenderName = "Quiz";
    for (int i = 0; i < kAddressSlots; ++i) {
        m.quizRun.ListNames[std::size_t(i)] = "n" + std::to_string(i);
        m.quizRun.ListAddresses[std::size_t(i)] = "a" + std::to_string(i) + "@docomo.ne.jp";
    }
    m.quizRun.AddressLastIndex = std::int16_t(lastIndex);
    const OutgoingMail invitation{"Invite", "Join us", false, AddressListRecipients(m.quizRun)};
    int completions = 0;
    SmtpJob job =
        makeRoundSmtpJob(m, invitation, [&](Module1&, int, const SjisText& b) { ++completions; return b + "!"; });

    QCOMPARE(job.server, std::string("smtp.trivorn.test"));
    QCOMPARE(job.port, 25);
    QCOMPARE(job.timeoutMs, 10000);
    QCOMPARE(job.ownAddress, std::string("quiz@trivorn.test"));
    QCOMPARE(job.subject, std::string("Invite"));
    QVERIFY(!job.perRecipient);
    QCOMPARE(int(job.recipients.size()), expected);
    if (expected > 0) {
        QCOMPARE(job.recipients.back().name, "n" + std::to_string(expected - 1));
        QCOMPARE(job.recipients.back().address, "a" + std::to_string(expected - 1) + "@docomo.ne.jp");
        // From the operator, dated now; one text to many names none of them.
        const MessageHeaders h = job.headersFor(expected - 1);
        QCOMPARE(h.fixedBlock, BuildHeaderBlock("quiz@trivorn.test"));
        QCOMPARE(h.from.name + " " + h.from.address, std::string("Quiz quiz@trivorn.test"));
        QCOMPARE(h.subject, std::string("Invite"));
        QCOMPARE(h.date, std::string("Thu, 10 Dec 2026 23:45:12 +0900"));
        QVERIFY(h.messageId.size() > 20 && h.messageId.find("@trivorn.test>") == h.messageId.size() - 14);
        QCOMPARE(h.to.has_value(), expected == 1);
        if (h.to) QCOMPARE(h.to->address, std::string("a0@docomo.ne.jp"));
        QVERIFY(job.headersFor(expected - 1).messageId != h.messageId);
    }
    QCOMPARE(job.bodyFor(0), std::string("Join us"));
    QCOMPARE(completions, 0);
}

void TestRoundMailJobs::perRecipientMailGoesToParticipants()
{
    Module1 m(platform);
    ParticipantTable& t = m.quizRun.participants;
    t.名前.size(0, 4);
    t.アドレス.size(0, 4);
    const char* names[] = {"taro", "hanako", "jiro", "", ""};
    for (int i = 0; i < 5; ++i) {
        t.名前[i] = names[i];
        t.アドレス[i] = std::string(names[i]) + "@ezweb.ne.jp";
    }
    m.quizRun.ParticipantLastIndex = 2;
    m.quizRun.ListNames[0] = "not a participant";
    m.quizRun.AddressLastIndex = 0;
    const OutgoingMail question{"Q", "Q2", true, ParticipantRecipients(m.quizRun)};
    std::vector<std::pair<int, std::string>> calls;
    SmtpJob job = makeRoundSmtpJob(m, question, [&](Module1& mm, int row, const SjisText& body) {
        calls.push_back({row, body});
        return body + " for " + mm.quizRun.participants.名前[row];
    });
    QVERIFY(job.perRecipient);
    QCOMPARE(job.recipients.size(), std::size_t(3));
    QCOMPARE(job.recipients[1].address, std::string("hanako@ezweb.ne.jp"));
    QCOMPARE(job.bodyFor(1), std::string("Q2 for hanako"));
    QCOMPARE(job.bodyFor(2), std::string("Q2 for jiro"));
    // Each personal mail names its player.
    QCOMPARE(job.headersFor(1).to->name + " " + job.headersFor(1).to->address, std::string("hanako hanako@ezweb.ne.jp"));
    // Each copy starts again from the shared text, not from the previous copy.
    QCOMPARE(calls, (std::vector<std::pair<int, std::string>>{{1, "Q2"}, {2, "Q2"}}));
}

void TestRoundMailJobs::fetchUsesAccountAndClearPassword_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("clear");
    QTest::newRow("stored form") << QByteArray::fromStdString(EncodeBase64Text("trivorn")) << QByteArray("trivorn");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("not Base64") << QByteArray("#!*") << QByteArray();
}

void TestRoundMailJobs::fetchUsesAccountAndClearPassword()
{
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, clear);
    Module1 m(platform);
    m.mailSettings.Pop3Server = "pop.trivorn.test";
    m.mailSettings.AccountId = "quiz@trivorn.test";
    m.mailSettings.Password = stored.toStdString();
    m.quizRun.ArrivalCounter = 7;
    int parsed = 0;
    Pop3Job job = makeRoundPop3Job(m, [&](const std::string&) { ++parsed; return true; });
    QCOMPARE(job.server, std::string("pop.trivorn.test"));
    QCOMPARE(job.port, 110);
    QCOMPARE(job.account, std::string("quiz@trivorn.test"));
    QCOMPARE(job.password, clear.toStdString());
    QVERIFY(job.parse("x"));
    QCOMPARE(parsed, 1);
    QCOMPARE(m.quizRun.ArrivalCounter, std::int16_t(7));
    job.fetchBegins();
    QCOMPARE(m.quizRun.ArrivalCounter, std::int16_t(0));
}

QTEST_GUILESS_MAIN(TestRoundMailJobs)
#include "tst_round_mail_jobs.moc"
