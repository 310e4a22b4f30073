#include "demo/PreparedRound.h"

#include <memory>
#include <string>

#include "codec/Base64.h"
#include "model/FileNames.h"
#include "model/QuestionRules.h"
#include "model/RecordFiles.h"
#include "platform/qt/Charset.h"
#include "run/ClosingMailText.h"
#include "run/InvitationText.h"
#include "run/QuestionDefaults.h"
#include "run/QuestionMailText.h"

namespace {
SjisText s(const QString& text) { return Charset::toSjis(text); }
}  // namespace

MailSettings PreparedRound::mailSettings() const {
    MailSettings settings;
    settings.Pop3Server = s(pop3Server);
    settings.SmtpServer = s(smtpServer);
    settings.AccountId = s(account);
    settings.Password = EncodeBase64Text(s(password));
    settings.OwnAddress = s(ownAddress);
    settings.SenderName = s(senderName);
    return settings;
}

AddressBook PreparedRound::book() const {
    AddressBook b;
    for (int i = 0; i < addressBook.size() && i < kAddressSlots; ++i) {
        b.Names[std::size_t(i)] = s(addressBook[i].name);
        b.Addresses[std::size_t(i)] = s(addressBook[i].address);
        b.SendFlags[std::size_t(i)] = addressBook[i].send ? 1 : 0;
    }
    return b;
}

InvitationMail PreparedRound::invitation() const {
    const SjisText roundText = std::to_string(round);
    InvitationMail mail;
    mail.Greeting = kGreetingAfternoon;
    mail.SenderName = s(senderName);
    mail.Round = std::int16_t(round);
    mail.ReplyMinutes = std::int16_t(replyMinutes);
    mail.Subject = invitationSubject.isEmpty() ? InvitationSubject(roundText) : s(invitationSubject);
    mail.Body = InvitationBody(mail.Greeting, mail.SenderName, roundText, std::to_string(replyMinutes));
    mail.ByteCount = std::int16_t(mail.Body.size());
    return mail;
}

int PreparedRound::totalPoints() const {
    int total = 0;
    for (const Question& q : questions) total += q.points;
    return total;
}

QuestionSet PreparedRound::questionSet() const {
    QuestionSet set;
    // Every question as the question editor starts it, the ones beyond the
    // round's too: opened in the editor and saved untouched, the file stays
    // byte for byte as written here.
    SetQuestionDefaults(set, std::to_string(round));
    set.QuestionCount = std::to_string(questions.size());
    set.TotalPoints = std::int16_t(totalPoints());
    for (int i = 0; i < questions.size() && i < kQuestionSlots; ++i) {
        const Question& question = questions[i];
        const int q = i + 1;
        if (!question.subject.isEmpty()) set.Subject[q] = s(question.subject);
        set.QuestionText[q] = s(question.text);
        for (int f = 0; f < question.choices.size() && f < kChoiceSlots; ++f)
            set.ChoiceText[q][f] = s(question.choices[f]);
        MarkCorrect(set, q, question.correct - 1);
        set.ReplyMinutes[q] = std::int16_t(question.minutes);
        set.Points[q] = std::int16_t(question.points);
    }
    ComposeAllQuestionMails(set);
    return set;
}

ClosingMail PreparedRound::closingMail() const {
    const SjisText roundText = std::to_string(round);
    auto set = std::make_unique<QuestionSet>(questionSet());
    ClosingMail mail;
    mail.Greeting = closingtext::Greeting1;
    mail.SenderName = s(senderName);
    mail.Round = std::int16_t(round);
    mail.Subject = closingSubject.isEmpty() ? DefaultClosingSubject(roundText) : s(closingSubject);
    mail.Body = BuildClosingMailText(mail.Greeting, mail.SenderName, roundText, *set);
    mail.ByteCount = std::int16_t(mail.Body.size());
    return mail;
}

bool PreparedRound::writeTo(DataFiles& files) const {
    const SjisText roundText = std::to_string(round);
    auto addressBookRecord = std::make_unique<AddressBook>(book());
    auto set = std::make_unique<QuestionSet>(questionSet());
    bool ok = writeRecordFile(files, FileNames::kMailSettings, mailSettings());
    ok = writeRecordFile(files, FileNames::kAddressBook, *addressBookRecord) && ok;
    ok = writeRoundCounter(files, std::int16_t(round)) && ok;
    ok = writeRecordFile(files, roundFileName(FileNames::kInvitationPrefix, roundText), invitation()) && ok;
    ok = writeQuestionFile(files, roundText, *set) && ok;
    ok = writeRecordFile(files, roundFileName(FileNames::kClosingMailPrefix, roundText), closingMail()) && ok;
    return ok;
}

PreparedRound PreparedRound::small() {
    auto u = [](const char* utf8) { return QString::fromUtf8(utf8); };
    PreparedRound r;
    r.replyMinutes = 0;
    r.addressBook = {{u("山田"), "taro@docomo.ne.jp"}, {u("鈴木"), "hanako@ezweb.ne.jp"},
                     {u("佐藤"), "jiro@t.vodafone.ne.jp"}};
    r.questions = {{{}, u("日本一高い山は?"), {u("富士山"), u("北岳")}, 1, 10, 1},
                   {{}, u("日本一長い川は?"), {u("利根川"), u("信濃川")}, 2, 20, 1}};
    return r;
}
