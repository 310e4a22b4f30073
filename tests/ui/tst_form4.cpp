// The invitation window driven as the operator drives it, against files in a
// temporary folder and a clock set by the test. What it writes is read back
// both by the record code and by a plain reader of byte offsets written here.
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "model/RecordCodec.h"
#include "support/FakeTime.h"
#include "support/OperatorActions.h"
#include "support/RawRecord.h"
#include "support/TestWorld.h"
#include "ui/Form4.h"

namespace {

QByteArray sj(const QString& s) { return bytesOf(sjis(s)); }

QByteArray settingsFileWithName(const QString& name) {
    QByteArray b;
    for (int i = 0; i < 5; ++i) putString(b, "x");
    putString(b, sj(name));
    return b;
}

// The sixteen lines as the window shows them.
QString bodyShown(const QString& greeting, const QString& name, const QString& round, const QString& minutes) {
    const QStringList lines = {
        "********************", "* TRIVORN          *", "********************", greeting, name + "です。",
        "これから第" + round + "回目の", "クイズを開始したいと、", "思いますので、", "参加の方は、そのまま",
        "なにも記入せずに、", "返信してください。", "不参加の方は、", "返信しなくて結構です。",
        minutes + "分以内に返信の", "ない方は不参加", "といたします。"};
    return lines.join('\n') + '\n';
}

// The operator opens the list, moves to an entry and takes it with Enter.
// (A mouse click right after opening is swallowed by the list on purpose.)
void chooseFromList(QComboBox* box, const QString& text) {
    const int row = box->findText(text);
    QVERIFY2(row >= 0, qPrintable(text));
    box->showPopup();
    QAbstractItemView* view = box->view();
    QVERIFY(view->isVisible());
    view->setCurrentIndex(view->model()->index(row, 0));
    QTest::keyClick(view, Qt::Key_Return);
    QVERIFY(!view->isVisible());
    QCOMPARE(box->currentText(), text);
}

// A press on the combo's arrow, where the list opens.
bool listOpensOnArrowPress(QComboBox* box) {
    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(box->width() - 6, box->height() / 2));
    const bool open = box->view()->isVisible();
    box->hidePopup();
    return open;
}

bool isRed(QWidget* w) { return w->palette().color(QPalette::Text) == QColor(255, 0, 0); }

}   // namespace

class TestForm4 : public QObject {
    Q_OBJECT

    // A world whose clock says `time`, with the counter at `round` (0: no
    // trv3.dat) and, unless empty, the operator's name in trv1.dat.
    struct World {
        TestWorld world;
        FakeClock clock;
        World(const QString& time, int round, const QString& name) {
            clock.timeOfDay = time.toStdString();
            world.useClock(clock);
            if (round > 0) world.writeFile("trv3.dat", counterFile(round));
            if (!name.isEmpty()) world.writeFile("trv1.dat", settingsFileWithName(name));
        }
        std::unique_ptr<Form4> open() {
            auto form = std::make_unique<Form4>(world.module1);
            form->setAttribute(Qt::WA_DeleteOnClose, false);   // the test owns it
            form->show();
            return form;
        }
    };

private slots:
    void firstStartWithoutFiles() {
        World w("09:00", 0, "");
        auto form = w.open();
        QCOMPARE(form->Combo0->currentText(), QString("お早うございます。"));
        QCOMPARE(op::entries(form->Combo0), QStringList({"お早うございます。", "こんにちは、", "今晩は、"}));
        QVERIFY(form->Text0->text().isEmpty());
        QCOMPARE(form->Combo1->currentText(), QString("1"));
        QCOMPARE(op::entries(form->Combo1), QStringList({"1"}));
        QCOMPARE(form->Combo2->currentText(), QString("5"));
        QCOMPARE(form->Combo2->count(), 20);
        QCOMPARE(form->Combo2->itemText(19), QString("20"));
        QCOMPARE(form->Text1->text(), QString("第1回のクイズ参加ご確認"));
        QCOMPARE(form->Text2->toPlainText(), bodyShown("お早うございます。", "", "1", "5"));
        QCOMPARE(form->Text3->text(), QString("304"));
        QVERIFY(form->Text3->isReadOnly());
        QVERIFY(form->Command1->isEnabled());
        QVERIFY(!form->showingPastRound());
        // Reading created the round's file and the settings file, both empty.
        QCOMPARE(w.world.readFile("trv41.dat").size(), 0);
        QVERIFY(w.world.exists("trv41.dat"));
        QVERIFY(w.world.exists("trv1.dat"));
        QVERIFY(!w.world.exists("trv3.dat"));

        // "戻る" stores nothing.
        QSignalSpy closed(form.get(), &EditorWindow::closed);
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QCOMPARE(closed.count(), 1);
        QCOMPARE(w.world.readFile("trv41.dat").size(), 0);
    }

