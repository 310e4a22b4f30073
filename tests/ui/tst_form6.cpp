#include <QAccessible>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "model/QuestionRules.h"
#include "model/RecordCodec.h"
#include "model/RecordFiles.h"
#include "support/OperatorActions.h"
#include "support/RawRecord.h"
#include "support/TestWorld.h"
#include "ui/ComboLock.h"
#include "ui/Form1.h"
#include "ui/Form6.h"
#include "ui/Widgets.h"

namespace {

QString crlfLines(const QStringList& lines) {
    QString text;
    for (const QString& l : lines) text += l + "\n";
    return text;
}

}  // namespace

class TestForm6 : public QObject {
    Q_OBJECT

    std::unique_ptr<TestWorld> world;
    QPointer<Form6> w;

    Form6* open() {
        w = new Form6(world->module1);
        w->show();
        return w.data();
    }
    QStringList bodyLines() const { return w->Text2->toPlainText().split('\n'); }

    void writeCounter(int round) { world->writeFile("trv3.dat", counterFile(round)); }
    void writeName(const char* name) {
        MailSettings settings;
        settings.SenderName = sjis(name);
        settings.OwnAddress = "quiz@trivorn.test";
        QVERIFY(writeRecordFile(world->files, "trv1.dat", settings));
    }
    // A question file as the question editor leaves it: every subject filled.
    void writeQuestions(const SjisText& round, int count, int lastCorrect, int total) {
        auto set = std::make_unique<QuestionSet>();
        set->QuestionCount = std::to_string(count);
        for (int q = 1; q <= 100; ++q) set->Subject[q] = sjis(QStringLiteral("第%1問").arg(q));
        set->CorrectChoice[count] = std::int16_t(lastCorrect);
        if (count > 1) set->CorrectChoice[count - 1] = 9;   // not the one the mail reports
        set->TotalPoints = std::int16_t(total);
        QVERIFY(writeQuestionFile(world->files, round, *set));
    }
    void writeClosing(const SjisText& file, int round, const char* body, int replyMinutes = 0) {
        ClosingMail mail;
        mail.Greeting = sjis("ご苦労さまでした。");
        mail.SenderName = sjis("保存した名前");
        mail.Round = std::int16_t(round);
        mail.ReplyMinutes = std::int16_t(replyMinutes);
        mail.Subject = sjis("保存した件名");
        mail.ByteCount = 12;
        mail.Body = sjis(body);
        QVERIFY(writeRecordFile(world->files, file, mail));
    }

private slots:
    void init() { world = std::make_unique<TestWorld>(); }
    void cleanup() {
        delete w.data();
        world.reset();
    }

    void closingMailOfRoundThree() {
        writeCounter(3);
        writeName("山田");
        writeQuestions("3", 3, 2, 100);
        QVERIFY(!world->exists("trv63.dat"));

        open();
        QCOMPARE(w->windowTitle(), QStringLiteral("クイズ終了確認"));
        QVERIFY(w->Loaded);
        QCOMPARE(w->Combo1->currentText(), QStringLiteral("3"));
        QCOMPARE(op::entries(w->Combo1), op::numbers(1, 3));
        QCOMPARE(w->Combo0->currentText(), QStringLiteral("お疲れさまです。"));
        QCOMPARE(op::entries(w->Combo0), (QStringList{QStringLiteral("お疲れさまです。"), QStringLiteral("ご苦労さまでした。")}));
        QCOMPARE(w->Text0->text(), QStringLiteral("山田"));
        QCOMPARE(w->Text1->text(), QStringLiteral("第3回のクイズ終了ご確認"));
        const QString expected = crlfLines(
            {"********************", "* TRIVORN          *", "********************", QStringLiteral("お疲れさまです。"),
             QStringLiteral("山田です。"), QStringLiteral("これで、第3回目の"), QStringLiteral("クイズを終了いたします。"),
             "--------------------", QStringLiteral("問題3:×"), QStringLiteral("正解:2"), QStringLiteral("順位:xxx位"),
             QStringLiteral("合計得点:xxx/100"), "--------------------"});
        QCOMPARE(w->Text2->toPlainText(), expected);
        QCOMPARE(w->Text3->text().toInt(), op::sjisBytes(expected));
        QVERIFY(w->Command1->isEnabled());
        QVERIFY(!hasPastRoundColour(w->Text2));
        QVERIFY(world->messageBox.shown.empty());
        // The closing-mail file now exists, empty, until "確定" fills it.
        QVERIFY(world->exists("trv63.dat"));
        QCOMPARE(world->readFile("trv63.dat").size(), 0);
    }

