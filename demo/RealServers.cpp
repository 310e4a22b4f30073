#include "demo/RealServers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>
#include <tuple>

namespace RealServers {
namespace {

// Written by scripts/mailservers.sh start: the folder of the running instance.
constexpr char activeInstanceFile[] = "/tmp/trivorn-mailservers.dir";
constexpr int ioTimeoutMs = 10000;

QString maildir(const QString& address) {
    const qsizetype at = address.indexOf('@');
    return directory() + "/maildirs/" + address.mid(at + 1) + '/' + address.left(at);
}

// Message files of a Maildir. Delivery order: the file name starts with the
// delivery second and carries the microsecond after "M".
QStringList messageFiles(const QString& address) {
    struct Entry { qint64 sec; qint64 usec; QString path; };
    static const QRegularExpression name(R"(^(\d+)\.(?:[^.]*?M(\d+))?)");
    QList<Entry> entries;
    for (const char* sub : {"new", "cur"}) {
        QDir dir(maildir(address) + '/' + sub);
        for (const QString& f : dir.entryList(QDir::Files)) {
            const auto m = name.match(f);
            entries.append({m.captured(1).toLongLong(), m.captured(2).toLongLong(), dir.filePath(f)});
        }
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return std::tie(a.sec, a.usec, a.path) < std::tie(b.sec, b.usec, b.path);
    });
    QStringList paths;
    for (const Entry& e : entries) paths.append(e.path);
    return paths;
}

// First line a server sends on connecting, or an empty array.
QByteArray greeting(quint16 port) {
    QTcpSocket s;
    s.connectToHost(host, port);
    if (!s.waitForConnected(3000)) return {};
    QDeadlineTimer deadline(3000);
    while (!s.canReadLine() && !deadline.hasExpired())
        s.waitForReadyRead(int(deadline.remainingTime()));
    return s.readLine().trimmed();
}

// Whether anything accepts a connection on the port; the TLS listeners send
// nothing readable before a handshake.
bool listening(quint16 port) {
    QTcpSocket s;
    s.connectToHost(host, port);
    const bool connected = s.waitForConnected(3000);
    s.abort();
    return connected;
}

// A reply is complete when its last line is "ddd " or "ddd" CR LF; "ddd-"
// lines continue it.
bool replyComplete(const QByteArray& buffer) {
    if (!buffer.endsWith("\r\n")) return false;
    const qsizetype start = buffer.lastIndexOf("\r\n", buffer.size() - 3);
    const QByteArray last = buffer.mid(start < 0 ? 0 : start + 2);
    return last.size() >= 5 && (last.size() == 5 || last.at(3) == ' ');
}

class SmtpDialogue {
public:
    bool open(SmtpResult& r) {
        socket.connectToHost(host, smtpPort);
        if (!socket.waitForConnected(ioTimeoutMs)) {
            r.reply = "no connection: " + socket.errorString().toUtf8();
            return false;
        }
        return expect(r, "(greeting)", {}, 220);
    }
    // Sends `command` (CR LF added) and checks the reply code.
    bool expect(SmtpResult& r, const QByteArray& name, const QByteArray& command, int code) {
        if (!command.isEmpty()) socket.write(command + "\r\n");
        r.reply = readReply();
        if (r.code() == code) return true;
        r.failedCommand = name;
        return false;
    }
    void sendBlock(const QByteArray& bytes) { socket.write(bytes); }
    void quit() {
        socket.write("QUIT\r\n");
        readReply();
        socket.disconnectFromHost();
    }

private:
    QByteArray readReply() {
        QByteArray buffer;
        QDeadlineTimer deadline(ioTimeoutMs);
        while (!replyComplete(buffer) && !deadline.hasExpired()) {
            if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(deadline.remainingTime())))
                break;
            buffer += socket.readAll();
        }
        return buffer;
    }
    QTcpSocket socket;
};

