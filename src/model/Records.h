#pragma once
#include <array>
#include <cstdint>

#include "model/Connection.h"
#include "model/ReplyChoices.h"
#include "model/SizedArray.h"
#include "platform/SjisText.h"

// The records of the data files. Each record lists its members in file order
// once, in visit(); the record encoding and every reader and writer go through
// that list, so the layout is written down in one place per record.

// trv1.dat: the operator's mail account.
struct MailSettings {
    SjisText Pop3Server, SmtpServer, AccountId;
    // Held as EncodeBase64Text of the clear text; stored so, or empty in the
    // file while the keyring keeps it (TransportSettings::PasswordStore).
    SjisText Password;
    SjisText OwnAddress, SenderName;

    template <class V> void visit(V& v) {
        v(Pop3Server); v(SmtpServer); v(AccountId); v(Password); v(OwnAddress); v(SenderName);
    }
    bool operator==(const MailSettings&) const = default;
};

// trv1x.dat: how the mail servers are reached, beside the account of trv1.dat
// (whose layout older folders share). Every member reads 0 or empty from a
// folder without the file, and that is the plain connection of old: SMTP on
// 25 with HELO, POP3 on 110, no TLS, no login.
constexpr int kTrustedCertificateSlots = 16;

struct TransportSettings {
    std::int16_t SmtpPort = 0;         // 0: the usual port for the protection
    std::int16_t SmtpProtection = stored(Protection::None);
    std::int16_t SmtpLoginKind = stored(LoginKind::None);
    SjisText SmtpUser;
    SjisText SmtpPassword;             // held and stored as trv1.dat's password
    std::int16_t Pop3Port = 0;
    std::int16_t Pop3Protection = stored(Protection::None);
    // Certificates the operator chose to trust although they fail the checks:
    // the server's name and the SHA-256 fingerprint ("AB:CD:…"), slot by slot.
    std::array<SjisText, kTrustedCertificateSlots> TrustedServers;
    std::array<SjisText, kTrustedCertificateSlots> TrustedFingerprints;
    // The name to greet the SMTP server with; empty: the machine's own
    // (Platform::hostName), or the address literal when it has none.
    SjisText GreetingName;
    // Where the passwords of both files are kept (passwordPlaceOf). Last, so
    // a file written before it reads the keyring; a password such a file
    // still holds is used from the file until the next save.
    std::int16_t PasswordStore = stored(PasswordPlace::Keyring);
    // At most this many messages a minute, spread evenly; 0: as fast as the
    // server takes them, as always.
    std::int16_t MessagesPerMinute = 0;
    // The provider's limit of recipients a day, for START to warn of a
    // round that may pass it; 0: none known.
    std::int16_t DailyRecipientLimit = 0;

    template <class V> void visit(V& v) {
        v(SmtpPort); v(SmtpProtection); v(SmtpLoginKind); v(SmtpUser); v(SmtpPassword);
        v(Pop3Port); v(Pop3Protection); v(TrustedServers); v(TrustedFingerprints); v(GreetingName);
        v(PasswordStore); v(MessagesPerMinute); v(DailyRecipientLimit);
    }
    bool operator==(const TransportSettings&) const = default;
};

constexpr int kAddressSlots = 1000;

// trv2x.dat: whose replies are read and how their answers are, beside the
// address book of trv2.dat (whose layout older folders share). A folder
// without the file, or a record of zeros, takes the carriers' domains of old
// and of today and reads half-width digits only.
constexpr int kPlayerDomainSlots = 32;

struct ReplySettings {
    std::int16_t PlayersRule = stored(Players::CarrierDomains);   // playersOf
    // One domain a slot; all empty: the carriers' domains the program knows.
    std::array<SjisText, kPlayerDomainSlots> PlayerDomains;
    std::int16_t FullWidthDigits = stored(AnswerDigits::HalfWidth);   // answerDigitsOf

    template <class V> void visit(V& v) { v(PlayersRule); v(PlayerDomains); v(FullWidthDigits); }
    bool operator==(const ReplySettings&) const = default;
};

// trv2.dat (address book) and trv2s<N>.dat (the roster of round N; there
// SendFlags marks who joined).
struct AddressBook {
    std::array<SjisText, kAddressSlots> Names;
    std::array<SjisText, kAddressSlots> Addresses;
    std::array<std::int16_t, kAddressSlots> SendFlags{};

