#pragma once

class QComboBox;

// A locked combo box keeps showing its value but takes no typing and offers
// no list: neither the arrow, the wheel nor the keyboard can change it. The
// editors lock theirs while a past round is shown. Code can still set the
// text.
void setComboLocked(QComboBox* box, bool locked);
bool isComboLocked(const QComboBox* box);
