#include "demo/SimulatedPhones.h"

#include "demo/RealServers.h"

#include <iconv.h>

#include <QDate>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cerrno>
#include <optional>
#include <utility>

namespace {

constexpr int ioTimeoutMs = 5000;
// How long a reply may sit in Postfix's queue before the next one goes out.
constexpr int deliveryTimeoutMs = 5000;
// Socket waits are cut into slices this long so that stop() is not kept
// waiting for a whole time-out.
constexpr int waitSliceMs = 50;

// --- iconv -------------------------------------------------------------------

// The whole input converted, the shift state flushed; nothing on any invalid
// or unconvertible sequence.
std::optional<QByteArray> convert(const QByteArray& in, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1)) return std::nullopt;
    QByteArray src = in;
    char* inPtr = src.data();
    size_t inLeft = size_t(src.size());
    QByteArray out;
    char buffer[4096];
    bool ok = true;
    for (;;) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const bool flushing = inLeft == 0;
        const size_t r = flushing ? iconv(cd, nullptr, nullptr, &outPtr, &outLeft)
                                  : iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        const int err = errno;
        out.append(buffer, qsizetype(outPtr - buffer));
        if (r != size_t(-1)) {
            if (flushing) break;
            continue;
        }
        if (err == E2BIG) continue;
        ok = false;
        break;
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    return out;
}

std::optional<QString> decodeJis(const QByteArray& bytes) {
    // ISO-2022-JP-3 reads everything plain ISO-2022-JP does, plus the
    // half-width katakana runs (ESC ( I) that phones and some hosts write.
    const auto utf8 = convert(bytes, "UTF-8", "ISO-2022-JP-3");
    if (!utf8) return std::nullopt;
    return QString::fromUtf8(*utf8);
}

// While a script runs, the helpers' failures belong to its phone.
thread_local std::function<void(const QString&)>* scriptErrorSink = nullptr;

void helperFailed(const QString& what) {
    if (scriptErrorSink)
        (*scriptErrorSink)(what);
    else
        qWarning("SimulatedPhones: %s", qPrintable(what));
}

// --- reading mail ------------------------------------------------------------

QByteArray headerBlock(const QByteArray& raw) {
    if (raw.startsWith("\r\n")) return {};
    const qsizetype end = raw.indexOf("\r\n\r\n");
    return end < 0 ? raw : raw.left(end);
}

QByteArray bodyOf(const QByteArray& raw) {
    if (raw.startsWith("\r\n")) return raw.mid(2);
    const qsizetype end = raw.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : raw.mid(end + 4);
}

// The first field called `name` (any case), continuation lines joined with
// their leading white space kept, the white space after the colon dropped.
std::optional<QByteArray> headerValue(const QByteArray& raw, const QByteArray& name) {
    const QList<QByteArray> lines = headerBlock(raw).split('\n');
    std::optional<QByteArray> value;
    for (QByteArray line : lines) {
        if (line.endsWith('\r')) line.chop(1);
        const bool continuation = line.startsWith(' ') || line.startsWith('\t');
        if (value) {
            if (!continuation) break;
            *value += line;
            continue;
        }
        if (continuation) continue;
        const qsizetype colon = line.indexOf(':');
        if (colon < 0 || line.left(colon).trimmed().toLower() != name.toLower()) continue;
        qsizetype start = colon + 1;
        while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
        value = line.mid(start);
    }
    return value;
}

std::optional<QByteArray> quotedPrintable(const QByteArray& in, bool underscoreIsSpace) {
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '_' && underscoreIsSpace) {
            out += ' ';
        } else if (c == '=') {
            if (in.mid(i + 1, 2) == "\r\n") {   // soft line break
                i += 2;
                continue;
            }
            bool ok = false;
            const int byte = in.mid(i + 1, 2).toInt(&ok, 16);
            if (!ok || i + 2 >= in.size()) return std::nullopt;
            out += char(byte);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// glibc's name for a MIME charset; ISO-2022-JP is read as ISO-2022-JP-3.
QByteArray iconvCharset(QByteArray mime) {
    mime = mime.toUpper();
    if (const qsizetype star = mime.indexOf('*'); star >= 0) mime.truncate(star);   // language tag
    return mime == "ISO-2022-JP" ? QByteArray("ISO-2022-JP-3") : mime;
}

}  // namespace

