#pragma once
// A round ready for START, written into a program folder with the program's
// own records and mail texts, as the editor windows would have left it: mail
// settings, address book, round counter, invitation, questions (their mails
// composed) and closing mail.
#include <QList>
#include <QString>
#include <QStringList>

#include "model/Records.h"
#include "platform/DataFiles.h"
#include "demo/RealServers.h"

struct PreparedRound {
    struct Entry {
        QString name;
        QString address;
        bool send = true;
    };
    struct Question {
        QString subject;   // empty: the subject a new question starts with
        QString text;
        QStringList choices;
        int correct = 1;   // the position of the right choice, 1..10
        int points = 10;
        int minutes = 1;
    };

    int round = 1;
    // The operator's account on the suite's mail servers.
    QString pop3Server = QString::fromLatin1(RealServers::host);
    QString smtpServer = QString::fromLatin1(RealServers::host);
    QString account = QString::fromLatin1(RealServers::operatorAddress);
    QString password = QString::fromLatin1(RealServers::password);
    QString ownAddress = QString::fromLatin1(RealServers::operatorAddress);
    QString senderName = QString::fromUtf8("クイズ事務局");
    QList<Entry> addressBook;
    QString invitationSubject;   // empty: the subject offered for the round
    int replyMinutes = 1;
    QList<Question> questions;
    QString closingSubject;      // empty: the subject offered for the round

    MailSettings mailSettings() const;
    AddressBook book() const;
    InvitationMail invitation() const;
    QuestionSet questionSet() const;
    ClosingMail closingMail() const;
    int totalPoints() const;

    // The round many tests play: three invitees (taro@docomo.ne.jp,
    // hanako@ezweb.ne.jp, jiro@t.vodafone.ne.jp) and two questions of two
    // choices, the first right with 1 (10 points), the second with 2 (20
    // points); the invitation has no reply time at all.
    static PreparedRound small();

    // Writes all six files (the counter holding `round`); false if one failed.
    bool writeTo(DataFiles& files) const;
};
