#pragma once
#include <functional>
#include <string>

// An event-driven TCP client socket with the operations and events of the
// classic Winsock control: set the remote end, connect, send bytes, read every
// waiting byte, close; events for connection made, data arrival, closed by the
// peer and error.
class Socket {
public:
    enum class State { Closed, Connecting, Connected, Closing, Error };

    virtual ~Socket() = default;

    std::string remoteHost;
    int remotePort = 0;
    int localPort = 0;   // 0: any free port

    virtual State state() const = 0;
    bool isClosed() const { return state() == State::Closed; }

    // Connects to remoteHost:remotePort. The outcome arrives as onConnect or onError.
    virtual void connect() = 0;
    virtual void sendData(const std::string& bytes) = 0;
    // Every byte that has arrived and not yet been read.
    virtual std::string getData() = 0;
    virtual void close() = 0;

    std::function<void()> onConnect;
    std::function<void()> onDataArrival;
    std::function<void()> onClose;   // the peer closed the connection
    std::function<void(int number, const std::string& description)> onError;
};