// Raw ISO-2022-JP and encoded words (B or Q, any case) mixed. An encoded word
// is only looked for outside two-byte and katakana runs: inside them "=?"
// and "?=" are ordinary JIS codes (戎, 申).
std::optional<QString> readHeaderText(const QByteArray& value) {
    static const QRegularExpression word(R"(=\?([^?\s]+)\?([BbQq])\?([^?\s]*)\?=)");
    const QString latin = QString::fromLatin1(value);
    QString out;
    QByteArray plain;
    bool afterWord = false;
    bool singleByteRun = true;
    auto flushPlain = [&]() {
        const bool onlySpace = plain.trimmed().isEmpty();
        // White space between two encoded words is not part of the text.
        if (!(afterWord && onlySpace)) {
            const auto text = decodeJis(plain);
            if (!text) return false;
            out += *text;
        }
        plain.clear();
        return true;
    };
    qsizetype i = 0;
    while (i < value.size()) {
        const char c = value[i];
        if (c == '\x1b') {
            const QByteArray esc = value.mid(i, 3);
            singleByteRun = esc == "\x1b(B" || esc == "\x1b(J";
        } else if (singleByteRun && c == '=' && value.mid(i, 2) == "=?") {
            const auto m = word.match(latin, i, QRegularExpression::NormalMatch,
                                      QRegularExpression::AnchorAtOffsetMatchOption);
            if (m.hasMatch()) {
                if (!flushPlain()) return std::nullopt;
                const QByteArray text = m.captured(3).toLatin1();
                std::optional<QByteArray> bytes;
                if (m.captured(2).toUpper() == "B") {
                    const auto b = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
                    if (b) bytes = *b;
                } else {
                    bytes = quotedPrintable(text, true);
                }
                if (!bytes) return std::nullopt;
                const auto utf8 = convert(*bytes, "UTF-8", iconvCharset(m.captured(1).toLatin1()).constData());
                if (!utf8) return std::nullopt;
                out += QString::fromUtf8(*utf8);
                afterWord = true;
                i += m.capturedLength();
                continue;
            }
        }
        plain += c;
        if (!QChar::isSpace(uchar(c))) afterWord = false;
        ++i;
    }
    afterWord = false;
    if (!flushPlain()) return std::nullopt;
    return out;
}

