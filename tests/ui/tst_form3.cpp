// The address book window driven as the operator drives it, against files in
// a temporary folder. What it writes is read back both by the record code and
// by a plain reader of byte offsets written here.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <vector>

#include "mail/Players.h"
#include "model/RecordCodec.h"
#include "model/RecordFiles.h"
#include "support/OperatorActions.h"
#include "support/RawRecord.h"
#include "support/TestWorld.h"
#include "ui/Form3.h"
#include "ui/PageScrollBar.h"
#include "ui/ReplyGroup.h"

namespace {

// trv2.dat read by offsets: 1000 counted strings, 1000 more, 1000 integers.
struct PlainBook {
    std::vector<QByteArray> names, addresses;
    std::vector<int> flags;
};
PlainBook readPlainBook(const QByteArray& file) {
    PlainBook book;
    RawReader r(file);
    for (auto* list : {&book.names, &book.addresses})
        for (int i = 0; i < 1000; ++i) list->push_back(r.str());
    for (int i = 0; i < 1000; ++i) book.flags.push_back(r.int16());
    return book;
}

QByteArray plainBookFile(const std::vector<QByteArray>& names, const std::vector<QByteArray>& addresses,
                         const std::vector<int>& flags) {
    QByteArray file;
    for (auto* list : {&names, &addresses})
        for (int i = 0; i < 1000; ++i) putString(file, i < int(list->size()) ? (*list)[std::size_t(i)] : QByteArray());
    for (int i = 0; i < 1000; ++i) put16(file, i < int(flags.size()) ? flags[std::size_t(i)] : 0);
    return file;
}

// The carriers' domains, one a line, as the domain box shows them.
const QString kCarrierLines =
    "docomo.ne.jp\nezweb.ne.jp\nau.com\nsoftbank.ne.jp\ni.softbank.jp\nvodafone.ne.jp\nymobile.ne.jp";

// n domains, one a line: d1.example ... dn.example.
QString domainLines(int n) {
    QStringList lines;
    for (int i = 1; i <= n; ++i) lines << QString("d%1.example").arg(i);
    return lines.join('\n');
}

bool insideMultiLineBox(const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
        if (qobject_cast<const QPlainTextEdit*>(p)) return true;
    return false;
}

void toPage(Form3& form, int page) {
    // As the operator does it: step by step along the scroll bar.
    while (form.VScroll1->value() < page) form.VScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    while (form.VScroll1->value() > page) form.VScroll1->triggerAction(QAbstractSlider::SliderSingleStepSub);
}

}   // namespace

