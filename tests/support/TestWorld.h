#pragma once
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <string>

#include "model/Module1.h"
#include "platform/Platform.h"
#include "platform/qt/LocalDataFiles.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtEventLoop.h"
#include "support/FakeKeyring.h"
#include "support/RecordingMessageBox.h"

// UTF-8 text (a literal in a test) as system text: Shift_JIS bytes.
SjisText sjis(const char* utf8);
SjisText sjis(const QString& text);
// System text as Unicode, for comparing with widget text and for messages.
QString fromSjis(const SjisText& bytes);

// A complete program world over a fresh temporary folder: the data files
// live there, message boxes are recorded and answered at once, the keyring
// is one in memory, sockets and timers are the real Qt ones. The clock and event loop can be swapped for
// fakes. Windows take `module1` (and `folder()` as their program folder).
class TestWorld {
public:
    // The name the world's machine greets mail servers with.
    static constexpr const char* kHostName = "quizhost.trivorn.test";

    TestWorld();
    TestWorld(const TestWorld&) = delete;
    TestWorld& operator=(const TestWorld&) = delete;

    // The folder with a trailing separator, as the program's folder is held.
    std::string appFolder() const;
    QString folder() const { return dir.path(); }
    QString filePath(const QString& name) const { return dir.filePath(name); }

    // Direct access to the files, bypassing the program's own code.
    bool exists(const QString& name) const;
    QByteArray readFile(const QString& name) const;
    void writeFile(const QString& name, const QByteArray& bytes) const;
    void removeFile(const QString& name) const;

    void useClock(Clock& clock) { platform.clock = &clock; }
    void useEventLoop(EventLoop& loop) { platform.eventLoop = &loop; }

    QTemporaryDir dir;
    QtEventLoop eventLoop;
    QtClock clock;
    LocalDataFiles files;
    RecordingMessageBox messageBox;
    FakeKeyring keyring;
    Platform platform;
    Module1 module1;
};
