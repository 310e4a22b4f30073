#include "platform/qt/QtMessageBox.h"

#include <QMessageBox>
#include <QPushButton>

#include "platform/qt/Charset.h"

namespace {

QMessageBox* newBox(const QString& text) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("TRIVORN"), text, QMessageBox::NoButton);
    box->setAccessibleName(QStringLiteral("TRIVORN"));
    return box;
}

void showBox(QMessageBox* box, bool blocking) {
    box->addButton(QMessageBox::Ok);
    if (blocking) {
        box->exec();
        delete box;
        return;
    }
    // Shown and left: a running round goes on while the operator reads it.
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

}  // namespace

void QtMessageBox::show(const SjisText& text, bool blocking) {
    showBox(newBox(Charset::toQtMultiLine(text)), blocking);
}

void QtMessageBox::showUtf8(const std::string& text) {
    showBox(newBox(QString::fromStdString(text)), true);
}

bool QtMessageBox::ask(const std::string& text, const std::string& yes, const std::string& no) {
    QMessageBox* box = newBox(QString::fromStdString(text));
    QPushButton* act = box->addButton(QString::fromStdString(yes), QMessageBox::DestructiveRole);
    QPushButton* keep = box->addButton(QString::fromStdString(no), QMessageBox::RejectRole);
    act->setAccessibleName(act->text());
    keep->setAccessibleName(keep->text());
    // Enter and Esc both keep: only a deliberate choice acts.
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    box->exec();
    const bool chosen = box->clickedButton() == act;
    delete box;
    return chosen;
}
