#pragma once
#include <QList>
#include <QSslError>
#include <QSslSocket>

#include "platform/Socket.h"

// The event-driven TCP client over QSslSocket, with the events of the
// classic Winsock control: a peer closing is a close event, not an error,
// and our own close() raises no event at all. Without implicitTls and
// until startTls() the socket is plain TCP and behaves as QTcpSocket does.
class QtSocket : public Socket {
public:
    QtSocket();
    ~QtSocket() override;

    State state() const override;
    void connect() override;
    void sendData(const std::string& bytes) override;
    std::string getData() override;
    void close() override;
    std::string localAddress() const override;
    void startTls() override;
    bool isEncrypted() const override;

    // The error number reported for a Qt socket error: the Winsock code of
    // the same fault where there is one, else the Qt error value.
    static int errorNumber(QAbstractSocket::SocketError error);

private:
    // The kind of problem a certificate check found, as the operator is told of it.
    static CertificateRefusal::Problem problemOf(QSslError::SslError error);
    // "AB:CD:…": upper-case hex pairs of the SHA-256 of the DER certificate.
    static std::string fingerprintOf(const QSslCertificate& certificate);

    // Which handshake, if any, is under way.
    enum class Handshake { None, Implicit, StartTls };

    void handleConnected();
    void handleReadyRead();
    void handleDisconnected();
    void handleError(QAbstractSocket::SocketError error);
    void handleEncrypted();
    void handleSslErrors(const QList<QSslError>& errors);
    bool isTrusted(const std::string& fingerprint) const;
    // Ends a handshake that failed: the connection is dropped and onError
    // follows on the next turn of the event loop.
    void failHandshake(int number, const QString& description);
    // Runs `event` on the next turn of the event loop, unless the owner has
    // closed or reconnected the socket by then.
    void later(std::function<void()> event);

    QSslSocket socket_;
    bool closedByUs_ = true;   // no connection asked for, or we closed it
    bool peerClosed_ = false;
    bool failed_ = false;
    bool refused_ = false;     // the certificate was refused; Qt's own error follows and is not ours
    Handshake handshake_ = Handshake::None;
    unsigned generation_ = 0;  // counts connect() and close(): stale deferred events are dropped
};
