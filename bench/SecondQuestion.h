#pragma once
// The moment the mail benchmarks measure: the second question of a round
// about to go to every participant, each mail completed with that player's
// mark, rank and points (half of them right on the first question), on the
// operator's account of the private mail servers.
#include <functional>
#include <string>

#include "codec/Base64.h"
#include "model/Module1.h"
#include "run/MailJobs.h"
#include "run/Scoring.h"
#include "demo/RealServers.h"
#include "support/TestWorld.h"   // sjis()

// Participant i (from 0) of `count` has the address `address(i)`. Gives the
// second question's mailing.
inline OutgoingMail prepareSecondQuestion(Module1& m, int count, const std::function<std::string(int)>& address)
{
    m.mailSettings.SmtpServer = RealServers::host;
    m.mailSettings.Pop3Server = RealServers::host;
    m.mailSettings.AccountId = RealServers::operatorAddress;
    m.mailSettings.Password = EncodeBase64Text(RealServers::password);
    m.mailSettings.OwnAddress = RealServers::operatorAddress;

    sizeParticipantTable(m, count, 2);
    ParticipantTable& t = m.quizRun.participants;
    for (int i = 0; i < count; ++i) {
        m.quizRun.ListNames[std::size_t(i)] = "p" + std::to_string(i);
        m.quizRun.ListAddresses[std::size_t(i)] = address(i);
        m.quizRun.ListJoined[std::size_t(i)] = 1;
        t.名前[i] = m.quizRun.ListNames[std::size_t(i)];
        t.アドレス[i] = m.quizRun.ListAddresses[std::size_t(i)];
        t.得点数[i] = std::int16_t(i % 2 ? 10 : 0);
        t.着信順[i] = std::int16_t(i % 2 ? i : 1000 + i);
        t.採点.at(i, 1) = sjis(i % 2 ? "○" : "×");
    }
    t.ParticipantCount = count;
    m.quizRun.AddressLastIndex = count - 1;
    m.quizRun.ParticipantLastIndex = count - 1;
    m.questionSet.CorrectChoice[2] = 3;
    m.questionSet.Points[2] = 10;
    m.questionSet.TotalPoints = 20;
    sizeAnswerTables(m, count, 2);
    Rank(m);
    m.quizRun.CurrentQuestion = 2;
    return OutgoingMail{sjis("第2問"),
                        sjis("********************\r\n* TRIVORN          *\r\n--------------------\r\n"
                             "問題1:×\r\n順位:xxx位\r\n合計得点:xxx/20\r\n\r\n日本一高い山は？\r\n"
                             "1.富士山\r\n2.北岳\r\n3.奥穂高岳\r\n答:"),
                        true, ParticipantRecipients(m.quizRun)};
}
