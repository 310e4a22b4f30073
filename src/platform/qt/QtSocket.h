#pragma once
#include <QTcpSocket>

#include "platform/Socket.h"

// The event-driven TCP client over QTcpSocket, with the events of the
// classic Winsock control: a peer closing is a close event, not an error,
// and our own close() raises no event at all.
class QtSocket : public Socket {
public:
    QtSocket();
    ~QtSocket() override;

    State state() const override;
    void connect() override;
    void sendData(const std::string& bytes) override;
    std::string getData() override;
    void close() override;

    // The error number reported for a Qt socket error: the Winsock code of
    // the same fault where there is one, else the Qt error value.
    static int errorNumber(QAbstractSocket::SocketError error);

private:
    void handleConnected();
    void handleReadyRead();
    void handleDisconnected();
    void handleError(QAbstractSocket::SocketError error);

    QTcpSocket socket_;
    bool closedByUs_ = true;   // no connection asked for, or we closed it
    bool peerClosed_ = false;
    bool failed_ = false;
};