    void greetingByTheClock_data() {
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("greeting");
        QTest::newRow("12:00") << "12:00" << "お早うございます。";
        QTest::newRow("12:01") << "12:01" << "こんにちは、";
        QTest::newRow("17:00") << "17:00" << "今晩は、";
        QTest::newRow("00:00") << "00:00" << "今晩は、";
        QTest::newRow("00:01") << "00:01" << "お早うございます。";
    }
    void greetingByTheClock() {
        QFETCH(QString, time);
        QFETCH(QString, greeting);
        World w(time, 1, "");
        auto form = w.open();
        QCOMPARE(form->Combo0->currentText(), greeting);
        QVERIFY(form->Text2->toPlainText().startsWith(bodyShown(greeting, "", "1", "5").left(80)));
    }

    // 山田, round 3, reply time 5 in the morning: the 308-byte invitation,
    // saved, read back by offsets and by the record code, and shown again
    // unchanged when the clock has moved on.
    void invitationForYamadaRoundThree() {
        World w("10:00", 3, "山田");
        const QString expectedBody = bodyShown("お早うございます。", "山田", "3", "5");
        {
            auto form = w.open();
            QCOMPARE(form->Text0->text(), QString("山田"));
            QCOMPARE(form->Combo1->currentText(), QString("3"));
            QCOMPARE(op::entries(form->Combo1), QStringList({"1", "2", "3"}));
            QCOMPARE(form->Text1->text(), QString("第3回のクイズ参加ご確認"));
            QCOMPARE(form->Text2->toPlainText(), expectedBody);
            QCOMPARE(form->Text3->text(), QString("308"));
            QSignalSpy closed(form.get(), &EditorWindow::closed);
            QTest::mouseClick(form->Command1, Qt::LeftButton);
            QCOMPARE(closed.count(), 1);
            QVERIFY(w.world.module1.platform.files && w.world.messageBox.shown.empty());
        }

        const QByteArray file = w.world.readFile("trv43.dat");
        const RawMailFile p(file);
        QCOMPARE(p.greeting, sj("お早うございます。"));
        QCOMPARE(p.name, sj("山田"));
        QCOMPARE(p.round, 3);
        QCOMPARE(p.replyMinutes, 5);
        QCOMPARE(p.subject, sj("第3回のクイズ参加ご確認"));
        QCOMPARE(p.byteCount, 308);
        QCOMPARE(p.body.size(), 308);
        QCOMPARE(p.body, sj(QString(expectedBody).replace("\n", "\r\n")));
        QCOMPARE(p.end, file.size());

        InvitationMail decoded;
        decodeRecord(std::string_view(file.constData(), std::size_t(file.size())), decoded);
        QCOMPARE(bytesOf(decoded.Greeting), p.greeting);
        QCOMPARE(bytesOf(decoded.SenderName), p.name);
        QCOMPARE(int(decoded.Round), p.round);
        QCOMPARE(int(decoded.ReplyMinutes), p.replyMinutes);
        QCOMPARE(bytesOf(decoded.Subject), p.subject);
        QCOMPARE(int(decoded.ByteCount), p.byteCount);
        QCOMPARE(bytesOf(decoded.Body), p.body);
        QCOMPARE(w.world.module1.invitationMail, decoded);

        // Evening now: the stored invitation is shown as it was saved.
        w.clock.timeOfDay = "18:30";
        auto again = w.open();
        QCOMPARE(again->Combo0->currentText(), QString("お早うございます。"));
        QCOMPARE(again->Text2->toPlainText(), expectedBody);
        QCOMPARE(again->Text3->text(), QString("308"));
        QCOMPARE(again->Combo2->currentText(), QString("5"));
    }

