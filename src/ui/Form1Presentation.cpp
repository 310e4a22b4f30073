// The main window's presentation button and the full-screen window it opens,
// which the round's updates follow while it is open.

#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QScreen>

#include "ui/Form1.h"
#include "ui/Form1RoundView.h"
#include "ui/PresentationTexts.h"
#include "ui/PresentationWindow.h"
#include "ui/Widgets.h"

void Form1::PresentButton_Click() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() <= 1) {
        presentOn(screens.isEmpty() ? nullptr : screens.first());
        return;
    }
    // The list pops up without a loop of its own: a round playing meanwhile
    // goes on while the operator chooses.
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setTitle(uiText(PresentationTexts::kScreenMenu));
    menu->setAccessibleName(menu->title());
    for (int i = 0; i < screens.size(); ++i) {
        QScreen* screen = screens[i];
        const QRect area = screen->geometry();
        QAction* entry = menu->addAction(
            uiText(PresentationTexts::kScreenItem).arg(i + 1).arg(screen->name()).arg(area.width()).arg(area.height()));
        connect(entry, &QAction::triggered, this, [this, screen = QPointer<QScreen>(screen)] {
            if (screen) presentOn(screen);
        });
    }
    menu->popup(PresentButton->mapToGlobal(QPoint(0, PresentButton->height())));
}

void Form1::presentOn(QScreen* screen) {
    if (!presentation_) presentation_ = new PresentationWindow(m, this);
    if (roundRunning()) {
        presentation_->showRunningRound();
        roundView_->catchUp(*presentation_);
    } else {
        presentation_->showStoredRound(resultsRound_);
    }
    if (screen) {
        presentation_->setScreen(screen);
        presentation_->setGeometry(screen->geometry());
    }
    presentation_->showFullScreen();
    presentation_->raise();
    presentation_->activateWindow();
}

PresentationWindow* Form1::presentation() const {
    return presentation_ && presentation_->isVisible() ? presentation_.data() : nullptr;
}