    void nameMissingWithoutMailSettings() {
        writeQuestions("1", 1, 1, 100);
        open();
        QCOMPARE(w->Text0->text(), QString());
        QCOMPARE(bodyLines().at(4), QStringLiteral("です。"));
        QCOMPARE(bodyLines().at(5), QStringLiteral("これで、第1回目の"));
    }

    void greetingChosenRecomposesTypedDoesNot() {
        writeName("山田");
        writeQuestions("1", 2, 3, 100);
        open();
        op::append(w->Text2, QStringLiteral("追伸"));
        QVERIFY(w->Text2->toPlainText().endsWith(QStringLiteral("追伸")));
        QCOMPARE(w->Text3->text().toInt(), op::sjisBytes(w->Text2->toPlainText()));

        QVERIFY(op::choose(w->Combo0, QStringLiteral("ご苦労さまでした。")));
        QCOMPARE(bodyLines().at(3), QStringLiteral("ご苦労さまでした。"));
        QVERIFY(!w->Text2->toPlainText().contains(QStringLiteral("追伸")));   // hand edit dropped

        op::retype(w->Combo0, QStringLiteral("お疲れさまです。"));
        QTest::keyClick(w->Combo0->lineEdit(), Qt::Key_Return);   // typed, even when it is an entry
        QCOMPARE(bodyLines().at(3), QStringLiteral("ご苦労さまでした。"));
        op::retype(w->Text0, QStringLiteral("鈴木"));
        QCOMPARE(bodyLines().at(3), QStringLiteral("お疲れさまです。"));
        QCOMPARE(bodyLines().at(4), QStringLiteral("鈴木です。"));
        QCOMPARE(w->Text3->text().toInt(), op::sjisBytes(w->Text2->toPlainText()));

        // A typed greeting is saved as typed even though it never recomposed.
        op::retype(w->Combo0, QStringLiteral("こんばんは"));
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QTRY_VERIFY(w.isNull());
        const RawMailFile raw(world->readFile("trv61.dat"));
        QCOMPARE(raw.greeting, bytesOf(sjis("こんばんは")));
        QVERIFY(raw.body.contains(bytesOf(sjis("\r\nお疲れさまです。\r\n鈴木です。\r\n"))));
    }

    void storedMailIsShownUnlessItsRoundIsZero_data() {
        QTest::addColumn<int>("storedRound");
        QTest::addColumn<bool>("shown");
        QTest::newRow("round 0: never stored") << 0 << false;
        QTest::newRow("round 2: stored") << 2 << true;
    }
    void storedMailIsShownUnlessItsRoundIsZero() {
        QFETCH(int, storedRound);
        QFETCH(bool, shown);
        writeCounter(2);
        writeName("山田");
        writeQuestions("2", 1, 4, 100);
        writeClosing("trv62.dat", storedRound, "保存した本文\r\n二行目");
        open();
        if (shown) {
            QCOMPARE(w->Combo0->currentText(), QStringLiteral("ご苦労さまでした。"));
            QCOMPARE(w->Text0->text(), QStringLiteral("保存した名前"));
            QCOMPARE(w->Text1->text(), QStringLiteral("保存した件名"));
            QCOMPARE(w->Text2->toPlainText(), QStringLiteral("保存した本文\n二行目"));
            QCOMPARE(w->Text3->text().toInt(), op::sjisBytes(w->Text2->toPlainText()));
        } else {
            QCOMPARE(w->Combo0->currentText(), QStringLiteral("お疲れさまです。"));
            QCOMPARE(w->Text0->text(), QStringLiteral("山田"));
            QCOMPARE(w->Text1->text(), QStringLiteral("第2回のクイズ終了ご確認"));
            QCOMPARE(bodyLines().at(9), QStringLiteral("正解:4"));
        }
        QVERIFY(w->Loaded);
    }