namespace {

// The body as text: the transfer encoding undone, then ISO-2022-JP read.
std::optional<QString> decodeBody(const QByteArray& raw) {
    const QByteArray encoding = headerValue(raw, "Content-Transfer-Encoding").value_or("").trimmed().toLower();
    std::optional<QByteArray> bytes = bodyOf(raw);
    if (encoding == "base64")
        bytes = QByteArray::fromBase64(*bytes);
    else if (encoding == "quoted-printable")
        bytes = quotedPrintable(*bytes, false);
    if (!bytes) return std::nullopt;
    auto text = decodeJis(*bytes);
    if (text) text->replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

// --- sockets -----------------------------------------------------------------

// Blocking line-oriented client on the worker thread; gives up on time-out
// or as soon as the phones are told to stop.
class Connection {
public:
    Connection(const std::atomic<bool>& stopping, const QString& host) : stopping_(stopping), host_(host) {}

    bool open(quint16 port, QString* error) {
        socket_.connectToHost(host_, port);
        QDeadlineTimer deadline(ioTimeoutMs);
        while (!socket_.waitForConnected(waitSliceMs)) {
            if (stopping_ || deadline.hasExpired() || socket_.state() == QAbstractSocket::UnconnectedState) {
                *error = QString("no connection to %1:%2: %3").arg(host_).arg(port).arg(socket_.errorString());
                return false;
            }
        }
        return true;
    }
    void write(const QByteArray& bytes) { socket_.write(bytes); }
    // Reads until `complete` says the buffer holds a whole answer, which is
    // then taken from the buffer; nothing on time-out, stop or a closed line.
    std::optional<QByteArray> read(const std::function<qsizetype(const QByteArray&)>& complete) {
        QDeadlineTimer deadline(ioTimeoutMs);
        for (;;) {
            if (const qsizetype n = complete(buffer_); n > 0) {
                const QByteArray unit = buffer_.left(n);
                buffer_.remove(0, n);
                return unit;
            }
            if (stopping_ || deadline.hasExpired()) return std::nullopt;
            if (socket_.bytesAvailable() == 0 && !socket_.waitForReadyRead(waitSliceMs) &&
                socket_.state() != QAbstractSocket::ConnectedState)
                return std::nullopt;
            buffer_ += socket_.readAll();
        }
    }
    std::optional<QByteArray> line() {
        return read([](const QByteArray& b) {
            const qsizetype end = b.indexOf("\r\n");
            return end < 0 ? qsizetype(0) : end + 2;
        });
    }
    void close() {
        socket_.disconnectFromHost();
        if (socket_.state() != QAbstractSocket::UnconnectedState) socket_.waitForDisconnected(waitSliceMs);
    }

private:
    const std::atomic<bool>& stopping_;
    QString host_;
    QTcpSocket socket_;
    QByteArray buffer_;
};

QByteArray chopped(QByteArray line) {
    if (line.endsWith("\r\n")) line.chop(2);
    return line;
}

// RFC 1939 multi-line data after a positive status: up to the "." line, with
// the leading "." of every stuffed line removed.
std::optional<QByteArray> pop3Data(Connection& c) {
    const auto data = c.read([](const QByteArray& b) -> qsizetype {
        if (b.startsWith(".\r\n")) return 3;
        const qsizetype end = b.indexOf("\r\n.\r\n");
        return end < 0 ? 0 : end + 5;
    });
    if (!data) return std::nullopt;
    const QByteArray text = data->left(data->size() - 3);   // without ".\r\n"
    QByteArray out;
    out.reserve(text.size());
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf("\r\n", start);
        end = end < 0 ? text.size() : end + 2;
        out += text.mid(text[start] == '.' ? start + 1 : start, end - (text[start] == '.' ? start + 1 : start));
        start = end;
    }
    return out;
}

// The last line of an SMTP reply is "ddd " or "ddd" CR LF; "ddd-" continues.
qsizetype smtpReplyLength(const QByteArray& b) {
    qsizetype start = 0;
    while (start < b.size()) {
        const qsizetype end = b.indexOf("\r\n", start);
        if (end < 0) return 0;
        if (end - start < 4 || b[start + 3] != '-') return end + 2;
        start = end + 2;
    }
    return 0;
}

int smtpCode(const QByteArray& reply) {
    const qsizetype start = reply.lastIndexOf("\r\n", reply.size() - 3);
    bool ok = false;
    const int code = reply.mid(start < 0 ? 0 : start + 2, 3).toInt(&ok);
    return ok ? code : 0;
}

// CR LF line ends, a last line end if missing, lines starting with "." doubled.
QByteArray stuffed(const QByteArray& text) {
    QByteArray lf = text;
    lf.replace("\r\n", "\n");
    if (!lf.isEmpty() && !lf.endsWith('\n')) lf += '\n';
    QByteArray out;
    out.reserve(lf.size() + lf.size() / 16 + 8);
    qsizetype start = 0;
    while (start < lf.size()) {
        const qsizetype end = lf.indexOf('\n', start);
        if (lf[start] == '.') out += '.';
        out += lf.mid(start, end - start) + "\r\n";
        start = end + 1;
    }
    return out;
}

// Now, with the day of the week and the local offset, as phones write it.
QByteArray dateHeader() {
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc() / 60;
    const int absOffset = qAbs(offset);
    return QLocale::c().toString(now, "ddd, d MMM yyyy hh:mm:ss ").toLatin1() + (offset < 0 ? '-' : '+') +
           QByteArray::number(absOffset / 60 * 100 + absOffset % 60).rightJustified(4, '0');
}

// Postfix's queue folder of the suite's servers, if this machine has one.
QString queueFolder() {
    const QString folder = RealServers::directory() + "/postfix/queue/";
    return QDir(folder + "active").exists() ? folder : QString();
}

bool stillQueued(const QString& folder, const QString& id) {
    // In the order a message moves, so one moving on is not missed.
    for (const char* sub : {"incoming", "active", "deferred", "hold"}) {
        QDirIterator it(folder + sub, {id}, QDir::Files, QDirIterator::Subdirectories);
        if (it.hasNext()) return true;
    }
    return false;
}

}  // namespace

// --- the phones ----------------------------------------------------------------

struct SimulatedPhones::Private {
    struct Phone {
        QString address;
        PhoneScript script;
        // Shared with the reading thread, under `mutex`:
        QList<PhoneMail> mails;
        QList<bool> handled;
        // The worker's own:
        QList<PhoneReply> held;
    };
    struct Delayed {
        int phone;
        PhoneReply reply;
        QDeadlineTimer due;
    };

    QByteArray operatorAddress;
    QString host;
    QString keptMail;   // a folder: every mail received is written there too
    QList<Phone> phones;
    int pollMs = 100;
    QThread* thread = nullptr;
    std::atomic<bool> stopping{false};
    // The standard library's rather than Qt's, so that a thread sanitizer sees
    // the wait release and retake it (Qt's own library is not instrumented).
    mutable std::mutex mutex;
    std::condition_variable wake;
    bool awake = true;             // under `mutex`
    bool looking = false;          // a round of looks is in progress, under `mutex`
    std::condition_variable idle;  // signalled when a round of looks ends
    QStringList errors;
    int repliesSent = 0;
    QList<Delayed> delayed;   // the worker's own, earliest first

    // A fault that lasts (servers gone) would otherwise add a line every round.
    void fail(int phone, const QString& what) {
        const QString line = phones[phone].address + ": " + what;
        std::lock_guard lock(mutex);
        if (!errors.contains(line)) errors.append(line);
    }

