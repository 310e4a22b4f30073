// The results window opened from the main window on a stored round: its
// table, its charts' numbers and the CSV, PDF and pictures it saves agree
// with what the round's files hold. The files are written here byte by
// byte from a plain description of each player's replies, not by a round.
#include <QAccessible>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>
#include <QTextDocument>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QtTest>

#include <cmath>
#include <functional>

#include "demo/DemoRound.h"
#include "model/QuestionRules.h"
#include "support/RawRecord.h"
#include "support/SjisLiterals.h"
#include "support/TestWorld.h"
#include "ui/Form1.h"
#include "ui/PresentationWindow.h"
#include "ui/ResultsWindow.h"

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

// A stored round: its questions and every invitee with the replies they
// sent, one token per question: a digit, "?" (unreadable), "" (no reply) or
// "-" (a reply without an answer line).
struct StoredRound {
    struct Invitee {
        QString name, address;
        bool joined = true;
        QStringList replies;
    };
    PreparedRound prepared;
    QList<Invitee> invited;

    QList<Invitee> players() const {
        QList<Invitee> out;
        for (const Invitee& i : invited)
            if (i.joined) out << i;
        return out;
    }
    int questions() const { return int(prepared.questions.size()); }
    bool right(int q, const QString& reply) const {
        return reply.size() == 1 && reply[0].isDigit() && reply.toInt() == prepared.questions[q - 1].correct;
    }
    int points(const Invitee& p) const {
        int sum = 0;
        for (int q = 1; q <= questions(); ++q) sum += right(q, p.replies[q - 1]) ? prepared.questions[q - 1].points : 0;
        return sum;
    }
    int correct(const Invitee& p) const {
        int n = 0;
        for (int q = 1; q <= questions(); ++q) n += right(q, p.replies[q - 1]);
        return n;
    }
    // As a round leaves it: the reply order of the last digit answered, a
    // wrong one 1000 later; 0 when none.
    int arrival(int row, const Invitee& p) const {
        for (int q = questions(); q >= 1; --q) {
            const QString& r = p.replies[q - 1];
            if (r.size() == 1 && r[0].isDigit()) return row + 1 + (right(q, r) ? 0 : 1000);
        }
        return 0;
    }
};

int percent(int part, int whole) {
    return whole == 0 ? 0 : int(std::nearbyint(double(part) / double(whole) * 100.0));   // halves to even
}

void put32(QByteArray& b, qint32 v) {
    for (int k = 0; k < 4; ++k) b.append(char((v >> (8 * k)) & 0xff));
}

QByteArray rosterFile(const StoredRound& r) {
    QByteArray b;
    auto text = [&](int i, auto field) { return i < r.invited.size() ? bytesOf(sj(field(r.invited[i]))) : QByteArray(); };
    for (int i = 0; i < 1000; ++i) putString(b, text(i, [](const auto& who) { return who.name; }));
    for (int i = 0; i < 1000; ++i) putString(b, text(i, [](const auto& who) { return who.address; }));
    for (int i = 0; i < 1000; ++i) put16(b, i < r.invited.size() && r.invited[i].joined ? 1 : 0);
    return b;
}

