#pragma once
#include <QString>

#include "run/RoundSetup.h"

// What a round will send at most, as the invitation window shows it and
// START asks about it: "参加確認 13件 + 問題 39件 + 終了 13件 = 合計 65件".
QString mostRecipientsText(const RoundRecipients& most);

// START's question when that may pass the provider's daily limit.
QString overDailyLimitQuestion(const RoundRecipients& most, int dailyLimit);
