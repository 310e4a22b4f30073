// Fetched messages as a Postfix/Dovecot pair delivers them: which are replies
// from the players' phones, what sender, subject and body they carry, and
// which are handed over or cleared from the server.
#include <QtTest>

#include <QStringEncoder>

#include "mail/ReceivedMailParser.h"
#include "platform/qt/QtCharsetConverter.h"
#include "support/IconvText.h"
#include "support/SjisLiterals.h"

namespace {

// Qt's Windows-31J, independent of the program's converter.
QByteArray sjis(const QString& text) {
    QStringEncoder enc("Windows-31J");
    return enc.encode(text);
}

// A message as the POP3 session hands it over: status line, the headers
// Postfix and the phone wrote, the body (byte-stuffing undone), the "." line.
struct Mail {
    QByteArray returnPath = "<taro@docomo.ne.jp>";   // empty: none
    QByteArray deliveredFor = "quiz@trivorn.test";
    QByteArray beforeFrom;                           // extra header lines
    QByteArray from = "taro@docomo.ne.jp";           // empty: no From line
    QByteArray beforeSubject;
    QByteArray subject = "Re: " + encodedWord("クイズ大会");   // null: no Subject line
    QByteArray afterSubject = "Message-ID: <20261207100000.4A1B2C@docomo.ne.jp>\r\n"
                              "MIME-Version: 1.0\r\n"
                              "Content-Type: text/plain; charset=\"ISO-2022-JP\"\r\n"
                              "Content-Transfer-Encoding: 7bit\r\n";
    QByteArray body = jis("参加します");             // null: no body lines at all