// Rows for every invitee (C), the players in the first P; per-question
// arrays C by Q, the row index running fastest.
QByteArray resultsFile(const StoredRound& r) {
    const QList<StoredRound::Invitee> players = r.players();
    const int C = int(r.invited.size()), P = int(players.size()), Q = r.questions();
    QByteArray b;
    put16(b, P);
    auto ints = [&](auto value) {
        put16(b, 1), put32(b, C), put32(b, 0);
        for (int p = 0; p < C; ++p) put16(b, p < P ? value(p, players[p]) : 0);
    };
    auto texts = [&](auto value) {
        put16(b, 1), put32(b, C), put32(b, 0);
        for (int p = 0; p < C; ++p) putString(b, p < P ? bytesOf(sj(value(players[p]))) : QByteArray());
    };
    auto grid = [&](auto element) {
        put16(b, 2), put32(b, C), put32(b, 0), put32(b, Q), put32(b, 1);
        for (int q = 1; q <= Q; ++q)
            for (int p = 0; p < C; ++p) element(p < P ? players[p].replies[q - 1] : QStringLiteral("\x01"), q);
    };
    ints([&](int p, const auto& who) { return r.arrival(p, who); });
    ints([&](int, const auto& who) { return r.points(who); });
    ints([](int, const auto&) { return 0; });
    texts([](const auto& who) { return who.name; });
    texts([](const auto& who) { return who.address; });
    ints([&](int, const auto& who) { return r.correct(who); });
    ints([&](int, const auto& who) { return percent(r.correct(who), Q); });
    grid([&](const QString& reply, int) {
        put16(b, reply == "?" ? -1 : reply.size() == 1 && reply[0].isDigit() ? reply.toInt() : 0);
    });
    grid([&](const QString& reply, int q) {
        const bool empty = reply == "-" || reply == "\x01";
        putString(b, empty ? QByteArray() : bytesOf(sj(r.right(q, reply) ? u("○") : u("×"))));
    });
    put16(b, 0);
    return b;
}

// The demonstration round as its phones play it: a second thought does not
// count, a late answer counts as none, a computer's address never joins.
StoredRound demoRound() {
    StoredRound r;
    r.prepared = demo::round(1, QStringLiteral("127.0.0.1"));
    for (const demo::Player& p : demo::players()) {
        QStringList replies;
        for (const QString& a : p.answers) replies << (a.startsWith("late") ? QString() : a.split('+').first());
        while (replies.size() < r.questions()) replies << QString();
        r.invited << StoredRound::Invitee{p.name, p.address, p.joins && demo::isCarrierAddress(p.address), replies};
    }
    return r;
}

// 100 questions of 2 to 10 choices and 1 to 3 points; two players level on
// points told apart by arrival, three with no points and no arrival (one
// never replied, one never answered, one replied without answer lines), a
// name that needs quoting in CSV, and invitees who did not join.
StoredRound handMadeRound() {
    StoredRound r;
    r.prepared.round = 1;
    for (int q = 1; q <= 100; ++q) {
        PreparedRound::Question question;
        for (int c = 1; c <= 2 + q % 9; ++c) question.choices << u("選択肢%1-%2").arg(q).arg(c);
        // A tenth choice is never right: only one character is read.
        question.correct = 1 + (q * 7) % std::min<int>(int(question.choices.size()), 9);
        question.points = 1 + q % 3;
        question.text = u("問題%1").arg(q);
        r.prepared.questions << question;
    }
    auto pattern = [&](auto reply) {
        QStringList out;
        for (int q = 1; q <= 100; ++q) out << reply(q, r.prepared.questions[q - 1]);
        return out;
    };
    const auto right = [](int, const auto& question) { return QString::number(question.correct); };
    r.invited = {
        {u("一番乗り"), "first@docomo.ne.jp", true, pattern(right)},
        {u("石川, \"ケン\""), "ken@ezweb.ne.jp", true, pattern([](int q, const auto& question) {
             const int choices = std::min<int>(int(question.choices.size()), 9);
             return q % 5 == 0 ? u("?") : q % 11 == 0 ? u("9") : QString::number(1 + (q * 3) % choices);
         })},
        {u("沈黙"), "silent@docomo.ne.jp", true, pattern([](int, const auto&) { return QString(); })},
        {u("未参加"), "away@docomo.ne.jp", false, {}},
        {u("二番手"), "second@au.com", true, pattern(right)},
        {u("答なし"), "noline@softbank.ne.jp", true, pattern([](int, const auto&) { return u("-"); })},
        {u("途中まで"), "half@i.softbank.jp", true, pattern([&](int q, const auto& question) {
             return q <= 50 ? right(q, question) : QString();
         })},
        {u("沈黙,二"), "silent2@docomo.ne.jp", true, pattern([](int, const auto&) { return QString(); })},
    };
    return r;
}

