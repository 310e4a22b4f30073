#pragma once
#include <QStringList>
#include <functional>
#include <vector>

#include "platform/MessageBox.h"

// A message box that answers at once and remembers what it was asked to show.
class RecordingMessageBox : public MessageBox {
public:
    struct Shown {
        SjisText text;     // as the system holds it (a Unicode message converted)
        bool blocking;
        QString unicode;   // what the operator reads
    };

    void show(const SjisText& text, bool blocking = true) override;
    void showUtf8(const std::string& text) override;
    bool ask(const std::string& text, const std::string& yes, const std::string& no) override;

    std::vector<Shown> shown;
    // Called for every box, e.g. to act as the operator would meanwhile.
    std::function<void(const Shown&)> onShow;

    // Questions asked so far, and the answer the operator gives to each.
    QStringList asked;
    bool answer = true;

    // The texts shown so far, as Unicode for readable test output.
    QStringList texts() const;
    void clear() {
        shown.clear();
        asked.clear();
    }
};
