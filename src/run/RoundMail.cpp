#include "run/RoundMail.h"

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

#include "mail/ReceivedMailParser.h"
#include "run/MailJobs.h"
#include "run/RunTexts.h"
#include "run/Scoring.h"
#include "run/Waiting.h"

namespace {

// The owed mail of `mail` for the recipients `indices` of its job, with the
// texts the job made for them.
OwedMail owing(const SmtpJob& job, const std::vector<int>& indices) {
    OwedMail owed;
    owed.subject = job.subject;
    owed.perRecipient = job.perRecipient;
    for (int i : indices)
        owed.owed.push_back({job.recipients[std::size_t(i)], job.bodyFor ? job.bodyFor(i) : SjisText()});
    return owed;
}

}  // namespace

RoundMailer::RoundMailer(Module1& m, RoundNotes& vars, SessionView& view, Socket& smtpSocket,
                         Timer& smtpTimer, Socket& pop3Socket, Timer& pop3Timer)
    : m_(m), vars_(vars), view_(view), smtpSocket_(smtpSocket), pop3Socket_(pop3Socket),
      smtp_(smtpSocket, smtpTimer, view), pop3_(pop3Socket, pop3Timer, view)
{
    smtp_.whenEnded([this] { smtpEnded(); });
}

std::uint32_t RoundMailer::paceGapMs() const
{
    const int perMinute = m_.transport.MessagesPerMinute;
    return perMinute > 0 ? std::uint32_t(60000 / perMinute) : 0;
}

MailingReport RoundMailer::send(const OutgoingMail& mail, bool roundTellsFailures, const RetryTerms& retry)
{
    // Owed mail of an earlier mailing may be on the connection still.
    waitForSessionEnd(m_.platform, smtp_);
    ++mailings_;
    if (!smtpSocket_.isClosed()) smtpSocket_.close();
    view_.setStatus(mail.MailSubject + RunTexts::kSending);

    SmtpJob job = makeRoundSmtpJob(m_, mail, CompleteMail);
    // With a pace set, each player's mail has its moment: the first goes
    // now, the others wait for theirs while the countdown runs.
    const std::uint32_t gap = retry.forMs > 0 && job.perRecipient ? paceGapMs() : 0;
    std::vector<int> held;
    for (int i = 1; gap > 0 && i < int(job.recipients.size()); ++i) held.push_back(i);
    SmtpJob first = job;
    if (!held.empty()) first.recipients.resize(1);
    connectJob(first, m_, overrides);
    first.ownerTellsFailures = roundTellsFailures;
    smtp_.start(std::move(first));
    waitForSessionEnd(m_.platform, smtp_);
    vars_.sentIds.mailed(smtp_.acceptedMessageIds());

    MailingReport report{smtp_.failure(), smtp_.acceptedMessages(), smtp_.undelivered(), smtp_.deferred()};
    if (retry.forMs == 0) return report;
    const std::uint32_t now = m_.platform.clock->tickCount();
    auto owedOf = [&](const std::vector<int>& indices) {
        OwedMail owed = owing(job, indices);
        owed.phase = retry.phase;
        owed.mailing = mailings_;
        owed.deadline = now + retry.forMs;
        return owed;
    };
    if (!report.deferred.empty()) {
        std::vector<int> indices;
        for (const SmtpSession::Undelivered& d : report.deferred) indices.push_back(d.index);
        OwedMail owed = owedOf(indices);
        owed.tries = 1;
        owed.due = now + RetryPauseMs(1);
        owed.lastReply = report.deferred.front().reply;
        owed_.push_back(std::move(owed));
    }
    for (std::size_t k = 0; k < held.size(); ++k) {
        OwedMail owed = owedOf({held[k]});
        owed.paced = true;
        owed.due = now + std::uint32_t(k + 1) * gap;
        owed_.push_back(std::move(owed));
    }
    return report;
}

void RoundMailer::retryDue()
{
    if (owed_.empty() || smtp_.running()) return;
    const std::uint32_t now = m_.platform.clock->tickCount();
    for (auto it = owed_.begin(); it != owed_.end();) {
        if (!reached(now, it->deadline)) {
            ++it;
            continue;
        }
        const SjisText reply = it->paced ? SjisText(RunTexts::kNotInTime) : it->lastReply;
        for (const OwedMail::Owed& o : it->owed)
            tell(MailEvent::Kind::GivenUp, it->phase, {0, o.recipient.name, o.recipient.address, "", reply});
        it = owed_.erase(it);
    }
    // The earliest due, with whatever else of its mailing is due by now: one
    // connection takes them all.
    auto due = std::min_element(owed_.begin(), owed_.end(),
                                [](const OwedMail& a, const OwedMail& b) { return std::int32_t(a.due - b.due) < 0; });
    if (due == owed_.end() || !reached(now, due->due)) return;
    OwedMail batch = std::move(*due);
    owed_.erase(due);
    for (auto it = owed_.begin(); it != owed_.end();) {
        const bool same = it->mailing == batch.mailing && it->subject == batch.subject &&
                          it->perRecipient == batch.perRecipient && it->paced == batch.paced;
        if (!same || !reached(now, it->due)) {
            ++it;
            continue;
        }
        batch.owed.insert(batch.owed.end(), it->owed.begin(), it->owed.end());
        batch.tries = std::max(batch.tries, it->tries);
        it = owed_.erase(it);
    }
    SmtpJob job = makeOwedSmtpJob(m_, batch);
    connectJob(job, m_, overrides);
    trying_ = std::move(batch);
    if (!smtpSocket_.isClosed()) smtpSocket_.close();
    smtp_.start(std::move(job));
}