    QByteArray text() const {
        QByteArray h;
        if (!returnPath.isEmpty()) h += "Return-Path: " + returnPath + "\r\n";
        h += "X-Original-To: quiz@trivorn.test\r\n"
             "Delivered-To: quiz@trivorn.test\r\n"
             "Received: from mail.docomo.ne.jp (localhost [127.0.0.1])\r\n"
             "\tby mail.trivorn.test (Postfix) with SMTP id 4A1B2C3D4E\r\n"
             "\tfor <" + deliveredFor + ">; Mon,  7 Dec 2026 10:00:00 +0900 (JST)\r\n"
             "Date: Mon, 7 Dec 2026 10:00:00 +0900\r\n";
        h += beforeFrom;
        if (!from.isEmpty()) h += "From: " + from + "\r\n";
        h += "To: quiz@trivorn.test\r\n";
        h += beforeSubject;
        if (!subject.isNull()) h += "Subject: " + subject + "\r\n";
        h += afterSubject;
        QByteArray message = h + "\r\n";
        message += body.isNull() ? QByteArray(".\r\n") : body + "\r\n.\r\n";
        return "+OK " + QByteArray::number(message.size()) + " octets\r\n" + message;
    }
};

QByteArray multipart(const QByteArray& contentType, const QList<QByteArray>& parts, const QByteArray& closing) {
    Mail m;
    m.afterSubject = "MIME-Version: 1.0\r\nContent-Type: " + contentType + "\r\n";
    QByteArray body = "This is a multi-part message in MIME format.\r\n\r\n";
    for (const QByteArray& p : parts) body += p;
    body += closing;
    m.body = body;
    return m.text();
}

// A subject as a phone's reply carries it back, written by glibc: raw
// ISO-2022-JP, and inside an encoded word.
struct Written {
    QByteArray raw;
    QByteArray word;
};

Written written(const QString& subject) { return {jis(subject), encodedWord(subject)}; }

// glibc's ISO-2022-JP refuses half-width katakana; its ISO-2022-JP-3 writes
// it in ESC ( I, as a phone that echoes such a subject does.
Written writtenWithKatakana(const QString& subject) {
    const QByteArray raw = iconvBytes(subject.toUtf8(), "ISO-2022-JP-3", "UTF-8");
    return {raw, "=?ISO-2022-JP?B?" + raw.toBase64() + "?="};
}

// The Subject fields of a reply: "Re: " or a plain "RE:(BCC)" in front.
QList<QPair<const char*, QByteArray>> replyFields(const Written& w) {
    return {{"Re: encoded word", "Re: " + w.word},
            {"Re: raw", "Re: " + w.raw},
            {"RE:(BCC) encoded word", "RE:(BCC) " + w.word},
            {"RE:(BCC) raw", "RE:(BCC)" + w.raw}};
}

// A provider's report on mail it could not deliver, as Postfix writes one:
// the recipient blocks of its delivery-status part, and the returned
// message's header section naming `returnedId`.
QByteArray report(const QByteArray& recipients, const QByteArray& returnedId,
                  const QByteArray& returnedType = "text/rfc822-headers",
                  const QByteArray& reportType = "delivery-status") {
    Mail m;
    m.returnPath = "<>";
    m.from = "MAILER-DAEMON@trivorn.test (Mail Delivery System)";
    m.subject = "Undelivered Mail Returned to Sender";
    m.afterSubject = "Message-ID: <20261207100100.5B2C@trivorn.test>\r\nMIME-Version: 1.0\r\n"
                     "Content-Type: multipart/report; report-type=" + reportType + ";\r\n"
                     "\tboundary=\"4A1B.1765000000/mail.trivorn.test\"\r\n";
    const QByteArray delimiter = "--4A1B.1765000000/mail.trivorn.test";
    m.body = "This is a MIME-encapsulated message.\r\n\r\n" + delimiter +
             "\r\nContent-Description: Notification\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n"
             "I'm sorry to have to inform you that your message could not\r\nbe delivered.\r\n\r\n" +
             delimiter + "\r\nContent-Description: Delivery report\r\nContent-Type: message/delivery-status\r\n\r\n"
             "Reporting-MTA: dns; mail.trivorn.test\r\nX-Postfix-Queue-ID: 4A1B2C3D4E\r\n"
             "Arrival-Date: Mon,  7 Dec 2026 10:00:00 +0900 (JST)\r\n\r\n" + recipients + "\r\n" + delimiter +
             "\r\nContent-Description: Undelivered Message Headers\r\nContent-Type: " + returnedType + "\r\n\r\n"
             "Return-Path: <quiz@trivorn.test>\r\nFrom: quiz@trivorn.test\r\nSubject: Q1\r\n"
             "Message-ID: " + returnedId + "\r\n\r\nbody\r\n\r\n" + delimiter + "--";
    return m.text();
}

const QByteArray kHanakoFailed = "Final-Recipient: rfc822; hanako@gone.test\r\n"
                                 "Original-Recipient: rfc822;hanako@gone.test\r\nAction: failed\r\n"
                                 "Status: 5.1.1\r\nDiagnostic-Code: X-Postfix; unknown user:\r\n \"hanako\"\r\n";

const QByteArray kPlain7bit = "Content-Type: text/plain; charset=\"ISO-2022-JP\"\r\nContent-Transfer-Encoding: 7bit\r\n\r\n";
const QByteArray kImage = "Content-Type: image/jpeg; name=\"a.jpg\"\r\nContent-Transfer-Encoding: base64\r\n\r\n/9j/4AAQSkZJRgABAQ==\r\n";

}  // namespace

class TestParser : public QObject {
    Q_OBJECT
private slots:
    void reading_data();
    void reading();
    void handOver_data();
    void handOver();
    void everyoneInTheAddressBook_data();
    void everyoneInTheAddressBook();
};

