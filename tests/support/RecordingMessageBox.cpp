#include "support/RecordingMessageBox.h"

#include "platform/qt/Charset.h"

void RecordingMessageBox::show(const SjisText& text, bool blocking) {
    shown.push_back({text, blocking, Charset::toQtMultiLine(text)});
    if (onShow) onShow(shown.back());
}

void RecordingMessageBox::showUtf8(const std::string& text) {
    const QString unicode = QString::fromStdString(text);
    shown.push_back({Charset::toSjisMultiLine(unicode), true, unicode});
    if (onShow) onShow(shown.back());
}

bool RecordingMessageBox::ask(const std::string& text, const std::string& yes, const std::string& no) {
    asked << QString::fromStdString(text) + u'|' + QString::fromStdString(yes) + u'|' + QString::fromStdString(no);
    return answer;
}

QStringList RecordingMessageBox::texts() const {
    QStringList list;
    for (const Shown& s : shown) list << s.unicode;
    return list;
}