    const Phone* find(const QString& address) const {
        for (const Phone& p : phones)
            if (p.address == address) return &p;
        return nullptr;
    }

    void run() {
        while (!stopping) {
            if (beginLooking()) {
                waitForEmptyQueue();
                for (int p = 0; p < phones.size() && !stopping; ++p) poll(p);
                endLooking();
            }
            sendDue();
            qint64 waitMs = pollMs;
            if (!delayed.isEmpty()) waitMs = qBound(qint64(0), delayed.first().due.remainingTime(), waitMs);
            std::unique_lock lock(mutex);
            if (!stopping && waitMs > 0) wake.wait_for(lock, std::chrono::milliseconds(waitMs));
        }
    }

    bool beginLooking() {
        std::lock_guard lock(mutex);
        looking = awake;
        return looking;
    }

    void endLooking() {
        std::lock_guard lock(mutex);
        looking = false;
        idle.notify_all();
    }

    // Mail still on its way to a phone would be seen by some phones in this
    // round of looks and by others only in the next.
    void waitForEmptyQueue() {
        QDeadlineTimer deadline(deliveryTimeoutMs);
        while (!stopping && !deadline.hasExpired() && RealServers::queuedMessageCount() > 0) QThread::msleep(5);
    }

    void sendDue() {
        while (!stopping && !delayed.isEmpty() && delayed.first().due.hasExpired()) {
            const Delayed d = delayed.takeFirst();
            send(d.phone, d.reply);
        }
    }

    void delay(int phone, const PhoneReply& reply) {
        Delayed d{phone, reply, QDeadlineTimer(reply.delayMs)};
        qsizetype at = delayed.size();
        while (at > 0 && d.due < delayed[at - 1].due) --at;
        delayed.insert(at, d);
    }

    void poll(int p) {
        const std::optional<QList<QByteArray>> fetched = fetch(p);
        if (!fetched) return;
        for (const QByteArray& raw : *fetched) {
            if (stopping) return;
            arrive(p, raw);
        }
    }

    // Every message of the phone's mailbox, deleted on the server; nothing if
    // the session did not end with the deletions committed, so that a failed
    // round leaves the mail for the next one.
    std::optional<QList<QByteArray>> fetch(int p) {
        Connection c(stopping, host);
        QString error;
        if (!c.open(RealServers::pop3Port, &error)) {
            if (!stopping) fail(p, "POP3 " + error);
            return std::nullopt;
        }
        QByteArray lastCommand = "(greeting)";
        auto ok = [&](const QByteArray& command) -> std::optional<QByteArray> {
            if (!command.isEmpty()) {
                lastCommand = command.startsWith("PASS") ? "PASS" : command;
                c.write(command + "\r\n");
            }
            const auto status = c.line();
            if (status && status->startsWith("+OK")) return chopped(*status);
            if (!stopping)
                fail(p, "POP3 refused " + QString::fromLatin1(lastCommand) + ": " +
                            (status ? QString::fromLatin1(chopped(*status)) : QString("no answer")));
            return std::nullopt;
        };
        const QByteArray address = phones[p].address.toUtf8();
        if (!ok({}) || !ok("USER " + address) || !ok(QByteArray("PASS ") + RealServers::password)) return std::nullopt;
        const auto stat = ok("STAT");
        if (!stat) return std::nullopt;
        const int count = stat->split(' ').value(1).toInt();
        QList<QByteArray> mails;
        for (int n = 1; n <= count; ++n) {
            if (!ok("RETR " + QByteArray::number(n))) return std::nullopt;
            const auto data = pop3Data(c);
            if (!data) {
                if (!stopping) fail(p, QString("POP3 RETR %1: the message did not end").arg(n));
                return std::nullopt;
            }
            mails.append(*data);
        }
        for (int n = 1; n <= count; ++n)
            if (!ok("DELE " + QByteArray::number(n))) return std::nullopt;
        if (!ok("QUIT")) return std::nullopt;
        c.close();
        return mails;
    }

