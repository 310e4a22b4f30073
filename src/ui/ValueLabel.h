#pragma once
#include <QLabel>

// A line that shows a changing value, such as a count under a grid. Its
// accessible name says what it is ("順位表の参加人数"); what it says now
// ("参加人数(11人)") stays readable as its text and value. A plain QLabel
// with a name set hides its text from assistive technology altogether: the
// name replaces it, and Qt offers no text of a label apart from its name.
class ValueLabel : public QLabel {
    Q_OBJECT
public:
    ValueLabel(const QString& name, QWidget* parent);
};
