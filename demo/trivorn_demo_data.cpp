// Prepares the demonstration round in a data folder, through the program's
// own record writers, the way the editor windows would have left it:
//
//   trivorn-demo-data --folder DIR --server ADDRESS
//
// A folder without a round counter gets everything for round 1. A folder
// whose round was already played keeps its settings, address book and
// results; it only gets the invitation, questions and closing mail of the
// round its counter now names, so running the demonstration again plays the
// next round. Files that exist are never overwritten.
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <iterator>
#include <memory>

#include "demo/DemoRound.h"
#include "model/FileNames.h"
#include "model/RecordFiles.h"
#include "model/QuestionRules.h"
#include "platform/qt/LocalDataFiles.h"

namespace {

int fail(const QString& what) {
    std::fprintf(stderr, "trivorn-demo-data: %s\n", what.toLocal8Bit().constData());
    return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype f = args.indexOf("--folder"), s = args.indexOf("--server");
    if (f < 0 || f + 1 >= args.size() || s < 0 || s + 1 >= args.size())
        return fail("usage: trivorn-demo-data --folder DIR --server ADDRESS");
    const QString folder = args[f + 1];
    const QString server = args[s + 1];
    if (!QFileInfo(folder).isDir()) return fail(folder + ": no such folder");

    LocalDataFiles files(folder, {std::begin(FileNames::kPrivate), std::end(FileNames::kPrivate)});
    auto exists = [&](const std::string& name) { return QFile::exists(files.pathFor(name)); };

    int number = 1;
    if (exists(FileNames::kRoundCounter)) {
        const auto counter = readRoundCounter(files);
        if (!counter) return fail("the round counter cannot be read");
        number = *counter;
    }
    const PreparedRound round = demo::round(number, server);
    const std::string roundText = std::to_string(number);

    bool ok = true;
    auto write = [&](const std::string& name, auto&& writer) {
        if (exists(name)) return;
        if (!writer()) ok = false, fail(QString::fromStdString(name) + ": cannot be written");
    };
    write(FileNames::kMailSettings, [&] { return writeRecordFile(files, FileNames::kMailSettings, round.mailSettings()); });
    // The password is the private servers' own and no secret: it stays in
    // the demo's folder and never goes into the desktop's keyring (which a
    // private desktop may offer without being able to unlock).
    write(FileNames::kTransport, [&] {
        TransportSettings transport;
        transport.PasswordStore = stored(PasswordPlace::Files);
        return writeRecordFile(files, FileNames::kTransport, transport);
    });
    write(FileNames::kAddressBook, [&] {
        auto book = std::make_unique<AddressBook>(round.book());
        return writeRecordFile(files, FileNames::kAddressBook, *book);
    });
    write(FileNames::kRoundCounter, [&] { return writeRoundCounter(files, std::int16_t(number)); });
    const std::string invitation = roundFileName(FileNames::kInvitationPrefix, roundText);
    write(invitation, [&] { return writeRecordFile(files, invitation, round.invitation()); });
    write(roundFileName(FileNames::kQuestionPrefix, roundText), [&] {
        auto set = std::make_unique<QuestionSet>(round.questionSet());
        return writeQuestionFile(files, roundText, *set);
    });
    const std::string closing = roundFileName(FileNames::kClosingMailPrefix, roundText);
    write(closing, [&] { return writeRecordFile(files, closing, round.closingMail()); });
    if (!ok) return 1;
    std::printf("trivorn-demo-data: round %d ready in %s\n", number, folder.toLocal8Bit().constData());
    return 0;
}