void RoundMailer::smtpEnded()
{
    if (!trying_) return;
    OwedMail tried = std::move(*trying_);
    trying_.reset();
    // Replies naming a question mail sent again answer that question too.
    if (tried.mailing == mailings_)
        for (const std::string& id : smtp_.acceptedMessageIds()) vars_.sentIds.awaited.insert(id);

    const std::vector<int> untaken = smtp_.untaken();
    std::set<int> refused;
    for (const SmtpSession::Undelivered& u : smtp_.undelivered()) {
        refused.insert(u.index);
        tell(MailEvent::Kind::RefusedLater, tried.phase, u);
    }
    for (int i = 0; i < int(tried.owed.size()); ++i) {
        if (refused.count(i) || std::count(untaken.begin(), untaken.end(), i)) continue;
        const SmtpJob::Recipient& r = tried.owed[std::size_t(i)].recipient;
        if (!tried.paced) tell(MailEvent::Kind::TakenLater, tried.phase, {i, r.name, r.address, "", SjisText()});
    }
    if (untaken.empty()) return;

    // What the server said of it, or why the connection failed.
    SjisText words = smtp_.failure().detail;
    if (!smtp_.deferred().empty()) words = smtp_.deferred().front().reply;
    for (const SmtpSession::Undelivered& d : smtp_.deferred())
        if (tried.paced) tell(MailEvent::Kind::PutOff, tried.phase, d);
    OwedMail again = tried;
    again.owed.clear();
    for (int i : untaken) again.owed.push_back(tried.owed[std::size_t(i)]);
    again.paced = false;
    again.tries = tried.tries + 1;
    again.due = m_.platform.clock->tickCount() + RetryPauseMs(again.tries);
    if (!words.empty()) again.lastReply = words;
    owed_.push_back(std::move(again));
}

void RoundMailer::tell(MailEvent::Kind kind, const SjisText& phase, const SmtpSession::Undelivered& who)
{
    if (onMailEvent) onMailEvent({kind, phase, who});
}

SjisText RoundMailer::waitingNote() const
{
    int retried = 0, paced = 0;
    SjisText words;
    auto count = [&](const OwedMail& o) {
        (o.paced ? paced : retried) += int(o.owed.size());
        if (!o.paced && words.empty()) words = o.lastReply;
    };
    for (const OwedMail& o : owed_) count(o);
    if (trying_) count(*trying_);
    if (retried > 0)
        return RunTexts::kRetryOpen + std::to_string(retried) + RunTexts::kMailsUnit + ": " + words + RunTexts::kNoteClose;
    if (paced > 0) return RunTexts::kPacedOpen + std::to_string(paced) + RunTexts::kMailsUnit + RunTexts::kNoteClose;
    return {};
}

FetchReport RoundMailer::fetch(const OutgoingMail& answered, bool roundTellsFailures)
{
    if (!pop3Socket_.isClosed()) pop3Socket_.close();

    // The awaited subject, the earlier fetches' and whose replies count stay
    // as they are for the whole fetch.
    auto context = std::make_shared<ParseContext>(replyContext(m_, answered, vars_.遅れメール, &vars_.sentIds));
    // A report that a player of the round was not reached is told once.
    context->bounced = [this](const FailedDelivery& failed, const std::string& notice) {
        const QuizRun& run = m_.quizRun;
        for (int i = 0; i <= run.AddressLastIndex && i < kAddressSlots; ++i) {
            const SjisText& address = run.ListAddresses[std::size_t(i)];
            if (!sameAddress(address, failed.address)) continue;
            if (!vars_.bouncesTold.insert(notice + ' ' + address).second) return;
            tell(MailEvent::Kind::Bounced, RunTexts::kBouncePhase,
                 {i, run.ListNames[std::size_t(i)], address, "", failed.status + ' ' + failed.diagnostic});
            return;
        }
    };
    Pop3Job job = makeRoundPop3Job(m_, [context](const std::string& messageText) {
        return ParseReceivedMail(messageText, *context);
    });
    connectJob(job, m_, overrides);
    job.ownerTellsFailures = roundTellsFailures;
    pop3_.start(std::move(job));
    waitForSessionEnd(m_.platform, pop3_);
    vars_.遅れメール += ReplySubject(answered);
    vars_.sentIds.fetched();
    return {pop3_.failure(), pop3_.loggedIn()};
}

void RoundMailer::stop()
{
    // Whoever waits for a session's end goes on at once; nothing owed goes
    // out any more.
    owed_.clear();
    trying_.reset();
    smtp_.abandon();
    pop3_.abandon();
}
