#pragma once
#include "platform/SjisText.h"

class QComboBox;

// Combo box handling shared by the question editor and the quiz-end window.

// Sets a combo box's text the way code does: when the text is one of the list
// entries, that entry also becomes the current one, so that merely leaving
// the box later is not taken for choosing it from the list.
void setComboText(QComboBox* box, const SjisText& text);

// Makes `box` an editable combo whose typed text stays typed text: nothing is
// completed or added to the list, and pressing Enter or leaving the box after
// typing one of the entries is not taken for choosing it. Only a choice from
// the list raises activated().
void makeTypedTextNoChoice(QComboBox* box);

// A locked combo box keeps showing its value but takes no typing and offers
// no list: neither the arrow, the wheel nor the keyboard can change it. The
// question editor and the quiz-end window lock theirs while a past round is
// shown. Code can still set the text.
void setComboLocked(QComboBox* box, bool locked);
bool isComboLocked(const QComboBox* box);