    void windowWithoutQuestionsIsBlocked_data() {
        QTest::addColumn<QByteArray>("questionFile");   // "-": none at all
        QTest::newRow("no question file") << QByteArray("-");
        QTest::newRow("empty question file") << QByteArray();
        {
            auto set = std::make_unique<QuestionSet>();
            set->Subject[1] = "x";
            QTest::newRow("count empty") << QByteArray::fromStdString(encodeRecord(*set));
            set->QuestionCount = "0";
            QTest::newRow("count 0") << QByteArray::fromStdString(encodeRecord(*set));
        }
    }
    void windowWithoutQuestionsIsBlocked() {
        QFETCH(QByteArray, questionFile);
        writeName("山田");
        if (questionFile != "-") world->writeFile("trv51.dat", questionFile);
        open();
        QCOMPARE(world->messageBox.texts(), QStringList{QStringLiteral("問題を入力して下さい")});
        QVERIFY(world->messageBox.shown[0].blocking);
        QVERIFY(!w->Loaded);
        for (QWidget* c : std::initializer_list<QWidget*>{w->Combo1, w->Combo0, w->Text0, w->Text1, w->Text3, w->Text2})
            QVERIFY2(hasPastRoundColour(c), qPrintable(c->accessibleName()));
        QVERIFY(isComboLocked(w->Combo1));
        QVERIFY(isComboLocked(w->Combo0));
        QVERIFY(!op::takesTyping(w->Text0));
        QVERIFY(!op::takesTyping(w->Text1));
        QVERIFY(!op::takesTyping(w->Text2));
        QVERIFY(!op::takesTyping(w->Combo1->lineEdit()));
        QVERIFY(!w->Command1->isEnabled());
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QVERIFY(w->isVisible());

        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QTRY_VERIFY(w.isNull());
        QVERIFY(!world->exists("trv61.dat"));
    }

    void blockedWindowStillLeadsBackToTheMainWindow() {
        Form1 menu(world->module1, [this] { return world->appFolder(); });
        menu.setEditorFactory(5, [this] { return new Form6(world->module1); });
        menu.show();
        QTest::mouseClick(menu.Command5, Qt::LeftButton);
        w = qobject_cast<Form6*>(menu.editorWindow(5));
        QVERIFY(w && w->isVisible());
        QVERIFY(!menu.isVisible());
        QCOMPARE(world->messageBox.texts(), QStringList{QStringLiteral("問題を入力して下さい")});
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QVERIFY(menu.isVisible());
        QTRY_VERIFY(w.isNull());
        QVERIFY(!world->exists("trv61.dat"));
    }

