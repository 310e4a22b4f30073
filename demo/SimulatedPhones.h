#pragma once
// The players' side of a quiz against the real mail servers: each simulated
// phone fetches its mailbox by POP3, reads what came with glibc's iconv and
// answers by SMTP as its script says. Nothing here uses the program's own
// codecs or mail code, so a fault there cannot cancel itself out here.
//
// Typical use:
//     SimulatedPhones phones(RealServers::operatorAddress);
//     phones.add("taro@docomo.ne.jp", [](const PhoneMail& mail, int index) {
//         return QList<PhoneReply>{{encodedWordSubject(mail.subject), {}, quotedAnswerBody(mail, "2")}};
//     });
//     phones.start();
//     ... the program sends its question ...
//     QTRY_VERIFY(phones.hasHandled("taro@docomo.ne.jp", questionSubject));
//
// All phones are polled one after the other on one worker thread, and every
// reply is sent there, one at a time: the operator's mailbox gets them in the
// order they were sent. Scripts run on that thread too, so whatever they touch
// besides their arguments must be safe to use from there.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "demo/RealServers.h"

#include <functional>
#include <memory>
#include <optional>

// One mail a phone received, as retrieved and decoded by iconv.
struct PhoneMail {
    QByteArray raw;          // as retrieved, byte-stuffing undone, CR LF line ends, no final "." line
    QByteArray rawSubject;   // the Subject header's value as it came (continuation lines joined, no CR LF)
    QString subject;         // decoded: raw ISO-2022-JP (half-width katakana too) and/or encoded words
    QString body;            // the text after the first empty line, decoded the same way; LF line ends
    QByteArray messageId;    // its Message-ID, "<...>", as it came
};

// One mail a phone sends back.
struct PhoneReply {
    QByteArray subject;      // the Subject header value, bytes exactly as sent
    QByteArray from;         // the From header value; empty: the phone's own address
    QByteArray body;         // body bytes as sent (CR LF or LF; a missing last line end is added)
    QByteArray charset = "ISO-2022-JP";   // of the body, as its Content-Type says; "Shift_JIS" goes as 8bit
    // The Content-Type (and Content-Transfer-Encoding) lines of a body a mail
    // app of today composed in its own shape, each ending in CR LF; empty: a
    // feature phone's one text/plain part in `charset`. (Every member from
    // here on has its default written out, so a reply may name only the
    // first three.)
    QByteArray contentHeaders{};
    // The Message-ID of the mail answered, written as In-Reply-To and
    // References, as mail apps of today thread their replies; empty: none, as
    // feature phones of old.
    QByteArray inReplyTo{};
    bool holdUntilNextMail = false;   // a late reply: sent right after the phone's next mail arrives,
                                      // before that mail's own replies
    int delayMs = 0;         // sent no earlier than this long after the mail arrived
};

// What a phone does with the index-th mail it receives (0-based): any number
// of replies, none to stay silent.
using PhoneScript = std::function<QList<PhoneReply>(const PhoneMail& mail, int index)>;

class SimulatedPhones {
public:
    // The phones reach both servers at `host` (the tests' instance unless said).
    explicit SimulatedPhones(QByteArray operatorAddress = "quiz@trivorn.test",
                             QString host = QString::fromLatin1(RealServers::host));
    ~SimulatedPhones();   // stops the thread
    SimulatedPhones(const SimulatedPhones&) = delete;
    SimulatedPhones& operator=(const SimulatedPhones&) = delete;

    // Before start(); the POP3 user is the address, the password "trivorn".
    void add(const QString& address, PhoneScript script);
    // Before start(): every mail a phone receives is also written, as it was
    // retrieved, to `folder`/<address>-<n>.eml (n from 1), for judging it as
    // the receivers' own mail checks would.
    void keepMailIn(const QString& folder);
    void start(int pollMs = 100);
    // Returns once the worker thread has ended: within about a poll interval
    // plus one socket wait. Held and delayed replies not yet sent are dropped.
    void stop();

