#include "run/Waiting.h"

#include <algorithm>
#include <string>

namespace {

const SjisText kAwaitingReplies = "\x82\xcc\x95\xd4\x90\x4d\x91\xd2\x82\xbf\x82\xc5\x82\xb7\x81\x42" " ";  // の返信待ちです。 
const SjisText kMinutes = "\x95\xaa";                                                                 // 分
const SjisText kPleaseWait = "\x82\xa8\x91\xd2\x82\xbf\x89\xba\x82\xb3\x82\xa2\x81\x42";               // お待ち下さい。
const SjisText kSeconds = "\x95\x62";                                                                 // 秒

}  // namespace

void wait(Platform& p, std::uint32_t ms, const bool* stop) {
    // Differences of the 32-bit tick count stay right across its wrap.
    const std::uint32_t start = p.clock->tickCount();
    for (;;) {
        if (stop && *stop) return;
        const std::uint32_t elapsed = p.clock->tickCount() - start;
        if (elapsed >= ms) return;
        // Sleep on the loop, but never past the end of the delay and never so
        // long that a poll of the clock is missed for more than a slice.
        const std::uint32_t left = ms - elapsed;
        p.eventLoop->waitForEvents(int(std::min<std::uint32_t>(left, kWaitSliceMs)));
    }
}

void Countdown(Platform& p, CountdownView& view, const SjisText& subject, int minutes, const bool* stop,
               const std::function<void()>& eachSecond) {
    view.setStatusText(subject + kAwaitingReplies + std::to_string(minutes) + kMinutes + kPleaseWait);

    // At most 32767 minutes: 1 966 020 000 ms, which an int holds.
    const long long total = static_cast<long long>(minutes) * 60000;
    view.setProgressMax(int(total));
    view.setProgressMin(0);
    view.setProgressStyle(1);

    for (long long elapsed = 1000; elapsed <= total; elapsed += 1000) {
        if (stop && *stop) return;
        view.setProgressValue(int(elapsed));
        const long long remaining = total - elapsed;
        const long long mins = remaining / 60000;
        const long long secs = (remaining - mins * 60000) / 1000;
        view.setStatusText(subject + kAwaitingReplies + std::to_string(mins) + kMinutes + std::to_string(secs) +
                           kSeconds + kPleaseWait);
        // Each step lasts a full second from its own start, after the window
        // has been brought up to date: the countdown never ends early.
        p.eventLoop->yieldOnce();
        wait(p, 1000, stop);
        if (eachSecond) eachSecond();
    }
}

void waitForSessionEnd(Platform& p, MailSession& session) {
    if (!session.running()) return;
    LoopExit exit;
    // Whoever else hears of the end still does.
    std::function<void()> before = session.whenEnded(nullptr);
    session.whenEnded([&exit, before] {
        if (before) before();
        exit.quit();
    });
    p.eventLoop->runUntil(exit);
    session.whenEnded(std::move(before));
}
