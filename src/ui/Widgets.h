#pragma once
#include "platform/SjisText.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

// Small helpers shared by the windows: system text in and out of widgets
// (through the one converter), and the colours of a past round.

SjisText textOf(const QLineEdit* box);
void setText(QLineEdit* box, const SjisText& text);

SjisText textOf(const QPlainTextEdit* box);   // "\n" in the box, CR LF outside
void setText(QPlainTextEdit* box, const SjisText& text);

SjisText textOf(const QComboBox* box);        // the editable text
void setText(QComboBox* box, const SjisText& text);

SjisText textOf(const QLabel* label);
void setText(QLabel* label, const SjisText& text);

// The text colour of a past round, red (255, 0, 0), or the normal colour.
void setPastRoundColour(QWidget* widget, bool past);
bool hasPastRoundColour(const QWidget* widget);
