#pragma once
#include <functional>
#include <memory>
#include <string>

#include "platform/CharsetConverter.h"
#include "platform/Clock.h"
#include "platform/DataFiles.h"
#include "platform/EventLoop.h"
#include "platform/Keyring.h"
#include "platform/MessageBox.h"
#include "platform/Socket.h"
#include "platform/Timer.h"

// The services the system takes from its platform, handed around as one
// bundle. main() fills it with the Qt adapters; tests fill it with fakes.
struct Platform {
    EventLoop* eventLoop = nullptr;
    Clock* clock = nullptr;
    DataFiles* files = nullptr;
    MessageBox* messageBox = nullptr;
    const CharsetConverter* converter = nullptr;
    // The desktop's keyring for the mail passwords; none: they stay in the files.
    Keyring* keyring = nullptr;
    // The program's folder followed by the native separator.
    std::string appFolder;
    // This machine's fully qualified host name, or empty when it has none
    // (a bare name, localhost): what it greets mail servers with.
    std::function<std::string()> hostName;
    std::string ownHostName() const { return hostName ? hostName() : std::string(); }
    // Factories for the sockets and timers a window owns.
    std::function<std::unique_ptr<Socket>()> makeSocket;
    std::function<std::unique_ptr<Timer>()> makeTimer;
};
