#include "platform/qt/QtServices.h"

#include <QHostInfo>
#include <QUrl>

#include "platform/qt/QtCharsetConverter.h"
#include "platform/qt/QtSocket.h"
#include "platform/qt/QtTimer.h"

void useQtSocketsAndTimers(Platform& platform) {
    platform.makeSocket = [] { return std::unique_ptr<Socket>(new QtSocket); };
    platform.makeTimer = [] { return std::unique_ptr<Timer>(new QtTimer); };
}

std::string qtHostName() {
    QString name = QHostInfo::localHostName();
    const QString domain = QHostInfo::localDomainName();
    if (!name.contains(u'.') && !domain.isEmpty()) name += u'.' + domain;
    if (!name.contains(u'.') || name.startsWith(QStringLiteral("localhost"), Qt::CaseInsensitive)) return {};
    return QUrl::toAce(name).toStdString();
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
    p.hostName = qtHostName;
    p.appFolder = std::move(appFolder);
    useQtSocketsAndTimers(p);
    return p;
}

QtServices::QtServices(DataFiles& files, std::string appFolder, int speed)
    : clock(speed), platform(makeQtPlatform(eventLoop, clock, files, messageBox, std::move(appFolder))) {
    platform.keyring = &keyring;
}
