#pragma once
#include "platform/SjisText.h"

// The desktop's keyring: secrets it keeps encrypted under the operator's
// login, each under a key that says what it opens. Every call waits for its
// answer, but never without end: a keyring that does not answer in time is
// a failure. A secret never goes anywhere else instead, whatever fails.
class Keyring {
public:
    enum class Result {
        Done,       // read: found and handed back; write: stored; remove: gone (or never there)
        NotFound,   // read: nothing is kept under that key
        Failed,     // no keyring, locked and not opened, refused, or no answer in time
    };

    virtual ~Keyring() = default;

    // Whether a keyring is there to keep secrets in, asked without touching any.
    virtual bool available() = 0;
    virtual Result read(const SjisText& key, SjisText& secret) = 0;
    // Replaces what was kept under `key`.
    virtual Result write(const SjisText& key, const SjisText& secret) = 0;
    virtual Result remove(const SjisText& key) = 0;
};
