#pragma once
#include <map>

#include "platform/Keyring.h"

// A keyring in memory, there unless told otherwise: the suite's windows and
// rounds keep their passwords in it and never reach a desktop's keyring.
// `failing` makes every call fail, as a locked or silent keyring does.
class FakeKeyring : public Keyring {
public:
    bool available() override { return present; }
    Result read(const SjisText& key, SjisText& secret) override;
    Result write(const SjisText& key, const SjisText& secret) override;
    Result remove(const SjisText& key) override;

    bool present = true;
    bool failing = false;
    std::map<SjisText, SjisText> entries;
};
