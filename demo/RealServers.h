#pragma once
// Access to the private Postfix (SMTP, 127.0.0.1:25) and Dovecot (POP3,
// 127.0.0.1:110) instances that scripts/mailservers.sh starts, for the tests
// labelled "realserver". The same instances also serve mail the way today's
// providers do, with TLS and a password for sending (the ports below).
//
// Typical use (the checks are tests/support/ServerChecks.h):
//     void initTestCase() { TRV_REQUIRE_REAL_SERVERS(); }
//     void init() { QVERIFY2(RealServers::emptyAllMailboxes(), "..."); }
//     auto sent = RealServers::sendRawMail("taro@docomo.ne.jp", {"quiz@trivorn.test"}, bytes);
//     QVERIFY2(sent.accepted, qPrintable(sent.describe()));
//     QVERIFY(RealServers::waitForMessages("quiz@trivorn.test", 1));
//     QByteArray raw = RealServers::messages("quiz@trivorn.test").value(0);
//
// Mail is delivered into Maildirs that the tests read directly (as stored:
// LF line ends, no POP3 byte-stuffing). Deliveries are asynchronous: wait for
// them with waitForMessages() before reading.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <string>

namespace RealServers {

inline constexpr char host[] = "127.0.0.1";
inline constexpr quint16 smtpPort = 25;
inline constexpr quint16 pop3Port = 110;
// Port 25 stays as the carriers had it: no STARTTLS, no AUTH. The others:
// Submission: STARTTLS first (MAIL and AUTH before it get 530), then AUTH PLAIN
// or LOGIN; without AUTH every RCPT is refused.
inline constexpr quint16 submissionPort = 587;
// The same, but AUTH LOGIN is the only mechanism offered, and PLAIN is refused
// (535) even with the right password.
inline constexpr quint16 submissionLoginOnlyPort = 2587;
// SMTP inside TLS from the first byte; AUTH PLAIN or LOGIN, no STARTTLS.
inline constexpr quint16 smtpsPort = 465;
// POP3 inside TLS from the first byte. Port 110 offers STLS as well, and still
// takes USER/PASS without it.
inline constexpr quint16 pop3sPort = 995;
// Plain SMTP as on port 25, throttled as a provider throttles an account: at
// most 5 messages per 6 s from one client, then "450 4.7.1 Error: too much
// mail". Six seconds are a provider's minute for a round played at ten
// times the speed.
inline constexpr quint16 throttledPort = 2525;
inline constexpr int throttleUnitMs = 6000;
// Mail to this domain is taken at RCPT and bounced at once: the sender gets
// a delivery report ("unknown user") in its mailbox.
inline constexpr char bouncingDomain[] = "gone.test";
// The name the servers' certificate is issued for (and greet with); the
// certificate also names the listening address.
inline constexpr char tlsServerName[] = "mail.trivorn.test";
// POP3 password of every mailbox; the POP3 user name is the full address.
inline constexpr char password[] = "trivorn";
// The operator's mailbox, which receives the players' replies.
inline constexpr char operatorAddress[] = "quiz@trivorn.test";
// Player domains: the three carriers of old, one that is not a carrier, the
// carriers of today, and two providers whose accounts smartphone apps use.
inline const QStringList playerDomains{"docomo.ne.jp", "ezweb.ne.jp",    "t.vodafone.ne.jp", "example.com",
                                       "au.com",       "softbank.ne.jp", "i.softbank.jp",    "ymobile.ne.jp",
                                       "gmail.com",    "icloud.com"};

// The servers' folder: TRV_MAILSERVERS_DIR, else the folder of the running
// instance as recorded by the start command, else $TRV_BINARY_DIR/mailservers.
QString directory();

// The running instance's TLS files (made afresh at every start, so a test must
// read them, never keep them): ca.pem, the private CA that signed the server
// certificate and that no client trusts by default; server.pem; server.sha256.
QString tlsDirectory();
QString caCertificatePath();
QString serverCertificatePath();
// SHA-256 of the server certificate (its DER bytes, 32 bytes), as a client
// sees it in the handshake; empty if the instance has none.
QByteArray serverCertificateSha256();
// The same as the program shows it and keeps it when trusted: "8C:10:...".
std::string serverFingerprint();

// Every mailbox address the servers know (taro@docomo.ne.jp, ..., player250@docomo.ne.jp).
QStringList accounts();

// The numbered players' mailboxes the servers make besides the named ones,
// for the tests and benchmarks that need more players than names: exactly
// these exist, so the spelling lives here once (it must match
// scripts/mailservers.sh, which creates them).
inline constexpr int playerCount = 250;
// n = 1..playerCount: "player001@docomo.ne.jp" ... "player250@docomo.ne.jp".
QString playerAddress(int n);

// Empty when SMTP and POP3 both greet and the mailbox folder exists; else a
// message saying what is missing and how to start the servers.
QString unavailableReason();

// Empty when the submission, smtps and pop3s listeners are there and the TLS
// files are; else a message saying what is missing. Only whether they listen
// (and the plain greetings) is checked: the handshake is the tests' business.
QString tlsUnavailableReason();

// Waits for Postfix's queue to drain, then deletes every message of every
// mailbox. False (with *error) if mail stays queued or a file stays.
bool emptyAllMailboxes(QString* error = nullptr);

// Raw bytes of each message in the mailbox, oldest delivery first.
QList<QByteArray> messages(const QString& address);

// Waits until the mailbox holds at least `count` messages; false on time-out.
bool waitForMessages(const QString& address, int count, int timeoutMs = 10000);

// A mail the program sent, as a mailbox stores it: the Subject field's value
// (its lines joined, the white space that folded them kept; readHeaderText
// in demo/SimulatedPhones.h reads it), and the body after the empty line.
struct StoredMail {
    QByteArray subject;
    QByteArray body;
};
StoredMail splitStoredMail(const QByteArray& raw);

// Outcome of one SMTP transaction of sendRawMail().
struct SmtpResult {
    bool accepted = false;      // the server took the message after DATA
    QByteArray failedCommand;   // the command that was refused, if any
    QByteArray reply;           // the last reply (all lines of a multi-line one)
    int code() const;           // its three-digit code, 0 if none
    QString describe() const;
};

// Sends `message` (CR LF or LF line ends; lines starting with "." are
// stuffed here) through SMTP with the given envelope. Stops at the first
// refused command and quits. Blocking, for injecting players' replies.
SmtpResult sendRawMail(const QByteArray& envelopeSender, const QList<QByteArray>& recipients,
                       const QByteArray& message);

// Number of messages waiting in Postfix's queue (not yet delivered or
// bounced); -1 if the queue cannot be read.
int queuedMessageCount();

}  // namespace RealServers