void TestParser::reading_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("body");

    const int read = int(MailVerdict::Read);
    Mail m;
    QTest::newRow("reply: Re: and an encoded word") << m.text() << read << "taro@docomo.ne.jp"
                                                    << "Re:クイズ大会" << "参加します";

    // Subjects.
    m = Mail{};
    m.subject = encodedWord("Re:第1問", "=?iso-2022-jp?b?");
    m.body = jis("答:3");
    QTest::newRow("whole subject encoded, lower-case charset") << m.text() << read << "taro@docomo.ne.jp"
                                                               << "Re:第1問" << "答:3";
    m = Mail{};
    m.subject = "Re: " + jis("第1問");
    QTest::newRow("raw ISO-2022-JP after Re:") << m.text() << read << "taro@docomo.ne.jp" << "Re:第1問" << "参加します";
    m.subject = jis("Re:第1問");
    QTest::newRow("raw ISO-2022-JP, whole") << m.text() << read << "taro@docomo.ne.jp" << "Re:第1問" << "参加します";
    m.subject = encodedWord("RE:(BCC)第1問");
    QTest::newRow("RE:(BCC) read as Re:") << m.text() << read << "taro@docomo.ne.jp" << "Re:第1問" << "参加します";
    m.subject = "RE:(BCC)abc";
    QTest::newRow("plain RE:(BCC) read as Re:") << m.text() << read << "taro@docomo.ne.jp" << "Re:abc" << "参加します";
    for (const char* prefix : {"RE: ", "re:", "Re: Re: ", "Re[2]: ", "RE: re:", "Re(3):", "RE:(BCC)Re:"}) {
        m.subject = QByteArray(prefix) + encodedWord("第1問");
        QTest::addRow("reply prefix %s", prefix) << m.text() << read << "taro@docomo.ne.jp" << "Re:第1問" << "参加します";
    }
    m.subject = encodedWord("Re：第1問");
    QTest::newRow("reply prefix with a full-width colon") << m.text() << read << "taro@docomo.ne.jp" << "Re:第1問"
                                                          << "参加します";
    m.subject = "Fw: " + encodedWord("第1問");
    QTest::newRow("no reply prefix") << m.text() << read << "taro@docomo.ne.jp" << "Fw:第1問" << "参加します";
    m.subject = "Re: =?iso-2022-jp?Q?=1B$BBh=1B(B1=1B$BLd=1B(B?=";
    QTest::newRow("ISO-2022-JP in Q") << m.text() << read << "taro@docomo.ne.jp" << "Re:第1問" << "参加します";
    m.subject = "=?UTF-8?Q?Re:_=E7=AC=AC1=E5?= =?UTF-8?B?lY8=?=";
    QTest::newRow("UTF-8 character cut between two words")
        << m.text() << read << "taro@docomo.ne.jp" << "Re:第1問" << "参加します";
    m.subject = "Re: =?UTF-8?B?56ysMeWVjw!?=";
    QTest::newRow("UTF-8 word with a non-Base64 character") << m.text() << int(MailVerdict::Unreadable) << "" << ""
                                                            << "";
    m.subject = "Re:\r\n " + encodedWord("第1") + "\r\n\t" + encodedWord("問");
    QTest::newRow("folded over three lines") << m.text() << read << "taro@docomo.ne.jp" << "Re:第1問" << "参加します";
    m.subject = encodedWord("Re:") + " " + encodedWord("第1問");
    QTest::newRow("two words on one line") << m.text() << read << "taro@docomo.ne.jp" << "Re:第1問" << "参加します";
    m.subject = encodedWord("Re: 第 1 問");
    QTest::newRow("spaces removed") << m.text() << read << "taro@docomo.ne.jp" << "Re:第1問" << "参加します";
    m.subject = "Re:" + sjis("テスト") + "1";
    QTest::newRow("raw Shift_JIS keeps only ASCII, no trail bytes")
        << m.text() << read << "taro@docomo.ne.jp" << "Re:1" << "参加します";
    m.subject = "Re: quiz-1 (final)!\t~";
    QTest::newRow("plain text keeps printable ASCII") << m.text() << read << "taro@docomo.ne.jp"
                                                      << "Re:quiz-1(final)!~" << "参加します";
    for (const QString s : {"第3回のクイズ参加ご確認", "第3回のクイズ第2問", "第3回のクイズ終了ご確認"}) {
        for (const auto& [form, field] : replyFields(written(s))) {
            m.subject = field;
            QTest::addRow("default %s, %s", qPrintable(s), form) << m.text() << read << "taro@docomo.ne.jp"
                                                                 << "Re:" + s << "参加します";
        }
    }
    m.subject = "Re: " + writtenWithKatakana("ｸｲｽﾞ").raw + " 1";
    QTest::newRow("raw ISO-2022-JP starting with half-width katakana")
        << m.text() << read << "taro@docomo.ne.jp" << "Re:ｸｲｽﾞ1" << "参加します";
    for (const char* s : {"Re:ab", "Re:abc", "Re:abcd"}) {
        m.subject = encodedWord(s);
        QTest::addRow("padding of %s", s) << m.text() << read << "taro@docomo.ne.jp" << s << "参加します";
    }
    m.subject = "=?ISO-2022-JP?B?" + jis("Re:第1問").toBase64();
    QTest::newRow("encoded word with no end") << m.text() << read << "taro@docomo.ne.jp" << "Re:第1問" << "参加します";
    m.subject = QByteArray();
    QTest::newRow("no Subject") << m.text() << read << "taro@docomo.ne.jp" << "" << "参加します";
    m = Mail{};
    m.subject = "Re:abc";
    m.afterSubject = "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=\"ISO-2022-JP\"\r\n"
                     "References: <20261207.1@trivorn.test>\r\n";
    QTest::newRow("header lines after the Subject stay out of it")
        << m.text() << read << "taro@docomo.ne.jp" << "Re:abc" << "参加します";
    m = Mail{};
    QTest::newRow("Subject: without a space")
        << m.text().replace("Subject: ", "Subject:") << read << "taro@docomo.ne.jp" << "Re:クイズ大会" << "参加します";
    QTest::newRow("header name in capitals")
        << m.text().replace("Subject: ", "SUBJECT: ") << read << "taro@docomo.ne.jp" << "Re:クイズ大会" << "参加します";
    m.beforeSubject = "X-Original-Subject: decoy\r\nThread-Subject: decoy2\r\n";
    QTest::newRow("only a header named Subject counts")
        << m.text() << read << "taro@docomo.ne.jp" << "Re:クイズ大会" << "参加します";

    // Senders.
    m = Mail{};
    m.from = "Taro Yamada <taro@docomo.ne.jp>";
    QTest::newRow("display name before the address") << m.text() << read << "taro@docomo.ne.jp" << "Re:クイズ大会"
                                                     << "参加します";
    m.from = encodedWord("山田太郎") + " <taro@docomo.ne.jp>";
    QTest::newRow("encoded display name") << m.text() << read << "taro@docomo.ne.jp" << "Re:クイズ大会" << "参加します";
    m.from = "<hanako@ezweb.ne.jp>";
    QTest::newRow("address in brackets") << m.text() << read << "hanako@ezweb.ne.jp" << "Re:クイズ大会" << "参加します";
    m.from = "jiro @ t.vodafone.ne.jp";
    QTest::newRow("spaces removed from the address") << m.text() << read << "jiro@t.vodafone.ne.jp" << "Re:クイズ大会"
                                                     << "参加します";
    m.from = QByteArray();
    QTest::newRow("no From") << m.text() << read << "" << "Re:クイズ大会" << "参加します";
    m = Mail{};
    m.beforeFrom = "Resent-From: other@docomo.ne.jp\r\nX-Original-From: third@docomo.ne.jp\r\n";
    QTest::newRow("only a header named From counts") << m.text() << read << "taro@docomo.ne.jp" << "Re:クイズ大会"
                                                     << "参加します";

    // Which messages are replies from phones to the operator.
    m = Mail{};
    m.returnPath = "<bob@example.com>";
    QTest::newRow("Return-Path outside the carriers") << m.text() << int(MailVerdict::NotFromPhone) << "" << "" << "";
    m.returnPath = "<>";
    QTest::newRow("empty Return-Path") << m.text() << int(MailVerdict::NotFromPhone) << "" << "" << "";
    for (const char* path : {"<x@xdocomo.ne.jp>", "<x@docomo.ne.jp.example.com>", "<docomo.ne.jp@example.com>",
                             "<x@gmail.com>"}) {
        m.returnPath = path;
        QTest::addRow("not a carrier: %s", path) << m.text() << int(MailVerdict::NotFromPhone) << "" << "" << "";
    }
    for (const char* path : {"<taro@DOCOMO.NE.JP>", "<hanako@ezweb.ne.jp>", "<jiro@t.vodafone.ne.jp>", "<a@au.com>",
                             "<b@softbank.ne.jp>", "<c@i.softbank.jp>", "<d@ymobile.ne.jp>", "e@docomo.ne.jp"}) {
        m.returnPath = path;
        QTest::addRow("carrier %s", path) << m.text() << read << "taro@docomo.ne.jp" << "Re:クイズ大会" << "参加します";
    }
    m.returnPath = QByteArray();
    QTest::newRow("no Return-Path passes") << m.text() << read << "taro@docomo.ne.jp" << "Re:クイズ大会" << "参加します";
    m = Mail{};
    m.deliveredFor = "other@trivorn.test";
    QTest::newRow("delivered to someone else") << m.text() << int(MailVerdict::NotAddressed) << "" << "" << "";
    m.body = "forwarded: for <quiz@trivorn.test>; yesterday";
    QTest::newRow("delivery clause only in the body") << m.text() << int(MailVerdict::NotAddressed) << "" << "" << "";
    m = Mail{};
    m.deliveredFor = "Quiz@Trivorn.TEST";
    QTest::newRow("delivery clause in other letter case") << m.text() << read << "taro@docomo.ne.jp"
                                                          << "Re:クイズ大会" << "参加します";

    // Messages that cannot be read.
    const int unreadable = int(MailVerdict::Unreadable);
    m = Mail{};
    m.subject = "Re: =?ISO-2022-JP?B?GyRC!!?=";
    QTest::newRow("encoded word with a non-Base64 character") << m.text() << unreadable << "" << "" << "";
    QByteArray noEnd = Mail{}.text();
    noEnd.replace("7bit\r\n\r\n", "7bit\r\n");
    QTest::newRow("headers with no end") << noEnd << unreadable << "" << "" << "";

    // Bodies.
    m = Mail{};
    m.body = jis("第1問の答え\r\n答:3");
    QTest::newRow("answer on the last line kept whole") << m.text() << read << "taro@docomo.ne.jp" << "Re:クイズ大会"
                                                        << "第1問の答え\r\n答:3";
    m.body = sjis("答:2 です");
    QTest::newRow("raw Shift_JIS body") << m.text() << read << "taro@docomo.ne.jp" << "Re:クイズ大会" << "答:2 です";
    m.body = QByteArray();
    QTest::newRow("no body at all") << m.text() << read << "taro@docomo.ne.jp" << "Re:クイズ大会" << "";
    m.body = "";
    QTest::newRow("one empty body line") << m.text() << read << "taro@docomo.ne.jp" << "Re:クイズ大会" << "";
    m.body = "3\r\n";
    QTest::newRow("ending with an empty line") << m.text() << read << "taro@docomo.ne.jp" << "Re:クイズ大会" << "3\r\n";
    m.body = "a\r\n.\r\n.x\r\nend.";
    QTest::newRow("dot lines inside the body") << m.text() << read << "taro@docomo.ne.jp" << "Re:クイズ大会"
                                               << "a\r\n.\r\n.x\r\nend.";
    m.body = "x";
    QTest::newRow("one character") << m.text() << read << "taro@docomo.ne.jp" << "Re:クイズ大会" << "x";

    // Multi-part bodies.
    const QByteArray quoted = "multipart/mixed; boundary=\"----=_Part_1\"";
    QTest::newRow("multi-part, quoted boundary")
        << multipart(quoted, {"------=_Part_1\r\n" + kPlain7bit + jis("よろしく\r\n答:4") + "\r\n",
                              "------=_Part_1\r\n" + kImage},
                     "------=_Part_1--")
        << read << "taro@docomo.ne.jp" << "Re:クイズ大会" << "よろしく\r\n答:4";
    QTest::newRow("multi-part, bare boundary")
        << multipart("multipart/mixed; boundary=b1a2", {"--b1a2\r\n" + kPlain7bit + jis("答:5") + "\r\n"}, "--b1a2--")
        << read << "taro@docomo.ne.jp" << "Re:クイズ大会" << "答:5";
    QTest::newRow("multi-part, bare boundary then a parameter")
        << multipart("multipart/mixed; boundary=b1a2; charset=x", {"--b1a2\r\n" + kPlain7bit + "6\r\n"}, "--b1a2--")
        << read << "taro@docomo.ne.jp" << "Re:クイズ大会" << "6";
    QTest::newRow("multi-part, boundary on a continuation line")
        << multipart("multipart/mixed;\r\n\tboundary=\"xyz\"", {"--xyz\r\n" + kPlain7bit + "7\r\n"}, "--xyz--")
        << read << "taro@docomo.ne.jp" << "Re:クイズ大会" << "7";
    QTest::newRow("multi-part, the 7bit part is the text")
        << multipart("multipart/mixed; boundary=\"q\"",
                     {"--q\r\n" + kImage,
                      "--q\r\n" + kPlain7bit + jis("答:8") + "\r\n"},
                     "--q--")
        << read << "taro@docomo.ne.jp" << "Re:クイズ大会" << "答:8";
    QTest::newRow("multi-part, no 7bit part: the first part")
        << multipart("multipart/mixed; boundary=\"q\"",
                     {"--q\r\nContent-Type: text/plain; charset=Shift_JIS\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" +
                      sjis("答:9") + "\r\n"},
                     "--q--")
        << read << "taro@docomo.ne.jp" << "Re:クイズ大会" << "答:9";
    QTest::newRow("multi-part, empty text")
        << multipart("multipart/mixed; boundary=\"q\"", {"--q\r\n" + kPlain7bit}, "--q--")
        << read << "taro@docomo.ne.jp" << "Re:クイズ大会" << "";
    QTest::newRow("multi-part without a boundary parameter")
        << multipart("multipart/mixed", {"--q\r\n" + kPlain7bit + "1\r\n"}, "--q--")
        << unreadable << "" << "" << "";
    QTest::newRow("multi-part without a delimiter line")
        << multipart("multipart/mixed; boundary=\"q\"", {kPlain7bit + "1\r\n"}, "")
        << unreadable << "" << "" << "";
    QTest::newRow("multi-part whose text never ends")
        << multipart("multipart/mixed; boundary=\"q\"", {"--q\r\n" + kPlain7bit + "1"}, "")
        << unreadable << "" << "" << "";
    QTest::newRow("a provider's delivery report")
        << report(kHanakoFailed, "<q1@trivorn.test>") << int(MailVerdict::Bounce) << "" << "" << "";
}

