#pragma once
#include <string>

#include "platform/SjisText.h"

// The texts of the invitation mail (the participation confirmation) that the
// invitation window composes. Plain functions over Shift_JIS text, so the exact
// bytes can be checked without a window.

// The greeting list, in the order the window offers it.
extern const SjisText kGreetingMorning;     // お早うございます。
extern const SjisText kGreetingAfternoon;   // こんにちは、
extern const SjisText kGreetingEvening;     // 今晩は、

// The greeting for a local time "HH:MM". The times are compared as text, so
// 00:01..12:00 is morning, 12:01..16:59 afternoon, 17:00..00:00 evening
// (midnight itself still counts as evening).
SjisText GreetingByClock(const std::string& hhmm);

// The sixteen-line body, every line ended by CR LF. The four values are
// inserted exactly as the operator's boxes hold them (no trimming, no number
// check: the body is text, and the numbers are checked only when saving).
SjisText InvitationBody(const SjisText& greeting, const SjisText& name,
                        const SjisText& round, const SjisText& minutes);

// The subject offered for round `round`: 第<round>回のクイズ参加ご確認.
SjisText InvitationSubject(const SjisText& round);