    template <class V> void visit(V& v) { v(Names); v(Addresses); v(SendFlags); }
    bool operator==(const AddressBook&) const = default;
};

// trv4<N>.dat (invitation) and trv6<N>.dat (closing mail): one record type
// serves both files.
struct InvitationMail {
    SjisText Greeting;
    SjisText SenderName;
    std::int16_t Round = 0;          // 0: never saved
    std::int16_t ReplyMinutes = 0;   // stored next to Round, as a pair
    SjisText Subject;
    std::int16_t ByteCount = 0;
    SjisText Body;

    template <class V> void visit(V& v) {
        v(Greeting); v(SenderName); v(Round); v(ReplyMinutes); v(Subject); v(ByteCount); v(Body);
    }
    bool operator==(const InvitationMail&) const = default;
};
using ClosingMail = InvitationMail;

constexpr int kQuestionSlots = 100;
constexpr int kChoiceSlots = 10;

// trv5<N>.dat: the questions of round N. Questions are indexed q = 1..100
// (element 0 of every per-question array is unused and never stored); choices
// f = 0..9. On disk a 100 x 10 block runs q fastest.
struct QuestionSet {
    template <class T> using PerQuestion = std::array<T, kQuestionSlots + 1>;
    template <class T> using PerChoice = std::array<std::array<T, kChoiceSlots>, kQuestionSlots + 1>;

    SjisText QuestionCount;   // decimal text "1".."100"; empty: not set up
    PerQuestion<SjisText> Subject;
    PerQuestion<SjisText> QuestionText;
    PerQuestion<SjisText> Separator;
    PerChoice<SjisText> ChoiceLabel;
    PerChoice<SjisText> ChoiceSeparator;
    PerChoice<SjisText> ChoiceText;
    PerChoice<std::int16_t> ChoiceCorrect{};
    PerQuestion<std::int16_t> ReplyMinutes{};
    PerQuestion<SjisText> QuestionMail;
    PerQuestion<std::int16_t> Reserved{};
    PerQuestion<std::int16_t> CorrectChoice{};
    PerQuestion<std::int16_t> Points{};
    std::int16_t TotalPoints = 0;

    template <class V> void visit(V& v) {
        v(QuestionCount);
        v.perQuestion(Subject); v.perQuestion(QuestionText); v.perQuestion(Separator);
        v.perChoice(ChoiceLabel); v.perChoice(ChoiceSeparator); v.perChoice(ChoiceText);
        v.perChoice(ChoiceCorrect);
        v.perQuestion(ReplyMinutes); v.perQuestion(QuestionMail); v.perQuestion(Reserved);
        v.perQuestion(CorrectChoice); v.perQuestion(Points);
        v(TotalPoints);
    }
    bool operator==(const QuestionSet&) const = default;
};

// trv3.dat: the number of the round that START plays next.
struct RoundCounter {
    std::int16_t CurrentRound = 0;
    template <class V> void visit(V& v) { v(CurrentRound); }
};

// trv7<N>.dat: the participant table of round N. Rows 0..C-1 (C = invited
// addresses), of which rows 0..P-1 are the participants in joining order;
// per-question members have a second index q = 1..Q.
struct ParticipantTable {
    std::int16_t ParticipantCount = 0;
    SizedArray1<std::int16_t> 着信順;
    SizedArray1<std::int16_t> 得点数;
    SizedArray1<std::int16_t> 順位;
    SizedArray1<SjisText> 名前;
    SizedArray1<SjisText> アドレス;
    SizedArray1<std::int16_t> 正解数;
    SizedArray1<std::int16_t> 正解率;
    SizedArray2<std::int16_t> 回答;
    SizedArray2<SjisText> 採点;
    SizedArray1<std::int16_t> Reserved;   // never sized by this system

    template <class V> void visit(V& v) {
        v(ParticipantCount);
        v(着信順); v(得点数); v(順位); v(名前); v(アドレス); v(正解数); v(正解率);
        v(回答); v(採点); v(Reserved);
    }
    bool operator==(const ParticipantTable&) const = default;
};