void TestParser::reading() {
    QFETCH(QByteArray, message);
    QFETCH(int, verdict);
    QFETCH(QString, sender);
    QFETCH(QString, subject);
    QFETCH(QString, body);
    const QtCharsetConverter converter;
    ReplyReading reading;
    reading.converter = &converter;
    const ReadResult r = ReadReceivedMail(message.toStdString(), "quiz@trivorn.test", reading);
    QCOMPARE(int(r.verdict), verdict);
    QCOMPARE(QString::fromStdString(r.mail.sender), sender);
    QCOMPARE(un(r.mail.subject), subject);
    QCOMPARE(un(r.mail.body), body);
}

void TestParser::handOver_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("awaited");     // MailSubject
    QTest::addColumn<QString>("late");        // 遅れメール
    QTest::addColumn<bool>("questionPhase");
    QTest::addColumn<bool>("remove");
    QTest::addColumn<QString>("handed");      // what went to acceptance or scoring

    Mail m;
    m.subject = "Re: " + encodedWord("第1問");
    m.body = jis("答:3");
    const QByteArray q1 = m.text();
    QTest::newRow("invitation reply joins") << Mail{}.text() << "Re:クイズ大会" << "" << false << true
                                            << "accept taro@docomo.ne.jp";
    QTest::newRow("answer is scored") << q1 << "Re:第1問" << "Re:クイズ大会" << true << true
                                      << "score taro@docomo.ne.jp 答:3";
    QTest::newRow("other subject stays") << q1 << "Re:第2問" << "" << true << false << "";
    QTest::newRow("late reply is only cleared") << q1 << "Re:第2問" << "Re:クイズ大会Re:第1問" << true << true << "";
    m.subject = "re:QUIZ1";
    QTest::newRow("late reply, letter case ignored") << m.text() << "Re:Quiz2" << "Re:Quiz1" << true << true << "";
    QTest::newRow("late and awaited at once: handed over once")
        << q1 << "Re:第1問" << "Re:第1問" << true << true << "score taro@docomo.ne.jp 答:3";
    m.subject = QByteArray();
    QTest::newRow("no subject after a fetch: cleared") << m.text() << "Re:第1問" << "Re:クイズ大会" << true << true << "";
    QTest::newRow("no subject, first fetch: stays") << m.text() << "Re:クイズ大会" << "" << false << false << "";
    m = Mail{};
    m.returnPath = "<bob@example.com>";
    QTest::newRow("not from a phone: stays though awaited") << m.text() << "Re:クイズ大会" << "Re:x" << false << false
                                                            << "";
    m = Mail{};
    m.subject = "=?ISO-2022-JP?B?GyRC*?=";
    QTest::newRow("unreadable: stays, even after a fetch") << m.text() << "Re:クイズ大会" << "Re:x" << false << false
                                                           << "";
    m = Mail{};
    m.subject = "Re: Quiz 1";
    QTest::newRow("awaited subject with a space matches") << m.text() << "Re:Quiz 1" << "" << false << true
                                                          << "accept taro@docomo.ne.jp";
    m.body = QByteArray();
    m.subject = "Re: " + encodedWord("クイズ大会");
    QTest::newRow("empty reply joins") << m.text() << "Re:クイズ大会" << "" << false << true
                                       << "accept taro@docomo.ne.jp";
    // Question subjects with spaces and ASCII punctuation, awaited and late.
    const QList<QPair<QString, Written>> punctuated = {{"第1問 (2点)", written("第1問 (2点)")},
                                                       {"Quiz-1", written("Quiz-1")},
                                                       {"Q.1 [a/b]", written("Q.1 [a/b]")},
                                                       {"ｸｲｽﾞ第2問", writtenWithKatakana("ｸｲｽﾞ第2問")}};
    for (const auto& [s, w] : punctuated) {
        for (const auto& [form, field] : replyFields(w)) {
            m = Mail{};
            m.subject = field;
            m.body = jis("答:3");
            QTest::addRow("awaited %s, %s", qPrintable(s), form)
                << m.text() << "Re:" + s << "" << true << true << "score taro@docomo.ne.jp 答:3";
            QTest::addRow("late %s, %s", qPrintable(s), form)
                << m.text() << "Re:第9問" << "Re:クイズ大会Re:" + s << true << true << "";
        }
    }
    // Punctuation is compared as it is: neither awaited nor late matches.
    const QList<QPair<QString, QByteArray>> nearMisses = {{"第1問 (2点)", "Re: " + encodedWord("第1問 [2点]")},
                                                          {"Quiz-1", "Re: Quiz_1"},
                                                          {"Quiz-1", "Re: Quiz1"},
                                                          {"Q.1 [a/b]", "RE:(BCC)Q.1 (a/b)"}};
    int k = 0;
    for (const auto& [s, field] : nearMisses) {
        m = Mail{};
        m.subject = field;
        QTest::addRow("punctuation differs: %s, reply %d", qPrintable(s), ++k)
            << m.text() << "Re:" + s << "Re:クイズ大会Re:" + s << true << false << "";
    }
    // The Message-ID a reply names tells which mail it answers; the round's
    // are <inv@…>, <q1@…> (fetched) and <q2@…> (awaited).
    const QList<std::tuple<const char*, QByteArray, QByteArray, bool, QString>> threaded = {
        {"app changed the subject: the ID tells", "In-Reply-To: <q2@trivorn.test>\r\n",
         encodedWord("返信: 第2問"), true, "score taro@docomo.ne.jp 答:3"},
        {"References name it among others", "References: <a@b.c>\r\n <q2@trivorn.test>\r\n", "AW: Q2", true,
         "score taro@docomo.ne.jp 答:3"},
        {"names an earlier question: late, whatever the subject", "In-Reply-To: <q1@trivorn.test>\r\n",
         "Re: " + encodedWord("第2問"), true, ""},
        {"names the invitation: late", "In-Reply-To: <inv@trivorn.test>\r\n", "Re: x", true, ""},
        {"names no mail of the round: the subject decides", "In-Reply-To: <other@docomo.ne.jp>\r\n",
         "Re: " + encodedWord("第2問"), true, "score taro@docomo.ne.jp 答:3"},
        {"names no mail of the round, other subject: stays", "In-Reply-To: <other@docomo.ne.jp>\r\n", "Re: x",
         false, ""},
    };
    for (const auto& [name, fields, subject, remove, handed] : threaded) {
        m = Mail{};
        m.beforeSubject = fields;
        m.subject = subject;
        m.body = jis("答:3");
        QTest::newRow(name) << m.text() << "Re:第2問" << "Re:クイズ大会Re:第1問" << true << remove << handed;
    }
    // Reports on mail that did not arrive are told and stay on the server.
    const QList<std::tuple<const char*, QByteArray, QString>> reports = {
        {"report on a question: told", report(kHanakoFailed, "<q1@trivorn.test>"),
         "bounced hanako@gone.test 5.1.1 unknown user: \"hanako\""},
        {"report returning the whole message: told", report(kHanakoFailed, "<q2@trivorn.test>", "message/rfc822"),
         "bounced hanako@gone.test 5.1.1 unknown user: \"hanako\""},
        {"report on mail of no round of ours: not told", report(kHanakoFailed, "<other@trivorn.test>"), ""},
        {"report without the returned message: not told", report(kHanakoFailed, "", "text/plain"), ""},
        {"only the failed recipients of a report",
         report("Final-Recipient: rfc822; jiro@late.test\r\nAction: delayed\r\nStatus: 4.4.1\r\n\r\n"
                "Final-Recipient: rfc822; taro@docomo.ne.jp\r\nAction: delivered\r\nStatus: 2.0.0\r\n\r\n" +
                    kHanakoFailed + "\r\nFINAL-RECIPIENT: RFC822; Ken@Gone.Test\r\nACTION: Failed\r\n",
                "<q1@trivorn.test>"),
         "bounced hanako@gone.test 5.1.1 unknown user: \"hanako\"|bounced Ken@Gone.Test  "},
        {"a read receipt is no delivery report", report(kHanakoFailed, "<q1@trivorn.test>", "text/rfc822-headers",
                                                        "disposition-notification"), ""},
    };
    for (const auto& [name, text, told] : reports)
        QTest::newRow(name) << text << "Re:第2問" << "Re:クイズ大会Re:第1問" << true << false << told;
    m = Mail{};
    m.subject = "ERe:Q1";
    // テ is 83 65: its trail byte is an "e", which no case folding may touch.
    QTest::newRow("late test never folds a trail byte") << m.text() << "Re:Q2" << "Re:テRe:Q1" << true << false << "";
}

