#include <QStringDecoder>
#include <QStringEncoder>
#include <QtTest>

#include "run/QuestionMailText.h"

namespace {
// Shift_JIS bytes of a UTF-8 literal; "\n" in the literal becomes CR LF.
SjisText sj(const QString& text) {
    QString withCrLf = text;
    withCrLf.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    QStringEncoder enc("Windows-31J");
    const QByteArray bytes = enc.encode(withCrLf);
    return SjisText(bytes.constData(), std::size_t(bytes.size()));
}
QString un(const SjisText& bytes) {
    QStringDecoder dec("Windows-31J");
    QString s = dec.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// A question set as a freshly initialised editor holds it.
QuestionSet defaults() {
    QuestionSet set;
    set.QuestionCount = "1";
    for (int q = 1; q <= kQuestionSlots; ++q) {
        set.Separator[q] = ":";
        set.ReplyMinutes[q] = 5;
        for (int f = 0; f < kChoiceSlots; ++f) {
            set.ChoiceLabel[q][f] = std::to_string(f + 1);
            set.ChoiceSeparator[q][f] = ":";
        }
    }
    set.TotalPoints = 100;
    return set;
}

QuestionMailFields fieldsOf(const QuestionSet& set, int q) {
    return {q, set.QuestionText[q], std::to_string(set.ReplyMinutes[q]), std::to_string(set.TotalPoints),
            std::to_string(set.Points[q])};
}

QStringList linesOf(const SjisText& body) { return un(body).split('\n'); }
}  // namespace

class TestQuestionMail : public QObject {
    Q_OBJECT
private slots:
    void secondQuestionOfThreeReadsExactly() {
        QuestionSet set = defaults();
        set.QuestionCount = "3";
        set.CorrectChoice[1] = 1;
        set.QuestionText[2] = sj(u"日本一高い山は？"_qs);
        set.ChoiceText[2][0] = sj(u"富士山"_qs);
        set.ChoiceText[2][1] = sj(u"北岳"_qs);
        set.ChoiceText[2][2] = sj(u"奥穂高岳"_qs);
        set.Points[1] = 33; set.Points[2] = 33; set.Points[3] = 34;

        const QString expected = u"********************\n"
                                 "* TRIVORN          *\n"
                                 "********************\n"
                                 "問題2、\n"
                                 "日本一高い山は？\n"
                                 "\n"
                                 "1:富士山\n"
                                 "2:北岳\n"
                                 "3:奥穂高岳\n"
                                 "\n"
                                 "'答:'に番号を入力\n"
                                 "して返信して下さい。\n"
                                 "5分以内に返信の\n"
                                 "ない方は不正解といたします｡\n"
                                 "--------------------\n"
                                 "問題1:×\n"
                                 "正解:1\n"
                                 "順位:xxx位\n"
                                 "合計得点:xxx/100\n"
                                 "--------------------\n"
                                 "答:   (点数:33)"_qs;
        const SjisText fromControls = BuildQuestionMailText(
            set, {2, set.QuestionText[2], "5", "100", "33"});
        QCOMPARE(un(fromControls), expected);
        QCOMPARE(fromControls, sj(expected));

        // The half-width full stop and the multiplication sign are single
        // code points with fixed bytes; a look-alike would break the run's
        // marker search or show the wrong glyph on the phones.
        QVERIFY(fromControls.find("\x82\xb7\xa1\r\n") != SjisText::npos);
        QVERIFY(fromControls.find("\x96\xe2\x91\xe8" "1:\x81\x7e\r\n") != SjisText::npos);

        // Built from the set alone, a consistent set gives the same text.
        ComposeAllQuestionMails(set);
        QCOMPARE(set.QuestionMail[2], fromControls);
    }

    void firstQuestionHasNoPreviousResultBlock() {
        QuestionSet set = defaults();
        set.Points[1] = 100;
        const QStringList lines = linesOf(BuildQuestionMailText(set, fieldsOf(set, 1)));
        const int dash = int(lines.indexOf(u"--------------------"_qs));
        QVERIFY(dash > 0);
        QCOMPARE(lines.size(), dash + 2);
        QCOMPARE(lines.at(dash + 1), u"答:   (点数:100)"_qs);
        QVERIFY(!un(BuildQuestionMailText(set, fieldsOf(set, 1))).contains(u"順位"_qs));
    }