void writeRound(TestWorld& world, const StoredRound& r, int counter) {
    const QString n = QString::number(r.prepared.round);
    auto set = std::make_unique<QuestionSet>(r.prepared.questionSet());
    QVERIFY(writeQuestionFile(world.files, n.toStdString(), *set));
    world.writeFile("trv2s" + n + ".dat", rosterFile(r));
    world.writeFile("trv7" + n + ".dat", resultsFile(r));
    world.writeFile("trv3.dat", counterFile(counter));
}

void choose(QComboBox* box, const QString& entry) {
    const int index = box->findText(entry);
    QVERIFY2(index >= 0, qPrintable(entry));
    box->setCurrentIndex(index);
    emit box->activated(index);
}

// The ranking the main window's grid shows, page by page: "rank name".
QStringList mainRanking(Form1& f) {
    QStringList out;
    for (int page = 0; page <= f.VScroll1->maximum(); ++page) {
        f.VScroll1->setValue(page);
        for (int row = 0; row < 10; ++row)
            if (!f.Text1[row]->text().isEmpty()) out << f.Text2[row]->text() + " " + f.Text1[row]->text();
    }
    return out;
}

QList<qreal> barValues(QChartView* view) {
    const auto series = view->chart()->series();
    if (series.isEmpty()) return {};
    QBarSet* set = static_cast<QBarSeries*>(series.first())->barSets().first();
    QList<qreal> values;
    for (int i = 0; i < set->count(); ++i) values << set->at(i);
    return values;
}

QString answerText(const QString& reply) {
    if (reply == "?") return u("判読不可");
    if (reply == "-") return u("答の行なし");
    if (reply.isEmpty()) return u("無回答");
    return reply;
}

// RFC 4180: quoted fields with doubled quotes, records ended by CR LF.
QList<QStringList> readCsv(const QString& text) {
    QList<QStringList> records;
    QStringList fields;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') field += '"', ++i;
            else if (c == '"') quoted = false;
            else field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields << field, field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            fields << field, field.clear();
            records << fields, fields.clear();
            ++i;
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !fields.isEmpty()) records << (fields << field);   // a last record without CR LF
    return records;
}

// What a laid-out chart shows of its bars' names and numbers, each as the
// text drawn and the outline it covers on the scene.
struct DrawnLabel {
    QString text;
    QPolygonF outline;
};
struct DrawnChart {
    QList<DrawnLabel> names;   // below the bars
    QList<DrawnLabel> values;  // over the plot, left to right
};

DrawnChart drawnLabels(QChart* chart) {
    DrawnChart drawn;
    const QRectF plot = chart->mapToScene(chart->plotArea()).boundingRect();
    QStringList titles{chart->title()};
    for (QAbstractAxis* axis : chart->axes()) titles << axis->titleText();
    for (QGraphicsItem* item : chart->scene()->items()) {
        auto* text = dynamic_cast<QGraphicsTextItem*>(item);
        if (!text || !text->isVisible() || text->toPlainText().isEmpty() || titles.contains(text->toPlainText()))
            continue;
        // The ink of the text itself, one line from its baseline, without
        // the blank margin and line spacing round it.
        const qreal margin = text->document()->documentMargin();
        const QFontMetricsF type(text->font());
        const QRectF glyphs =
            type.tightBoundingRect(text->toPlainText()).translated(margin, margin + type.ascent());
        const DrawnLabel label{text->toPlainText(), text->mapToScene(glyphs)};
        const QPointF middle = label.outline.boundingRect().center();
        if (middle.y() > plot.bottom()) drawn.names << label;
        else if (middle.x() > plot.left()) drawn.values << label;
    }
    std::sort(drawn.values.begin(), drawn.values.end(), [](const DrawnLabel& a, const DrawnLabel& b) {
        return a.outline.boundingRect().x() < b.outline.boundingRect().x();
    });
    return drawn;
}

