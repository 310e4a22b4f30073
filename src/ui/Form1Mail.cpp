// The main window's part in a round's mail: sending one mail and fetching the
// replies, each as one SMTP or POP3 session on the window's own sockets.

#include <utility>

#include "mail/OutgoingMessage.h"
#include "mail/ReceivedMailParser.h"
#include "mail/RoundMailJobs.h"
#include "platform/qt/Charset.h"
#include "run/Scoring.h"
#include "run/Waiting.h"
#include "ui/Form1.h"

SmtpSession& Form1::smtpSession()
{
    if (!smtpSession_) smtpSession_ = std::make_unique<SmtpSession>(*Winsock1, *Timer1, sessionView_);
    return *smtpSession_;
}

Pop3Session& Form1::pop3Session()
{
    if (!pop3Session_) pop3Session_ = std::make_unique<Pop3Session>(*Winsock2, *Timer2, sessionView_);
    return *pop3Session_;
}

void Form1::sendMail()
{
    OutgoingMail& mail = m.outgoingMail;
    if (!Winsock1->isClosed()) Winsock1->close();
    setStatus(mail.MailSubject + Charset::toSjis(QString::fromUtf8("の送信です。しばらくお待ち下さい。")));
    vars.sw = 0;
    BuildHeaderBlock(mail, m.mailSettings.OwnAddress);
    m.quizRun.SessionState = "Connect";

    SmtpJob job = makeRoundSmtpJob(m, CompleteMail);
    job.port = smtpPort;
    job.timeoutMs = sessionTimeoutMs;
    smtpSession().start(std::move(job));
    waitForSessionEnd(m.platform, vars.sw);
}

void Form1::fetchReplies()
{
    if (!Winsock2->isClosed()) Winsock2->close();
    vars.sw = 0;
    m.quizRun.SessionState = "Connect";

    Pop3Job job = makeRoundPop3Job(m, [this](const std::string& messageText) {
        ParseContext context = replyContext(m, vars.遅れメール);
        return ParseReceivedMail(messageText, context);
    });
    job.port = pop3Port;
    job.timeoutMs = sessionTimeoutMs;
    pop3Session().start(std::move(job));
    waitForSessionEnd(m.platform, vars.sw);
    vars.遅れメール += m.outgoingMail.MailSubject;
}