    void saveAndReopen() {
        writeCounter(2);
        writeName("山田");
        writeQuestions("2", 5, 1, 500);
        // Never saved (round 0), but carrying a reply time that must survive.
        writeClosing("trv62.dat", 0, "", 9);
        open();
        op::retype(w->Text1, QStringLiteral("今回の締め"));
        op::append(w->Text2, QStringLiteral("またね"));
        const QString body = w->Text2->toPlainText();
        QVERIFY(body.endsWith(QStringLiteral("--------------------\nまたね")));
        QCOMPARE(w->Text3->text().toInt(), op::sjisBytes(body));

        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QVERIFY(world->messageBox.shown.empty());
        QTRY_VERIFY(w.isNull());

        const QByteArray bytes = world->readFile("trv62.dat");
        const RawMailFile raw(bytes);
        ClosingMail stored;
        decodeRecord(std::string_view(bytes.constData(), std::size_t(bytes.size())), stored);
        QVERIFY(!raw.overrun);
        QCOMPARE(raw.end, bytes.size());
        QCOMPARE(raw.greeting, bytesOf(sjis("お疲れさまです。")));
        QCOMPARE(raw.name, bytesOf(sjis("山田")));
        QCOMPARE(raw.round, 2);
        QCOMPARE(raw.replyMinutes, 9);
        QCOMPARE(raw.subject, bytesOf(sjis("今回の締め")));
        QCOMPARE(raw.body, bytesOf(sjis(QString(body).replace("\n", "\r\n"))));
        QCOMPARE(raw.byteCount, raw.body.size());
        QVERIFY(raw.body.contains(bytesOf(sjis("\r\n問題5:×\r\n正解:1\r\n順位:xxx位\r\n合計得点:xxx/500\r\n"))));
        QCOMPARE(bytesOf(stored.Greeting), raw.greeting);
        QCOMPARE(bytesOf(stored.SenderName), raw.name);
        QCOMPARE(int(stored.Round), raw.round);
        QCOMPARE(int(stored.ReplyMinutes), raw.replyMinutes);
        QCOMPARE(bytesOf(stored.Subject), raw.subject);
        QCOMPARE(int(stored.ByteCount), raw.byteCount);
        QCOMPARE(bytesOf(stored.Body), raw.body);

        open();
        QCOMPARE(w->Text1->text(), QStringLiteral("今回の締め"));
        QCOMPARE(w->Text2->toPlainText(), body);
        QCOMPARE(w->Text3->text().toInt(), raw.byteCount);
    }

    void failedSaveKeepsTheWindowOpen() {
        writeQuestions("1", 1, 1, 100);
        op::WritesFail full(world->files);
        world->platform.files = &full;
        open();
        op::retype(w->Text1, QStringLiteral("残したい件名"));
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QCOMPARE(world->messageBox.shown.size(), std::size_t(1));
        QVERIFY(world->messageBox.texts()[0].contains(QStringLiteral("保存できませんでした")));
        QVERIFY(w && w->isVisible());
        world->platform.files = &world->files;
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QTRY_VERIFY(w.isNull());
        QCOMPARE(RawMailFile(world->readFile("trv61.dat")).subject, bytesOf(sjis("残したい件名")));
    }

    void backSavesNothing() {
        writeQuestions("1", 1, 1, 100);
        open();
        op::retype(w->Text1, QStringLiteral("捨てる"));
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QTRY_VERIFY(w.isNull());
        QCOMPARE(world->readFile("trv61.dat").size(), 0);
    }

