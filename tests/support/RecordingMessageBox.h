#pragma once
#include <QStringList>
#include <functional>
#include <vector>

#include "platform/MessageBox.h"

// A message box that answers at once and remembers what it was asked to show.
class RecordingMessageBox : public MessageBox {
public:
    struct Shown {
        SjisText text;
        bool blocking;
    };

    void show(const SjisText& text, bool blocking = true) override;

    std::vector<Shown> shown;
    // Called for every box, e.g. to act as the operator would meanwhile.
    std::function<void(const Shown&)> onShow;

    // The texts shown so far, as Unicode for readable test output.
    QStringList texts() const;
    void clear() { shown.clear(); }
};
