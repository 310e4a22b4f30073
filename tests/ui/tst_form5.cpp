#include <QAccessible>
#include <QCheckBox>
#include <QPointer>
#include <QPushButton>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>
#include <memory>

#include "demo/DemoRound.h"
#include "model/QuestionRules.h"
#include "model/RecordCodec.h"
#include "model/RecordFiles.h"
#include "support/OperatorActions.h"
#include "support/RawRecord.h"
#include "support/TestWorld.h"
#include "ui/Form1.h"
#include "ui/Form5.h"
#include "run/QuestionMailText.h"
#include "ui/PageScrollBar.h"
#include "ui/ComboLock.h"
#include "ui/Widgets.h"

namespace {

// A control the window itself holds: placed on the window, or on the page of
// a scroll area of the window (the field column scrolls on a small screen).
bool onWindowOrPage(const QWidget* c, const QWidget* window) {
    const QWidget* p = c->parentWidget();
    if (p == window) return true;
    const QWidget* viewport = p ? p->parentWidget() : nullptr;
    auto* area = qobject_cast<const QScrollArea*>(viewport ? viewport->parentWidget() : nullptr);
    return area && area->widget() == p && area->parentWidget() == window;
}

// The question set as the program's record code reads it back.
std::unique_ptr<QuestionSet> decoded(const QByteArray& bytes) {
    auto set = std::make_unique<QuestionSet>();
    decodeRecord(std::string_view(bytes.constData(), std::size_t(bytes.size())), *set);
    return set;
}

// A round prepared by the demonstration's writer: "demo N" its round N,
// "small" the one many tests play.
PreparedRound prepared(const QString& which) {
    if (which == "small") return PreparedRound::small();
    return demo::round(which.section(' ', 1).toInt(), QStringLiteral("127.0.0.1"));
}

// The questions as the demonstration wrote them before it wrote them the
// editor's way: the round's own questions only, each used choice with its
// number and ":", the question's separator empty, every other slot blank,
// the mails composed from that.
std::unique_ptr<QuestionSet> olderDemoQuestions(const PreparedRound& round) {
    const auto now = std::make_unique<QuestionSet>(round.questionSet());
    auto set = std::make_unique<QuestionSet>();
    set->QuestionCount = now->QuestionCount;
    set->TotalPoints = now->TotalPoints;
    for (int q = 1; q <= int(round.questions.size()); ++q) {
        set->Subject[q] = now->Subject[q];
        set->QuestionText[q] = now->QuestionText[q];
        set->CorrectChoice[q] = now->CorrectChoice[q];
        set->ChoiceCorrect[q] = now->ChoiceCorrect[q];
        set->ReplyMinutes[q] = now->ReplyMinutes[q];
        set->Points[q] = now->Points[q];
        for (int f = 0; f < int(round.questions[q - 1].choices.size()); ++f) {
            set->ChoiceLabel[q][f] = now->ChoiceLabel[q][f];
            set->ChoiceSeparator[q][f] = ":";
            set->ChoiceText[q][f] = now->ChoiceText[q][f];
        }
    }
    ComposeAllQuestionMails(*set);
    return set;
}

QString widgetText(const SjisText& stored) { return fromSjis(stored).replace("\r\n", "\n"); }

}  // namespace

class TestForm5 : public QObject {
    Q_OBJECT

    std::unique_ptr<TestWorld> world;
    QPointer<Form5> w;

    Form5* open() {
        w = new Form5(world->module1);
        w->show();
        return w.data();
    }
    QuestionSet& set() { return world->module1.questionSet; }
    QStringList mailLines() const { return w->Text8->toPlainText().split('\n'); }

private slots:
    void init() { world = std::make_unique<TestWorld>(); }
    void cleanup() {
        delete w.data();
        world.reset();
    }

