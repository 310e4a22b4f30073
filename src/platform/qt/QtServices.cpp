#include "platform/qt/QtServices.h"

#include "platform/qt/QtCharsetConverter.h"
#include "platform/qt/QtSocket.h"
#include "platform/qt/QtTimer.h"

void useQtSocketsAndTimers(Platform& platform) {
    platform.makeSocket = [] { return std::unique_ptr<Socket>(new QtSocket); };
    platform.makeTimer = [] { return std::unique_ptr<Timer>(new QtTimer); };
}

namespace {
// Stateless, so one serves every platform bundle.
const QtCharsetConverter kConverter;
}  // namespace

Platform makeQtPlatform(EventLoop& loop, Clock& clock, DataFiles& files, MessageBox& box, std::string appFolder) {
    Platform p;
    p.eventLoop = &loop;
    p.clock = &clock;
    p.files = &files;
    p.messageBox = &box;
    p.converter = &kConverter;
    p.appFolder = std::move(appFolder);
    useQtSocketsAndTimers(p);
    return p;
}

QtServices::QtServices(DataFiles& files, std::string appFolder, int speed)
    : clock(speed), platform(makeQtPlatform(eventLoop, clock, files, messageBox, std::move(appFolder))) {}