// CR LF line ends throughout, lines starting with "." doubled, and the
// terminating "." line.
QByteArray dataBlock(const QByteArray& message) {
    QByteArray text = message;
    text.replace("\r\n", "\n");
    QList<QByteArray> lines = text.split('\n');
    if (text.endsWith('\n')) lines.removeLast();
    QByteArray out;
    for (const QByteArray& line : lines) {
        if (line.startsWith('.')) out += '.';
        out += line + "\r\n";
    }
    return out + ".\r\n";
}

}  // namespace

QString directory() {
    const QByteArray env = qgetenv("TRV_MAILSERVERS_DIR");
    if (!env.isEmpty()) return QString::fromLocal8Bit(env);
    QFile active(activeInstanceFile);
    if (active.open(QIODevice::ReadOnly)) {
        const QString dir = QString::fromLocal8Bit(active.readAll().trimmed());
        if (QDir(dir).exists()) return dir;
    }
    return QString::fromLocal8Bit(qgetenv("TRV_BINARY_DIR")) + "/mailservers";
}

QString tlsDirectory() { return directory() + "/tls"; }

QString caCertificatePath() { return tlsDirectory() + "/ca.pem"; }

QString serverCertificatePath() { return tlsDirectory() + "/server.pem"; }

QByteArray serverCertificateSha256() {
    QFile f(tlsDirectory() + "/server.sha256");
    if (!f.open(QIODevice::ReadOnly)) return {};
    // Written as openssl prints it, "AB:CD:...": fromHex skips the colons.
    const QByteArray digest = QByteArray::fromHex(f.readAll().trimmed());
    return digest.size() == 32 ? digest : QByteArray();
}

std::string serverFingerprint() { return serverCertificateSha256().toHex(':').toUpper().toStdString(); }

QStringList accounts() {
    QFile f(directory() + "/accounts");
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

QString playerAddress(int n) {
    Q_ASSERT(n >= 1 && n <= playerCount);
    return QStringLiteral("player%1@docomo.ne.jp").arg(n, 3, 10, QLatin1Char('0'));
}

QString unavailableReason() {
    const QString hint = "; start them with: bash scripts/mailservers.sh start";
    if (accounts().isEmpty())
        return "no mailboxes under " + directory() + " (TRV_MAILSERVERS_DIR unset or wrong?)" + hint;
    const QByteArray smtp = greeting(smtpPort);
    if (!smtp.startsWith("220"))
        return QString("SMTP server on %1:%2 does not answer (got \"%3\")%4")
            .arg(host).arg(smtpPort).arg(QString::fromLatin1(smtp), hint);
    const QByteArray pop3 = greeting(pop3Port);
    if (!pop3.startsWith("+OK"))
        return QString("POP3 server on %1:%2 does not answer (got \"%3\")%4")
            .arg(host).arg(pop3Port).arg(QString::fromLatin1(pop3), hint);
    return {};
}

QString tlsUnavailableReason() {
    const QString hint = "; restart them with: bash scripts/mailservers.sh start";
    for (const QString& file : {caCertificatePath(), serverCertificatePath()})
        if (!QFile::exists(file)) return "no " + file + " (servers started by an older script?)" + hint;
    if (serverCertificateSha256().isEmpty())
        return "no SHA-256 fingerprint in " + tlsDirectory() + "/server.sha256" + hint;
    for (const quint16 port : {submissionPort, submissionLoginOnlyPort}) {
        const QByteArray g = greeting(port);
        if (!g.startsWith("220"))
            return QString("submission server on %1:%2 does not answer (got \"%3\")%4")
                .arg(host).arg(port).arg(QString::fromLatin1(g), hint);
    }
    for (const quint16 port : {smtpsPort, pop3sPort})
        if (!listening(port)) return QString("nothing listens on %1:%2%3").arg(host).arg(port).arg(hint);
    return {};
}

bool emptyAllMailboxes(QString* error) {
    const QStringList all = accounts();
    if (all.isEmpty()) {
        if (error) *error = "no mailboxes under " + directory();
        return false;
    }
    // Mail still on its way from an earlier test would land after the sweep.
    QDeadlineTimer deadline(10000);
    while (queuedMessageCount() > 0 && !deadline.hasExpired()) QThread::msleep(20);
    if (const int queued = queuedMessageCount(); queued != 0) {
        if (error)
            *error = queued < 0 ? "cannot read the Postfix queue under " + directory()
                                : QString("Postfix queue does not drain: %1 message(s) waiting").arg(queued);
        return false;
    }
    for (const QString& address : all) {
        for (const QString& path : messageFiles(address)) {
            if (!QFile::remove(path) && QFile::exists(path)) {
                if (error) *error = "cannot delete " + path;
                return false;
            }
        }
    }
    return true;
}

QList<QByteArray> messages(const QString& address) {
    QList<QByteArray> result;
    for (const QString& path : messageFiles(address)) {
        QFile f(path);
        // A file Dovecot renamed between listing and opening is found under cur/.
        if (!f.open(QIODevice::ReadOnly)) {
            const QString base = QFileInfo(path).fileName().section(':', 0, 0);
            QDir cur(maildir(address) + "/cur");
            const QStringList moved = cur.entryList({base + "*"}, QDir::Files);
            if (moved.isEmpty()) continue;
            f.setFileName(cur.filePath(moved.first()));
            if (!f.open(QIODevice::ReadOnly)) continue;
        }
        result.append(f.readAll());
    }
    return result;
}

bool waitForMessages(const QString& address, int count, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (messageFiles(address).size() >= count) return true;
        if (deadline.hasExpired()) return false;
        QThread::msleep(20);
    }
}

