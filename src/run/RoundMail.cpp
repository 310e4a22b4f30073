#include "run/RoundMail.h"

#include <memory>
#include <utility>

#include "mail/ReceivedMailParser.h"
#include "run/MailJobs.h"
#include "run/RunTexts.h"
#include "run/Scoring.h"
#include "run/Waiting.h"

RoundMailer::RoundMailer(Module1& m, RoundNotes& vars, SessionView& view, Socket& smtpSocket,
                         Timer& smtpTimer, Socket& pop3Socket, Timer& pop3Timer)
    : m_(m), vars_(vars), view_(view), smtpSocket_(smtpSocket), pop3Socket_(pop3Socket),
      smtp_(smtpSocket, smtpTimer, view), pop3_(pop3Socket, pop3Timer, view)
{
}

MailingReport RoundMailer::send(const OutgoingMail& mail, bool roundTellsFailures)
{
    if (!smtpSocket_.isClosed()) smtpSocket_.close();
    view_.setStatus(mail.MailSubject + RunTexts::kSending);

    SmtpJob job = makeRoundSmtpJob(m_, mail, CompleteMail);
    connectJob(job, m_, overrides);
    job.ownerTellsFailures = roundTellsFailures;
    smtp_.start(std::move(job));
    waitForSessionEnd(m_.platform, smtp_);
    vars_.sentIds.mailed(smtp_.acceptedMessageIds());
    return {smtp_.failure(), smtp_.acceptedMessages(), smtp_.undelivered()};
}

FetchReport RoundMailer::fetch(const OutgoingMail& answered, bool roundTellsFailures)
{
    if (!pop3Socket_.isClosed()) pop3Socket_.close();

    // The awaited subject, the earlier fetches' and whose replies count stay
    // as they are for the whole fetch.
    auto context = std::make_shared<ParseContext>(replyContext(m_, answered, vars_.遅れメール, &vars_.sentIds));
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
    // Whoever waits for a session's end goes on at once.
    smtp_.abandon();
    pop3_.abandon();
}
