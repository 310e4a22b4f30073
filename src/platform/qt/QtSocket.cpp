#include "platform/qt/QtSocket.h"

#include <QHostAddress>

#include "platform/qt/Charset.h"

QtSocket::QtSocket() {
    QObject::connect(&socket_, &QTcpSocket::connected, [this] { handleConnected(); });
    QObject::connect(&socket_, &QTcpSocket::readyRead, [this] { handleReadyRead(); });
    QObject::connect(&socket_, &QTcpSocket::disconnected, [this] { handleDisconnected(); });
    QObject::connect(&socket_, &QTcpSocket::errorOccurred,
                     [this](QAbstractSocket::SocketError e) { handleError(e); });
}

QtSocket::~QtSocket() {
    // No events from a socket that is going away.
    closedByUs_ = true;
    socket_.abort();
}

Socket::State QtSocket::state() const {
    if (closedByUs_) return State::Closed;
    if (failed_) return State::Error;
    if (peerClosed_) return State::Closing;   // until the owner closes its end
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
        closedByUs_ = true;
        socket_.abort();
    }
    closedByUs_ = false;
    peerClosed_ = false;
    failed_ = false;
    if (localPort != 0 && !socket_.bind(QHostAddress::AnyIPv4, quint16(localPort))) {
        // bind() has already reported the error through errorOccurred.
        return;
    }
    socket_.connectToHost(QString::fromStdString(remoteHost), quint16(remotePort));
}

void QtSocket::sendData(const std::string& bytes) {
    if (bytes.empty()) return;
    // QTcpSocket keeps everything it cannot send at once and sends it from
    // the event loop, so every byte goes out in order. What can go out now
    // goes out now: the dialogue waits for the server's answer to each
    // command, and leaving the command for the next turn of the loop added
    // a turn to every one of them. (An error met here is reported at once,
    // from inside the session's own handling; the session only shows it.)
    socket_.write(bytes.data(), qint64(bytes.size()));
    socket_.flush();
}

std::string QtSocket::getData() {
    const QByteArray data = socket_.readAll();
    return std::string(data.constData(), std::size_t(data.size()));
}

void QtSocket::close() {
    closedByUs_ = true;
    peerClosed_ = false;
    failed_ = false;
    // Unread data of the closed connection is dropped; bytes still queued
    // for sending (a QUIT just written) go out before the socket closes.
    socket_.readAll();
    if (socket_.state() != QAbstractSocket::UnconnectedState) socket_.disconnectFromHost();
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
    default: return int(error);
    }
}

void QtSocket::handleConnected() {
    if (closedByUs_) return;
    if (onConnect) onConnect();
}

void QtSocket::handleReadyRead() {
    if (closedByUs_) {
        socket_.readAll();
        return;
    }
    if (onDataArrival) onDataArrival();
}

void QtSocket::handleDisconnected() {
    if (closedByUs_ || peerClosed_ || failed_) return;
    peerClosed_ = true;
    // Data that came with the close is still waiting: let the owner read it
    // before it hears of the close.
    if (socket_.bytesAvailable() > 0 && onDataArrival) onDataArrival();
    if (closedByUs_) return;
    if (onClose) onClose();
}

void QtSocket::handleError(QAbstractSocket::SocketError error) {
    if (closedByUs_) return;
    // The peer closing its end is reported as a close event (disconnected
    // follows), as the Winsock control does, never as an error.
    if (error == QAbstractSocket::RemoteHostClosedError) return;
    const SjisText description = Charset::toSjis(socket_.errorString());
    failed_ = true;
    // An error on an open connection ends it; disconnected must not then
    // raise a second event.
    if (socket_.state() == QAbstractSocket::ConnectedState) socket_.abort();
    if (onError) onError(errorNumber(error), description);
}
