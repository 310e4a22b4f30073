#pragma once
#include <string>

#include "platform/SjisText.h"

// The message box with an OK button. A blocking box returns when the operator
// has dismissed it; a non-blocking one is shown and left (a running round must
// not wait for the operator). Tests substitute a box that answers by itself.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual void show(const SjisText& text, bool blocking = true) = 0;
    // A message the windows write themselves, in UTF-8: it may name a
    // character that Shift_JIS cannot hold, which must still show as itself.
    // Always blocking: only an editor, never a running round, says these.
    virtual void showUtf8(const std::string& text) = 0;
    // A question with two answers (UTF-8); true when the operator chose
    // `yes`. Closing the box is the safe answer, `no`.
    virtual bool ask(const std::string& text, const std::string& yes, const std::string& no) = 0;
};
