#include "platform/qt/QtSocket.h"

#include <algorithm>

#include <cctype>

#include <QCryptographicHash>
#include <QHostAddress>
#include <QSslCertificate>
#include <QStringList>

#include "platform/qt/Charset.h"

QtSocket::QtSocket() {
    QObject::connect(&socket_, &QSslSocket::connected, [this] { handleConnected(); });
    QObject::connect(&socket_, &QSslSocket::readyRead, [this] { handleReadyRead(); });
    QObject::connect(&socket_, &QSslSocket::disconnected, [this] { handleDisconnected(); });
    QObject::connect(&socket_, &QSslSocket::errorOccurred,
                     [this](QAbstractSocket::SocketError e) { handleError(e); });
    QObject::connect(&socket_, &QSslSocket::encrypted, [this] { handleEncrypted(); });
    // Direct connection: ignoreSslErrors() only counts when called from
    // inside the signal, before the handshake goes on.
    QObject::connect(&socket_, &QSslSocket::sslErrors,
                     [this](const QList<QSslError>& errors) { handleSslErrors(errors); });
}

QtSocket::~QtSocket() {
    // No events from a socket that is going away.
    setPhase(Phase::Closed);
    socket_.abort();
}

Socket::State QtSocket::state() const {
    if (phase_ == Phase::Closed) return State::Closed;
    if (failed()) return State::Error;
    if (phase_ == Phase::PeerClosed) return State::Closing;   // until the owner closes its end
    // With TLS from the first byte the connection is not the owner's to use
    // before the certificate is accepted, as onConnect says.
    if (phase_ == Phase::Implicit) return State::Connecting;
    switch (socket_.state()) {
    case QAbstractSocket::HostLookupState:
    case QAbstractSocket::ConnectingState:
        return State::Connecting;
    case QAbstractSocket::ConnectedState:
        return State::Connected;
    case QAbstractSocket::ClosingState:
        return State::Closing;
    default:
        return State::Closed;
    }
}

void QtSocket::connect() {
    // Whatever is left of an earlier connection goes first; connectToHost
    // refuses to start on a socket that is not unconnected.
    if (socket_.state() != QAbstractSocket::UnconnectedState) {
        setPhase(Phase::Closed);
        socket_.abort();
    }
    ++generation_;
    // Qt keeps the errors it was told to ignore from one connection to the
    // next; a certificate trusted before must be judged again now.
    socket_.ignoreSslErrors(QList<QSslError>{});
    setPhase(Phase::Open);
    if (localPort != 0 && !socket_.bind(QHostAddress::AnyIPv4, quint16(localPort))) {
        // bind() has already reported the error through errorOccurred.
        return;
    }
    const QString host = QString::fromStdString(remoteHost);
    if (!implicitTls) {
        socket_.connectToHost(host, quint16(remotePort));
        return;
    }
    setPhase(Phase::Implicit);
    // QSslSocket starts the handshake itself once TCP is up; `connected`
    // then means nothing to the owner, `encrypted` is its onConnect.
    socket_.connectToHostEncrypted(host, quint16(remotePort), QString::fromStdString(tlsServerName));
}

void QtSocket::sendData(const std::string& bytes) {
    if (bytes.empty()) return;
    // QSslSocket keeps everything it cannot send at once and sends it from
    // the event loop, so every byte goes out in order. What can go out now
    // goes out now: the dialogue waits for the server's answer to each
    // command, and leaving the command for the next turn of the loop added
    // a turn to every one of them. (An error met here is reported at once,
    // from inside the session's own handling; the session only shows it.)
    // On an encrypted connection the flush also encrypts what was written.
    socket_.write(bytes.data(), qint64(bytes.size()));
    socket_.flush();
}

std::string QtSocket::getData() {
    // A connection ended by a failed handshake is no longer open, and Qt
    // warns about reading from it.
    if (!socket_.isOpen()) return {};
    const QByteArray data = socket_.readAll();
    return std::string(data.constData(), std::size_t(data.size()));
}