    void editedBodyIsSavedAsTyped() {
        World w("13:00", 2, "");
        auto form = w.open();
        QCOMPARE(form->Text3->text(), QString("298"));   // こんにちは、 and no name
        form->Text2->moveCursor(QTextCursor::End);
        op::commit(form->Text2, "よろしく");
        QTest::keyClick(form->Text2, Qt::Key_Return);
        QCOMPARE(form->Text3->text(), QString("308"));   // 8 bytes and CR LF
        QTest::mouseClick(form->Command1, Qt::LeftButton);

        const RawMailFile p(w.world.readFile("trv42.dat"));
        QCOMPARE(p.byteCount, 308);
        QCOMPARE(p.body.size(), 308);
        QVERIFY(p.body.endsWith(sj("といたします。\r\nよろしく\r\n")));

        auto again = w.open();
        QVERIFY(again->Text2->toPlainText().endsWith("よろしく\n"));
    }

    void composingFollowsTheControls() {
        World w("09:00", 1, "");
        auto form = w.open();
        // Typing a name recomposes line 5 and the count.
        op::commit(form->Text0, "鈴木");
        QCOMPARE(form->Text2->toPlainText(), bodyShown("お早うございます。", "鈴木", "1", "5"));
        QCOMPARE(form->Text3->text(), QString("308"));
        // Choosing a reply time from the list recomposes line 14.
        chooseFromList(form->Combo2, "10");
        QCOMPARE(form->Text2->toPlainText(), bodyShown("お早うございます。", "鈴木", "1", "10"));
        QCOMPARE(form->Text3->text(), QString("309"));

        // Hand edits stay until a greeting is chosen from the list.
        form->Text2->moveCursor(QTextCursor::Start);
        QTest::keyClicks(form->Text2, "EDIT");
        QVERIFY(form->Text2->toPlainText().startsWith("EDIT"));
        // Typing into a combo composes nothing.
        QTest::keyClicks(form->Combo0, "!");
        QTest::keyClicks(form->Combo2, "0");
        QVERIFY(form->Text2->toPlainText().startsWith("EDIT"));
        QCOMPARE(form->Combo2->currentText(), QString("100"));

        chooseFromList(form->Combo0, "こんにちは、");
        QCOMPARE(form->Text2->toPlainText(), bodyShown("こんにちは、", "鈴木", "1", "100"));
    }

