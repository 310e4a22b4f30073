#include "support/FakeKeyring.h"

Keyring::Result FakeKeyring::read(const SjisText& key, SjisText& secret) {
    if (!present || failing) return Result::Failed;
    const auto found = entries.find(key);
    if (found == entries.end()) return Result::NotFound;
    secret = found->second;
    return Result::Done;
}

Keyring::Result FakeKeyring::write(const SjisText& key, const SjisText& secret) {
    if (!present || failing) return Result::Failed;
    entries[key] = secret;
    return Result::Done;
}

Keyring::Result FakeKeyring::remove(const SjisText& key) {
    if (!present || failing) return Result::Failed;
    entries.erase(key);
    return Result::Done;
}
