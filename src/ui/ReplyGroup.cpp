#include "ui/ReplyGroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QVBoxLayout>

#include <string>
#include <vector>

#include "mail/Players.h"
#include "ui/Widgets.h"

namespace {

// Every text of the group.
constexpr const char* kTitle = "返信の受け付け";
constexpr const char* kPlayers = "参加できる人";
constexpr const char* kCarrierDomainsOnly = "携帯電話のドメインのみ";
constexpr const char* kWholeAddressBook = "アドレス帳の全員";
constexpr const char* kDomains = "携帯電話のドメイン";
constexpr const char* kDomainsHint = "1行に1つ。サブドメインも含みます。";
constexpr const char* kFullWidthDigits = "全角数字の答えも受け付ける";
constexpr const char* kTooManyDomains = "「%1」は%2件までです。多い分を消して下さい。";
constexpr const char* kOnlyWithDomains = "（「%1」を「%2」にすると直せます。）";

// The box's lines as the operator typed them; storePlayerDomains() drops
// the CR of each line end along with spaces. No Shift_JIS trail byte is
// '\n', so the bytes can be split as they are.
std::vector<std::string> linesOf(const SjisText& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != SjisText::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    lines.push_back(text.substr(start));
    return lines;
}

}  // namespace

ReplyGroup::ReplyGroup(QWidget* parent) : QGroupBox(uiText(kTitle), parent) {
    setAccessibleName(uiText(kTitle));

    // Each entry carries the value it stands for, so the file holds the
    // rule, never the entry's place in the list.
    players = new QComboBox(this);
    players->addItem(uiText(kCarrierDomainsOnly), int(stored(Players::CarrierDomains)));
    players->addItem(uiText(kWholeAddressBook), int(stored(Players::AddressBook)));
    nameComboBox(players, uiText(kPlayers));

    domains = new QPlainTextEdit(this);
    domains->setAccessibleName(uiText(kDomains));
    domains->setLineWrapMode(QPlainTextEdit::NoWrap);
    // A domain never holds a tab: Tab moves on, as in every other box.
    domains->setTabChangesFocus(true);
    // The carriers' seven and one more show without scrolling.
    const qreal margins = 2 * (domains->frameWidth() + domains->document()->documentMargin());
    domains->setFixedHeight(domains->fontMetrics().lineSpacing() * 8 + int(margins));
    guardText(domains);
    domainsHint = captionLabel(uiText(kDomainsHint), this);

    fullWidthDigits = new QCheckBox(uiText(kFullWidthDigits), this);
    fullWidthDigits->setAccessibleName(uiText(kFullWidthDigits));

    // Captions above their boxes keep the group narrow beside the list.
    auto* column = new QVBoxLayout;
    column->addWidget(captionLabel(uiText(kPlayers), this, players));
    column->addWidget(players);
    column->addWidget(captionLabel(uiText(kDomains), this, domains));
    column->addWidget(domains);
    column->addWidget(domainsHint);
    column->addWidget(fullWidthDigits);
    column->addStretch();
    setLayout(column);

    connect(players, &QComboBox::currentIndexChanged, this, &ReplyGroup::followPlayers);
    followPlayers();
}

void ReplyGroup::followPlayers() {
    // The list only decides under the domain rule; it stays as typed meanwhile.
    const bool byDomain = playersOf(std::int16_t(players->currentData().toInt())) == Players::CarrierDomains;
    domains->setEnabled(byDomain);
    domainsHint->setEnabled(byDomain);
}

void ReplyGroup::load(const ReplySettings& s) {
    players->setCurrentIndex(players->findData(int(stored(playersOf(s.PlayersRule)))));
    SjisText lines;
    for (const std::string& d : playerDomainsOf(s)) lines += (lines.empty() ? "" : "\r\n") + d;
    setText(domains, lines);
    shownDomains_ = domains->toPlainText();
    fullWidthDigits->setChecked(answerDigitsOf(s.FullWidthDigits) == AnswerDigits::FullWidthToo);
    followPlayers();
}

QList<FieldCheck> ReplyGroup::checks() const {
    // A list left as shown is kept as stored and needs no look.
    if (domains->toPlainText() == shownDomains_) return {};
    QString problem = textProblem(domains);
    if (problem.isEmpty()) {
        ReplySettings probe;
        if (!storePlayerDomains(probe, linesOf(textOf(domains))))
            problem = uiText(kTooManyDomains).arg(domains->accessibleName()).arg(kPlayerDomainSlots);
    }
    if (problem.isEmpty() || domains->isEnabled()) return {FieldCheck{problem, domains}};
    // Typed under the domain rule, then the address book chosen: the box is
    // greyed out, so the way back to it is named.
    return {FieldCheck{problem + uiText(kOnlyWithDomains).arg(uiText(kPlayers), uiText(kCarrierDomainsOnly)), players}};
}

void ReplyGroup::store(ReplySettings& s) const {
    // What is left as it was shown keeps its stored value.
    const Players chosen = playersOf(std::int16_t(players->currentData().toInt()));
    if (chosen != playersOf(s.PlayersRule)) s.PlayersRule = stored(chosen);
    if (domains->toPlainText() != shownDomains_) storePlayerDomains(s, linesOf(textOf(domains)));
    const AnswerDigits digits = fullWidthDigits->isChecked() ? AnswerDigits::FullWidthToo : AnswerDigits::HalfWidth;
    if (digits != answerDigitsOf(s.FullWidthDigits)) s.FullWidthDigits = stored(digits);
}
