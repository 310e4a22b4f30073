#pragma once
#include <string>

#include "platform/Platform.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtKeyring.h"
#include "platform/qt/QtMessageBox.h"

// This machine's fully qualified host name (its name and DNS domain, in ASCII),
// or empty when it has none: a bare name or localhost names nothing a mail
// server could look up, and the address literal says more.
std::string qtHostName();

// Hands out Qt sockets and timers for the windows that own them.
void useQtSocketsAndTimers(Platform& platform);

// A Platform bundle over the given services, with Qt sockets and timers.
Platform makeQtPlatform(EventLoop& loop, Clock& clock, DataFiles& files, MessageBox& box, std::string appFolder);

// The Qt adapters the program runs on, gathered into one Platform bundle.
// The data files come from outside (they live over the program's folder).
struct QtServices {
    QtServices(DataFiles& files, std::string appFolder, int speed = 1);

    QtEventLoop eventLoop;
    QtClock clock;
    QtMessageBox messageBox;
    QtKeyring keyring;
    Platform platform;
};
