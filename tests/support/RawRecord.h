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
    qint32 int32() {
        if (pos + 4 > b.size()) { overrun = true; pos += 4; return 0; }
        qint32 v = 0;
        for (int k = 3; k >= 0; --k) v = (v << 8) | quint8(b[pos + k]);
        pos += 4;
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

// The roster of a round (trv2s<N>.dat): 1000 names, 1000 addresses, 1000
// joined marks.
struct RawRoster : RawReader {
    explicit RawRoster(const QByteArray& bytes) : RawReader(bytes) {
        for (int i = 0; i < 1000; ++i) names << str();
        for (int i = 0; i < 1000; ++i) addresses << str();
        for (int i = 0; i < 1000; ++i) joined << int16();
        end = pos;
    }
    int end = 0;
    QList<QByteArray> names, addresses;
    QList<int> joined;
};

// The results of a round (trv7<N>.dat): the participant count, then sized
// arrays, each a descriptor (dimension count, then per dimension an element
// count and a lower bound, 32 bits each) and its elements, the first index
// running fastest.
struct RawResults : RawReader {
    struct Bounds {
        int dims = 0;
        QList<QPair<int, int>> countAndLower;   // per dimension, in file order
    };
    explicit RawResults(const QByteArray& bytes) : RawReader(bytes) {
        participants = int16();
        arrival = intArray();
        points = intArray();
        rank = intArray();
        names = strArray();
        addresses = strArray();
        correct = intArray();
        rate = intArray();
        answers = intArray();
        marks = strArray();
        reserved = intArray();
        end = pos;
    }
    // Element [p][q] of a two-dimensional array with rows 0..C-1, q from 1.
    int at(int p, int q) const { return p + (q - 1) * rows(); }
    int rows() const { return descriptors.size() > 7 ? descriptors[7].countAndLower.value(0).first : 0; }

    int end = 0;
    int participants = 0;
    QList<Bounds> descriptors;   // the ten arrays' descriptors, in file order
    QList<int> arrival, points, rank, correct, rate, answers, reserved;
    QList<QByteArray> names, addresses, marks;

private:
    int descriptor() {
        Bounds bounds;
        bounds.dims = int16();
        int elements = bounds.dims > 0 ? 1 : 0;
        for (int d = 0; d < bounds.dims && !overrun; ++d) {
            const int count = int32();
            const int lower = int32();
            bounds.countAndLower << qMakePair(count, lower);
            elements *= count;
        }
        descriptors << bounds;
        return overrun || elements < 0 || elements > b.size() ? 0 : elements;
    }
    QList<int> intArray() {
        QList<int> out;
        for (int n = descriptor(), i = 0; i < n; ++i) out << int16();
        return out;
    }
    QList<QByteArray> strArray() {
        QList<QByteArray> out;
        for (int n = descriptor(), i = 0; i < n; ++i) out << str();
        return out;
    }
};
