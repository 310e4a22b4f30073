#include "platform/qt/QtMessageBox.h"

#include <QMessageBox>

#include "platform/qt/Charset.h"

void QtMessageBox::show(const SjisText& text, bool blocking) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("TRIVORN"),
                                Charset::toQtMultiLine(text), QMessageBox::Ok);
    box->setAccessibleName(QStringLiteral("TRIVORN"));
    if (blocking) {
        box->exec();
        delete box;
        return;
    }
    // Shown and left: a running round goes on while the operator reads it.
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