    void arrive(int p, const QByteArray& raw) {
        Phone& phone = phones[p];
        PhoneMail mail;
        mail.raw = raw;
        mail.rawSubject = headerValue(raw, "Subject").value_or(QByteArray());
        mail.messageId = headerValue(raw, "Message-ID").value_or(QByteArray()).trimmed();
        if (const auto subject = readHeaderText(mail.rawSubject)) {
            mail.subject = *subject;
        } else {
            mail.subject = QString::fromLatin1(mail.rawSubject);
            fail(p, "iconv cannot read the subject " + QString::fromLatin1(mail.rawSubject.toPercentEncoding(" =?")));
        }
        if (const auto body = decodeBody(raw)) {
            mail.body = *body;
        } else {
            mail.body = QString::fromLatin1(bodyOf(raw));
            fail(p, "iconv cannot read the body of \"" + mail.subject + '"');
        }
        int index;
        {
            std::lock_guard lock(mutex);
            index = int(phone.mails.size());
            phone.mails.append(mail);
            phone.handled.append(false);
        }
        if (!keptMail.isEmpty()) {
            QFile kept(QStringLiteral("%1/%2-%3.eml").arg(keptMail, phone.address).arg(index + 1));
            if (!kept.open(QIODevice::WriteOnly) || kept.write(raw) != raw.size())
                fail(p, "cannot keep the mail in " + kept.fileName());
        }

        std::function<void(const QString&)> sink = [&](const QString& what) { fail(p, what); };
        scriptErrorSink = &sink;
        const QList<PhoneReply> own = phone.script ? phone.script(mail, index) : QList<PhoneReply>();
        scriptErrorSink = nullptr;

        QList<PhoneReply> now;
        for (PhoneReply r : std::exchange(phone.held, {})) {
            r.holdUntilNextMail = false;
            if (r.delayMs > 0) delay(p, r); else now.append(r);
        }
        for (const PhoneReply& r : own) {
            if (r.holdUntilNextMail)
                phone.held.append(r);
            else if (r.delayMs > 0)
                delay(p, r);
            else
                now.append(r);
        }
        bool allAccepted = true;
        for (const PhoneReply& r : now) {
            if (stopping) return;
            allAccepted = send(p, r) && allAccepted;
        }
        std::lock_guard lock(mutex);
        phone.handled[index] = allAccepted;
    }

    QByteArray message(int p, const PhoneReply& r) const {
        const QByteArray address = phones[p].address.toUtf8();
        return "From: " + (r.from.isEmpty() ? address : r.from) + "\r\n" +
               "To: " + operatorAddress + "\r\n" +
               "Subject: " + r.subject + "\r\n" +
               "Date: " + dateHeader() + "\r\n" +
               (r.inReplyTo.isEmpty() ? QByteArray()
                                      : "In-Reply-To: " + r.inReplyTo + "\r\nReferences: " + r.inReplyTo + "\r\n") +
               "MIME-Version: 1.0\r\n" +
               (r.contentHeaders.isEmpty()
                    ? "Content-Type: text/plain; charset=" + r.charset + "\r\n" +
                          "Content-Transfer-Encoding: " + (r.charset == "ISO-2022-JP" ? "7bit" : "8bit") + "\r\n"
                    : r.contentHeaders) +
               "\r\n" + stuffed(r.body) + ".\r\n";
    }

    // One SMTP transaction; true once the server accepted the message. Before
    // returning it waits for Postfix to deliver it, so that the next reply
    // cannot overtake it on the way into the operator's mailbox.
    bool send(int p, const PhoneReply& r) {
        const QByteArray address = phones[p].address.toUtf8();
        Connection c(stopping, host);
        QString error;
        if (!c.open(RealServers::smtpPort, &error)) {
            if (!stopping) fail(p, "SMTP " + error);
            return false;
        }
        QByteArray lastReply;
        auto expect = [&](const QByteArray& label, const QByteArray& command, int code) {
            if (!command.isEmpty()) c.write(command);
            const auto reply = c.read(smtpReplyLength);
            lastReply = reply.value_or(QByteArray());
            if (reply && smtpCode(*reply) == code) return true;
            if (!stopping)
                fail(p, "SMTP refused " + QString::fromLatin1(label) + " of the reply \"" +
                            QString::fromLatin1(r.subject.toPercentEncoding(" =?:")) + "\": " +
                            (reply ? QString::fromLatin1(reply->trimmed()) : QString("no answer")));
            return false;
        };
        const QByteArray domain = address.mid(address.indexOf('@') + 1);
        const bool accepted = expect("(greeting)", {}, 220) &&
                              expect("HELO", "HELO " + domain + "\r\n", 250) &&
                              expect("MAIL FROM", "MAIL FROM:<" + address + ">\r\n", 250) &&
                              expect("RCPT TO", "RCPT TO:<" + operatorAddress + ">\r\n", 250) &&
                              expect("DATA", "DATA\r\n", 354) &&
                              expect("the message", message(p, r), 250);
        const QByteArray queued = lastReply;
        if (!stopping) {
            c.write("QUIT\r\n");
            c.read(smtpReplyLength);
        }
        c.close();
        if (!accepted) return false;
        {
            std::lock_guard lock(mutex);
            ++repliesSent;
        }
        waitForDelivery(p, queued);
        return true;
    }