// Every name of a bar drawn whole and apart from the others; every bar's
// number drawn clear above it. What is wrong, or nothing.
QString labelsWhole(QChart* chart, const QString& where) {
    auto* series = static_cast<QBarSeries*>(chart->series().first());
    const QBarSet* set = series->barSets().first();
    const DrawnChart drawn = drawnLabels(chart);
    QStringList names;
    for (const DrawnLabel& n : drawn.names) names << n.text;
    for (QAbstractAxis* axis : chart->axes(Qt::Horizontal))
        if (auto* categories = qobject_cast<QBarCategoryAxis*>(axis)) {
            QStringList expected = categories->categories();
            std::sort(expected.begin(), expected.end());
            std::sort(names.begin(), names.end());
            if (names != expected) return where + ": names drawn " + names.join("|") + ", want " + expected.join("|");
        }
    for (int i = 0; i < drawn.names.size(); ++i)
        for (int j = i + 1; j < drawn.names.size(); ++j)
            if (drawn.names[i].outline.intersects(drawn.names[j].outline))
                return where + ": " + drawn.names[i].text + " runs into " + drawn.names[j].text;
    if (!series->isLabelsVisible()) return {};
    int label = 0;
    for (int bar = 0; bar < set->count(); ++bar) {
        if (set->at(bar) <= 0) continue;
        if (label >= drawn.values.size()) return where + QStringLiteral(": no number over bar %1").arg(bar + 1);
        const DrawnLabel& number = drawn.values[label++];
        const qreal top = chart->mapToScene(chart->mapToPosition(QPointF(bar, set->at(bar)), series)).y();
        if (number.text != QString::number(set->at(bar)) || number.outline.boundingRect().bottom() > top)
            return where + QStringLiteral(": %1 drawn at %2, its bar %3 at %4")
                               .arg(number.text).arg(number.outline.boundingRect().bottom()).arg(set->at(bar)).arg(top);
    }
    return {};
}

// What is wrong with how `label` is drawn: a run of its text in a face of
// another family than `family`, or a bold label drawn in a face that is not.
QString drawnFaces(const QLabel* label, const QString& family) {
    QTextLayout layout(label->text(), label->font());
    layout.beginLayout();
    while (layout.createLine().isValid()) {}
    layout.endLayout();
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QRawFont face = run.rawFont();
        if (face.familyName() != family || (label->font().bold() && face.weight() < QFont::Bold))
            return QStringLiteral("\"%1\" (%2px): %3 %4, want %5%6")
                .arg(label->text()).arg(label->font().pixelSize()).arg(face.familyName(), face.styleName(), family,
                                                                      label->font().bold() ? " Bold" : "");
    }
    return {};
}

// The main window on a folder whose round 1 is stored, and the results
// window opened from it on that round.
struct Opened {
    TestWorld world;
    std::unique_ptr<Form1> form;
    ResultsWindow* window = nullptr;
    QStringList proposed;   // what each save dialog offered

    void open(const StoredRound& r, int counter) {
        writeRound(world, r, counter);
        form = std::make_unique<Form1>(world.module1, [this] { return world.appFolder(); });
        form->show();
        choose(form->Combo1, QString::number(r.prepared.round));
        QVERIFY(form->ResultsButton->isEnabled());
        form->ResultsButton->click();
        window = form->resultsWindow();
        QVERIFY(window && window->isVisible());
    }
    // Saves answer with `path` in place of the operator.
    void saveTo(const QString& path) {
        window->setSaveDialog([this, path](QWidget*, const QString&, const QString& offered, const QString&) {
            proposed << offered;
            return path;
        });
    }
};

}  // namespace

class TestResultsWindow : public QObject {
    Q_OBJECT
private slots:
    void tableChartsAndCsvAgreeWithTheStoredRound_data();
    void tableChartsAndCsvAgreeWithTheStoredRound();
    void reportAndPicturesAreSaved();
    void followsTheRoundTheMainWindowShows();
    void chartLabelsAreWhole_data();
    void chartLabelsAreWhole();
};