    void pastRoundsAreRedAndReadOnly() {
        writeCounter(3);
        writeName("山田");
        writeQuestions("1", 2, 1, 100);
        writeQuestions("2", 2, 4, 200);
        writeQuestions("3", 1, 1, 100);
        writeClosing("trv61.dat", 1, "第1回の終了メール");
        const QByteArray firstBytes = world->readFile("trv61.dat");
        open();
        op::retype(w->Text1, QStringLiteral("未保存の件名"));

        QVERIFY(op::choose(w->Combo1, "1"));
        QCOMPARE(w->Text2->toPlainText(), QStringLiteral("第1回の終了メール"));
        QCOMPARE(w->Text1->text(), QStringLiteral("保存した件名"));
        QCOMPARE(w->Text0->text(), QStringLiteral("保存した名前"));
        for (QWidget* c : std::initializer_list<QWidget*>{w->Combo1, w->Combo0, w->Text0, w->Text1, w->Text3, w->Text2})
            QVERIFY2(hasPastRoundColour(c), qPrintable(c->accessibleName()));
        QVERIFY(isComboLocked(w->Combo0));
        QVERIFY(!isComboLocked(w->Combo1));   // the way back stays open
        QVERIFY(!op::takesTyping(w->Text0));
        QVERIFY(!op::takesTyping(w->Text2));
        QVERIFY(!w->Command1->isEnabled());

        // A past round without a stored closing mail shows one composed from
        // its own questions, under its default subject.
        QVERIFY(op::choose(w->Combo1, "2"));
        QCOMPARE(w->Text1->text(), QStringLiteral("第2回のクイズ終了ご確認"));
        QCOMPARE(bodyLines().at(5), QStringLiteral("これで、第2回目の"));
        QCOMPARE(bodyLines().at(8), QStringLiteral("問題2:×"));
        QCOMPARE(bodyLines().at(9), QStringLiteral("正解:4"));
        QCOMPARE(bodyLines().at(11), QStringLiteral("合計得点:xxx/200"));
        QVERIFY(hasPastRoundColour(w->Text2));
        QVERIFY(world->exists("trv62.dat"));
        QCOMPARE(world->readFile("trv62.dat").size(), 0);

        QVERIFY(op::choose(w->Combo1, "3"));
        for (QWidget* c : std::initializer_list<QWidget*>{w->Combo1, w->Combo0, w->Text0, w->Text1, w->Text3, w->Text2})
            QVERIFY(!hasPastRoundColour(c));
        QVERIFY(!isComboLocked(w->Combo0));
        QVERIFY(op::takesTyping(w->Text2));
        QVERIFY(w->Command1->isEnabled());
        QCOMPARE(w->Text1->text(), QStringLiteral("第3回のクイズ終了ご確認"));
        QCOMPARE(w->Text0->text(), QStringLiteral("山田"));
        QCOMPARE(bodyLines().at(8), QStringLiteral("問題1:×"));
        QCOMPARE(bodyLines().at(3), QStringLiteral("お疲れさまです。"));
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QTRY_VERIFY(w.isNull());
        QCOMPARE(world->readFile("trv61.dat"), firstBytes);
        QCOMPARE(world->readFile("trv62.dat").size(), 0);
        QCOMPARE(RawMailFile(world->readFile("trv63.dat")).round, 3);
    }

    void roundTypedInsteadOfChosenIsRefused_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("not a number") << "x";
        QTest::newRow("empty") << "";
        QTest::newRow("no such round") << "99";
    }
    void roundTypedInsteadOfChosenIsRefused() {
        QFETCH(QString, typed);
        writeCounter(2);
        writeQuestions("2", 1, 1, 100);
        open();
        op::retype(w->Combo1, typed);
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QCOMPARE(world->messageBox.shown.size(), std::size_t(1));
        QVERIFY(world->messageBox.texts()[0].startsWith(QStringLiteral("「回数」")));
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->Combo1->currentText(), typed);
        QCOMPARE(world->readFile("trv62.dat").size(), 0);
        QVERIFY(!world->exists(QStringLiteral("trv6%1.dat").arg(typed)));
    }

    void everyControlIsNamedAndTakesJapanese() {
        writeQuestions("1", 1, 1, 100);
        open();
        int named = 0;
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if (c->parentWidget() != w.data() || qobject_cast<QLabel*>(c)) continue;
            if (!(qobject_cast<QLineEdit*>(c) || qobject_cast<QPlainTextEdit*>(c) || qobject_cast<QComboBox*>(c) ||
                  qobject_cast<QAbstractButton*>(c)))
                continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
            QVERIFY(a);
            QVERIFY2(!a->text(QAccessible::Name).isEmpty(), c->metaObject()->className());
            ++named;
        }
        QCOMPARE(named, 8);
        for (QWidget* box : std::initializer_list<QWidget*>{w->Text0, w->Text1, w->Text2, w->Combo0->lineEdit()})
            QVERIFY(box->testAttribute(Qt::WA_InputMethodEnabled));
    }
};

QTEST_MAIN(TestForm6)
#include "tst_form6.moc"