void TestParser::handOver() {
    QFETCH(QByteArray, message);
    QFETCH(QString, awaited);
    QFETCH(QString, late);
    QFETCH(bool, questionPhase);
    QFETCH(bool, remove);
    QFETCH(QString, handed);

    QStringList calls;
    ParseContext ctx;
    ctx.ownAddress = "quiz@trivorn.test";
    ctx.mailSubject = sjis(awaited).toStdString();
    ctx.lateMail = sjis(late).toStdString();
    ctx.perRecipientMode = questionPhase;
    const SentMessageIds sent{{"<q2@trivorn.test>"}, {"<inv@trivorn.test>", "<q1@trivorn.test>"}};
    ctx.sentIds = &sent;
    ctx.acceptReply = [&](const SjisText& s) { calls << "accept " + QString::fromStdString(s); };
    ctx.scoreAnswer = [&](const SjisText& s, const SjisText& b) {
        calls << "score " + QString::fromStdString(s) + " " + un(b);
    };
    ctx.bounced = [&](const FailedDelivery& f, const std::string& notice) {
        QCOMPARE(notice, std::string("<20261207100100.5B2C@trivorn.test>"));
        calls << QString::fromStdString("bounced " + f.address + ' ' + f.status + ' ' + f.diagnostic);
    };
    QCOMPARE(ParseReceivedMail(message.toStdString(), ctx), remove);
    QCOMPARE(calls.join('|'), handed);
}