    // The phones look at their mailboxes only while awake (they are from
    // start() on). A round of looks begins once Postfix has delivered every
    // queued message, so all phones see a mailing in the same round and answer
    // in the order they were added. Sending them to sleep returns when the
    // round of looks in progress has ended: nothing they do overlaps what the
    // caller does next. A round played against them stays the same run after run.
    void setAwake(bool awake);

    // Safe to call from any thread while the phones run.
    QList<PhoneMail> received(const QString& address) const;
    // The phone received at least one mail whose decoded subject equals
    // `subject`, and for every such mail all the replies it sent on that
    // mail's arrival (its own immediate ones, and those held back from the
    // previous mail) were accepted by the SMTP server. Replies held for the
    // next mail or waiting for their delayMs are not waited for. A refused
    // reply keeps this false.
    bool hasHandled(const QString& address, const QString& subject) const;
    int repliesSent() const;      // replies the SMTP server accepted
    QStringList errors() const;   // each prefixed with the phone's address

private:
    struct Private;
    std::unique_ptr<Private> d_;
};

// The styles real phones write in, all through glibc's iconv. Text that plain
// ISO-2022-JP cannot hold (half-width katakana) is written as ISO-2022-JP-3.
// A conversion failure inside a script lands in errors() of the phone running
// it (elsewhere: a warning) and gives an empty result.
// A header field's value as phones read it: encoded words (any charset, B
// or Q) and raw ISO-2022-JP; nothing when iconv cannot read it.
std::optional<QString> readHeaderText(const QByteArray& value);
QByteArray jisText(const QString& text);   // ISO-2022-JP bytes; LF stays LF
QByteArray sjisText(const QString& text);  // Windows-31J bytes with CR LF line ends, for charset=Shift_JIS
QByteArray encodedWordSubject(const QString& subject, const char* prefix = "Re: ");   // prefix + =?ISO-2022-JP?B?...?=
QByteArray rawJisSubject(const QString& subject, const char* prefix = "Re: ");        // prefix + raw ISO-2022-JP
QByteArray echoedSubject(const PhoneMail& mail, const char* prefix = "Re: ");        // prefix + rawSubject unchanged
// The received body with the rest of the line after its last "答:" replaced by
// `answer`, as ISO-2022-JP with CR LF line ends: the question mail ends with
// an answer line ("答:   (点数:N)") that a phone quoting the mail fills in.
// Without any "答:" the line "答:<answer>" is appended.
QByteArray quotedAnswerBody(const PhoneMail& mail, const QString& answer);

// How a player's mail app writes a reply. A feature phone of old sends one
// text/plain part; today's apps put the player's own text on top, then a line
// naming the mail they answer, then that mail quoted their own way.
enum class ReplyShape {
    Feature,                // "Re: " + ISO-2022-JP B word; ISO-2022-JP 7bit, the own text only
    GmailAlternative,       // "Re: " + UTF-8 B words; multipart/alternative: UTF-8 base64 text/plain
                            // quoting with "> ", quoted-printable text/html quoting in a blockquote
    IphoneQuotedPrintable,  // "Re: subject" as UTF-8 B words; UTF-8 quoted-printable, a signature,
                            // the mail quoted with "> "
    Utf8EightBitQSubject,   // "Re: subject" as UTF-8 Q words; UTF-8 8bit, quoted with "> " (au Mail, mutt)
    HtmlOnly,               // "Re: " + UTF-8 B words; text/html alone, UTF-8 quoted-printable,
                            // entities, the mail in <blockquote type="cite"> (Y!mobile)
    Outlook,                // "RE: " + ISO-2022-JP B word; ISO-2022-JP 7bit, the mail unquoted
                            // under "-----Original Message-----" and its header lines
};

// The reply to `mail` a player sends from the app `shape` names, with `own`
// (LF line ends) typed on top: subject, MIME shape and quoting as that app
// writes them, every byte through Qt and glibc's iconv.
PhoneReply appReply(const PhoneMail& mail, ReplyShape shape, const QString& own);
