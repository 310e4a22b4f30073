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

    // Where the connection is, from the owner's side. One phase at a time,
    // changed only through setPhase(), so every guard reads as a question
    // about it.
    enum class Phase {
        Closed,           // none asked for, or we closed it: no events at all
        Open,             // plain (connecting or connected), or encrypted and done
        Implicit,         // TLS from the first byte: handshake under way, no onConnect yet
        StartingTls,      // the handshake startTls() began is under way
        PeerClosed,       // the peer closed its end; until the owner closes ours
        Failed,           // an error ended it; the owner has been or will be told
        HandshakeFailed,  // a handshake failed; onError follows on the next turn
        Refused,          // the certificate was refused; Qt's own error that follows is not ours
    };
    void setPhase(Phase phase) { phase_ = phase; }
    bool handshaking() const { return phase_ == Phase::Implicit || phase_ == Phase::StartingTls; }
    bool failed() const {
        return phase_ == Phase::Failed || phase_ == Phase::HandshakeFailed || phase_ == Phase::Refused;
    }

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
    Phase phase_ = Phase::Closed;
    unsigned generation_ = 0;  // counts connect() and close(): stale deferred events are dropped
};
