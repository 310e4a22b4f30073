#include "demo/DemoRound.h"

#include "mail/Players.h"

namespace demo {

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

constexpr int kQuestions = 3;

}  // namespace

const QList<Player>& players() {
    using S = SubjectStyle;
    using B = BodyStyle;
    using A = ReplyShape;
    static const QList<Player> list = {
        {u("山田太郎"), "taro@docomo.ne.jp", true, S::EncodedWord, B::JisQuote, {"1", "3", "1"}},
        {u("鈴木花子"), "hanako@docomo.ne.jp", true, S::RawJis, B::SjisLine, {"1", "3", "2"}},
        {u("佐藤次郎"), "jiro@docomo.ne.jp", true, S::Echo, B::JisLine, {"2", "3", "1"}},
        // au Mail on a smartphone.
        {u("高橋さくら"), "taro@au.com", true, S::EncodedWord, B::JisLine, {"1", "3+4", "1"}, A::Utf8EightBitQSubject},
        // Android's Gmail app with the carrier's account.
        {u("田中一郎"), "taro@softbank.ne.jp", true, S::EncodedWord, B::JisLine, {"4", "3", "1"}, A::GmailAlternative},
        {u("伊藤はな"), "hanako@ezweb.ne.jp", true, S::RawJis, B::JisQuote, {"1", "?", "1"}},
        // The carrier's mail read in Outlook on a computer.
        {u("渡辺健"), "hanako@softbank.ne.jp", true, S::EncodedWord, B::JisLine, {"1", "2", "3"}, A::Outlook},
        {u("中村桜"), "sakura@ezweb.ne.jp", false, S::EncodedWord, B::JisLine, {}},
        {u("小林誠"), "taro@t.vodafone.ne.jp", true, S::EncodedWord, B::JisLine, {"late 1", "3", "1"}},
        // iPhone Mail with SoftBank's address for it.
        {u("加藤愛"), "taro@i.softbank.jp", true, S::EncodedWord, B::JisLine, {"1", "3", ""}, A::IphoneQuotedPrintable},
        {u("吉田翔"), "jiro@t.vodafone.ne.jp", true, S::Echo, B::JisQuote, {"2", "1", "4"}},
        // Y!mobile's mail app, which sends HTML alone.
        {u("山本優"), "taro@ymobile.ne.jp", true, S::EncodedWord, B::JisLine, {"1", "3", "1"}, A::HtmlOnly},
        // Answers like everyone else, but from a computer: not a player.
        {u("松本外"), "taro@example.com", true, S::EncodedWord, B::JisLine, {"1", "3", "1"}},
    };
    return list;
}

PreparedRound round(int number, const QString& server) {
    PreparedRound r;
    r.round = number;
    r.pop3Server = r.smtpServer = server;
    r.senderName = u("ニッポン雑学クイズ事務局");
    for (const Player& p : players()) r.addressBook << PreparedRound::Entry{p.name, p.address, true};
    r.replyMinutes = 1;
    r.questions = {
        {{}, u("【地理】日本で一番面積の大きい都道府県はどこでしょう?"),
         {u("北海道"), u("岩手県"), u("長野県"), u("新潟県")}, 1, 10, 1},
        {{}, u("【歴史】1603年に江戸幕府を開いたのは誰でしょう?"),
         {u("織田信長"), u("豊臣秀吉"), u("徳川家康"), u("足利尊氏"), u("源頼朝")}, 3, 20, 1},
        {{}, u("【食べ物】「讃岐うどん」で有名なのはどの県でしょう?"),
         {u("香川県"), u("徳島県"), u("愛媛県"), u("高知県")}, 1, 30, 1},
    };
    return r;
}

bool isCarrierAddress(const QString& address) {
    for (std::string_view domain : kCarrierDomains)
        if (inDomain(address.toStdString(), domain)) return true;
    return false;
}

int expectedPoints(const Player& player, const PreparedRound& r) {
    int points = 0;
    for (int q = 0; q < player.answers.size() && q < r.questions.size(); ++q) {
        const QString first = player.answers[q].split('+').first();
        if (first == QString::number(r.questions[q].correct)) points += r.questions[q].points;
    }
    return points;
}

PhoneScript script(const Player& player, int replyWindowMs, std::function<int(int, int)> randomMs) {
    return [player, replyWindowMs, randomMs](const PhoneMail& mail, int index) -> QList<PhoneReply> {
        auto reply = [&](const QString& text, BodyStyle style) {
            PhoneReply r;
            if (player.app != ReplyShape::Feature) {
                r = appReply(mail, player.app, text);
                r.delayMs = randomMs(replyWindowMs / 6, replyWindowMs * 2 / 3);
                return r;
            }
            switch (player.subject) {
            case SubjectStyle::EncodedWord: r.subject = encodedWordSubject(mail.subject); break;
            case SubjectStyle::RawJis: r.subject = rawJisSubject(mail.subject); break;
            case SubjectStyle::Echo: r.subject = echoedSubject(mail); break;
            }
            switch (style) {
            case BodyStyle::JisLine: r.body = jisText(text + '\n'); break;
            case BodyStyle::JisQuote: r.body = quotedAnswerBody(mail, text); break;
            case BodyStyle::SjisLine:
                r.body = sjisText(text + '\n');
                r.charset = "Shift_JIS";
                break;
            }
            r.delayMs = randomMs(replyWindowMs / 6, replyWindowMs * 2 / 3);
            return r;
        };
        // The invitation comes first; a joining phone says so in words.
        if (index == 0)
            return player.joins ? QList<PhoneReply>{reply(u("参加します。よろしくお願いします。"), BodyStyle::JisLine)}
                                : QList<PhoneReply>{};
        // Then the questions, then the closing mail, which nobody answers.
        if (index > kQuestions || index > player.answers.size()) return {};
        QString planned = player.answers[index - 1];
        if (planned.isEmpty()) return {};
        auto answer = [&](const QString& choice) {
            const QString written = choice == "?" ? u("３") : choice;
            const bool fillsAnswerLine = player.app == ReplyShape::Feature && player.body == BodyStyle::JisQuote;
            return reply(fillsAnswerLine ? written : u("答:") + written, player.body);
        };
        if (planned.startsWith("late ")) {
            PhoneReply late = answer(planned.mid(5));
            late.holdUntilNextMail = true;
            late.delayMs = 0;
            return {late};
        }
        QList<PhoneReply> out;
        for (const QString& choice : planned.split('+')) out << answer(choice);
        // A second thought goes after the first, never before it.
        for (int i = 1; i < out.size(); ++i) out[i].delayMs = out[i - 1].delayMs + 200;
        return out;
    };
}

}  // namespace demo
