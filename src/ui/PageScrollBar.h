#pragma once
#include <QElapsedTimer>
#include <QList>
#include <QScrollBar>

#include <functional>

#include "ui/FieldRules.h"

class MessageBox;

// The scroll bar of an editor that shows its rows a page at a time (the
// address book, the choices of a question). Every keystroke goes into the
// record at once, so the rows on screen are checked before the bar leaves
// their page: a move the rows cannot allow leaves the bar where it is, stops
// whatever repeats it (a held arrow, a drag), tells the operator once and
// puts the focus in the box with the problem.
class PageScrollBar : public QScrollBar {
    Q_OBJECT
public:
    PageScrollBar(MessageBox& messages, QWidget* parent);

    // The problems of the rows on the page shown; none lets the page change.
    std::function<QList<FieldCheck>()> pageChecks;

    // The mouse wheel over any of `rows` turns the pages as over the bar
    // itself, through the same check: the rows are what the operator looks
    // at, and the bar is a thin strip beside them.
    void takeWheelFrom(const QList<QWidget*>& rows);

signals:
    // The bar has moved to `page` and the rows may show it: every move the
    // rows allowed, whether the operator's, code's or assistive technology's.
    void pageChanged(int page);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QList<FieldCheck> problems() const;
    void beforeMove(int action);
    void afterMove(int page);
    void tell(const QList<FieldCheck>& found);

    MessageBox& messages_;
    int shownPage_ = 0;   // the page the rows show
    // A wheel turned on, or a move the window system had queued while the
    // message was up, is refused without a second message for a moment; a
    // new press of a button or key is a new attempt and is answered.
    QElapsedTimer sinceTold_;
};
