#include "run/RoundSetup.h"

#include "mail/Players.h"
#include "mail/StoredPasswords.h"
#include "model/FileNames.h"
#include "model/NumberField.h"
#include "model/RecordFiles.h"
#include "run/RunTexts.h"

namespace {

// `record` emptied, then filled from `name` if that file can be read.
template <class R>
void readSetupFile(DataFiles& files, const std::string& name, R& record) {
    record = R{};
    readRecordFile(files, name, record, DataFiles::Mode::ReadOnly);
}

}  // namespace

std::optional<int> QuestionCountOf(const QuestionSet& set) {
    return wholeNumberIn(set.QuestionCount, 1, kQuestionSlots);
}

std::optional<SjisText> ReadRoundSetup(Module1& m) {
    DataFiles& files = *m.platform.files;
    const SjisText& round = m.quizRun.RoundNumber;

    m.mailSettings = MailSettings{};
    const MailSettingsRead settings = readMailSettings(m, DataFiles::Mode::ReadOnly);
    if (m.mailSettings.Pop3Server.empty()) return SjisText(RunTexts::kSetMailSettings);
    // Without its password the round would only fail at the first login,
    // naming the password as if it were wrong.
    if (settings.keyringFailed) return SjisText(RunTexts::kPasswordsNotRead);

    readSetupFile(files, FileNames::kAddressBook, m.addressBook);
    m.replySettings = ReadReplySettings(files);
    if (m.addressBook.Names[0].empty()) return SjisText(RunTexts::kSetAddressBook);

    if (const auto stored = readRoundCounter(files)) m.quizRun.CurrentRound = *stored;

    readSetupFile(files, roundFileName(FileNames::kInvitationPrefix, round), m.invitationMail);
    if (m.invitationMail.Greeting.empty()) return SjisText(RunTexts::kSetInvitation);

    readSetupFile(files, roundFileName(FileNames::kQuestionPrefix, round), m.questionSet);
    if (!QuestionCountOf(m.questionSet)) return SjisText(RunTexts::kSetQuestions);

    readSetupFile(files, roundFileName(FileNames::kClosingMailPrefix, round), m.closingMail);
    if (m.closingMail.Subject.empty()) return SjisText(RunTexts::kSetClosingMail);

    return std::nullopt;
}

int BuildAddressList(Module1& m) {
    QuizRun& run = m.quizRun;
    const AddressBook& book = m.addressBook;
    run.ListNames.fill(SjisText());
    run.ListAddresses.fill(SjisText());
    run.ListJoined.fill(0);
    int c = 0;
    for (int i = 0; i < kAddressSlots; ++i) {
        if (!IsInvited(book, i)) continue;
        run.ListNames[std::size_t(c)] = book.Names[std::size_t(i)];
        run.ListAddresses[std::size_t(c)] = book.Addresses[std::size_t(i)];
        ++c;
    }
    run.AddressLastIndex = std::int16_t(c - 1);
    return c;
}

bool IsInvited(const AddressBook& book, int slot) {
    const SjisText& address = book.Addresses[std::size_t(slot)];
    return book.SendFlags[std::size_t(slot)] != 0 && !address.empty() && address != " ";
}

RoundRecipients MostRecipients(int invited, int questionCount) {
    return {invited, invited * questionCount, invited};
}
