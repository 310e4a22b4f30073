#pragma once
// A mail provider far away, made of the suite's near one: a relay that
// listens on a loopback address and hands every byte, both ways, between
// each client and one server, every chunk late by half the chosen round
// trip in each direction. It reads nothing of what it carries, so TLS passes
// through whole: the client checks the server's own certificate.
//
// A new connection first costs the round trip of TCP's handshake: the relay
// opens its own connection to the server only once that has passed, and what
// the client sent meanwhile follows then. A close travels behind the last
// bytes, as late as they are.
//
// Each direction of a connection is a queue of chunks with the moment each is
// due, served by one precise timer; nothing sleeps. The relay runs in a thread
// of its own, so bytes leave when they are due whatever the thread of its
// owner (a benchmark waiting for the program, the program itself) is busy with.
//
// Typical use:
//     LatencyRelay smtp(RealServers::host, RealServers::submissionPort, 50ms);
//     QVERIFY2(smtp.listen(&error), qPrintable(error));
//     ... connect to 127.0.0.1:smtp.port() instead of port 587 ...
#include <QHostAddress>
#include <QString>

#include <chrono>
#include <memory>

class QThread;

class LatencyRelay {
public:
    // Only loopback addresses (127.0.0.0/8) are used, to listen and to reach
    // the server; listen() refuses others.
    LatencyRelay(const QString& targetHost, quint16 targetPort, std::chrono::milliseconds roundTrip);
    ~LatencyRelay();
    LatencyRelay(const LatencyRelay&) = delete;
    LatencyRelay& operator=(const LatencyRelay&) = delete;

    // Listens on `host` (port 0: any free one). False, with *error, when an
    // address is not loopback or the port cannot be had.
    bool listen(QString* error, const QString& host = QStringLiteral("127.0.0.1"), quint16 port = 0);

    quint16 port() const;
    std::chrono::milliseconds roundTrip() const { return roundTrip_; }
    // Connections taken so far, and the bytes handed on each way.
    int connections() const;
    qint64 bytesToServer() const;
    qint64 bytesToClient() const;

    struct Counters;

private:
    QHostAddress target_;
    quint16 targetPort_;
    std::chrono::milliseconds roundTrip_;
    std::shared_ptr<Counters> counters_;
    std::unique_ptr<QThread> thread_;
    quint16 port_ = 0;
};