    void waitForDelivery(int p, const QByteArray& queuedReply) {
        static const QRegularExpression queuedAs(R"(queued as ([0-9A-Za-z]+))");
        const QString id = queuedAs.match(QString::fromLatin1(queuedReply)).captured(1);
        const QString folder = queueFolder();
        if (id.isEmpty() || folder.isEmpty()) return;   // not the suite's Postfix: nothing to wait on
        QDeadlineTimer deadline(deliveryTimeoutMs);
        while (stillQueued(folder, id)) {
            if (stopping) return;
            if (deadline.hasExpired()) {
                fail(p, "reply " + id + " still in Postfix's queue after " +
                            QString::number(deliveryTimeoutMs) + " ms");
                return;
            }
            QThread::msleep(5);
        }
    }
};

SimulatedPhones::SimulatedPhones(QByteArray operatorAddress, QString host) : d_(new Private) {
    d_->operatorAddress = std::move(operatorAddress);
    d_->host = std::move(host);
}

SimulatedPhones::~SimulatedPhones() { stop(); }

void SimulatedPhones::add(const QString& address, PhoneScript script) {
    if (d_->thread) {
        qWarning("SimulatedPhones: %s added while running; ignored", qPrintable(address));
        return;
    }
    d_->phones.append({address, std::move(script), {}, {}, {}});
}

void SimulatedPhones::keepMailIn(const QString& folder) {
    if (!d_->thread) d_->keptMail = folder;
}

void SimulatedPhones::start(int pollMs) {
    if (d_->thread) return;
    d_->pollMs = qMax(1, pollMs);
    d_->stopping = false;
    d_->thread = QThread::create([this] { d_->run(); });
    d_->thread->start();
}

void SimulatedPhones::stop() {
    if (!d_->thread) return;
    {
        std::lock_guard lock(d_->mutex);
        d_->stopping = true;
        d_->wake.notify_all();
    }
    d_->thread->wait();
    delete d_->thread;
    d_->thread = nullptr;
    d_->delayed.clear();
    for (Private::Phone& p : d_->phones) p.held.clear();
}

void SimulatedPhones::setAwake(bool awake) {
    std::unique_lock lock(d_->mutex);
    d_->awake = awake;
    if (awake) {
        d_->wake.notify_all();
        return;
    }
    d_->idle.wait(lock, [this] { return !d_->looking; });
}

QList<PhoneMail> SimulatedPhones::received(const QString& address) const {
    std::lock_guard lock(d_->mutex);
    const Private::Phone* p = d_->find(address);
    return p ? p->mails : QList<PhoneMail>();
}

bool SimulatedPhones::hasHandled(const QString& address, const QString& subject) const {
    std::lock_guard lock(d_->mutex);
    const Private::Phone* p = d_->find(address);
    if (!p) return false;
    bool any = false;
    for (qsizetype i = 0; i < p->mails.size(); ++i) {
        if (p->mails[i].subject != subject) continue;
        if (!p->handled[i]) return false;
        any = true;
    }
    return any;
}

int SimulatedPhones::repliesSent() const {
    std::lock_guard lock(d_->mutex);
    return d_->repliesSent;
}

QStringList SimulatedPhones::errors() const {
    std::lock_guard lock(d_->mutex);
    return d_->errors;
}

// --- helpers -------------------------------------------------------------------

QByteArray jisText(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    if (auto jis = convert(utf8, "ISO-2022-JP", "UTF-8")) return *jis;
    if (auto jis3 = convert(utf8, "ISO-2022-JP-3", "UTF-8")) return *jis3;
    helperFailed("iconv cannot write \"" + text + "\" as ISO-2022-JP");
    return {};
}

QByteArray sjisText(const QString& text) {
    QString crlf = text;
    crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    if (auto sjis = convert(crlf.toUtf8(), "CP932", "UTF-8")) return *sjis;
    helperFailed("iconv cannot write \"" + text + "\" as Shift_JIS");
    return {};
}

QByteArray encodedWordSubject(const QString& subject, const char* prefix) {
    return QByteArray(prefix) + "=?ISO-2022-JP?B?" + jisText(subject).toBase64() + "?=";
}

QByteArray rawJisSubject(const QString& subject, const char* prefix) {
    return QByteArray(prefix) + jisText(subject);
}

QByteArray echoedSubject(const PhoneMail& mail, const char* prefix) {
    return QByteArray(prefix) + mail.rawSubject;
}

QByteArray quotedAnswerBody(const PhoneMail& mail, const QString& answer) {
    const QString mark = QStringLiteral("答:");
    QString text = mail.body;
    const qsizetype at = text.lastIndexOf(mark);
    if (at < 0) {
        if (!text.isEmpty() && !text.endsWith('\n')) text += '\n';
        text += mark + answer + '\n';
    } else {
        const qsizetype from = at + mark.size();
        qsizetype end = text.indexOf('\n', from);
        if (end < 0) end = text.size();
        text.replace(from, end - from, answer);
    }
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return jisText(text);
}