void TestResultsWindow::tableChartsAndCsvAgreeWithTheStoredRound_data() {
    QTest::addColumn<bool>("demo");
    QTest::newRow("demonstration round") << true;
    QTest::newRow("ties, silence and 100 questions") << false;
}

void TestResultsWindow::tableChartsAndCsvAgreeWithTheStoredRound() {
    QFETCH(bool, demo);
    const StoredRound r = demo ? demoRound() : handMadeRound();
    const QList<StoredRound::Invitee> players = r.players();
    const int P = int(players.size()), Q = r.questions();
    Opened o;
    o.open(r, 2);
    if (QTest::currentTestFailed()) return;
    ResultsWindow& w = *o.window;

    // Every row says what the files say of its player, in the order and
    // with the ranks of the main window's ranking.
    QHash<QString, QStringList> expected;   // by name: the row after its rank
    for (const auto& p : players) {
        QStringList row{p.name, p.address, QString::number(r.points(p)), QString::number(r.correct(p)),
                        QString::number(percent(r.correct(p), Q)) + "%"};
        for (int q = 1; q <= Q; ++q) {
            const QString& reply = p.replies[q - 1];
            row << answerText(reply) << (reply == "-" ? QString() : r.right(q, reply) ? u("○") : u("×"));
        }
        expected.insert(p.name, row);
    }
    const QAbstractItemModel& table = *w.sortedTable();
    QCOMPARE(table.rowCount(), P);
    QCOMPARE(table.columnCount(), 6 + 2 * Q);
    QStringList shownRanking;
    QList<QStringList> rows;
    int lastPoints = INT_MAX, lastArrival = -1;
    for (int i = 0; i < P; ++i) {
        QStringList row;
        for (int c = 0; c < table.columnCount(); ++c) row << table.index(i, c).data().toString();
        rows << row;
        QCOMPARE(row[0], QString::number(i + 1));
        QCOMPARE(row.mid(1), expected.value(row[1]));
        shownRanking << row[0] + " " + row[1];
        // More points first; level on points, the earlier arrival first.
        const int points = row[3].toInt();
        QVERIFY(points <= lastPoints);
        int at = 0;
        while (players[at].name != row[1]) ++at;
        const int own = r.arrival(at, players[at]);
        if (points == lastPoints) QVERIFY2(own >= lastArrival, qPrintable(row[1]));
        lastPoints = points, lastArrival = own;
    }
    QCOMPARE(shownRanking, mainRanking(*o.form));
    // Players level on points are told apart by their replies, and the
    // window says so once.
    bool tied = false;
    for (int i = 1; i < P; ++i) tied = tied || rows[i][3] == rows[i - 1][3];
    QVERIFY(tied);
    QCOMPARE(w.TieRule->text(), u("同点は先に回答した人が上位です。"));
    QVERIFY(w.TieRule->isVisibleTo(&w));

    // Sorting by points, highest first, keeps players level on points in
    // ranking order; sorting by rank brings the ranking back.
    w.Table->sortByColumn(3, Qt::DescendingOrder);
    for (int i = 0; i < P; ++i) QCOMPARE(table.index(i, 1).data().toString(), rows[i][1]);
    w.Table->sortByColumn(3, Qt::AscendingOrder);
    QCOMPARE(table.index(0, 3).data().toString(), rows.last()[3]);
    w.Table->sortByColumn(0, Qt::AscendingOrder);
    for (int i = 0; i < P; ++i) QCOMPARE(table.index(i, 1).data().toString(), rows[i][1]);

    // The charts draw the same numbers.
    for (int q = 1; q <= Q; ++q) {
        const auto& question = r.prepared.questions[q - 1];
        QList<qreal> counts(question.choices.size() + 2, 0);
        for (const auto& p : players) {
            const QString& reply = p.replies[q - 1];
            const int choice = reply.size() == 1 && reply[0].isDigit() ? reply.toInt() : 0;
            if (reply.isEmpty()) ++counts.last();
            else if (choice >= 1 && choice <= question.choices.size()) ++counts[choice - 1];
            else ++counts[question.choices.size()];
        }
        w.showQuestion(q);
        QChartView* answers = w.Charts[0];
        QCOMPARE(barValues(answers), counts);
        QBarSet* set = static_cast<QBarSeries*>(answers->chart()->series().first())->barSets().first();
        for (int c = 0; c < counts.size(); ++c) QCOMPARE(set->isBarSelected(c), c == question.correct - 1);
        QVERIFY(answers->chart()->title().contains(u("無回答 %1人").arg(int(counts.last()))));
    }
    QList<qreal> shares;
    for (int q = 1; q <= Q; ++q) {
        int right = 0;
        for (const auto& p : players) right += r.right(q, p.replies[q - 1]);
        shares << percent(right, P);
    }
    QCOMPARE(barValues(w.Charts[1]), shares);

    const QList<qreal> histogram = barValues(w.Charts[2]);
    const auto& bins = w.results().histogram;
    QCOMPARE(histogram.size(), qsizetype(bins.size()));
    QVERIFY(histogram.size() <= 10);
    QCOMPARE(bins.front().low, 0);
    QCOMPARE(bins.back().high, r.prepared.totalPoints());
    for (std::size_t i = 0; i < bins.size(); ++i) {
        if (i > 0) QCOMPARE(bins[i].low, bins[i - 1].high + 1);
        int inBin = 0;
        for (const auto& p : players) inBin += r.points(p) >= bins[i].low && r.points(p) <= bins[i].high;
        QCOMPARE(histogram[qsizetype(i)], qreal(inBin));
    }
    int finished = 0;
    for (const auto& p : players) finished += !p.replies.last().isEmpty();
    QCOMPARE(barValues(w.Charts[3]), (QList<qreal>{qreal(r.invited.size()), qreal(P), qreal(finished)}));

    // The CSV holds the table, header first, and a spreadsheet reads it back.
    const QString path = o.world.filePath("saved.csv");
    o.saveTo(path);
    QVERIFY(w.saveCsv());
    QCOMPARE(o.proposed, QStringList{QDir(o.world.folder()).filePath(u("第1回クイズ大会-結果.csv"))});
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    const QList<QStringList> csv = readCsv(QString::fromUtf8(bytes.mid(3)));
    QCOMPARE(csv.size(), P + 1);
    QStringList header{u("順位"), u("名前"), u("アドレス"), u("点数"), u("正解数"), u("正解率")};
    for (int q = 1; q <= Q; ++q) header << u("問%1 回答").arg(q) << u("問%1 正誤").arg(q);
    QCOMPARE(csv[0], header);
    for (int i = 0; i < P; ++i) QCOMPARE(csv[i + 1], rows[i]);
    QVERIFY(bytes.endsWith("\r\n"));

    // Projected, the round's first three stand on the podium and the next
    // seven are listed, in the table's order; Esc puts it away.
    o.form->PresentButton->click();
    PresentationWindow* projected = o.form->presentation();
    QVERIFY(projected && projected->isFullScreen());
    for (int i = 0; i < 10; ++i) {
        const QString shown = i < 3 ? projected->Podium[std::size_t(i)]->text() : projected->Places[std::size_t(i - 3)]->text();
        const QString want = i >= P ? QString()
                             : i < 3 ? rows[i][1] + "\n" + rows[i][3] + u("点")
                                     : u("%1位　%2　%3点").arg(rows[i][0], rows[i][1], rows[i][3]);
        QCOMPARE(shown, want);
    }
    // All of it on the screen, the podium and, while the round plays, the
    // answers beside the top ten: nothing asks for more height than it has.
    const auto fits = [projected] {
        return projected->minimumSizeHint().height() <= projected->height()
                   ? QString()
                   : QStringLiteral("%1 high, needs %2").arg(projected->height()).arg(projected->minimumSizeHint().height());
    };
    QVERIFY2(fits().isEmpty(), qPrintable(fits()));
    o.world.module1.quizRun.CurrentQuestion = 2;
    projected->showRunningRound();
    QVERIFY2(fits().isEmpty(), qPrintable(fits()));
    QCOMPARE(projected->Ranking[9]->text().isEmpty(), P < 10);
    projected->showStoredRound(o.form->Combo1->currentText().toStdString());
    QCOMPARE(projected->TieRule->text(), w.TieRule->text());
    QVERIFY(projected->TieRule->isVisibleTo(projected));
    // Every line in one face that has Japanese, bold ones in its bold, the
    // countdown too.
    projected->countdownStarted(90000);
    const QString family = QFontInfo(projected->font()).family();
    QVERIFY2(QFontDatabase::writingSystems(family).contains(QFontDatabase::Japanese), qPrintable(family));
    for (const QLabel* label : projected->findChildren<QLabel*>()) {
        const QString wrong = label->text().isEmpty() ? QString() : drawnFaces(label, family);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }
    QTest::keyClick(projected, Qt::Key_Escape);
    QVERIFY(!o.form->presentation());
}

