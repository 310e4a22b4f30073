// Replies of today's shapes read and judged by the program and by Python's
// email package, from the same bytes: 1000 replies made from the corpus of
// tests/data/replies (Gmail's alternative in Base64 with HTML, iPhone Mail's
// quoted-printable, UTF-8 8bit, HTML only, Outlook's ISO-2022-JP, EUC-JP,
// nested multi-parts), each from a participant of its own. The program: the
// round's reply parser and answer scoring, with the participants in the
// address book; the peer: bench/peers/read_replies.py. Both read from
// memory; each side's best of five rounds counts.
//
// Prints one Markdown table row (no header: bench/compare.sh writes it) and
// detail lines; the exit status is 1 when a reply was not judged.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <limits>

#include "mail/ReceivedMailParser.h"
#include "run/Scoring.h"
#include "support/TestWorld.h"

#include "BenchFolder.h"
#include "SecondQuestion.h"

namespace {

constexpr int kReplies = 1000;
constexpr int kRounds = 5;

// The corpus's replies written by today's apps; the old phones' shapes are
// measured by bench_compare_mail.
const char* const kShapes[] = {
    "01-gmail-alternative", "02-iphone-icloud", "03-iphone-softbank", "04-au-utf8-8bit",
    "05-ymobile-html-only", "06-neomutt-softbank", "07-neomutt-gmail-colon", "09-outlook-original-message",
    "11-outlook-japanese", "23-subject-two-words", "25-euc-jp-8bit", "26-utf8-bom-base64",
    "27-sjis-subject", "30-nested-related-pdf",
};

QString sourceDir() {
    const QByteArray env = qgetenv("TRV_SOURCE_DIR");
    if (!env.isEmpty()) return QString::fromLocal8Bit(env);
    return benchFolder() + "/..";
}

std::string participant(int i) { return "player" + std::to_string(i + 1) + "@"; }

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TestWorld world;
    Module1& m = world.module1;
    const QString corpus = sourceDir() + "/tests/data/replies/";

    // Reply i is shape i mod N, its sender's mailbox renamed to participant i's.
    QTemporaryDir folder;
    std::vector<std::string> replies;
    std::vector<std::string> addresses;
    const int shapes = int(std::size(kShapes));
    for (int i = 0; i < kReplies; ++i) {
        QFile f(corpus + kShapes[i % shapes] + ".eml");
        if (!f.open(QIODevice::ReadOnly)) {
            std::printf("CHECK FAILED: cannot read %s\n", qPrintable(f.fileName()));
            return 1;
        }
        QByteArray text = f.readAll();
        // The corpus writes the sender's address alike in Return-Path and From.
        const QRegularExpressionMatch path = QRegularExpression("Return-Path: <([^>@]+@([^>]+))>").match(text);
        if (!path.hasMatch()) {
            std::printf("CHECK FAILED: no Return-Path in %s\n", qPrintable(f.fileName()));
            return 1;
        }
        const std::string own = participant(i) + path.captured(2).toStdString();
        text.replace(path.captured(1).toLatin1(), QByteArray::fromStdString(own));
        addresses.push_back(own);
        QFile out(folder.filePath(QString("%1.eml").arg(i, 4, 10, QChar('0'))));
        if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size()) return 1;
        replies.push_back("+OK message follows\r\n" + text.toStdString() + ".\r\n");
    }

    // The program: every reply through the parser into the scoring of a
    // question whose participants are everyone in the address book.
    OutgoingMail question = prepareSecondQuestion(m, kReplies, [&](int i) { return addresses[std::size_t(i)]; });
    for (int i = 0; i < kReplies; ++i) m.addressBook.Addresses[std::size_t(i)] = addresses[std::size_t(i)];
    m.replySettings.PlayersRule = stored(Players::AddressBook);
    question.MailSubject = sjis("第3回のクイズ第1問");
    qint64 bestNs = std::numeric_limits<qint64>::max();
    int judged = 0;
    for (int round = 0; round < kRounds; ++round) {
        sizeAnswerTables(m, kReplies, 2);
        QElapsedTimer timer;
        timer.start();
        ParseContext context = replyContext(m, question, {});
        for (const std::string& reply : replies) ParseReceivedMail(reply, context);
        bestNs = std::min(bestNs, timer.nsecsElapsed());
        judged = 0;
        for (int p = 0; p < kReplies; ++p) judged += m.quizRun.Answered.at(p, 2) ? 1 : 0;
    }
    const double programMs = double(bestNs) / 1e6;
    std::printf("program: %d replies read and judged in %.1f ms (best of %d); %d judged\n", kReplies, programMs,
                kRounds, judged);

    const QString python = qEnvironmentVariable("TRV_PEER_PYTHON", "/usr/bin/python3");
    QProcess peer;
    peer.start(python, {sourceDir() + "/bench/peers/read_replies.py", folder.path(), QString::fromUtf8("第3回のクイズ第1問"),
                        QString::number(kRounds)});
    peer.waitForFinished(600000);
    QJsonObject result;
    for (const QByteArray& line : peer.readAllStandardOutput().split('\n'))
        if (line.startsWith("RESULT ")) result = QJsonDocument::fromJson(line.mid(7)).object();
    const double peerMs = result["seconds"].toDouble() * 1000.0;
    std::printf("peer: %d replies read and judged in %.1f ms (best of %d); %d judged\n", result["replies"].toInt(),
                peerMs, kRounds, result["judged"].toInt());

    const bool good = judged == kReplies && result["judged"].toInt() == kReplies;
    if (!good) std::printf("CHECK FAILED: not every reply was judged\n");
    std::printf("\n| read and judge 1000 replies of today's shapes | %.0f ms | %.0f ms | %.2f× | ≤ 0.5× |\n", programMs,
                peerMs, peerMs > 0 ? programMs / peerMs : 0.0);
    return good ? 0 : 1;
}