// --- today's mail apps ---------------------------------------------------------

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

// The text's characters one by one, a surrogate pair as one.
QStringList characters(const QString& text) {
    QStringList out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        out << text.mid(i, n);
        i += n - 1;
    }
    return out;
}

// RFC 2047's Q: letters and digits as they are, a space as "_", every other
// byte as "=XX".
QByteArray qEncoded(const QByteArray& bytes) {
    QByteArray out;
    for (const char c : bytes) {
        if (QChar::isLetterOrNumber(uchar(c)) && uchar(c) < 0x80)
            out += c;
        else if (c == ' ')
            out += '_';
        else
            out += '=' + QByteArray::number(uchar(c), 16).toUpper().rightJustified(2, '0');
    }
    return out;
}

// `text` as encoded words of `charset` (B or Q), each at most 75 characters
// long and cut between characters, on folded lines as the apps write a long
// subject.
QByteArray encodedWords(const QString& text, const QByteArray& charset, char kind,
                        const std::function<QByteArray(const QString&)>& bytesOf) {
    const QByteArray open = "=?" + charset + '?' + kind + '?';
    auto word = [&](const QString& part) {
        const QByteArray bytes = bytesOf(part);
        return open + (kind == 'B' ? bytes.toBase64() : qEncoded(bytes)) + "?=";
    };
    QList<QByteArray> words;
    QString part;
    for (const QString& c : characters(text)) {
        if (!part.isEmpty() && word(part + c).size() > 75) {
            words << word(part);
            part.clear();
        }
        part += c;
    }
    if (!part.isEmpty()) words << word(part);
    return words.join("\r\n ");
}

QByteArray utf8Words(const QString& text, char kind) {
    return encodedWords(text, "UTF-8", kind, [](const QString& t) { return t.toUtf8(); });
}

// Lines of text, without the empty piece after a last line end.
QStringList linesOf(const QString& text) {
    QStringList lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

QString quotedLines(const QString& text) {
    QString out;
    for (const QString& line : linesOf(text)) out += (line.isEmpty() ? QString(">") : "> " + line) + '\n';
    return out;
}

QByteArray crlfUtf8(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text.toUtf8();
}

// Base64 in lines of 76 characters.
QByteArray base64Lines(const QByteArray& bytes) {
    const QByteArray all = bytes.toBase64();
    QByteArray out;
    for (qsizetype i = 0; i < all.size(); i += 76) out += all.mid(i, 76) + "\r\n";
    return out;
}

// Quoted-printable of text with CR LF line ends: lines at most 76 long with
// soft breaks, white space at a line's end encoded.
QByteArray quotedPrintableLines(const QByteArray& text) {
    QByteArray out;
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QByteArray line : lines) {
        if (line.endsWith('\r')) line.chop(1);
        QByteArray row;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const uchar c = uchar(line[i]);
            const bool last = i + 1 == line.size();
            const bool plain = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last);
            const QByteArray token = plain ? QByteArray(1, char(c))
                                           : '=' + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
            if (row.size() + token.size() > 75) {
                out += row + "=\r\n";
                row.clear();
            }
            row += token;
        }
        out += row + "\r\n";
    }
    return out;
}

// A line of text in HTML: markup characters as entities, and in a run of
// spaces every second one a no-break space, as the apps keep them.
QString htmlLine(const QString& line) {
    QString out;
    bool afterSpace = false;
    for (const QChar c : line.toHtmlEscaped()) {
        const bool space = c == ' ';
        out += space && afterSpace ? QStringLiteral("&nbsp;") : QString(c);
        afterSpace = space && !afterSpace;
    }
    return out;
}

QString htmlLines(const QString& text) {
    QStringList out;
    for (const QString& line : linesOf(text)) out << htmlLine(line);
    return out.join(QStringLiteral("<br>"));
}

// Who sent the mail, as its From field reads decoded: "クイズ事務局 <quiz@…>".
QString senderOf(const PhoneMail& mail) {
    const QByteArray from = headerValue(mail.raw, "From").value_or(QByteArray());
    return readHeaderText(from).value_or(QString::fromLatin1(from));
}

QString gmailAttribution(const PhoneMail& mail) {
    static const char* const days[] = {"月", "火", "水", "木", "金", "土", "日"};
    const QDateTime now = QDateTime::currentDateTime();
    return u("%1年%2月%3日(%4) %5 %6:")
        .arg(now.date().year()).arg(now.date().month()).arg(now.date().day())
        .arg(u(days[now.date().dayOfWeek() - 1]), now.toString("HH:mm"), senderOf(mail));
}

QString appleAttribution(const PhoneMail& mail) {
    return QDateTime::currentDateTime().toString("yyyy/MM/dd HH:mm") + u("、") + senderOf(mail) + u("のメール:");
}

