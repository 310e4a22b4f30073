#pragma once
// The demonstration round a newcomer plays on the project's own mail servers:
// what the operator has prepared (settings, address book, invitation, three
// questions, closing mail) and how each of the thirteen simulated phones
// behaves. The data tool writes the first, the phones program plays the
// second, and the end-to-end test of the demonstration checks the program's
// results against both.
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

#include "demo/PreparedRound.h"
#include "demo/SimulatedPhones.h"

namespace demo {

// How a phone writes the subject of its reply.
enum class SubjectStyle {
    EncodedWord,   // Re: =?ISO-2022-JP?B?...?=
    RawJis,        // Re: followed by raw ISO-2022-JP
    Echo,          // Re: followed by the subject bytes exactly as received
};

// How a phone writes the body of its answer.
enum class BodyStyle {
    JisLine,       // ISO-2022-JP, the line "答:N" only
    JisQuote,      // ISO-2022-JP, the question quoted with its answer line filled in
    SjisLine,      // Shift_JIS (8bit), the line "答:N" only
};

struct Player {
    QString name;
    QString address;
    bool joins = true;
    SubjectStyle subject = SubjectStyle::EncodedWord;
    BodyStyle body = BodyStyle::JisLine;
    // One entry per question: "N" the choice written, "" no answer,
    // "N+M" two replies (the first counts), "late N" choice N sent only
    // after the next mail has arrived, "?" a choice nobody can read (a
    // full-width digit).
    QStringList answers;
    // A phone of today answers from a mail app, which writes subject and body
    // its own way ("答:N" on top of the quoted mail): `subject` and `body`
    // are for a feature phone only.
    ReplyShape app = ReplyShape::Feature;
};

// The players in address-book order, every one marked for sending.
const QList<Player>& players();

// The round ready for START as round number `round`, with both mail servers
// at `server`.
PreparedRound round(int round, const QString& server);

// Whether `address` is at one of the carriers whose phones take part.
bool isCarrierAddress(const QString& address);

// The points `player` earns in the demonstration round: the questions whose
// first readable answer, sent in time, is the right choice.
int expectedPoints(const Player& player, const PreparedRound& round);

// The phone's script. Each reply leaves after a random delay between a sixth
// and two thirds of `replyWindowMs` (`randomMs(lo, hi)` draws it), so every
// answer but the late one arrives within the reply time.
PhoneScript script(const Player& player, int replyWindowMs, std::function<int(int, int)> randomMs);

}  // namespace demo
