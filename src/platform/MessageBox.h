#pragma once
#include "platform/SjisText.h"

// The message box with an OK button. A blocking box returns when the operator
// has dismissed it; a non-blocking one is shown and left (a running round must
// not wait for the operator). Tests substitute a box that answers by itself.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual void show(const SjisText& text, bool blocking = true) = 0;
};
