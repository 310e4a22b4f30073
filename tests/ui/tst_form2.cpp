// The mail settings window driven as the operator drives it, against files in
// a temporary folder. What it writes is read back both by the record code and
// by a plain reader of byte offsets written here.
#include <QAccessible>
#include <QCheckBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <array>
#include <map>
#include <memory>

#include "model/RecordCodec.h"
#include "support/OperatorActions.h"
#include "support/RawRecord.h"
#include "support/TestWorld.h"
#include "ui/Form1.h"
#include "ui/ConnectionGroup.h"
#include "ui/Form2.h"
#include <QComboBox>
#include <QPushButton>
#include "model/RecordFiles.h"
#include "codec/Base64.h"
#include "mail/Transport.h"

namespace {

// Six length-prefixed strings from offset 0, as the file layout has them.
std::array<QByteArray, 6> readSixStrings(const QByteArray& file) {
    std::array<QByteArray, 6> out;
    RawReader r(file);
    for (QByteArray& field : out) field = r.str();
    return out;
}

QByteArray stringField(const QByteArray& text) {
    QByteArray b;
    putString(b, text);
    return b;
}

void deleteClosedWindows() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

}   // namespace

class TestForm2 : public QObject {
    Q_OBJECT
private slots:
    void firstStartWritesSixEmptyFields() {
        TestWorld world;
        auto* form = new Form2(world.module1);
        QPointer<Form2> alive(form);
        // Opening creates the file, empty, and shows six empty boxes.
        QVERIFY(world.exists("trv1.dat"));
        QCOMPARE(world.readFile("trv1.dat").size(), 0);
        for (QLineEdit* b : {form->Text1, form->Text2, form->Text3, form->Text4, form->Text5, form->Text6})
            QVERIFY(b->text().isEmpty());

        form->show();
        QSignalSpy closed(form, &EditorWindow::closed);
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(world.readFile("trv1.dat"), QByteArray(12, '\0'));
        QCOMPARE(closed.count(), 1);
        // "戻る" only hides: the window is still there.
        deleteClosedWindows();
        QVERIFY(alive);
        QVERIFY(form->isHidden());
        delete form;
    }

    void saveAndReopen() {
        TestWorld world;
        {
            auto* form = new Form2(world.module1);
            form->show();
            // Surrounding spaces are kept exactly as typed.
            QTest::keyClicks(form->Text1, " pop.example.jp ");
            QTest::keyClicks(form->Text2, "smtp.example.jp");
            QTest::keyClicks(form->Text3, "taro");
            QTest::keyClicks(form->Text4, "pa");
            op::commit(form->Text4, "す");   // a password may hold Japanese
            QTest::keyClicks(form->Text5, "taro@example.jp");
            op::commit(form->Text6, "山田　太郎");
            QTest::mouseClick(form->Command1, Qt::LeftButton);
            delete form;
        }

        const QByteArray file = world.readFile("trv1.dat");
        const SjisText password = sjis("paす");
        const QByteArray passwordBase64 =
            bytesOf(password).toBase64(QByteArray::OmitTrailingEquals);   // one line, no "="
        // The keyring keeps the password, named by account and server as typed;
        // the file's field stays empty.
        QCOMPARE(world.keyring.entries, (std::map<SjisText, SjisText>{{"pop3 taro@ pop.example.jp ", password}}));
        const std::array<QByteArray, 6> expected = {
            " pop.example.jp ", "smtp.example.jp", "taro", "", "taro@example.jp", bytesOf(sjis("山田　太郎"))};
        QCOMPARE(readSixStrings(file), expected);
        int total = 0;
        for (const QByteArray& f : expected) total += 2 + int(f.size());
        QCOMPARE(file.size(), total);

        // The record code reads the same six fields.
        MailSettings decoded;
        decodeRecord(std::string_view(file.constData(), std::size_t(file.size())), decoded);
        QCOMPARE(bytesOf(decoded.SenderName), expected[5]);
        QCOMPARE(bytesOf(decoded.Pop3Server), expected[0]);
        // The program holds it as the file used to.
        decoded.Password = passwordBase64.toStdString();
        QCOMPARE(world.module1.mailSettings, decoded);

        // A fresh load shows the password in clear again, masked on screen.
        world.module1.mailSettings = MailSettings{};
        Form2 again(world.module1);
        QCOMPARE(again.Text1->text(), QString(" pop.example.jp "));
        QCOMPARE(again.Text4->text(), QString("paす"));
        QCOMPARE(again.Text4->displayText(), QString("***"));
        QCOMPARE(again.Text6->text(), QString("山田　太郎"));
        QCOMPARE(world.module1.mailSettings, decoded);
    }

