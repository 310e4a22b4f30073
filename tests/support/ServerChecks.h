#pragma once
// A test that needs the suite's mail servers fails (never skips) when they
// are not there, saying what is missing and how to start them.
#include <QTest>

#include "demo/RealServers.h"

// Fails the current test (never skips) when the servers are not there.
#define TRV_REQUIRE_REAL_SERVERS()                                              \
    do {                                                                        \
        const QString trvReason_ = RealServers::unavailableReason();            \
        if (!trvReason_.isEmpty()) QFAIL(qPrintable(trvReason_));               \
    } while (false)

// The same for the TLS listeners, on top of TRV_REQUIRE_REAL_SERVERS().
#define TRV_REQUIRE_TLS_SERVERS()                                               \
    do {                                                                        \
        const QString trvReason_ = RealServers::tlsUnavailableReason();         \
        if (!trvReason_.isEmpty()) QFAIL(qPrintable(trvReason_));               \
    } while (false)
