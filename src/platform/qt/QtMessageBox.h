#pragma once
#include "platform/MessageBox.h"

// The program's message box: title "TRIVORN", the text and an OK button (or
// the two answers of a question).
class QtMessageBox : public MessageBox {
public:
    void show(const SjisText& text, bool blocking = true) override;
    void showUtf8(const std::string& text) override;
    bool ask(const std::string& text, const std::string& yes, const std::string& no) override;
};