void QtSocket::close() {
    // A refusal and a failed handshake leave Qt's handshake still running.
    const bool midHandshake = handshaking() || phase_ == Phase::HandshakeFailed || phase_ == Phase::Refused;
    ++generation_;
    setPhase(Phase::Closed);
    // Unread data of the closed connection is dropped; bytes still queued
    // for sending (a QUIT just written) go out before the socket closes.
    if (socket_.isOpen()) socket_.readAll();
    if (socket_.state() == QAbstractSocket::UnconnectedState) return;
    // A handshake has nothing of ours to deliver, and disconnectFromHost
    // would let it run to its end first.
    if (midHandshake)
        socket_.abort();
    else
        socket_.disconnectFromHost();
}

void QtSocket::startTls() {
    // Closed, failed or closed by the peer: the owner has had its event.
    if (phase_ == Phase::Closed || failed() || phase_ == Phase::PeerClosed ||
        socket_.state() != QAbstractSocket::ConnectedState)
        return;
    if (handshaking() || socket_.isEncrypted()) {
        // A mistake of the dialogue: said, rather than left to the time-out.
        failHandshake(errorNumber(QAbstractSocket::OperationError),
                      "TLS has already been started on this connection");
        return;
    }
    // Plain bytes still unread here came before the handshake (a server, or
    // someone in between, talking past its own reply): dropped, so they can
    // never be read as if they had arrived encrypted. Any that come later
    // go to the handshake and make it fail.
    socket_.readAll();
    setPhase(Phase::StartingTls);
    socket_.setPeerVerifyName(QString::fromStdString(tlsServerName));
    socket_.startClientEncryption();
}

bool QtSocket::isEncrypted() const {
    return socket_.isEncrypted();
}

int QtSocket::errorNumber(QAbstractSocket::SocketError error) {
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return 10061;
    case QAbstractSocket::RemoteHostClosedError: return 10054;
    case QAbstractSocket::HostNotFoundError: return 11001;
    case QAbstractSocket::SocketAccessError: return 10013;
    case QAbstractSocket::SocketResourceError: return 10055;
    case QAbstractSocket::SocketTimeoutError: return 10060;
    case QAbstractSocket::NetworkError: return 10050;
    case QAbstractSocket::AddressInUseError: return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError: return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError: return 10045;
    // TLS failures have no Winsock code: SslHandshakeFailedError (13),
    // SslInternalError (20), SslInvalidUserDataError (21) pass as they are.
    default: return int(error);
    }
}

std::string QtSocket::localAddress() const {
    const QHostAddress address = socket_.localAddress();
    if (address.isNull()) return {};
    // An IPv4 address reached over an IPv6 socket is named as IPv4.
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return (isV4 ? QHostAddress(v4) : address).toString().toStdString();
}

CertificateRefusal::Problem QtSocket::problemOf(QSslError::SslError error) {
    using P = CertificateRefusal::Problem;
    switch (error) {
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain: return P::SelfSigned;
    case QSslError::CertificateExpired: return P::Expired;
    case QSslError::CertificateNotYetValid: return P::NotYetValid;
    case QSslError::HostNameMismatch: return P::WrongHost;
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted: return P::UnknownIssuer;
    default: return P::Other;
    }
}

std::string QtSocket::fingerprintOf(const QSslCertificate& certificate) {
    if (certificate.isNull()) return {};
    return certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper().toStdString();
}

void QtSocket::handleConnected() {
    if (phase_ == Phase::Closed) return;
    if (phase_ == Phase::Implicit) return;   // onConnect waits for `encrypted`
    if (onConnect) onConnect();
}

void QtSocket::handleReadyRead() {
    // After a refusal nothing that came over the connection is the owner's:
    // with TLS 1.2 the greeting can arrive before the refusal is reported.
    if (phase_ == Phase::Closed || phase_ == Phase::Refused) {
        socket_.readAll();
        return;
    }
    if (onDataArrival) onDataArrival();
}

void QtSocket::handleDisconnected() {
    if (phase_ == Phase::Closed || phase_ == Phase::PeerClosed || failed()) return;
    if (handshaking()) {
        // Hung up on during the handshake: the connection never became
        // what the owner asked for, so this is a failure, not a close.
        // (errorOccurred has normally said so already; this is for a
        // disconnect that comes without it.)
        failHandshake(errorNumber(QAbstractSocket::RemoteHostClosedError), socket_.errorString());
        return;
    }
    setPhase(Phase::PeerClosed);
    // Data that came with the close is still waiting: let the owner read it
    // before it hears of the close.
    if (socket_.bytesAvailable() > 0 && onDataArrival) onDataArrival();
    if (phase_ == Phase::Closed) return;   // the owner closed ours meanwhile
    if (onClose) onClose();
}