    void firstStartShowsDefaults_data() {
        QTest::addColumn<QByteArray>("counter");   // empty: no trv3.dat
        QTest::addColumn<int>("round");
        QTest::newRow("no counter file") << QByteArray() << 1;
        QTest::newRow("counter 0") << counterFile(0) << 1;
        QTest::newRow("counter 3") << counterFile(3) << 3;
    }
    void firstStartShowsDefaults() {
        QFETCH(QByteArray, counter);
        QFETCH(int, round);
        if (!counter.isEmpty()) world->writeFile("trv3.dat", counter);
        const QString file = QStringLiteral("trv5%1.dat").arg(round);
        QVERIFY(!world->exists(file));

        open();
        QCOMPARE(w->windowTitle(), QStringLiteral("問題入力"));
        QCOMPARE(w->Combo1->currentText(), QString::number(round));
        QCOMPARE(op::entries(w->Combo1), op::numbers(1, round));
        QCOMPARE(w->Combo2->currentText(), QStringLiteral("1"));
        QCOMPARE(op::entries(w->Combo2), op::numbers(1, 100));
        QCOMPARE(w->Combo5->currentText(), QStringLiteral("100"));
        QCOMPARE(op::entries(w->Combo5), op::numbers(100, 1000, 100));
        QCOMPARE(w->Combo3->currentText(), QStringLiteral("1"));
        QCOMPARE(op::entries(w->Combo3), op::numbers(1, 1));
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("5"));
        QCOMPARE(op::entries(w->Combo4), op::numbers(1, 20));
        QCOMPARE(w->Text7->text(), QStringLiteral("100"));
        QCOMPARE(w->Text1->text(), QStringLiteral("第%1回のクイズ第1問").arg(round));
        QCOMPARE(w->Text2->toPlainText(), QString());
        QCOMPARE(w->Text4->text(), QStringLiteral(":"));
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(w->Text3[i]->text(), QString::number(i + 1));
            QCOMPARE(w->Text5[i]->text(), QStringLiteral(":"));
            QCOMPARE(w->Text6[i]->text(), QString());
            QVERIFY(!w->Check1[i]->isChecked());
        }
        QCOMPARE(w->VScroll1->value(), 0);
        QCOMPARE(mailLines().last(), QStringLiteral("答:   (点数:100)"));
        QCOMPARE(mailLines().at(3), QStringLiteral("問題1、"));
        QCOMPARE(w->Text9->text().toInt(), op::sjisBytes(w->Text8->toPlainText()));
        QVERIFY(w->Command1->isEnabled());
        QVERIFY(!hasPastRoundColour(w->Text1));

        // Opening the round's file for reading left it behind, empty; nothing
        // was stored.
        QVERIFY(world->exists(file));
        QCOMPARE(world->readFile(file).size(), 0);
        QVERIFY(world->messageBox.shown.empty());
    }

    void countAndFullScoreShareOutThePoints() {
        open();
        QVERIFY(op::choose(w->Combo2, "3"));
        QCOMPARE(op::entries(w->Combo3), op::numbers(1, 3));
        QCOMPARE(w->Combo3->currentText(), QStringLiteral("1"));
        QCOMPARE(set().QuestionCount, SjisText("3"));
        QCOMPARE((QList<int>{set().Points[1], set().Points[2], set().Points[3]}), (QList<int>{33, 33, 34}));
        QCOMPARE(w->Text7->text(), QStringLiteral("33"));

        QVERIFY(op::choose(w->Combo5, "1000"));
        QCOMPARE(set().TotalPoints, std::int16_t(1000));
        QCOMPARE((QList<int>{set().Points[1], set().Points[2], set().Points[3]}), (QList<int>{333, 333, 334}));
        QCOMPARE(w->Text7->text(), QStringLiteral("333"));
        QCOMPARE(mailLines().last(), QStringLiteral("答:   (点数:333)"));

        // The questions not on screen carry the new points and full score too.
        const QStringList third = fromSjis(set().QuestionMail[3]).split("\r\n");
        QCOMPARE(third.last(), QStringLiteral("答:   (点数:334)"));
        QVERIFY(third.contains(QStringLiteral("合計得点:xxx/1000")));

        QVERIFY(op::choose(w->Combo3, "3"));
        QCOMPARE(w->Text7->text(), QStringLiteral("334"));
        QCOMPARE(w->Text1->text(), QStringLiteral("第1回のクイズ第3問"));
        QVERIFY(mailLines().contains(QStringLiteral("合計得点:xxx/1000")));
    }

    void tickingAnEmptyChoiceLeavesItUnticked() {
        open();
        op::retype(w->Text6[1], QStringLiteral("青"));
        QTest::mouseClick(w->Check1[1], Qt::LeftButton);
        QVERIFY(w->Check1[1]->isChecked());
        QCOMPARE(set().CorrectChoice[1], std::int16_t(2));

        QTest::mouseClick(w->Check1[3], Qt::LeftButton);
        QVERIFY(!w->Check1[3]->isChecked());
        QVERIFY(w->Check1[1]->isChecked());
        QCOMPARE(set().CorrectChoice[1], std::int16_t(2));
        QCOMPARE(set().ChoiceCorrect[1][3], std::int16_t(0));
        QCOMPARE(set().ChoiceCorrect[1][1], std::int16_t(1));

        // A single space counts as empty too; clearing a ticked choice takes
        // the tick off the screen but not out of the question.
        op::retype(w->Text6[1], QStringLiteral(" "));
        QVERIFY(!w->Check1[1]->isChecked());
        QCOMPARE(set().CorrectChoice[1], std::int16_t(2));
    }

    void tickingChoiceSevenOnTheSecondPage() {
        open();
        QVERIFY(op::choose(w->Combo2, "2"));
        op::retype(w->Text6[0], QStringLiteral("一"));
        QTest::mouseClick(w->Check1[0], Qt::LeftButton);
        QCOMPARE(set().CorrectChoice[1], std::int16_t(1));

        w->VScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(w->VScroll1->value(), 1);
        QCOMPARE(w->Text3[0]->text(), QStringLiteral("6"));
        QCOMPARE(w->Text3[1]->text(), QStringLiteral("7"));
        QVERIFY(!w->Check1[0]->isChecked());
        op::retype(w->Text6[1], QStringLiteral("七番目"));
        op::retype(w->Text6[3], QStringLiteral("九番目"));
        QCOMPARE(set().ChoiceText[1][6], sjis("七番目"));
        QTest::mouseClick(w->Check1[3], Qt::LeftButton);
        QTest::mouseClick(w->Check1[1], Qt::LeftButton);

        QCOMPARE(set().CorrectChoice[1], std::int16_t(7));
        for (int f = 0; f < 10; ++f) QCOMPARE(set().ChoiceCorrect[1][f], std::int16_t(f == 6 ? 1 : 0));
        for (int i = 0; i < 5; ++i) QCOMPARE(w->Check1[i]->isChecked(), i == 1);
        // The next question's mail already names the new correct choice.
        QVERIFY(fromSjis(set().QuestionMail[2]).split("\r\n").contains(QStringLiteral("正解:7")));
        QVERIFY(mailLines().contains(QStringLiteral("7:七番目")));

        QTest::mouseClick(w->Check1[1], Qt::LeftButton);
        QVERIFY(!w->Check1[1]->isChecked());
        QCOMPARE(set().CorrectChoice[1], std::int16_t(7));

        // Shown again, the question has its tick back.
        QVERIFY(op::choose(w->Combo3, "2"));
        QVERIFY(op::choose(w->Combo3, "1"));
        QCOMPARE(w->VScroll1->value(), 0);
        QVERIFY(!w->Check1[0]->isChecked());
        w->VScroll1->setValue(1);
        QCOMPARE(w->Text6[1]->text(), QStringLiteral("七番目"));
        QVERIFY(w->Check1[1]->isChecked());
        QVERIFY(!w->Check1[3]->isChecked());
    }

    void commonSeparatorReachesAllTenChoices() {
        world->writeFile("trv3.dat", counterFile(1));
        open();
        // Choosing the current round unlocks the per-choice boxes.
        QVERIFY(op::choose(w->Combo1, "1"));
        QVERIFY(op::takesTyping(w->Text5[2]));

        op::retype(w->Text4, ".");
        for (int f = 0; f < 10; ++f) QCOMPARE(set().ChoiceSeparator[1][f], SjisText("."));
        QCOMPARE(set().Separator[1], SjisText("."));
        for (int i = 0; i < 5; ++i) QCOMPARE(w->Text5[i]->text(), QStringLiteral("."));

        op::retype(w->Text6[2], QStringLiteral("名古屋"));
        op::retype(w->Text5[2], "-");
        QCOMPARE(set().ChoiceSeparator[1][2], SjisText("-"));
        QVERIFY(mailLines().contains(QStringLiteral("3-名古屋")));
        // Until the question is shown again.
        QVERIFY(op::choose(w->Combo2, "2"));
        QVERIFY(op::choose(w->Combo3, "1"));
        QCOMPARE(w->Text5[2]->text(), QStringLiteral("."));
        QCOMPARE(set().ChoiceSeparator[1][2], SjisText("."));
        QVERIFY(mailLines().contains(QStringLiteral("3.名古屋")));
    }

    void countShowsCharactersAfterAReplyTimeChange() {
        open();
        op::retype(w->Text2, QStringLiteral("ああああああああああ"));   // ten full-width characters
        const QString mail = w->Text8->toPlainText();
        QVERIFY(mail.contains(QStringLiteral("ああああああああああ")));
        QCOMPARE(w->Text9->text().toInt(), op::sjisBytes(mail));

        QVERIFY(op::choose(w->Combo4, "12"));
        QCOMPARE(set().ReplyMinutes[1], std::int16_t(12));
        QVERIFY(mailLines().contains(QStringLiteral("12分以内に返信の")));
        QCOMPARE(w->Text9->text().toInt(), op::sjisChars(w->Text8->toPlainText()));
        QVERIFY(op::sjisChars(w->Text8->toPlainText()) != op::sjisBytes(w->Text8->toPlainText()));

        // Typing a reply time counts characters as well.
        op::retype(w->Combo4, "9");
        QCOMPARE(set().ReplyMinutes[1], std::int16_t(9));
        QCOMPARE(w->Text9->text().toInt(), op::sjisChars(w->Text8->toPlainText()));

        op::retype(w->Text1, QStringLiteral("件名"));   // no recomposing, no count
        QCOMPARE(w->Text9->text().toInt(), op::sjisChars(w->Text8->toPlainText()));
        op::retype(w->Text6[0], QStringLiteral("いち"));
        QCOMPARE(w->Text9->text().toInt(), op::sjisBytes(w->Text8->toPlainText()));
    }

    void secondQuestionMailBuiltThroughTheWindow() {
        open();
        QVERIFY(op::choose(w->Combo2, "3"));
        op::retype(w->Text6[0], QStringLiteral("答え"));
        QTest::mouseClick(w->Check1[0], Qt::LeftButton);
        QVERIFY(op::choose(w->Combo3, "2"));
        op::retype(w->Text2, QStringLiteral("日本一高い山は？"));
        op::retype(w->Text6[0], QStringLiteral("富士山"));
        op::retype(w->Text6[1], QStringLiteral("北岳"));
        op::retype(w->Text6[2], QStringLiteral("奥穂高岳"));
        const QString expected = QStringLiteral(
            "********************\n* TRIVORN          *\n********************\n問題2、\n日本一高い山は？\n\n"
            "1:富士山\n2:北岳\n3:奥穂高岳\n\n'答:'に番号を入力\nして返信して下さい。\n5分以内に返信の\n"
            "ない方は不正解といたします｡\n--------------------\n問題1:×\n正解:1\n順位:xxx位\n"
            "合計得点:xxx/100\n--------------------\n答:   (点数:33)");
        QCOMPARE(w->Text8->toPlainText(), expected);
        QCOMPARE(fromSjis(set().QuestionMail[2]), QString(expected).replace("\n", "\r\n"));
        QCOMPARE(w->Text9->text().toInt(), int(set().QuestionMail[2].size()));
    }

    void handEditedMailLastsUntilTheNextRecomposingEdit() {
        open();
        op::append(w->Text8, QStringLiteral("\nよろしく"));
        QVERIFY(fromSjis(set().QuestionMail[1]).endsWith(QStringLiteral(")\r\nよろしく")));
        QCOMPARE(w->Text9->text().toInt(), op::sjisBytes(w->Text8->toPlainText()));
        op::retype(w->Text1, QStringLiteral("別の件名"));   // the subject is not in the mail
        QVERIFY(fromSjis(set().QuestionMail[1]).endsWith(QStringLiteral("よろしく")));
        op::retype(w->Text6[0], QStringLiteral("選択肢"));
        QVERIFY(fromSjis(set().QuestionMail[1]).endsWith(QStringLiteral("(点数:100)")));
        QVERIFY(!w->Text8->toPlainText().contains(QStringLiteral("よろしく")));
    }

    void saveAndReopen() {
        world->writeFile("trv3.dat", counterFile(2));
        open();
        QVERIFY(op::choose(w->Combo2, "2"));
        op::retype(w->Text1, QStringLiteral("富士山の問題"));
        op::retype(w->Text2, QStringLiteral("日本一高い山は？\n一つ選んで下さい"));
        op::retype(w->Text4, ".");
        op::retype(w->Text6[0], QStringLiteral("富士山"));
        op::retype(w->Text6[2], QStringLiteral("北岳"));
        w->VScroll1->setValue(1);
        op::retype(w->Text6[4], QStringLiteral("十番目"));
        QTest::mouseClick(w->Check1[4], Qt::LeftButton);
        QVERIFY(op::choose(w->Combo4, "7"));
        op::append(w->Text8, QStringLiteral("\n手直し"));
        const QString shownMail = w->Text8->toPlainText();
        QVERIFY(world->readFile("trv52.dat").isEmpty());

        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QVERIFY(!w->isVisible());
        QTRY_VERIFY(w.isNull());   // the window goes away with its edits
        QVERIFY(world->messageBox.shown.empty());

        const QByteArray bytes = world->readFile("trv52.dat");
        const RawQuestionFile raw(bytes);
        const auto stored = decoded(bytes);
        QVERIFY(!raw.overrun);
        QCOMPARE(raw.end, bytes.size());
        // The program's reader and the plain one agree, and both hold what was entered.
        QCOMPARE(raw.count, QByteArray("2"));
        QCOMPARE(bytesOf(stored->QuestionCount), raw.count);
        QCOMPARE(fromSjis(stored->Subject[1]), QStringLiteral("富士山の問題"));
        QCOMPARE(bytesOf(stored->Subject[1]), raw.subject[0]);
        QCOMPARE(fromSjis(stored->Subject[2]), QStringLiteral("第2回のクイズ第2問"));
        QCOMPARE(bytesOf(stored->Subject[2]), raw.subject[1]);
        QCOMPARE(raw.questionText[0], bytesOf(sjis("日本一高い山は？\r\n一つ選んで下さい")));
        QCOMPARE(bytesOf(stored->QuestionText[1]), raw.questionText[0]);
        QCOMPARE(raw.separator[0], QByteArray("."));
        QCOMPARE(raw.choiceText[RawQuestionFile::at(1, 0)], bytesOf(sjis("富士山")));
        QCOMPARE(raw.choiceText[RawQuestionFile::at(1, 2)], bytesOf(sjis("北岳")));
        QCOMPARE(raw.choiceText[RawQuestionFile::at(1, 9)], bytesOf(sjis("十番目")));
        QCOMPARE(bytesOf(stored->ChoiceText[1][9]), raw.choiceText[RawQuestionFile::at(1, 9)]);
        for (int f = 0; f < 10; ++f) {
            QCOMPARE(raw.choiceSeparator[RawQuestionFile::at(1, f)], QByteArray("."));
            QCOMPARE(raw.label[RawQuestionFile::at(1, f)], QByteArray::number(f + 1));
            QCOMPARE(raw.choiceCorrect[RawQuestionFile::at(1, f)], f == 9 ? 1 : 0);
            QCOMPARE(int(stored->ChoiceCorrect[1][f]), raw.choiceCorrect[RawQuestionFile::at(1, f)]);
        }
        QCOMPARE(raw.correct[0], 10);
        QCOMPARE(int(stored->CorrectChoice[1]), 10);
        QCOMPARE(raw.replyMinutes[0], 7);
        QCOMPARE(raw.replyMinutes[1], 5);
        QCOMPARE(int(stored->ReplyMinutes[1]), 7);
        QCOMPARE(raw.points[0], 50);
        QCOMPARE(raw.points[1], 50);
        QCOMPARE(int(stored->Points[2]), 50);
        QCOMPARE(raw.total, 100);
        QCOMPARE(int(stored->TotalPoints), 100);
        QCOMPARE(raw.mail[0], bytesOf(sjis(QString(shownMail).replace("\n", "\r\n"))));
        QCOMPARE(bytesOf(stored->QuestionMail[1]), raw.mail[0]);
        QVERIFY(raw.mail[1].endsWith(bytesOf(sjis("正解:10\r\n順位:xxx位\r\n合計得点:xxx/100\r\n"
                                                  "--------------------\r\n答:   (点数:50)"))));
        for (int r : raw.reserved) QCOMPARE(r, 0);

        // Reopened, the window shows what was stored, the hand edit included.
        open();
        QCOMPARE(w->Combo1->currentText(), QStringLiteral("2"));
        QCOMPARE(w->Combo2->currentText(), QStringLiteral("2"));
        QCOMPARE(op::entries(w->Combo3), op::numbers(1, 2));
        QCOMPARE(w->Text1->text(), QStringLiteral("富士山の問題"));
        QCOMPARE(w->Text2->toPlainText(), QStringLiteral("日本一高い山は？\n一つ選んで下さい"));
        QCOMPARE(w->Text4->text(), QStringLiteral("."));
        QCOMPARE(w->Text6[0]->text(), QStringLiteral("富士山"));
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("7"));
        QCOMPARE(w->Text7->text(), QStringLiteral("50"));
        QCOMPARE(w->Text8->toPlainText(), shownMail);
        QCOMPARE(w->Text9->text().toInt(), op::sjisBytes(shownMail));
        w->VScroll1->setValue(1);
        QVERIFY(w->Check1[4]->isChecked());
    }

    // A prepared round opened, every question shown, nothing touched, saved:
    // the file is byte for byte what it was, and an edit keeps every choice's
    // ":" in the mail. A round an older demonstration prepared (separators
    // stored empty) keeps each question's mail; its questions take the ":"
    // their choices agree on.
    void untouchedRoundIsSavedAsItWas_data() {
        QTest::addColumn<QString>("which");
        QTest::addColumn<bool>("older");
        QTest::newRow("demonstration, round 1") << "demo 1" << false;
        QTest::newRow("demonstration, round 2") << "demo 2" << false;
        QTest::newRow("the small round") << "small" << false;
        QTest::newRow("older demonstration, round 2") << "demo 2" << true;
    }
    void untouchedRoundIsSavedAsItWas() {
        QFETCH(QString, which);
        QFETCH(bool, older);
        const PreparedRound round = prepared(which);
        const int count = int(round.questions.size());
        QVERIFY(round.writeTo(world->files));
        const std::string number = std::to_string(round.round);
        if (older) QVERIFY(writeQuestionFile(world->files, number, *olderDemoQuestions(round)));
        const QString file = QString::fromStdString("trv5" + number + ".dat");
        const QByteArray before = world->readFile(file);
        const auto stored = decoded(before);

        open();
        for (int q = 1; q <= count; ++q) {
            QVERIFY(op::choose(w->Combo3, QString::number(q)));
            QCOMPARE(w->Text4->text(), QStringLiteral(":"));
            QCOMPARE(w->Text8->toPlainText(), widgetText(stored->QuestionMail[q]));
        }
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QTRY_VERIFY(w.isNull());
        const QByteArray after = world->readFile(file);
        const auto saved = decoded(after);
        if (!older) {
            qsizetype differs = 0;
            while (differs < std::min(before.size(), after.size()) && before[differs] == after[differs]) ++differs;
            QVERIFY2(after == before, qPrintable(QStringLiteral("%1 bytes, was %2; first difference at %3")
                                                     .arg(after.size()).arg(before.size()).arg(differs)));
        }
        for (int q = 1; q <= count; ++q) {
            QVERIFY(saved->QuestionMail[q] == stored->QuestionMail[q]);
            QCOMPARE(saved->Separator[q], std::string(":"));
            QVERIFY(saved->ChoiceText[q] == stored->ChoiceText[q]);
        }

        open();
        op::append(w->Text2, QStringLiteral("！"));
        const QStringList choices = round.questions[0].choices;
        for (int f = 0; f < choices.size(); ++f)
            QVERIFY2(mailLines().contains(QStringLiteral("%1:%2").arg(f + 1).arg(choices[f])),
                     qPrintable(w->Text8->toPlainText()));
    }

    void backDiscardsTheEdits() {
        open();
        op::retype(w->Text1, QStringLiteral("捨てる件名"));
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QTRY_VERIFY(w.isNull());
        QCOMPARE(world->readFile("trv51.dat").size(), 0);
        open();
        QCOMPARE(w->Text1->text(), QStringLiteral("第1回のクイズ第1問"));
    }

    void pastRoundIsRedAndReadOnly() {
        // Round 1 was played with two questions; round 2 is the current one.
        world->writeFile("trv3.dat", counterFile(2));
        {
            auto past = std::make_unique<QuestionSet>();
            past->QuestionCount = "2";
            for (int q = 1; q <= 100; ++q) {
                past->Subject[q] = sjis(QStringLiteral("前回%1").arg(q));
                past->Separator[q] = ":";
                past->ReplyMinutes[q] = 3;
                for (int f = 0; f < 10; ++f) past->ChoiceLabel[q][f] = std::to_string(f + 1);
            }
            past->ChoiceText[1][0] = sjis("前回の選択肢");
            past->ChoiceCorrect[1][0] = 1;
            past->CorrectChoice[1] = 1;
            past->Points[1] = 60;
            past->Points[2] = 40;
            past->TotalPoints = 100;
            past->QuestionMail[1] = sjis("前回のメール");
            QVERIFY(writeQuestionFile(world->files, "1", *past));
        }
        const QByteArray pastBytes = world->readFile("trv51.dat");

        open();
        op::retype(w->Text1, QStringLiteral("今回の件名"));
        QVERIFY(op::choose(w->Combo3, "1"));
        QVERIFY(op::choose(w->Combo1, "1"));

        QCOMPARE(w->Text1->text(), QStringLiteral("前回1"));
        QCOMPARE(w->Text6[0]->text(), QStringLiteral("前回の選択肢"));
        QVERIFY(w->Check1[0]->isChecked());
        QCOMPARE(w->Text8->toPlainText(), QStringLiteral("前回のメール"));
        QCOMPARE(w->Text7->text(), QStringLiteral("60"));
        QCOMPARE(w->Combo2->currentText(), QStringLiteral("2"));
        QCOMPARE(w->Combo3->currentText(), QStringLiteral("1"));
        QCOMPARE(op::entries(w->Combo3), op::numbers(1, 2));

        QWidget* red[] = {w->Combo1, w->Combo2, w->Combo5, w->Combo3, w->Text7, w->Text1, w->Text2,
                          w->Text4, w->Combo4, w->Text8, w->Text9};
        for (QWidget* c : red) QVERIFY2(hasPastRoundColour(c), qPrintable(c->accessibleName()));
        for (int i = 0; i < 5; ++i) {
            QVERIFY(hasPastRoundColour(w->Text3[i]) && hasPastRoundColour(w->Text5[i]) &&
                    hasPastRoundColour(w->Text6[i]));
            QCOMPARE(w->Check1[i]->palette().color(QPalette::Window), QColor(255, 0, 0));
            QVERIFY(!w->Check1[i]->isEnabled());
            QVERIFY(!op::takesTyping(w->Text6[i]));
        }
        QVERIFY(!op::takesTyping(w->Text1));
        QVERIFY(!op::takesTyping(w->Text2));
        QVERIFY(!op::takesTyping(w->Text8));
        for (QComboBox* c : {w->Combo2, w->Combo5, w->Combo4}) {
            QVERIFY(isComboLocked(c));
            QVERIFY(!op::takesTyping(c->lineEdit()));
            QTest::keyClick(c, Qt::Key_Down);
        }
        QCOMPARE(w->Combo2->currentText(), QStringLiteral("2"));
        const QString pastMail = w->Text8->toPlainText();
        for (QComboBox* c : {w->Combo2, w->Combo5, w->Combo4})
            QVERIFY2(!op::chooseThroughAccessibility(c, c->itemText(0)), qPrintable(c->accessibleName()));
        QCOMPARE(w->Combo2->currentText(), QStringLiteral("2"));
        QCOMPARE(w->Text8->toPlainText(), pastMail);
        QVERIFY(!w->Command1->isEnabled());
        // The other question of the past round can still be looked at.
        QVERIFY(op::choose(w->Combo3, "2"));
        QCOMPARE(w->Text1->text(), QStringLiteral("前回2"));
        QCOMPARE(w->Text7->text(), QStringLiteral("40"));

        // Back to the current round: black, editable, and its own questions.
        QVERIFY(op::choose(w->Combo1, "2"));
        for (QWidget* c : red) QVERIFY(!hasPastRoundColour(c));
        for (int i = 0; i < 5; ++i) QVERIFY(w->Check1[i]->isEnabled());
        QVERIFY(w->Command1->isEnabled());
        QVERIFY(!isComboLocked(w->Combo4));
        QCOMPARE(w->Text1->text(), QStringLiteral("第2回のクイズ第1問"));
        QCOMPARE(w->Text6[0]->text(), QString());
        QVERIFY(!w->Check1[0]->isChecked());
        QVERIFY(op::takesTyping(w->Text1));
        QVERIFY(op::takesTyping(w->Text7));   // unlocked along with the rest

        // Nothing of the past round's file was touched, and the current
        // round's question 1 does not inherit the past correct choice.
        QCOMPARE(world->readFile("trv51.dat"), pastBytes);
        QCOMPARE(set().CorrectChoice[1], std::int16_t(0));
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QTRY_VERIFY(w.isNull());
        QCOMPARE(world->readFile("trv51.dat"), pastBytes);
        QCOMPARE(RawQuestionFile(world->readFile("trv52.dat")).correct[0], 0);
    }

    void invalidNumberIsRefusedAndNothingSaved_data() {
        QTest::addColumn<QString>("field");   // accessible name
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("named");   // the field name in the message
        QTest::newRow("count not a number") << "問題数" << "abc" << "問題数";
        QTest::newRow("count 0") << "問題数" << "0" << "問題数";
        QTest::newRow("count 101") << "問題数" << "101" << "問題数";
        QTest::newRow("full score 0") << "合計点" << "0" << "合計点";
        QTest::newRow("full score past 16 bits") << "合計点" << "40000" << "合計点";
        QTest::newRow("full score full-width") << "合計点" << "１００" << "合計点";
        QTest::newRow("reply time empty") << "返信時間" << "" << "返信時間";
        QTest::newRow("reply time 0") << "返信時間" << "0" << "返信時間";
        QTest::newRow("reply time words") << "返信時間" << "五分" << "返信時間";
        QTest::newRow("points negative") << "得点" << "-5" << "得点";
        QTest::newRow("points decimal") << "得点" << "1.5" << "得点";
        QTest::newRow("round not a number") << "回目のクイズ" << "x" << "回目のクイズ";
        QTest::newRow("round typed, not chosen") << "回目のクイズ" << "7" << "回目のクイズ";
    }
    void invalidNumberIsRefusedAndNothingSaved() {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, named);
        world->writeFile("trv3.dat", counterFile(1));
        open();
        QVERIFY(op::choose(w->Combo1, "1"));   // unlocks the points box
        const std::int16_t minutesBefore = set().ReplyMinutes[1];
        const std::int16_t pointsBefore = set().Points[1];
        const std::int16_t totalBefore = set().TotalPoints;

        QWidget* box = nullptr;
        for (QWidget* c : w->findChildren<QWidget*>())
            if (c->accessibleName() == field && (qobject_cast<QLineEdit*>(c) || qobject_cast<QComboBox*>(c)))
                box = c;
        QVERIFY(box);
        if (auto* combo = qobject_cast<QComboBox*>(box))
            op::retype(combo, text);
        else
            op::retype(qobject_cast<QLineEdit*>(box), text);

        // Handlers never store a value out of range; where no prefix of the
        // typed text was a valid number they keep what they held.
        QVERIFY(set().ReplyMinutes[1] >= 1 && set().Points[1] >= 0 && set().TotalPoints >= 1);
        if (text != QStringLiteral("1.5")) {
            QCOMPARE(set().ReplyMinutes[1], minutesBefore);
            QCOMPARE(set().Points[1], pointsBefore);
        }
        QCOMPARE(set().TotalPoints, totalBefore);

        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QCOMPARE(world->messageBox.shown.size(), std::size_t(1));
        QVERIFY(world->messageBox.shown[0].blocking);
        QVERIFY2(world->messageBox.texts()[0].startsWith(QStringLiteral("「") + named + QStringLiteral("」")), qPrintable(world->messageBox.texts()[0]));
        QVERIFY(w && w->isVisible());
        const QString shown = qobject_cast<QComboBox*>(box) ? qobject_cast<QComboBox*>(box)->currentText()
                                                            : qobject_cast<QLineEdit*>(box)->text();
        QCOMPARE(shown, text);
        QCOMPARE(world->readFile("trv51.dat").size(), 0);

        // Put right, the same window saves.
        if (auto* combo = qobject_cast<QComboBox*>(box))
            op::retype(combo, field == QStringLiteral("合計点") ? "100" : field == QStringLiteral("回目のクイズ") ? "1" : "2");
        else
            op::retype(qobject_cast<QLineEdit*>(box), "100");
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QCOMPARE(world->messageBox.shown.size(), std::size_t(1));
        QTRY_VERIFY(w.isNull());
        QVERIFY(RawQuestionFile(world->readFile("trv51.dat")).end > 9604);
    }

    void failedSaveKeepsTheWindowOpen() {
        op::WritesFail full(world->files);
        world->platform.files = &full;
        open();
        op::retype(w->Text1, QStringLiteral("残したい件名"));
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QCOMPARE(world->messageBox.shown.size(), std::size_t(1));
        QVERIFY(world->messageBox.texts()[0].contains(QStringLiteral("保存できませんでした")));
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->Text1->text(), QStringLiteral("残したい件名"));
        world->platform.files = &world->files;   // space freed: the same window saves
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QTRY_VERIFY(w.isNull());
        QCOMPARE(RawQuestionFile(world->readFile("trv51.dat")).subject[0], bytesOf(sjis("残したい件名")));
    }

    void countTypedButNotChosenIsStoredAsShown() {
        open();
        op::retype(w->Combo2, "3");
        QTest::keyClick(w->Combo2->lineEdit(), Qt::Key_Return);
        // Typing an entry is not choosing it: nothing is shared out yet.
        QCOMPARE(op::entries(w->Combo3), op::numbers(1, 1));
        QCOMPARE(set().Points[1], std::int16_t(100));
        op::retype(w->Combo2, "04");   // a whole number, not a list entry
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QTRY_VERIFY(w.isNull());
        const RawQuestionFile raw(world->readFile("trv51.dat"));
        QCOMPARE(raw.count, QByteArray("4"));
        QCOMPARE(raw.points.mid(0, 4), (QList<int>{25, 25, 25, 25}));
    }

    void mainWindowComesBackHoweverTheEditorCloses_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("saved");
        QTest::newRow("確定") << "save" << true;
        QTest::newRow("戻る") << "back" << false;
        QTest::newRow("close box") << "close" << false;
    }
    void mainWindowComesBackHoweverTheEditorCloses() {
        QFETCH(QString, how);
        QFETCH(bool, saved);
        Form1 menu(world->module1, [this] { return world->appFolder(); });
        menu.setEditorFactory(4, [this] { return new Form5(world->module1); });
        menu.show();
        QTest::mouseClick(menu.Command4, Qt::LeftButton);
        w = qobject_cast<Form5*>(menu.editorWindow(4));
        QVERIFY(w && w->isVisible());
        QVERIFY(!menu.isVisible());
        op::retype(w->Text1, QStringLiteral("新しい件名"));

        if (how == "save")
            QTest::mouseClick(w->Command1, Qt::LeftButton);
        else if (how == "back")
            QTest::mouseClick(w->Command2, Qt::LeftButton);
        else
            QVERIFY(w->close());
        QVERIFY(menu.isVisible());
        QTRY_VERIFY(w.isNull());

        // The next opening starts from what is stored.
        QTest::mouseClick(menu.Command4, Qt::LeftButton);
        w = qobject_cast<Form5*>(menu.editorWindow(4));
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->Text1->text(), saved ? QStringLiteral("新しい件名") : QStringLiteral("第1回のクイズ第1問"));
        delete w.data();
        QVERIFY(menu.isVisible());
    }

    void everyControlIsNamedAndTakesJapanese() {
        open();
        int named = 0;
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if (qobject_cast<QLabel*>(c) || !onWindowOrPage(c, w.data())) continue;
            if (!(qobject_cast<QLineEdit*>(c) || qobject_cast<QPlainTextEdit*>(c) || qobject_cast<QComboBox*>(c) ||
                  qobject_cast<QAbstractButton*>(c) || qobject_cast<QScrollBar*>(c)))
                continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
            QVERIFY(a);
            QVERIFY2(!a->text(QAccessible::Name).isEmpty(), c->metaObject()->className());
            ++named;
        }
        QCOMPARE(named, 5 + 4 + 20 + 1 + 2 + 2);   // combos, boxes, choice rows, scroll bar, mail and count, buttons
        QCOMPARE(w->Text6[4]->accessibleName(), QStringLiteral("選択肢 5"));
        QCOMPARE(w->Check1[0]->accessibleName(), QStringLiteral("正解 1"));
        QVERIFY(op::choose(w->Combo1, "1"));
        for (QWidget* box : std::initializer_list<QWidget*>{w->Text1, w->Text2, w->Text4, w->Text6[0], w->Text8})
            QVERIFY(box->testAttribute(Qt::WA_InputMethodEnabled));
    }
};

QTEST_MAIN(TestForm5)
#include "tst_form5.moc"