// One page with the round's title and its winner, and a picture of each chart.
void TestResultsWindow::reportAndPicturesAreSaved() {
    const StoredRound r = demoRound();
    Opened o;
    o.open(r, 2);
    if (QTest::currentTestFailed()) return;
    const QString pdf = o.world.filePath("report.pdf");
    o.saveTo(pdf);
    QVERIFY(o.window->savePdf());
    QCOMPARE(o.proposed.last(), QDir(o.world.folder()).filePath(u("第1回クイズ大会-結果.pdf")));
    QProcess info;
    info.start("pdfinfo", {pdf});
    QVERIFY2(info.waitForFinished(10000) && info.exitCode() == 0, info.readAllStandardError().constData());
    QVERIFY2(info.readAllStandardOutput().contains("\nPages:           1\n"), "one page");
    QProcess text;
    text.start("pdftotext", {pdf, "-"});
    QVERIFY(text.waitForFinished(10000) && text.exitCode() == 0);
    const QString words = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY2(words.contains(u("第1回クイズ大会")), qPrintable(words));
    QVERIFY2(words.contains(o.window->sortedTable()->index(0, 1).data().toString()), qPrintable(words));

    const QStringList names{u("第1回クイズ大会-回答の分布-問1.png"), u("第1回クイズ大会-正解率.png"),
                            u("第1回クイズ大会-得点の分布.png"), u("第1回クイズ大会-参加状況.png")};
    for (int i = 0; i < 4; ++i) {
        const QString png = o.world.filePath(QStringLiteral("chart%1.png").arg(i));
        o.saveTo(png);
        QVERIFY(o.window->saveChart(kResultsCharts[i]));
        QCOMPARE(QFileInfo(o.proposed.last()).fileName(), names[i]);
        QImage image(png);
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), QSize(1000, 640));
    }

    // A place that cannot be written says so and what to do.
    o.saveTo(o.world.filePath("missing/report.csv"));
    QVERIFY(!o.window->saveCsv());
    QCOMPARE(o.world.messageBox.texts().size(), 1);
    QVERIFY(o.world.messageBox.texts()[0].contains(u("保存できませんでした")));
}

