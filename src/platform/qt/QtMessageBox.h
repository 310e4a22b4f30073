#pragma once
#include "platform/MessageBox.h"

// The program's message box: title "TRIVORN", the text and an OK button.
class QtMessageBox : public MessageBox {
public:
    void show(const SjisText& text, bool blocking = true) override;
};