int SmtpResult::code() const {
    const qsizetype start = reply.lastIndexOf("\r\n", reply.size() - 3);
    const QByteArray last = reply.mid(start < 0 ? 0 : start + 2);
    bool ok = false;
    const int c = last.left(3).toInt(&ok);
    return ok ? c : 0;
}

QString SmtpResult::describe() const {
    if (accepted) return "accepted: " + QString::fromLatin1(reply.trimmed());
    return "refused at " + QString::fromLatin1(failedCommand) + ": " + QString::fromLatin1(reply.trimmed());
}

SmtpResult sendRawMail(const QByteArray& envelopeSender, const QList<QByteArray>& recipients,
                       const QByteArray& message) {
    SmtpResult r;
    SmtpDialogue smtp;
    if (!smtp.open(r)) {
        r.failedCommand = "connect";
        return r;
    }
    bool ok = smtp.expect(r, "HELO", "HELO test.invalid", 250) &&
              smtp.expect(r, "MAIL FROM", "MAIL FROM:<" + envelopeSender + ">", 250);
    for (const QByteArray& to : recipients)
        ok = ok && smtp.expect(r, "RCPT TO:<" + to + ">", "RCPT TO:<" + to + ">", 250);
    ok = ok && smtp.expect(r, "DATA", "DATA", 354);
    if (ok) {
        smtp.sendBlock(dataBlock(message));
        r.accepted = smtp.expect(r, "end of data", {}, 250);
    }
    smtp.quit();
    return r;
}

StoredMail splitStoredMail(const QByteArray& raw) {
    StoredMail s;
    const qsizetype blank = raw.indexOf("\n\n");
    if (blank >= 0) s.body = raw.mid(blank + 2);
    const qsizetype at = raw.indexOf("\nSubject: ");
    if (at < 0 || (blank >= 0 && at > blank)) return s;
    qsizetype end = raw.indexOf('\n', at + 1);
    while (end >= 0 && end + 1 < raw.size() && (raw[end + 1] == ' ' || raw[end + 1] == '\t'))
        end = raw.indexOf('\n', end + 1);
    s.subject = raw.mid(at + 10, end - at - 10).replace("\n", "");
    return s;
}

int queuedMessageCount() {
    const QString queue = directory() + "/postfix/queue/";
    int count = 0;
    for (const char* sub : {"maildrop", "incoming", "active", "deferred", "hold"}) {
        if (!QDir(queue + sub).exists()) return -1;
        QDirIterator it(queue + sub, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            ++count;
        }
    }
    return count;
}

}  // namespace RealServers
