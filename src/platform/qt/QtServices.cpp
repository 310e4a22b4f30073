#include "platform/qt/QtServices.h"

#include "platform/qt/QtSocket.h"
#include "platform/qt/QtTimer.h"

void useQtSocketsAndTimers(Platform& platform) {
    platform.makeSocket = [] { return std::unique_ptr<Socket>(new QtSocket); };
    platform.makeTimer = [] { return std::unique_ptr<Timer>(new QtTimer); };
}

QtServices::QtServices(DataFiles& files, std::string appFolder) {
    platform.eventLoop = &eventLoop;
    platform.clock = &clock;
    platform.files = &files;
    platform.messageBox = &messageBox;
    platform.appFolder = std::move(appFolder);
    useQtSocketsAndTimers(platform);
}
