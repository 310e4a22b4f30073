#include "platform/qt/QtKeyring.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

#include "platform/qt/Charset.h"

namespace {

const QString kSecretService = QStringLiteral("org.freedesktop.secrets");

// Made the same way for every call: nothing ever lands in a plain settings
// file because the keyring was missing.
template <class J>
J* makeJob(const QString& service, const SjisText& key) {
    auto* job = new J(service);
    job->setInsecureFallback(false);
    // It deletes itself once it has ended, also after its caller stopped
    // waiting: QtKeychain's backend calls back into it until then.
    job->setAutoDelete(true);
    job->setKey(Charset::toQt(key));
    return job;
}

}  // namespace

QtKeyring::QtKeyring(std::chrono::milliseconds timeLimit, QString service)
    : timeLimit_(timeLimit), service_(std::move(service)) {}

bool QtKeyring::available() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return false;
    QDBusConnectionInterface* names = bus.interface();
    if (names->isServiceRegistered(kSecretService).value()) return true;
    const QDBusReply<QStringList> startable = names->activatableServiceNames();
    return startable.isValid() && startable.value().contains(kSecretService);
}

std::optional<int> QtKeyring::run(QKeychain::Job* job, QString* text) {
    if (unanswered_) {
        // QtKeychain runs one job at a time: this one would only queue
        // behind the job the service never answered.
        job->deleteLater();
        return std::nullopt;
    }
    QEventLoop loop;
    std::optional<int> error;
    // What the job says is taken as it ends: it deletes itself soon after.
    // The loop is the context, so a job that ends after this call has given
    // up on it reaches nothing of the call.
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* ended) {
        error = ended->error();
        if (auto* reading = qobject_cast<QKeychain::ReadPasswordJob*>(ended); reading && text)
            *text = reading->textData();
        loop.quit();
    });
    QTimer::singleShot(timeLimit_, &loop, &QEventLoop::quit);
    job->start();
    // The operator's clicks wait; an unlock prompt is a window of its own.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!error) unanswered_ = job;
    return error;
}

Keyring::Result QtKeyring::read(const SjisText& key, SjisText& secret) {
    QString text;
    const std::optional<int> error = run(makeJob<QKeychain::ReadPasswordJob>(service_, key), &text);
    if (error == QKeychain::NoError) {
        secret = Charset::toSjis(text);
        return Result::Done;
    }
    return error == QKeychain::EntryNotFound ? Result::NotFound : Result::Failed;
}

Keyring::Result QtKeyring::write(const SjisText& key, const SjisText& secret) {
    const QString text = Charset::toQt(secret);
    // Bytes Windows-31J has no character for would not come back as they
    // went in; such a password stays where it is.
    if (Charset::toSjis(text) != secret) return Result::Failed;
    auto* job = makeJob<QKeychain::WritePasswordJob>(service_, key);
    job->setTextData(text);
    return run(job) == QKeychain::NoError ? Result::Done : Result::Failed;
}

Keyring::Result QtKeyring::remove(const SjisText& key) {
    const std::optional<int> error = run(makeJob<QKeychain::DeletePasswordJob>(service_, key));
    // Nothing under the key is as good as removed.
    return error == QKeychain::NoError || error == QKeychain::EntryNotFound ? Result::Done : Result::Failed;
}