// Another round chosen in the main window's selector is shown at once;
// the current round, not yet played, shows nothing and offers no button.
// Every control and chart is named for a screen reader, each chart with
// its numbers.
void TestResultsWindow::followsTheRoundTheMainWindowShows() {
    Opened o;
    StoredRound second = handMadeRound();
    second.prepared.round = 2;
    writeRound(o.world, second, 3);
    o.open(demoRound(), 3);
    if (QTest::currentTestFailed()) return;
    ResultsWindow& w = *o.window;
    QCOMPARE(w.Heading->text(), u("第1回クイズ大会 結果"));
    QCOMPARE(w.Charts[3]->accessibleDescription(), u("参加状況: 招待 13人、参加 11人、最後まで回答 10人。"));

    choose(o.form->Combo1, "2");
    QCOMPARE(w.Heading->text(), u("第2回クイズ大会 結果"));
    QCOMPARE(w.sortedTable()->rowCount(), second.players().size());
    QCOMPARE(barValues(w.Charts[3]), (QList<qreal>{8, 7, 4}));
    QVERIFY(w.Charts[1]->accessibleDescription().startsWith(u("問題ごとの正解率: 問1 ")));

    // What a screen reader walks: every part of the window has a name
    // (a table's cells are named by their text).
    w.show();
    QStringList unnamed;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* a) {
        if (a->text(QAccessible::Name).isEmpty())
            unnamed << (a->object() ? a->object()->metaObject()->className() : "?");
        if (a->role() == QAccessible::Table || a->role() == QAccessible::List) return;
        for (int i = 0; i < a->childCount(); ++i) walk(a->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(&w));
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
    w.Pages->setCurrentIndex(1);
    for (QChartView* chart : w.Charts) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(chart);
        QCOMPARE(a->text(QAccessible::Name), chart->chart()->title().section(u("（"), 0, 0));
        QVERIFY(a->text(QAccessible::Description).contains(u("人")));
    }

    choose(o.form->Combo1, "3");
    QVERIFY(!o.form->ResultsButton->isEnabled());
    QCOMPARE(w.Heading->text(), u("第3回クイズ大会 結果"));
    QCOMPARE(w.Summary->text(), u("この回の結果はまだありません。"));
    QVERIFY(!w.TieRule->isVisibleTo(&w));
    QCOMPARE(w.sortedTable()->rowCount(), 0);
    QVERIFY(!o.world.exists("trv73.dat"));   // looking makes no files
}

