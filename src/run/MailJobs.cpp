#include "run/MailJobs.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "codec/Base64.h"
#include "mail/MessageIds.h"
#include "mail/OutgoingMessage.h"
#include "mail/SupportAddress.h"
#include "mail/Transport.h"
#include "model/Records.h"

namespace {

// Every message from the operator, by name and own address, dated and
// numbered as it leaves. A personal mail names its recipient; a text that
// goes to many names nobody, as their addresses stay in the envelope.
void giveHeaders(SmtpJob& job, const Module1& m)
{
    auto ids = std::make_shared<MessageIdMaker>();
    const std::string domain = MessageIdDomain(m.mailSettings.OwnAddress, m.mailSettings.SmtpServer);
    MessageHeaders common;
    common.fixedBlock = BuildHeaderBlock(m.mailSettings.OwnAddress);
    common.from = {m.mailSettings.SenderName, m.mailSettings.OwnAddress};
    common.subject = job.subject;
    std::vector<Mailbox> named;
    if (job.perRecipient || job.recipients.size() == 1)
        for (const SmtpJob::Recipient& r : job.recipients) named.push_back({r.name, r.address});
    job.headersFor = [common, named = std::move(named), ids, domain, clock = m.platform.clock](int index) {
        MessageHeaders h = common;
        const WallTime now = clock->wallTime();
        h.date = MailDate(now);
        h.messageId = ids->next(now, domain);
        if (!named.empty()) h.to = named[std::size_t(index)];
        return h;
    };
}

}  // namespace

std::vector<SmtpJob::Recipient> AddressListRecipients(const QuizRun& run)
{
    std::vector<SmtpJob::Recipient> list;
    const int last = std::min<int>(run.AddressLastIndex, kAddressSlots - 1);
    for (int i = 0; i <= last; ++i)
        list.push_back({run.ListNames[std::size_t(i)], run.ListAddresses[std::size_t(i)]});
    return list;
}

std::vector<SmtpJob::Recipient> ParticipantRecipients(const QuizRun& run)
{
    std::vector<SmtpJob::Recipient> list;
    const ParticipantTable& t = run.participants;
    for (int i = 0; i <= run.ParticipantLastIndex; ++i) {
        if (!t.名前.has(i) || !t.アドレス.has(i)) break;
        list.push_back({t.名前[i], t.アドレス[i]});
    }
    return list;
}

SmtpJob makeRoundSmtpJob(Module1& m, const OutgoingMail& mail, CompleteMailFn complete)
{
    SmtpJob job;
    job.server = m.mailSettings.SmtpServer;
    job.ownAddress = m.mailSettings.OwnAddress;
    job.subject = mail.MailSubject;
    job.perRecipient = mail.PerRecipientMode;
    job.recipients = mail.recipients;
    if (job.perRecipient && complete) {
        job.bodyFor = [&m, body = mail.MailBody, complete = std::move(complete)](int row) {
            return complete(m, row, body);   // the PersonalBody of that player
        };
    } else {
        job.bodyFor = [body = mail.MailBody](int) { return body; };
    }
    giveHeaders(job, m);
    return job;
}

SmtpJob makeOwedSmtpJob(const Module1& m, const OwedMail& mail)
{
    SmtpJob job;
    job.server = m.mailSettings.SmtpServer;
    job.ownAddress = m.mailSettings.OwnAddress;
    job.subject = mail.subject;
    job.perRecipient = mail.perRecipient;
    std::vector<SjisText> bodies;
    for (const OwedMail::Owed& o : mail.owed) {
        job.recipients.push_back(o.recipient);
        bodies.push_back(o.body);
    }
    job.bodyFor = [bodies = std::move(bodies)](int i) { return bodies[std::size_t(i)]; };
    job.showsProgress = false;
    job.quiet = true;
    job.ownerTellsFailures = true;
    giveHeaders(job, m);
    return job;
}

Pop3Job makeRoundPop3Job(Module1& m, std::function<bool(const std::string&)> parse)
{
    Pop3Job job;
    job.server = m.mailSettings.Pop3Server;
    job.account = m.mailSettings.AccountId;
    // A stored password that does not decode logs in with none; the server
    // refuses it and the session ends with QUIT.
    job.password = DecodeBase64Text(m.mailSettings.Password).value_or(SjisText());
    job.parse = std::move(parse);
    job.fetchBegins = [&m] { m.quizRun.ArrivalCounter = 0; };
    return job;
}

SmtpJob makeFeedbackSmtpJob(const Module1& m, const SjisText& subject, const SjisText& body)
{
    SmtpJob job;
    job.server = m.mailSettings.SmtpServer;
    job.ownAddress = m.mailSettings.OwnAddress;
    job.subject = subject;
    job.recipients = {{SjisText(), kSupportAddress}};
    job.bodyFor = [body](int) { return body; };
    job.showsProgress = false;
    giveHeaders(job, m);
    return job;
}

void connectJob(SmtpJob& job, const Module1& m, const SessionOverrides& o)
{
    applySmtpTransport(job, m.transport, m.mailSettings, m.platform.ownHostName());
    if (o.smtpPort != 0) job.port = o.smtpPort;
    job.timeoutMs = o.timeoutMs;
}

void connectJob(Pop3Job& job, const Module1& m, const SessionOverrides& o)
{
    applyPop3Transport(job, m.transport);
    if (o.pop3Port != 0) job.port = o.pop3Port;
    job.timeoutMs = o.timeoutMs;
}