    void passwordBox_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("empty") << "" << QByteArray();
        QTest::newRow("one byte") << "a" << QByteArray("YQ");
        QTest::newRow("two bytes") << "ab" << QByteArray("YWI");
        QTest::newRow("three bytes") << "abc" << QByteArray("YWJj");
        QTest::newRow("sixty bytes, still one line") << QString(60, 'x')
            << QByteArray(60, 'x').toBase64(QByteArray::OmitTrailingEquals);
    }
    void passwordBox() {
        QFETCH(QString, typed);
        QFETCH(QByteArray, stored);
        TestWorld world;
        auto form = std::make_unique<Form2>(world.module1);
        form->show();
        QCOMPARE(form->Text4->echoMode(), QLineEdit::Password);
        QTest::keyClicks(form->Text4, typed);
        QCOMPARE(form->Text4->displayText(), QString(typed.size(), '*'));
        // Japanese can be typed here too: the input method stays on.
        QVERIFY(form->Text4->testAttribute(Qt::WA_InputMethodEnabled));
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        const QByteArray file = world.readFile("trv1.dat");
        QCOMPARE(readSixStrings(file)[3], stored);
        QVERIFY(!stored.contains('=') && !stored.contains('\n'));

        form = std::make_unique<Form2>(world.module1);
        QCOMPARE(form->Text4->text(), typed);
    }

    // What the keyring keeps for a folder never gets lost on the way: a
    // password the operator empties is gone from it too, one the keyring
    // would not hand over is left alone by a window that shows it empty,
    // and one no account names stays in the file.
    void keyringEntryFollowsTheBox_data() {
        QTest::addColumn<QString>("account");
        QTest::addColumn<bool>("failsWhileLoading");
        QTest::addColumn<QString>("typed");    // "-": the box left as shown
        QTest::addColumn<QString>("kept");     // in the keyring afterwards; "-": nothing
        QTest::addColumn<QString>("inFile");
        QTest::newRow("emptied") << "taro" << false << "" << "-" << "";
        QTest::newRow("retyped") << "taro" << false << "new" << "new" << "";
        QTest::newRow("left while the keyring failed") << "taro" << true << "-" << "old" << "";
        QTest::newRow("no account to name it") << "" << false << "pw" << "old" << "cHc";
    }
    void keyringEntryFollowsTheBox() {
        QFETCH(QString, account);
        QFETCH(bool, failsWhileLoading);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(QString, inFile);
        TestWorld world;
        MailSettings settings;
        settings.Pop3Server = "pop.example.jp";
        settings.AccountId = account.toStdString();
        QVERIFY(writeRecordFile(world.files, "trv1.dat", settings));
        const SjisText key = "pop3 taro@pop.example.jp";
        world.keyring.entries[key] = "old";
        world.keyring.failing = failsWhileLoading;
        Form2 form(world.module1);
        QCOMPARE(world.messageBox.texts().size(), failsWhileLoading ? 1 : 0);
        world.keyring.failing = false;
        form.show();
        if (typed != "-") {
            form.Text4->clear();
            QTest::keyClicks(form.Text4, typed);
        }
        QTest::mouseClick(form.Command1, Qt::LeftButton);
        QCOMPARE(world.keyring.entries.count(key) ? fromSjis(world.keyring.entries[key]) : QString("-"), kept);
        QCOMPARE(readSixStrings(world.readFile("trv1.dat"))[3], inFile.toLatin1());
    }

    void closeBoxSavesAndEndsTheWindow() {
        TestWorld world;
        auto* form = new Form2(world.module1);
        QPointer<Form2> alive(form);
        form->show();
        QSignalSpy closed(form, &EditorWindow::closed);
        QTest::keyClicks(form->Text2, "mail.example.jp");
        QVERIFY(form->close());
        QCOMPARE(closed.count(), 1);
        QCOMPARE(readSixStrings(world.readFile("trv1.dat"))[1], QByteArray("mail.example.jp"));
        deleteClosedWindows();
        QVERIFY(!alive);
    }

    // An own address without a domain is named once a window, when the box
    // is left, and still stored as typed.
    void ownAddressWithoutDomainIsNamedOnce() {
        TestWorld world;
        Form2 form(world.module1);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        for (const char* typed : {"quiz@trivorn.test", "quiz", "quiz@", "postmaster"}) {
            form.Text5->setFocus();
            form.Text5->clear();
            QTest::keyClicks(form.Text5, typed);
            form.Text6->setFocus();
            if (QByteArray(typed) == "quiz@trivorn.test") QVERIFY(world.messageBox.texts().isEmpty());
        }
        QCOMPARE(world.messageBox.texts(),
                 QStringList{QString::fromUtf8("メールアドレスに「@」とドメインがありません（例: quiz@example.jp）。"
                                               "ドメインのない差出人からのメールは、受け取りを拒否されることがあります。")});
        QTest::mouseClick(form.Command1, Qt::LeftButton);
        QCOMPARE(world.module1.mailSettings.OwnAddress, std::string("postmaster"));
    }

    void shorterValuesLeaveTheOldTail() {
        TestWorld world;
        QByteArray old;
        for (const char* f : {"a-very-long-pop-server.example.jp", "smtp", "id", "", "me@example.jp", "x"})
            old += stringField(f);
        old += "TAIL";
        world.writeFile("trv1.dat", old);

        auto form = std::make_unique<Form2>(world.module1);
        QCOMPARE(form->Text1->text(), QString("a-very-long-pop-server.example.jp"));
        form->show();
        form->Text1->selectAll();
        QTest::keyClicks(form->Text1, "p");
        QTest::mouseClick(form->Command1, Qt::LeftButton);

        const QByteArray file = world.readFile("trv1.dat");
        QCOMPARE(file.size(), old.size());   // never shortened
        QVERIFY(file.endsWith("TAIL"));
        QCOMPARE(readSixStrings(file)[0], QByteArray("p"));

        form = std::make_unique<Form2>(world.module1);
        QCOMPARE(form->Text1->text(), QString("p"));
        QCOMPARE(form->Text5->text(), QString("me@example.jp"));
    }

    // Opening and leaving the window does not rewrite fields it cannot show
    // faithfully: bytes outside Windows-31J, and a password that is not Base64.
    void untouchedFieldsKeepTheirBytes() {
        TestWorld world;
        QByteArray old;
        for (const QByteArray& f : {QByteArray("pop"), QByteArray("\xa0\xfd"), QByteArray("id"),
                                    QByteArray("!!not base64!!"), QByteArray("me@example.jp"),
                                    QByteArray("\x87\x40")})   // ① (NEC row 13)
            old += stringField(f);
        world.writeFile("trv1.dat", old);

        auto form = std::make_unique<Form2>(world.module1);
        QVERIFY(form->Text4->text().isEmpty());
        form->show();
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(world.readFile("trv1.dat"), old);

        // A field the operator does change is stored from the box.
        form->Text3->selectAll();
        QTest::keyClicks(form->Text3, "jiro");
        QTest::keyClicks(form->Text4, "pw");
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        const auto fields = readSixStrings(world.readFile("trv1.dat"));
        QCOMPARE(fields[2], QByteArray("jiro"));
        QCOMPARE(fields[3], QByteArray());   // now in the keyring
        QCOMPARE(world.keyring.entries["pop3 jiro@pop"], std::string("pw"));
        QCOMPARE(fields[1], QByteArray("\xa0\xfd"));
    }

    // Through the main window: "戻る" hides the window and brings the main
    // window back; the next opening shows the same window with its boxes as
    // they were. After the close box the next opening loads the file afresh.
    void mainWindowHandOver() {
        TestWorld world;
        Form1 form1(world.module1, [&] { return world.appFolder(); });
        int made = 0;
        form1.setEditorFactory(1, [&]() -> EditorWindow* { ++made; return new Form2(world.module1); });
        form1.show();

        QTest::mouseClick(form1.Command1, Qt::LeftButton);
        auto* form = qobject_cast<Form2*>(form1.editorWindow(1));
        QVERIFY(form);
        QVERIFY(form->isVisible());
        QVERIFY(form1.isHidden());
        QTest::keyClicks(form->Text3, "typed");
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QVERIFY(form1.isVisible());
        QVERIFY(form->isHidden());

        // Someone else's copy of the file must not replace what the box holds.
        world.writeFile("trv1.dat", QByteArray(12, '\0'));
        QTest::mouseClick(form1.Command1, Qt::LeftButton);
        QCOMPARE(form1.editorWindow(1), form);
        QCOMPARE(made, 1);
        QVERIFY(form->isVisible());
        QCOMPARE(form->Text3->text(), QString("typed"));

        QVERIFY(form->close());
        deleteClosedWindows();
        QVERIFY(form1.isVisible());
        QVERIFY(!form1.editorWindow(1));
        QTest::mouseClick(form1.Command1, Qt::LeftButton);
        QCOMPARE(made, 2);
        QCOMPARE(qobject_cast<Form2*>(form1.editorWindow(1))->Text3->text(), QString("typed"));
        form1.editorWindow(1)->close();
    }

    // A folder of an older copy has no trv1x.dat: the group shows the plain
    // connections of old, and leaving the window adds no file. What the
    // operator chooses is stored there (trv1.dat keeps its six fields) and
    // shown again on the next opening.
    void connectionSettings() {
        TestWorld world;
        {
            auto* form = new Form2(world.module1);
            ConnectionGroup& c = *form->Connection;
            QCOMPARE(c.smtpPort->currentText(), QString("25"));
            QCOMPARE(c.pop3Port->currentText(), QString("110"));
            QVERIFY(!c.smtpUser->isEnabled());
            form->show();
            QTest::mouseClick(form->Command1, Qt::LeftButton);
            QVERIFY(!world.exists("trv1x.dat"));
            QCOMPARE(world.readFile("trv1.dat"), QByteArray(12, '\0'));

            c.smtpProtection->setCurrentIndex(1);   // STARTTLS brings 587 along
            QCOMPARE(c.smtpPort->currentText(), QString("587"));
            c.smtpLogin->setCurrentIndex(2);
            QVERIFY(c.smtpUser->isEnabled());
            c.smtpUser->setText("sender@isp.example");
            c.smtpPassword->setText("パス");
            c.pop3Protection->setCurrentIndex(2);
            QCOMPARE(c.pop3Port->currentText(), QString("995"));
            c.pop3Port->setCurrentText("50995");   // a port of its own stays, above 32767 too
            form->show();
            QTest::mouseClick(form->Command1, Qt::LeftButton);
            delete form;
        }
        QCOMPARE(world.readFile("trv1.dat"), QByteArray(12, '\0'));
        TransportSettings t;
        QVERIFY(readRecordFile(world.files, "trv1x.dat", t, DataFiles::Mode::ReadOnly));
        QCOMPARE(int(t.SmtpProtection), int(stored(Protection::StartTls)));
        QCOMPARE(int(t.SmtpPort), 0);   // the usual one
        QCOMPARE(int(t.SmtpLoginKind), int(stored(LoginKind::Own)));
        QCOMPARE(t.SmtpUser, std::string("sender@isp.example"));
        QCOMPARE(DecodeBase64Text(t.SmtpPassword).value_or(""), sjis("パス"));
        QCOMPARE(int(t.Pop3Protection), int(stored(Protection::Tls)));
        QCOMPARE(portOf(t.Pop3Port), 50995);

        Form2 again(world.module1);
        QCOMPARE(again.Connection->smtpPort->currentText(), QString("587"));
        QCOMPARE(again.Connection->smtpLogin->currentIndex(), 2);
        QCOMPARE(again.Connection->smtpPassword->text(), QString("パス"));
        QCOMPARE(again.Connection->pop3Port->currentText(), QString("50995"));
    }

    // The sending password is checked as the receiving one: stored in
    // Base64, it must fit a field a third smaller, and in Windows-31J.
    void ownSmtpPasswordIsChecked_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("refusal");   // empty: stored
        QTest::newRow("longest that fits") << QString(49149, 'x') << QString();
        QTest::newRow("one byte more")
            << QString(49150, 'x') << QString("「送信のパスワード」が長すぎます。49149 バイトまでにして下さい（今は 49150 バイトです）。");
        QTest::newRow("not in Windows-31J") << QString("pw\u00e9") << QString("「送信のパスワード」の文字");
    }
    void ownSmtpPasswordIsChecked() {
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        TestWorld world;
        Form2 form(world.module1);
        form.show();
        form.Connection->smtpLogin->setCurrentIndex(stored(LoginKind::Own));
        form.Connection->smtpPassword->setText(typed);
        QTest::mouseClick(form.Command1, Qt::LeftButton);
        if (refusal.isEmpty()) {
            QCOMPARE(world.messageBox.texts(), QStringList());
            TransportSettings t;
            QVERIFY(readRecordFile(world.files, "trv1x.dat", t, DataFiles::Mode::ReadOnly));
            QCOMPARE(DecodeBase64Text(t.SmtpPassword).value_or(""), typed.toStdString());
            return;
        }
        QCOMPARE(world.messageBox.texts().size(), 1);
        QVERIFY2(world.messageBox.texts()[0].startsWith(refusal), qPrintable(world.messageBox.texts()[0]));
        QVERIFY(form.isVisible());
        QCOMPARE(form.focusWidget(), form.Connection->smtpPassword);
        QVERIFY(!world.exists("trv1x.dat"));
    }

    // A certificate a server showed during a round and that failed its
    // checks is offered for trust here; trusting stores it for that server
    // at once, and only that.
    void trustingARefusedCertificate() {
        TestWorld world;
        world.module1.refusedCertificate = {"mail.isp.example", sjis("自己署名の証明書です"), "AB:CD:EF"};
        // A sending password the keyring keeps stays out of the file.
        MailSettings account;
        account.SmtpServer = "mail.isp.example";
        QVERIFY(writeRecordFile(world.files, "trv1.dat", account));
        TransportSettings sending;
        sending.SmtpUser = "sender";
        QVERIFY(writeRecordFile(world.files, "trv1x.dat", sending));
        world.keyring.entries["smtp sender@mail.isp.example"] = "pw";
        {
            Form2 form(world.module1);
            ConnectionGroup& c = *form.Connection;
            QVERIFY(c.refusedCertificate->toPlainText().contains("mail.isp.example"));
            QVERIFY(c.refusedCertificate->toPlainText().contains("SHA-256 AB:CD:EF"));
            QVERIFY(c.refusedCertificate->toPlainText().contains("自己署名の証明書です"));
            QVERIFY(c.refusedCertificate->toPlainText().startsWith("信頼されていない証明書"));
            QVERIFY(c.trustCertificate->isEnabled());
            QTest::mouseClick(c.trustCertificate, Qt::LeftButton);
            QVERIFY(!c.trustCertificate->isEnabled());
        }
        TransportSettings t;
        QVERIFY(readRecordFile(world.files, "trv1x.dat", t, DataFiles::Mode::ReadOnly));
        QCOMPARE(trustedFingerprintsFor(t, "mail.isp.example"), std::vector<std::string>{"AB:CD:EF"});
        QCOMPARE(trustedFingerprintsFor(t, "other.example"), std::vector<std::string>{});
        QCOMPARE(int(t.SmtpProtection), 0);   // nothing else changed
        QCOMPARE(t.SmtpUser, SjisText("sender"));
        QCOMPARE(t.SmtpPassword, SjisText());
        Form2 again(world.module1);
        QVERIFY(!again.Connection->trustCertificate->isEnabled());
        QVERIFY(again.Connection->refusedCertificate->toPlainText().startsWith("信頼済みの証明書"));
        // A screen reader reads the certificate as the box's text, once: no
        // description repeats it after the name.
        QAccessibleInterface* shown = QAccessible::queryAccessibleInterface(again.Connection->refusedCertificate);
        QCOMPARE(shown->text(QAccessible::Name), QString("証明書"));
        QCOMPARE(shown->textInterface()->text(0, shown->textInterface()->characterCount()),
                 again.Connection->refusedCertificate->toPlainText());
        QVERIFY(again.Connection->refusedCertificate->accessibleDescription().isEmpty());

        TestWorld fresh;   // nothing refused: nothing to trust
        Form2 none(fresh.module1);
        QVERIFY(!none.Connection->trustCertificate->isEnabled());
    }

    // The main window keeps this window when it is left with "戻る"; a
    // certificate refused meanwhile is the one shown, and trusted, the next
    // time it is opened.
    void refusedCertificateFollowsTheLatestRefusal() {
        TestWorld world;
        Form1 form1(world.module1, [&] { return world.appFolder(); });
        form1.setEditorFactory(1, [&]() -> EditorWindow* { return new Form2(world.module1); });
        form1.show();
        world.module1.refusedCertificate = {"mail.isp.example", {}, "AA:AA"};
        QTest::mouseClick(form1.Command1, Qt::LeftButton);
        auto* form = qobject_cast<Form2*>(form1.editorWindow(1));
        QVERIFY(form->Connection->refusedCertificate->toPlainText().contains("SHA-256 AA:AA"));
        QTest::mouseClick(form->Command1, Qt::LeftButton);

        world.module1.refusedCertificate = {"pop.isp.example", {}, "BB:BB"};
        QTest::mouseClick(form1.Command1, Qt::LeftButton);
        QCOMPARE(form1.editorWindow(1), form);
        ConnectionGroup& c = *form->Connection;
        QVERIFY2(c.refusedCertificate->toPlainText().contains("pop.isp.example"), qPrintable(c.refusedCertificate->toPlainText()));
        QVERIFY(c.refusedCertificate->toPlainText().contains("SHA-256 BB:BB"));
        QVERIFY(c.trustCertificate->isEnabled());
        QTest::mouseClick(c.trustCertificate, Qt::LeftButton);
        TransportSettings t;
        QVERIFY(readRecordFile(world.files, "trv1x.dat", t, DataFiles::Mode::ReadOnly));
        QCOMPARE(trustedFingerprintsFor(t, "pop.isp.example"), std::vector<std::string>{"BB:BB"});
        QCOMPARE(trustedFingerprintsFor(t, "mail.isp.example"), std::vector<std::string>{});
        form->close();
    }

    void captionsAndAccessibleNames() {
        TestWorld world;
        Form2 form(world.module1);
        QCOMPARE(form.windowTitle(), QString("メールの設定"));
        const std::array<std::pair<QLabel*, QString>, 7> labels = {{
            {form.Label2, "メールサーバー"}, {form.Label1, "受信メール　[POP]"},
            {form.Label3, "送信メール　[SMTP]"}, {form.Label4, "アカウント名"},
            {form.Label5, "パスワード"}, {form.Label6, "メールアドレス"}, {form.Label7, "名　前"}}};
        for (auto [label, caption] : labels) QCOMPARE(label->text(), caption);
        QCOMPARE(form.Command1->text(), QString("戻る"));
        QCOMPARE(form.Text4->accessibleName(), QString("パスワード"));
        QCOMPARE(form.StoreInKeyring->text(), QString("パスワードをキーリングに保存"));
        QCOMPARE(form.StoreInKeyring->accessibleName(), form.StoreInKeyring->text());

        for (QWidget* w : form.findChildren<QWidget*>()) {
            // The lists a choice box pops up are windows of their own, named
            // by the box; their inner frames are Qt's, as are the viewport
            // and scroll bars of a multi-line box.
            if (w->window() != &form) continue;
            bool insideText = false;
            for (QWidget* p = w->parentWidget(); p; p = p->parentWidget()) insideText |= qobject_cast<QPlainTextEdit*>(p) != nullptr;
            if (insideText) continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            QVERIFY2(a && !a->text(QAccessible::Name).isEmpty(), qPrintable(w->metaObject()->className()));
            QVERIFY2(!qobject_cast<QLineEdit*>(w) || w->testAttribute(Qt::WA_InputMethodEnabled),
                     "input methods stay on in every box");
        }
    }
};

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
