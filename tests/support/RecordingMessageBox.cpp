#include "support/RecordingMessageBox.h"

#include "platform/qt/Charset.h"

void RecordingMessageBox::show(const SjisText& text, bool blocking) {
    shown.push_back({text, blocking});
    if (onShow) onShow(shown.back());
}

QStringList RecordingMessageBox::texts() const {
    QStringList list;
    for (const Shown& s : shown) list << Charset::toQtMultiLine(s.text);
    return list;
}