QString muttAttribution(const PhoneMail& mail) {
    return "On " + QLocale::c().toString(QDateTime::currentDateTime(), "ddd, MMM dd, yyyy 'at' hh:mm:ss") + ", " +
           senderOf(mail) + " wrote:";
}

QString outlookBlock(const PhoneMail& mail) {
    const QDateTime now = QDateTime::currentDateTime();
    return "-----Original Message-----\nFrom: " + senderOf(mail) +
           "\nSent: " + QLocale::c().toString(now, "dddd, MMMM d, yyyy h:mm AP") +
           "\nTo: " + readHeaderText(headerValue(mail.raw, "To").value_or(QByteArray())).value_or(QString()) +
           "\nSubject: " + mail.subject + "\n\n" + mail.body;
}

}  // namespace

PhoneReply appReply(const PhoneMail& mail, ReplyShape shape, const QString& own) {
    QString ownText = own;
    if (!ownText.endsWith('\n')) ownText += '\n';
    PhoneReply r;
    if (shape != ReplyShape::Feature) r.inReplyTo = mail.messageId;
    switch (shape) {
    case ReplyShape::Feature:
        r.subject = encodedWordSubject(mail.subject);
        r.body = jisText(ownText);
        break;
    case ReplyShape::GmailAlternative: {
        const QByteArray boundary = "000000000000a1b2c3d4e5f60718";
        const QString plain = ownText + '\n' + gmailAttribution(mail) + "\n\n" + quotedLines(mail.body);
        const QString html = "<div dir=\"ltr\">" + htmlLines(ownText) +
                             "</div><br><div class=\"gmail_quote\"><div dir=\"ltr\" class=\"gmail_attr\">" +
                             htmlLine(gmailAttribution(mail)) +
                             "<br></div><blockquote class=\"gmail_quote\" style=\"margin:0px 0px 0px 0.8ex;"
                             "border-left:1px solid rgb(204,204,204);padding-left:1ex\">" +
                             htmlLines(mail.body) + "<br></blockquote></div>\n";
        r.subject = "Re: " + utf8Words(mail.subject, 'B');
        r.contentHeaders = "Content-Type: multipart/alternative; boundary=\"" + boundary + "\"\r\n";
        r.body = "--" + boundary + "\r\n"
                 "Content-Type: text/plain; charset=\"UTF-8\"\r\n"
                 "Content-Transfer-Encoding: base64\r\n\r\n" +
                 base64Lines(crlfUtf8(plain)) + "\r\n--" + boundary + "\r\n"
                 "Content-Type: text/html; charset=\"UTF-8\"\r\n"
                 "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
                 quotedPrintableLines(crlfUtf8(html)) + "\r\n--" + boundary + "--\r\n";
        break;
    }
    case ReplyShape::IphoneQuotedPrintable:
        r.subject = utf8Words("Re: " + mail.subject, 'B');
        r.contentHeaders = "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: quoted-printable\r\n";
        r.body = quotedPrintableLines(
            crlfUtf8(ownText + u("\niPhoneから送信\n\n") + appleAttribution(mail) + '\n' + quotedLines(mail.body)));
        break;
    case ReplyShape::Utf8EightBitQSubject:
        r.subject = utf8Words("Re: " + mail.subject, 'Q');
        r.contentHeaders = "Content-Type: text/plain; charset=\"UTF-8\"\r\nContent-Transfer-Encoding: 8bit\r\n";
        r.body = crlfUtf8(ownText + '\n' + muttAttribution(mail) + '\n' + quotedLines(mail.body));
        break;
    case ReplyShape::HtmlOnly: {
        QString ownHtml;
        for (const QString& line : linesOf(ownText)) ownHtml += "<div>" + htmlLine(line) + "</div>";
        const QString html = "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">"
                             "</head><body>" + ownHtml + "<br><div>" + htmlLine(appleAttribution(mail)) +
                             "</div><blockquote type=\"cite\"><div>" + htmlLines(mail.body) +
                             "</div></blockquote></body></html>\n";
        r.subject = "Re: " + utf8Words(mail.subject, 'B');
        r.contentHeaders = "Content-Type: text/html; charset=UTF-8\r\nContent-Transfer-Encoding: quoted-printable\r\n";
        r.body = quotedPrintableLines(crlfUtf8(html));
        break;
    }
    case ReplyShape::Outlook:
        r.subject = "RE: " + encodedWords(mail.subject, "iso-2022-jp", 'B', jisText);
        r.contentHeaders = "Content-Type: text/plain; charset=\"iso-2022-jp\"\r\nContent-Transfer-Encoding: 7bit\r\n";
        r.body = jisText(ownText + '\n' + outlookBlock(mail));
        break;
    }
    return r;
}
