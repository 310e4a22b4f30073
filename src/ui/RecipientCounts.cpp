#include "ui/RecipientCounts.h"

QString mostRecipientsText(const RoundRecipients& most) {
    return QStringLiteral("参加確認 %1件 + 問題 %2件 + 終了 %3件 = 合計 %4件")
        .arg(most.invitation)
        .arg(most.questions)
        .arg(most.closing)
        .arg(most.total());
}

QString overDailyLimitQuestion(const RoundRecipients& most, int dailyLimit) {
    return QStringLiteral("このクイズは最大で %1 に送信します。メールの設定の「1日の送信上限 (宛先数)」%2件を"
                          "超えるおそれがあります。このまま始めますか？")
        .arg(mostRecipientsText(most))
        .arg(dailyLimit);
}