void TestParser::everyoneInTheAddressBook_data() {
    QTest::addColumn<QByteArray>("returnPath");
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<int>("verdict");
    const int read = int(MailVerdict::Read);
    const int notFromPlayer = int(MailVerdict::NotFromPhone);
    QTest::newRow("any domain") << QByteArray("<hanako@gmail.com>") << QByteArray("Hanako <hanako@gmail.com>") << read;
    QTest::newRow("domain in other case") << QByteArray("<x@bounce.example>") << QByteArray("hanako@GMAIL.com") << read;
    QTest::newRow("no Return-Path") << QByteArray() << QByteArray("taro@docomo.ne.jp") << read;
    QTest::newRow("a carrier, not in the book") << QByteArray("<jiro@docomo.ne.jp>") << QByteArray("jiro@docomo.ne.jp")
                                                << notFromPlayer;
    QTest::newRow("local part in other case") << QByteArray("<Hanako@gmail.com>") << QByteArray("Hanako@gmail.com")
                                              << notFromPlayer;
}

void TestParser::everyoneInTheAddressBook() {
    QFETCH(QByteArray, returnPath);
    QFETCH(QByteArray, from);
    QFETCH(int, verdict);
    Mail m;
    m.returnPath = returnPath;
    m.from = from;
    ReplyReading reading;
    reading.players.rule = PlayerFilter::Rule::AddressBook;
    reading.players.addressBook = {"taro@docomo.ne.jp", "hanako@gmail.com"};
    QCOMPARE(int(ReadReceivedMail(m.text().toStdString(), "quiz@trivorn.test", reading).verdict), verdict);
}

QTEST_GUILESS_MAIN(TestParser)
#include "tst_parser.moc"
