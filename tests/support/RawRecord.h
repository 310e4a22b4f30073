#pragma once
// The data files spelled out by plain byte offsets, without the program's
// record code: 16-bit integers low byte first, and strings counted by a
// 16-bit length. Tests build files with these and read back what the
// windows wrote, so a fault in the record code cannot hide itself.
#include <QByteArray>
#include <QList>

#include "platform/SjisText.h"

inline QByteArray bytesOf(const SjisText& s) { return QByteArray(s.data(), qsizetype(s.size())); }

inline void put16(QByteArray& b, int v) { b.append(char(v & 0xff)).append(char((v >> 8) & 0xff)); }
inline void putString(QByteArray& b, const QByteArray& s) {
    put16(b, int(s.size()));
    b += s;
}

// trv3.dat holding `round`.
inline QByteArray counterFile(int round) {
    QByteArray b;
    put16(b, round);
    return b;
}

// Reads the fields one after another. A field that runs past the end sets
// `overrun` (and reads as what is there), so a short file cannot pass for a
// complete one.
struct RawReader {
    explicit RawReader(const QByteArray& bytes) : b(bytes) {}

    int int16() {
        if (pos + 2 > b.size()) { overrun = true; pos += 2; return 0; }
        const int v = qint16(quint8(b[pos]) | (quint8(b[pos + 1]) << 8));
        pos += 2;
        return v;
    }
    QByteArray str() {
        const int n = quint16(int16());
        if (pos + n > b.size()) overrun = true;
        const QByteArray s = pos < b.size() ? b.mid(pos, n) : QByteArray();
        pos += n;
        return s;
    }

    QByteArray b;
    int pos = 0;
    bool overrun = false;
};

// A question file: the counts and order of the fields written out once more.
struct RawQuestionFile : RawReader {
    explicit RawQuestionFile(const QByteArray& bytes) : RawReader(bytes) {
        count = str();
        for (int i = 0; i < 100; ++i) subject << str();
        for (int i = 0; i < 100; ++i) questionText << str();
        for (int i = 0; i < 100; ++i) separator << str();
        for (int i = 0; i < 1000; ++i) label << str();
        for (int i = 0; i < 1000; ++i) choiceSeparator << str();
        for (int i = 0; i < 1000; ++i) choiceText << str();
        for (int i = 0; i < 1000; ++i) choiceCorrect << int16();
        for (int i = 0; i < 100; ++i) replyMinutes << int16();
        for (int i = 0; i < 100; ++i) mail << str();
        for (int i = 0; i < 100; ++i) reserved << int16();
        for (int i = 0; i < 100; ++i) correct << int16();
        for (int i = 0; i < 100; ++i) points << int16();
        total = int16();
        end = pos;
    }
    // Question q is 1..100, choice f 0..9; a 100 x 10 block runs q fastest.
    static int at(int q, int f) { return 100 * f + (q - 1); }

    int end = 0;
    QByteArray count;
    QList<QByteArray> subject, questionText, separator, label, choiceSeparator, choiceText, mail;
    QList<int> choiceCorrect, replyMinutes, reserved, correct, points;
    int total = 0;
};

// An invitation or closing-mail file: text, text, two integers, text,
// integer, text. Made empty, it is filled in and written out with bytes().
struct RawMailFile : RawReader {
    RawMailFile() : RawReader(QByteArray()) {}
    explicit RawMailFile(const QByteArray& bytes) : RawReader(bytes) {
        greeting = str();
        name = str();
        round = int16();
        replyMinutes = int16();
        subject = str();
        byteCount = int16();
        body = str();
        end = pos;
    }
    QByteArray bytes() const {
        QByteArray out;
        putString(out, greeting);
        putString(out, name);
        put16(out, round);
        put16(out, replyMinutes);
        putString(out, subject);
        put16(out, byteCount);
        putString(out, body);
        return out;
    }

    int end = 0;   // bytes the record takes
    QByteArray greeting, name, subject, body;
    int round = 0, replyMinutes = 0, byteCount = 0;
};