void QtSocket::handleError(QAbstractSocket::SocketError error) {
    // After a refused certificate Qt fails the handshake itself; the owner
    // hears of the refusal only.
    if (phase_ == Phase::Closed || phase_ == Phase::Refused) return;
    if (handshaking() || phase_ == Phase::HandshakeFailed) {
        // Including the peer closing: see handleDisconnected. (Once failed,
        // the failure already on its way is the one reported.)
        failHandshake(errorNumber(error), socket_.errorString());
        return;
    }
    // The peer closing its end is reported as a close event (disconnected
    // follows), as the Winsock control does, never as an error.
    if (error == QAbstractSocket::RemoteHostClosedError) return;
    const SjisText description = Charset::toSjis(socket_.errorString());
    setPhase(Phase::Failed);
    // An error on an open connection ends it; disconnected must not then
    // raise a second event.
    if (socket_.state() == QAbstractSocket::ConnectedState) socket_.abort();
    if (onError) onError(errorNumber(error), description);
}

void QtSocket::handleEncrypted() {
    if (phase_ == Phase::Closed || failed()) return;
    const bool implicit = phase_ == Phase::Implicit;
    if (handshaking()) setPhase(Phase::Open);
    if (implicit) {
        if (onConnect) onConnect();
    } else if (onEncrypted) {
        onEncrypted();
    }
}

void QtSocket::handleSslErrors(const QList<QSslError>& errors) {
    if (phase_ == Phase::Closed || failed()) return;
    const QSslCertificate certificate = socket_.peerCertificate();
    const std::string fingerprint = fingerprintOf(certificate);
    if (isTrusted(fingerprint)) {
        // The operator has seen this very certificate and trusts it: what
        // the checks found (an unknown issuer, another name) is accepted
        // for it, and for nothing else.
        socket_.ignoreSslErrors(errors);
        return;
    }
    CertificateRefusal refusal;
    QStringList words;
    for (const QSslError& e : errors) {
        words << e.errorString();
        const CertificateRefusal::Problem problem = problemOf(e.error());
        if (std::find(refusal.problems.begin(), refusal.problems.end(), problem) == refusal.problems.end())
            refusal.problems.push_back(problem);
    }
    words.removeDuplicates();
    refusal.description = Charset::toSjis(words.join(QStringLiteral("; ")));
    refusal.fingerprint = fingerprint;
    // Not ignored, Qt fails the handshake right after this signal with an
    // error of its own (silenced by the phase) and drops the connection.
    setPhase(Phase::Refused);
    later([this, refusal] {
        // Over for good, as if the owner had closed it: Closed, and silent.
        setPhase(Phase::Closed);
        socket_.abort();
        if (onCertificateRefused) onCertificateRefused(refusal);
    });
}

bool QtSocket::isTrusted(const std::string& fingerprint) const {
    if (fingerprint.empty()) return false;
    // Compared on the hex digits alone, whatever the case and separators
    // the operator's copy has.
    const auto digits = [](const std::string& s) {
        std::string out;
        for (const char c : s)
            if (std::isxdigit(static_cast<unsigned char>(c))) out += char(std::toupper(static_cast<unsigned char>(c)));
        return out;
    };
    const std::string wanted = digits(fingerprint);
    for (const std::string& trusted : trustedFingerprints)
        if (digits(trusted) == wanted) return true;
    return false;
}

void QtSocket::failHandshake(int number, const QString& description) {
    if (failed()) return;
    setPhase(handshaking() ? Phase::HandshakeFailed : Phase::Failed);
    const SjisText text = Charset::toSjis(description);
    later([this, number, text] {
        setPhase(Phase::Failed);
        socket_.abort();
        if (onError) onError(number, text);
    });
}

void QtSocket::later(std::function<void()> event) {
    // A failure met during a handshake is met deep inside QSslSocket, which
    // still aborts or disconnects after the signal. An owner that reacted
    // at once (connecting again, say) would see its new connection dropped
    // under it; on the next turn of the loop it is safe.
    const unsigned generation = generation_;
    QMetaObject::invokeMethod(
        &socket_,
        [this, generation, event = std::move(event)] {
            if (generation != generation_) return;   // closed or reconnected meanwhile
            event();
        },
        Qt::QueuedConnection);
}