    void choiceLines_data() {
        QTest::addColumn<QStringList>("texts");   // ten slots
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QStringList>("expected");
        const QStringList plainLabels{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
        QTest::newRow("third empty leaves a gap")
            << QStringList{"赤", "青", "", "黄", "", "", "", "", "", ""} << plainLabels << ":"
            << QStringList{"1:赤", "2:青", "4:黄"};
        QTest::newRow("single space is unused, two spaces are a choice")
            << QStringList{"赤", " ", "  ", "", "", "", "", "", "", ""} << plainLabels << ":"
            << QStringList{"1:赤", "3:  "};
        QTest::newRow("all ten")
            << QStringList{"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"} << plainLabels << ":"
            << QStringList{"1:a", "2:b", "3:c", "4:d", "5:e", "6:f", "7:g", "8:h", "9:i", "10:j"};
        QTest::newRow("letters and full stop")
            << QStringList{"東京", "大阪", "名古屋", "札幌", "", "", "", "", "", ""}
            << QStringList{"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"} << "."
            << QStringList{"A.東京", "B.大阪", "C.名古屋", "D.札幌"};
        QTest::newRow("only the last slot")
            << QStringList{"", "", "", "", "", "", "", "", "", "最後"} << plainLabels << ":"
            << QStringList{"10:最後"};
        QTest::newRow("none") << QStringList(10, QString()) << plainLabels << ":" << QStringList{};
    }
    void choiceLines() {
        QFETCH(QStringList, texts);
        QFETCH(QStringList, labels);
        QFETCH(QString, separator);
        QFETCH(QStringList, expected);
        QuestionSet set = defaults();
        const int q = 37;
        for (int f = 0; f < kChoiceSlots; ++f) {
            set.ChoiceText[q][f] = sj(texts.at(f));
            set.ChoiceLabel[q][f] = sj(labels.at(f));
            set.ChoiceSeparator[q][f] = sj(separator);
            // Another question's choices must not leak in.
            set.ChoiceText[q + 1][f] = "x";
        }
        set.QuestionText[q] = sj(u"一行目\n二行目"_qs);
        const QStringList lines = linesOf(BuildQuestionMailText(set, fieldsOf(set, q)));
        // heading, two question lines, empty line, choices, empty line, instruction 1
        QCOMPARE(lines.at(3), u"問題37、"_qs);
        QCOMPARE(lines.at(4), u"一行目"_qs);
        QCOMPARE(lines.at(5), u"二行目"_qs);
        QCOMPARE(lines.at(6), QString());
        QCOMPARE(lines.mid(7, expected.size()), expected);
        QCOMPARE(lines.at(7 + expected.size()), QString());
        QCOMPARE(lines.at(8 + expected.size()), u"'答:'に番号を入力"_qs);
    }

    void bodyEndsWithParenthesisAndNoLineBreak_data() {
        QTest::addColumn<int>("question");
        QTest::newRow("first") << 1;
        QTest::newRow("middle") << 2;
        QTest::newRow("last slot") << 100;
    }
    void bodyEndsWithParenthesisAndNoLineBreak() {
        QFETCH(int, question);
        QuestionSet set = defaults();
        set.Points[question] = 7;
        const SjisText body = BuildQuestionMailText(set, fieldsOf(set, question));
        QVERIFY(!body.empty());
        QCOMPARE(body.back(), ')');
        QVERIFY(body.size() > 2 && body.substr(body.size() - 3) != "\r\n)");
        // Every other line ends in CR LF: no bare LF anywhere.
        for (std::size_t i = 0; i < body.size(); ++i)
            if (body[i] == '\n') QVERIFY(i > 0 && body[i - 1] == '\r');
    }

    void defaultTextHasThreeEmptyLookingLines() {
        QuestionSet set = defaults();
        set.Points[1] = 100;
        const QStringList lines = linesOf(BuildQuestionMailText(set, fieldsOf(set, 1)));
        QCOMPARE(lines.at(3), u"問題1、"_qs);
        QCOMPARE(lines.at(4), QString());
        QCOMPARE(lines.at(5), QString());
        QCOMPARE(lines.at(6), QString());
        QCOMPARE(lines.at(7), u"'答:'に番号を入力"_qs);
        QCOMPARE(lines.at(9), u"5分以内に返信の"_qs);
    }

    void numbersFromControlsAreWrittenPlain_data() {
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<QString>("score");
        QTest::addColumn<QString>("points");
        QTest::addColumn<QString>("minutesLine");
        QTest::addColumn<QString>("scoreLine");
        QTest::addColumn<QString>("answerLine");
        QTest::newRow("plain") << "12" << "1000" << "333" << "12分以内に返信の"
                               << "合計得点:xxx/1000" << "答:   (点数:333)";
        QTest::newRow("leading zeros") << "05" << "0100" << "033" << "5分以内に返信の"
                                       << "合計得点:xxx/100" << "答:   (点数:33)";
        QTest::newRow("not a number stays as typed") << "abc" << "" << "５" << "abc分以内に返信の"
                                                     << "合計得点:xxx/" << "答:   (点数:５)";
    }
    void numbersFromControlsAreWrittenPlain() {
        QFETCH(QString, minutes);
        QFETCH(QString, score);
        QFETCH(QString, points);
        QuestionSet set = defaults();
        set.CorrectChoice[4] = 3;
        const QStringList lines =
            linesOf(BuildQuestionMailText(set, {5, "", sj(minutes), sj(score), sj(points)}));
        QTEST(lines.at(9), "minutesLine");
        QCOMPARE(lines.at(12), u"問題4:×"_qs);
        QCOMPARE(lines.at(13), u"正解:3"_qs);
        QTEST(lines.at(15), "scoreLine");
        QTEST(lines.last(), "answerLine");
    }

    void composeAllFollowsEachQuestionsOwnValues() {
        QuestionSet set = defaults();
        set.TotalPoints = 300;
        for (int q = 1; q <= kQuestionSlots; ++q) {
            set.Points[q] = std::int16_t(q);
            set.ReplyMinutes[q] = std::int16_t(q % 20 + 1);
            set.CorrectChoice[q] = std::int16_t(q % 10 + 1);
        }
        set.QuestionText[50] = sj(u"五十問目"_qs);
        set.ChoiceText[50][9] = sj(u"十番"_qs);
        ComposeAllQuestionMails(set);
        for (int q = 1; q <= kQuestionSlots; ++q) {
            const QStringList lines = linesOf(set.QuestionMail[q]);
            QCOMPARE(lines.at(3), u"問題%1、"_qs.arg(q));
            QVERIFY(lines.contains(u"%1分以内に返信の"_qs.arg(q % 20 + 1)));
            QCOMPARE(lines.last(), u"答:   (点数:%1)"_qs.arg(q));
            if (q > 1) {
                QVERIFY(lines.contains(u"問題%1:×"_qs.arg(q - 1)));
                QVERIFY(lines.contains(u"正解:%1"_qs.arg((q - 1) % 10 + 1)));
                QVERIFY(lines.contains(u"合計得点:xxx/300"_qs));
            }
        }
        QVERIFY(linesOf(set.QuestionMail[50]).contains(u"10:十番"_qs));
        QCOMPARE(linesOf(set.QuestionMail[50]).at(4), u"五十問目"_qs);
    }

    void questionOutsideTheSlotsBuildsNothing_data() {
        QTest::addColumn<int>("question");
        QTest::newRow("0") << 0;
        QTest::newRow("101") << 101;
        QTest::newRow("negative") << -3;
    }
    void questionOutsideTheSlotsBuildsNothing() {
        QFETCH(int, question);
        QCOMPARE(BuildQuestionMailText(defaults(), {question, "", "5", "100", "1"}), SjisText());
    }

    void wholeNumbers_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << QByteArray("42") << true << 42;
        QTest::newRow("leading zero") << QByteArray("007") << true << 7;
        QTest::newRow("negative") << QByteArray("-5") << true << -5;
        QTest::newRow("empty") << QByteArray("") << false << 0;
        QTest::newRow("plus") << QByteArray("+5") << false << 0;
        QTest::newRow("space") << QByteArray(" 5") << false << 0;
        QTest::newRow("trailing") << QByteArray("5a") << false << 0;
        QTest::newRow("decimal") << QByteArray("1.5") << false << 0;
        QTest::newRow("full-width five") << QByteArray("\x82\x54") << false << 0;
        QTest::newRow("overflow") << QByteArray("99999999999999999999999") << false << 0;
    }
    void wholeNumbers() {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        QFETCH(int, value);
        const auto n = WholeNumber(text.toStdString());
        QCOMPARE(n.has_value(), valid);
        if (valid) QCOMPARE(*n, long(value));
    }

    void defaultSubject() {
        QCOMPARE(un(DefaultQuestionSubject("3", 1)), u"第3回のクイズ第1問"_qs);
        QCOMPARE(un(DefaultQuestionSubject("12", 100)), u"第12回のクイズ第100問"_qs);
    }
};

QTEST_GUILESS_MAIN(TestQuestionMail)
#include "tst_question_mail.moc"