// The names under the bars drawn whole and apart, every bar's number clear
// above the bar, in the window (at its least size too), as a picture and on
// the report's page.
void TestResultsWindow::chartLabelsAreWhole_data() {
    QTest::addColumn<bool>("demo");
    QTest::newRow("demonstration round") << true;
    QTest::newRow("ties, silence and 100 questions") << false;
}

void TestResultsWindow::chartLabelsAreWhole() {
    QFETCH(bool, demo);
    const StoredRound r = demo ? demoRound() : handMadeRound();
    Opened o;
    o.open(r, 2);
    if (QTest::currentTestFailed()) return;
    ResultsWindow& w = *o.window;
    w.Pages->setCurrentIndex(1);
    for (QSize windowSize : {QSize(960, 680), QSize(1, 1)}) {
        w.resize(windowSize);   // the smallest the window goes
        QTest::qWait(50);
        for (QChartView* view : w.Charts) {
            const QString where = QStringLiteral("window %1x%2, %3").arg(view->width()).arg(view->height()).arg(view->accessibleName());
            const QString wrong = labelsWhole(view->chart(), where);
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        }
    }
    // A picture is 1000 by 640; a chart on the report's page is laid out at
    // about 410 by 400 (its place, larger).
    for (QSize size : {QSize(1000, 640), QSize(408, 400)})
        for (ResultsChart which : kResultsCharts) {
            QGraphicsScene scene;
            QChart* chart = layOutResultsChart(scene, size, which, w.results(), 1);
            const QString where = QStringLiteral("%1x%2, %3").arg(size.width()).arg(size.height()).arg(chart->title());
            const QString wrong = labelsWhole(chart, where);
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        }
    // The report's text has the names whole.
    const QString pdf = o.world.filePath("report.pdf");
    o.saveTo(pdf);
    QVERIFY(w.savePdf());
    QProcess text;
    text.start("pdftotext", {pdf, "-"});
    QVERIFY(text.waitForFinished(10000) && text.exitCode() == 0);
    const QString words = QString::fromUtf8(text.readAllStandardOutput());
    QVERIFY2(!words.contains("...") && !words.contains(u("…")), qPrintable(words));
    if (demo) QVERIFY2(words.contains(u("最後まで回答")) && words.contains(u("10〜19")), qPrintable(words));
}

QTEST_MAIN(TestResultsWindow)
#include "tst_results_window.moc"