    // Round 1 of three was saved; round 2 never was.
    void pastRoundsAreRedAndReadOnly() {
        World w("09:00", 3, "山田");
        RawMailFile old;
        old.greeting = sj("今晩は、");
        old.name = sj("佐藤");
        old.round = 1;
        old.replyMinutes = 7;
        old.subject = sj("第1回");
        old.body = sj("昔の本文\r\n");
        old.byteCount = int(old.body.size());
        w.world.writeFile("trv41.dat", old.bytes());

        auto form = w.open();
        QVERIFY(listOpensOnArrowPress(form->Combo2));   // unlocked at first
        chooseFromList(form->Combo1, "1");
        QVERIFY(form->showingPastRound());
        QCOMPARE(form->Combo0->currentText(), QString("今晩は、"));
        QCOMPARE(form->Text0->text(), QString("佐藤"));
        QCOMPARE(form->Combo2->currentText(), QString("7"));
        QCOMPARE(form->Text1->text(), QString("第1回"));
        QCOMPARE(form->Text2->toPlainText(), QString("昔の本文\n"));
        QCOMPARE(form->Text3->text(), QString("10"));

        const std::initializer_list<QWidget*> coloured = {form->Combo1, form->Combo0, form->Text0, form->Combo2,
                                                          form->Text1, form->Text3, form->Text2};
        for (QWidget* c : coloured) QVERIFY2(isRed(c), qPrintable(c->accessibleName()));
        QVERIFY(isRed(form->Combo0->lineEdit()));
        QVERIFY(form->Text0->isReadOnly() && form->Text1->isReadOnly() && form->Text3->isReadOnly());
        QVERIFY(form->Text2->isReadOnly());
        QVERIFY(!form->Command1->isEnabled());
        // Locked combos: no typing, no list, no stepping.
        QTest::keyClicks(form->Combo2, "9");
        QTest::keyClick(form->Combo2, Qt::Key_Down);
        QTest::keyClick(form->Combo0, Qt::Key_Down);
        QCOMPARE(form->Combo2->currentText(), QString("7"));
        QCOMPARE(form->Combo0->currentText(), QString("今晩は、"));
        QVERIFY(!listOpensOnArrowPress(form->Combo2));
        QVERIFY(!listOpensOnArrowPress(form->Combo0));
        // Nor through assistive technology, which opens lists on its own.
        QVERIFY(!op::chooseThroughAccessibility(form->Combo2, "3"));
        QVERIFY(!op::chooseThroughAccessibility(form->Combo0, "こんにちは、"));
        QCOMPARE(form->Combo2->currentText(), QString("7"));
        QCOMPARE(form->Combo0->currentText(), QString("今晩は、"));
        QCOMPARE(form->Text2->toPlainText(), QString("昔の本文\n"));
        QTest::keyClicks(form->Text2, "x");
        QCOMPARE(form->Text2->toPlainText(), QString("昔の本文\n"));
        // The round selector itself stays usable.
        QVERIFY(!form->Combo1->lineEdit()->isReadOnly());

        // A past round that was never saved leaves the fields as they are
        // and its file behind, empty.
        chooseFromList(form->Combo1, "2");
        QVERIFY(form->showingPastRound());
        QCOMPARE(form->Text0->text(), QString("佐藤"));
        QCOMPARE(form->Text2->toPlainText(), QString("昔の本文\n"));
        QVERIFY(w.world.exists("trv42.dat"));
        QCOMPARE(w.world.readFile("trv42.dat").size(), 0);

        // Back to the current round: black, editable, the body composed from
        // the fields shown.
        chooseFromList(form->Combo1, "3");
        QVERIFY(!form->showingPastRound());
        for (QWidget* c : coloured) QVERIFY(!isRed(c));
        QVERIFY(!form->Text0->isReadOnly() && !form->Text2->isReadOnly() && !form->Text3->isReadOnly());
        QVERIFY(form->Command1->isEnabled());
        QVERIFY(listOpensOnArrowPress(form->Combo2));
        QCOMPARE(form->Text1->text(), QString("第3回のクイズ参加ご確認"));
        QCOMPARE(form->Text2->toPlainText(), bodyShown("今晩は、", "佐藤", "3", "7"));
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(RawMailFile(w.world.readFile("trv43.dat")).name, sj("佐藤"));
        QCOMPARE(w.world.readFile("trv41.dat"), old.bytes());   // the past round untouched
    }

    void numbersOutOfRangeSaveNothing_data() {
        QTest::addColumn<QString>("round");
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<QString>("count");   // empty: as the window counted
        QTest::addColumn<QString>("field");
        QTest::newRow("minutes not a number") << "" << "abc" << "" << "返信時間";
        QTest::newRow("minutes empty") << "" << "" << "" << "返信時間";
        QTest::newRow("minutes zero") << "" << "0" << "" << "返信時間";
        QTest::newRow("minutes too big") << "" << "40000" << "" << "返信時間";
        QTest::newRow("minutes full-width") << "" << "５" << "" << "返信時間";
        QTest::newRow("minutes with a space") << "" << "5 " << "" << "返信時間";
        QTest::newRow("round not a number") << "x" << "" << "" << "回数";
        QTest::newRow("round zero") << "0" << "" << "" << "回数";
        QTest::newRow("round of the past") << "2" << "" << "" << "回数";
        QTest::newRow("round huge") << "99999999999999999999" << "" << "" << "回数";
        QTest::newRow("count negative") << "" << "" << "-1" << "文字数";
        QTest::newRow("count too big") << "" << "" << "32768" << "文字数";
    }
    void numbersOutOfRangeSaveNothing() {
        QFETCH(QString, round);
        QFETCH(QString, minutes);
        QFETCH(QString, count);
        QFETCH(QString, field);
        World w("09:00", 3, "");
        auto form = w.open();
        chooseFromList(form->Combo1, "3");   // makes the count box editable
        if (!round.isEmpty()) {
            form->Combo1->lineEdit()->selectAll();
            QTest::keyClicks(form->Combo1, round);
        }
        if (!minutes.isEmpty() || QTest::currentDataTag() == QByteArray("minutes empty")) {
            form->Combo2->lineEdit()->selectAll();
            if (minutes.isEmpty())
                QTest::keyClick(form->Combo2, Qt::Key_Delete);
            else
                op::commit(form->Combo2->lineEdit(), minutes);
        }
        if (!count.isEmpty()) {
            form->Text3->selectAll();
            QTest::keyClicks(form->Text3, count);
        }

        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(w.world.messageBox.shown.size(), std::size_t(1));
        QVERIFY(w.world.messageBox.shown[0].blocking);
        QVERIFY2(w.world.messageBox.texts()[0].contains("「" + field + "」"), qPrintable(w.world.messageBox.texts()[0]));
        QVERIFY(form->isVisible());
        for (const char* name : {"trv43.dat", "trv42.dat", "trv40.dat"})
            QCOMPARE(w.world.readFile(name).size(), 0);
        QCOMPARE(w.world.module1.invitationMail.Round, std::int16_t(0));

        // Put right, the same window saves.
        form->Combo1->lineEdit()->selectAll();
        QTest::keyClicks(form->Combo1, "3");
        chooseFromList(form->Combo2, "20");
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QVERIFY(!form->isVisible());
        const RawMailFile p(w.world.readFile("trv43.dat"));
        QCOMPARE(p.round, 3);
        QCOMPARE(p.replyMinutes, 20);
        QCOMPARE(p.byteCount, int(p.body.size()));
    }