class TestForm3 : public QObject {
    Q_OBJECT
private slots:
    void firstStartWritesSixThousandZeroBytes() {
        TestWorld world;
        auto* form = new Form3(world.module1);
        QPointer<Form3> alive(form);
        QVERIFY(world.exists("trv2.dat"));
        QCOMPARE(world.readFile("trv2.dat").size(), 0);
        QCOMPARE(form->VScroll1->value(), 0);
        for (int r = 0; r < Form3::kRows; ++r) {
            QVERIFY(form->Text1[std::size_t(r)]->text().isEmpty());
            QVERIFY(form->Text2[std::size_t(r)]->text().isEmpty());
            QVERIFY(!form->Check1[std::size_t(r)]->isChecked());
        }
        form->show();
        QSignalSpy closed(form, &EditorWindow::closed);
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(closed.count(), 1);
        QCOMPARE(world.readFile("trv2.dat"), QByteArray(6000, '\0'));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!alive);   // made afresh for every opening
    }

    void spacesLeaveTheAddressBox_data() {
        QTest::addColumn<QString>("before");      // already in the box
        QTest::addColumn<int>("cursor");          // where the operator types
        QTest::addColumn<QString>("typed");       // keys, or committed text
        QTest::addColumn<bool>("viaInputMethod");
        QTest::addColumn<QString>("after");
        QTest::newRow("typed spaces") << "" << 0 << " ta ro @example.jp " << false << "taro@example.jp";
        QTest::newRow("typing on in the middle") << "abcd" << 2 << " x" << false << "abxcd";
        QTest::newRow("pasted with spaces") << "" << 0 << "a b  c" << true << "abc";
        QTest::newRow("ideographic space and tab stay") << "" << 0 << "a　b\tc d" << true << "a　b\tcd";
        QTest::newRow("only spaces") << "x" << 1 << "   " << false << "x";
    }
    void spacesLeaveTheAddressBox() {
        QFETCH(QString, before);
        QFETCH(int, cursor);
        QFETCH(QString, typed);
        QFETCH(bool, viaInputMethod);
        QFETCH(QString, after);

        TestWorld world;
        auto form = std::make_unique<Form3>(world.module1);
        form->show();
        toPage(*form, 4);
        QLineEdit* box = form->Text2[7];
        QTest::keyClicks(box, before);
        box->setCursorPosition(cursor);
        if (viaInputMethod)
            op::commit(box, typed);
        else
            QTest::keyClicks(box, typed);

        QCOMPARE(box->text(), after);
        QVERIFY(!box->text().contains(' '));
        QCOMPARE(world.module1.addressBook.Addresses[47], sjis(after));

        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(readPlainBook(world.readFile("trv2.dat")).addresses[47], bytesOf(sjis(after)));
    }

    void checkRowThreeOnPageFive() {
        TestWorld world;
        auto form = std::make_unique<Form3>(world.module1);
        form->show();
        toPage(*form, 5);
        QTest::keyClick(form->Check1[3], Qt::Key_Space);   // the operator ticks it
        QCOMPARE(world.module1.addressBook.SendFlags[53], std::int16_t(1));
        int ticked = 0;
        for (std::int16_t f : world.module1.addressBook.SendFlags) ticked += f;
        QCOMPARE(ticked, 1);

        toPage(*form, 6);
        QVERIFY(!form->Check1[3]->isChecked());
        toPage(*form, 5);
        QVERIFY(form->Check1[3]->isChecked());

        // Unticking stores 0 again; a second tick stores 1.
        QTest::keyClick(form->Check1[3], Qt::Key_Space);
        QCOMPARE(world.module1.addressBook.SendFlags[53], std::int16_t(0));
        QTest::keyClick(form->Check1[3], Qt::Key_Space);

        QVERIFY(form->close());
        const PlainBook book = readPlainBook(world.readFile("trv2.dat"));
        for (int i = 0; i < 1000; ++i) QCOMPARE(book.flags[std::size_t(i)], i == 53 ? 1 : 0);
    }

    void pagingReachesTheLastSlots() {
        TestWorld world;
        std::vector<QByteArray> names, addresses;
        for (int i = 0; i < 1000; ++i) {
            names.push_back("n" + QByteArray::number(i));
            addresses.push_back("a" + QByteArray::number(i) + "@example.jp");
        }
        std::vector<int> flags(1000, 0);
        flags[995] = 1;
        world.writeFile("trv2.dat", plainBookFile(names, addresses, flags));

        auto form = std::make_unique<Form3>(world.module1);
        QCOMPARE(form->VScroll1->minimum(), 0);
        QCOMPARE(form->VScroll1->maximum(), 99);
        QCOMPARE(form->Text1[0]->text(), QString("n0"));
        QCOMPARE(form->Label5->text(), QString::fromUtf8("1–10 / 1000"));
        toPage(*form, 99);
        form->VScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd);   // no page 100
        QCOMPARE(form->VScroll1->value(), 99);
        QCOMPARE(form->Label5->text(), QString::fromUtf8("991–1000 / 1000"));
        // The wheel over the rows turns the pages too, a page a notch.
        QWheelEvent up(QPointF(5, 5), form->Text2[4]->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, 120), Qt::NoButton, {},
                       Qt::NoScrollPhase, false);
        QApplication::sendEvent(form->Text2[4], &up);
        QCOMPARE(form->Text1[0]->text(), QString("n980"));
        QApplication::sendEvent(form->Check1[7], &up);
        QCOMPARE(form->VScroll1->value(), 97);
        toPage(*form, 99);
        for (int r = 0; r < 10; ++r) {
            QCOMPARE(form->Text1[std::size_t(r)]->text(), QString("n%1").arg(990 + r));
            QCOMPARE(form->Text2[std::size_t(r)]->text(), QString("a%1@example.jp").arg(990 + r));
            QCOMPARE(form->Check1[std::size_t(r)]->isChecked(), r == 5);
        }
        // Showing pages changed nothing.
        form->close();
        QCOMPARE(readPlainBook(world.readFile("trv2.dat")).names, names);
    }

    void saveAndReopen() {
        TestWorld world;
        {
            auto form = std::make_unique<Form3>(world.module1);
            form->show();
            op::commit(form->Text1[0], "山田　太郎");
            QTest::keyClicks(form->Text2[0], "yamada@example.jp");
            QTest::keyClick(form->Check1[0], Qt::Key_Space);
            toPage(*form, 2);
            QTest::keyClicks(form->Text1[9], "no address");   // a name without address is fine
            QTest::keyClick(form->Check1[9], Qt::Key_Space);
            form->close();
        }
        const QByteArray file = world.readFile("trv2.dat");
        const PlainBook plain = readPlainBook(file);
        QCOMPARE(plain.names[0], bytesOf(sjis("山田　太郎")));
        QCOMPARE(plain.addresses[0], QByteArray("yamada@example.jp"));
        QCOMPARE(plain.names[29], QByteArray("no address"));
        QCOMPARE(plain.addresses[29], QByteArray());
        QCOMPARE(plain.flags[0], 1);
        QCOMPARE(plain.flags[29], 1);
        QCOMPARE(file.size(), 6000 + 10 + 17 + 10);

        // The record code reads what the plain reader reads.
        AddressBook decoded;
        decodeRecord(std::string_view(file.constData(), std::size_t(file.size())), decoded);
        for (int i = 0; i < 1000; ++i) {
            QCOMPARE(bytesOf(decoded.Names[std::size_t(i)]), plain.names[std::size_t(i)]);
            QCOMPARE(bytesOf(decoded.Addresses[std::size_t(i)]), plain.addresses[std::size_t(i)]);
            QCOMPARE(int(decoded.SendFlags[std::size_t(i)]), plain.flags[std::size_t(i)]);
        }

        world.module1.addressBook = AddressBook{};
        auto again = std::make_unique<Form3>(world.module1);
        QCOMPARE(again->Text1[0]->text(), QString("山田　太郎"));
        QVERIFY(again->Check1[0]->isChecked());
        toPage(*again, 2);
        QCOMPARE(again->Text1[9]->text(), QString("no address"));
        QVERIFY(again->Check1[9]->isChecked());
        QCOMPARE(world.module1.addressBook, decoded);
    }

    // An address written elsewhere with spaces loses them once shown; a name
    // with bytes the converter cannot carry both ways keeps them, however
    // often its page is shown.
    void shownRowsAreStoredBack() {
        TestWorld world;
        std::vector<QByteArray> names = {QByteArray("\xa0\xfd"), "b"};
        std::vector<QByteArray> addresses = {"a b@example.jp", "c d"};
        world.writeFile("trv2.dat", plainBookFile(names, addresses, {}));

        auto form = std::make_unique<Form3>(world.module1);
        QCOMPARE(form->Text2[0]->text(), QString("ab@example.jp"));
        QCOMPARE(world.module1.addressBook.Addresses[0], SjisText("ab@example.jp"));
        toPage(*form, 1);
        toPage(*form, 0);
        form->close();
        const PlainBook plain = readPlainBook(world.readFile("trv2.dat"));
        QCOMPARE(plain.names[0], QByteArray("\xa0\xfd"));
        QCOMPARE(plain.addresses[0], QByteArray("ab@example.jp"));
        QCOMPARE(plain.addresses[1], QByteArray("cd"));
    }

    // A folder of an older copy has no trv2x.dat: the group shows the
    // carriers' domains and half-width answers, and leaving adds no file.
    void replySettingsDefaultToTheCarriers() {
        TestWorld world;
        auto form = std::make_unique<Form3>(world.module1);
        ReplyGroup& g = *form->Replies;
        QCOMPARE(g.players->currentText(), QString("携帯電話のドメインのみ"));
        QCOMPARE(g.domains->toPlainText(), kCarrierLines);
        QVERIFY(g.domains->isEnabled());
        QVERIFY(!g.fullWidthDigits->isChecked());
        form->show();
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QCOMPARE(world.messageBox.texts(), QStringList());
        QVERIFY(!world.exists("trv2x.dat"));
        QVERIFY(world.exists("trv2.dat"));
    }

    // What the operator chooses is stored cleaned, under the rule's own
    // value, and shown again on the next opening.
    void replySettingsAreStoredAndShownAgain() {
        TestWorld world;
        {
            auto form = std::make_unique<Form3>(world.module1);
            ReplyGroup& g = *form->Replies;
            form->show();
            op::retype(g.domains, "  @DoCoMo.NE.jp\n\nMy Isp.Example \n@@au.com\n");
            QVERIFY(op::choose(g.players, "アドレス帳の全員"));
            QVERIFY(!g.domains->isEnabled());   // the list does not decide now
            QTest::keyClick(g.fullWidthDigits, Qt::Key_Space);
            QTest::mouseClick(form->Command1, Qt::LeftButton);
            QVERIFY(!form->isVisible());
        }
        QCOMPARE(world.messageBox.texts(), QStringList());
        ReplySettings stored;
        QVERIFY(readRecordFile(world.files, "trv2x.dat", stored, DataFiles::Mode::ReadOnly));
        QCOMPARE(int(stored.PlayersRule), int(::stored(Players::AddressBook)));
        QCOMPARE(int(stored.FullWidthDigits), 1);
        const std::vector<std::string> cleaned = {"docomo.ne.jp", "myisp.example", "au.com"};
        for (std::size_t i = 0; i < stored.PlayerDomains.size(); ++i)
            QCOMPARE(stored.PlayerDomains[i], i < cleaned.size() ? cleaned[i] : std::string());

        world.module1.replySettings = ReplySettings{};
        Form3 again(world.module1);
        QCOMPARE(world.module1.replySettings, stored);
        QCOMPARE(again.Replies->players->currentText(), QString("アドレス帳の全員"));
        QCOMPARE(again.Replies->domains->toPlainText(), QString("docomo.ne.jp\nmyisp.example\nau.com"));
        QVERIFY(!again.Replies->domains->isEnabled());
        QVERIFY(again.Replies->fullWidthDigits->isChecked());
    }

    // A list the file cannot hold keeps the window open with one message,
    // the focus where it can be mended, and nothing written; mended, it goes.
    void replySettingsRefused_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("thenAddressBook");   // the address book chosen after typing
        QTest::addColumn<QString>("refusal");        // empty: stored
        QTest::newRow("32 domains fit") << domainLines(32) << false << QString();
        QTest::newRow("33 domains")
            << domainLines(33) << false << QString("「携帯電話のドメイン」は32件までです。多い分を消して下さい。");
        QTest::newRow("33 domains, then the address book chosen")
            << domainLines(33) << true
            << QString("「携帯電話のドメイン」は32件までです。多い分を消して下さい。"
                       "（「参加できる人」を「携帯電話のドメインのみ」にすると直せます。）");
        QTest::newRow("an emoji") << QString("docomo.ne.jp\nex😀.example") << false
                                  << QString("「携帯電話のドメイン」の文字");
    }
    void replySettingsRefused() {
        QFETCH(QString, typed);
        QFETCH(bool, thenAddressBook);
        QFETCH(QString, refusal);
        TestWorld world;
        auto form = std::make_unique<Form3>(world.module1);
        ReplyGroup& g = *form->Replies;
        form->show();
        op::retype(g.domains, typed);
        if (thenAddressBook) QVERIFY(op::choose(g.players, "アドレス帳の全員"));
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        if (refusal.isEmpty()) {
            QCOMPARE(world.messageBox.texts(), QStringList());
            ReplySettings stored;
            QVERIFY(readRecordFile(world.files, "trv2x.dat", stored, DataFiles::Mode::ReadOnly));
            QCOMPARE(stored.PlayerDomains.back(), std::string("d32.example"));
            return;
        }
        QCOMPARE(world.messageBox.texts().size(), 1);
        QVERIFY2(world.messageBox.texts()[0].startsWith(refusal), qPrintable(world.messageBox.texts()[0]));
        QVERIFY(form->isVisible());
        QCOMPARE(form->focusWidget(), thenAddressBook ? static_cast<QWidget*>(g.players) : g.domains);
        QVERIFY(!world.exists("trv2x.dat"));

        // Mended as the message says, the window goes and the list is stored.
        if (thenAddressBook) QVERIFY(op::choose(g.players, "携帯電話のドメインのみ"));
        op::retype(g.domains, domainLines(2));
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(world.messageBox.texts().size(), 1);
        QVERIFY(!form->isVisible());
        ReplySettings stored;
        QVERIFY(readRecordFile(world.files, "trv2x.dat", stored, DataFiles::Mode::ReadOnly));
        QCOMPARE(playerDomainsOf(stored), (std::vector<std::string>{"d1.example", "d2.example"}));
    }

    void captionsAndAccessibleNames() {
        TestWorld world;
        Form3 form(world.module1);
        QCOMPARE(form.windowTitle(), QString("アドレス帳設定"));
        QCOMPARE(form.Label2->text(), QString("アドレス帳"));
        QCOMPARE(form.Label1->text(), QString("名前"));
        QCOMPARE(form.Label3->text(), QString("メールアドレス"));
        QCOMPARE(form.Label4->text(), QString("送信"));
        QCOMPARE(form.Command1->text(), QString("戻る"));
        // Rows counted from 1, as the operator counts them.
        QCOMPARE(form.Text1[0]->accessibleName(), QString("名前 1"));
        QCOMPARE(form.Text1[3]->accessibleName(), QString("名前 4"));
        QCOMPARE(form.Text2[3]->accessibleName(), QString("メールアドレス 4"));
        QCOMPARE(form.Check1[3]->accessibleName(), QString("送信 4"));
        QCOMPARE(form.Text2[9]->accessibleName(), QString("メールアドレス 10"));
        // The page bar is reached by Tab, and its thumb is outlined in the
        // desktop's text colour rather than a faint shade of the groove's.
        QVERIFY(form.VScroll1->focusPolicy() & Qt::TabFocus);
        QCOMPARE(form.VScroll1->palette().color(QPalette::Window),
                 QApplication::palette(form.VScroll1).color(QPalette::WindowText));
        // The slots shown: named for what the line is, read as what it says.
        QAccessibleInterface* shown = QAccessible::queryAccessibleInterface(form.Label5);
        QCOMPARE(shown->text(QAccessible::Name), QString("表示中のアドレス"));
        QCOMPARE(shown->text(QAccessible::Value), QString("1–10 / 1000"));
        QCOMPARE(shown->textInterface()->text(0, shown->textInterface()->characterCount()), QString("1–10 / 1000"));
        for (QWidget* w : form.findChildren<QWidget*>()) {
            // The list a choice box pops up is a window of its own, named by
            // the box; its inner frames, like the viewport and scroll bars of
            // a multi-line box, are Qt's parts of the named control.
            if (w->window() != &form || insideMultiLineBox(w)) continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            QVERIFY2(a && !a->text(QAccessible::Name).isEmpty(), qPrintable(w->metaObject()->className()));
        }
    }
};

QTEST_MAIN(TestForm3)
#include "tst_form3.moc"
