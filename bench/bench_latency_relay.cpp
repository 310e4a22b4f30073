// The suite's mail servers as a distant provider, for trying the program or
// a mail client by hand: relays on loopback ports that add a round trip to
// every exchange with Postfix and Dovecot (see tests/support/LatencyRelay.h).
//
//   bench_latency_relay --rtt 50                    every port of the suite, each at 10000 + port
//   bench_latency_relay --rtt 150 --route 10587:587 --route 10995:995
//
// Runs until interrupted. Only loopback addresses: --listen and --target
// name 127.x.y.z addresses (default 127.0.0.1 both).
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <memory>
#include <vector>

#include "demo/RealServers.h"
#include "support/LatencyRelay.h"

namespace {

constexpr int kPortOffset = 10000;

// listening port : the server's port
struct Route {
    quint16 listen;
    quint16 target;
};

std::vector<Route> suiteRoutes()
{
    std::vector<Route> out;
    for (quint16 p : {RealServers::smtpPort, RealServers::submissionPort, RealServers::submissionLoginOnlyPort,
                      RealServers::smtpsPort, RealServers::pop3Port, RealServers::pop3sPort})
        out.push_back({quint16(kPortOffset + p), p});
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Relays loopback ports to the suite's mail servers with a round-trip delay.");
    parser.addHelpOption();
    parser.addOption({"rtt", "Round trip to add, in milliseconds.", "ms"});
    parser.addOption({"route", "LISTEN:TARGET port pair; may repeat. Default: every port of the suite at 10000 + port.",
                      "ports"});
    parser.addOption({"listen", "Address to listen on.", "address", RealServers::host});
    parser.addOption({"target", "Address of the servers.", "address", RealServers::host});
    parser.process(app);

    bool ok = false;
    const int rtt = parser.value("rtt").toInt(&ok);
    if (!ok || rtt < 0) {
        std::fprintf(stderr, "--rtt takes a round trip in milliseconds\n");
        return 2;
    }
    std::vector<Route> routes;
    for (const QString& r : parser.values("route")) {
        const QStringList ports = r.split(':');
        bool a = false, b = false;
        const uint listen = ports.value(0).toUInt(&a), target = ports.value(1).toUInt(&b);
        if (ports.size() != 2 || !a || !b || listen > 65535 || target == 0 || target > 65535) {
            std::fprintf(stderr, "--route takes LISTEN:TARGET ports, not %s\n", qPrintable(r));
            return 2;
        }
        routes.push_back({quint16(listen), quint16(target)});
    }
    if (routes.empty()) routes = suiteRoutes();

    std::vector<std::unique_ptr<LatencyRelay>> relays;
    for (const Route& r : routes) {
        auto relay = std::make_unique<LatencyRelay>(parser.value("target"), r.target, std::chrono::milliseconds(rtt));
        QString error;
        if (!relay->listen(&error, parser.value("listen"), r.listen)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("%s:%u -> %s:%u, %d ms round trip\n", qPrintable(parser.value("listen")), relay->port(),
                    qPrintable(parser.value("target")), r.target, rtt);
        relays.push_back(std::move(relay));
    }
    std::fflush(stdout);
    return app.exec();
}