    void typedValuesWithinRangeAreStored() {
        World w("09:00", 3, "");
        auto form = w.open();
        form->Combo2->lineEdit()->selectAll();
        QTest::keyClicks(form->Combo2, "45");   // beyond the list, within range
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QVERIFY(w.world.messageBox.shown.empty());
        const RawMailFile p(w.world.readFile("trv43.dat"));
        QCOMPARE(p.replyMinutes, 45);
        // Typing into the combo did not recompose: the body still says 5.
        QVERIFY(p.body.contains(sj("5分以内に返信の")));
    }

    void storedRoundZeroCountsAsNeverSaved() {
        World w("09:00", 1, "");
        RawMailFile blank;
        blank.greeting = sj("今晩は、");
        blank.body = sj("X\r\n");
        w.world.writeFile("trv41.dat", blank.bytes());
        auto form = w.open();
        QCOMPARE(form->Combo0->currentText(), QString("お早うございます。"));
        QCOMPARE(form->Text3->text(), QString("304"));
    }

    void captionsAndAccessibleNames() {
        World w("09:00", 1, "");
        auto form = w.open();
        QCOMPARE(form->windowTitle(), QString("クイズ参加確認"));
        const std::initializer_list<std::pair<QLabel*, const char*>> labels = {
            {form->Label7, "クイズ参加確認"}, {form->Label1, "回数"}, {form->Label11, "回"},
            {form->Label8, "挨拶"}, {form->Label9, "名前"}, {form->Label2, "返信時間"}, {form->Label10, "分"},
            {form->Label3, "件名"}, {form->Label4, "送信文字数"}, {form->Label5, "文字数"}, {form->Label6, "文字"}};
        for (auto [label, caption] : labels) QCOMPARE(label->text(), QString(caption));
        QCOMPARE(form->Command1->text(), QString("確定"));
        QCOMPARE(form->Command2->text(), QString("戻る"));
        QCOMPARE(form->Combo2->accessibleName(), QString("返信時間"));
        QCOMPARE(form->Text3->accessibleName(), QString("文字数"));
        // The window's own controls (not the inner parts of combos and the
        // body), on the window or on the page that scrolls on a small screen.
        QWidgetList own = form->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (QScrollArea* page : form->findChildren<QScrollArea*>())
            own += page->widget()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(own.contains(form->Text2));
        for (QWidget* wdg : own) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(wdg);
            QVERIFY2(a && !a->text(QAccessible::Name).isEmpty(), qPrintable(wdg->metaObject()->className()));
        }
        for (QWidget* box : std::initializer_list<QWidget*>{form->Text0, form->Text1, form->Text2, form->Combo0->lineEdit()})
            QVERIFY(box->testAttribute(Qt::WA_InputMethodEnabled));
    }
};

QTEST_MAIN(TestForm4)
#include "tst_form4.moc"
