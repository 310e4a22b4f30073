#pragma once
#include <QPointer>
#include <QString>
#include <chrono>
#include <optional>

#include "platform/Keyring.h"

namespace QKeychain {
class Job;
}

// The keyring of the desktop session through the Secret Service (GNOME
// Keyring, KeePassXC, KWallet's), by QtKeychain. Keys and secrets are kept
// as Unicode text, so the operator's keyring manager shows them readably;
// every entry is the program's (service "TRIVORN").
//
// Each call runs its job to the end in a local event loop that takes no
// input, at most `timeLimit` long: an unlock prompt gets time to be
// answered, a Secret Service that hangs cannot hang the program. A job that
// ran out of time still holds QtKeychain's queue until the service answers
// it; meanwhile every call fails at once rather than wait again.
class QtKeyring : public Keyring {
public:
    static constexpr const char* kService = "TRIVORN";

    explicit QtKeyring(std::chrono::milliseconds timeLimit = std::chrono::seconds(30),
                       QString service = QString::fromLatin1(kService));

    // The session bus is there and the Secret Service is on it or starts
    // when it is asked for.
    bool available() override;
    Result read(const SjisText& key, SjisText& secret) override;
    Result write(const SjisText& key, const SjisText& secret) override;
    Result remove(const SjisText& key) override;

private:
    // Starts `job` and waits for it to end: its QKeychain::Error (and what
    // a read found, into `text`), nothing when it did not end in time.
    std::optional<int> run(QKeychain::Job* job, QString* text = nullptr);

    std::chrono::milliseconds timeLimit_;
    QString service_;
    QPointer<QKeychain::Job> unanswered_;
};
