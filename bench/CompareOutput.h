#pragma once
// What the comparison benchmarks print: one Markdown row per measure
// (measure, program, peer, ratio, target; no header, bench/compare.sh writes
// it), and a line for every correctness check that fails. The exit status
// follows the checks, never the targets.
#include <QString>

#include <cstdio>

inline double ms(qint64 ns) { return double(ns) / 1e6; }

inline QString msText(double v) { return QString::number(v, 'f', 0) + " ms"; }

// The program's figure over the peer's; a dash without the peer's.
inline QString ratioText(double program, double peer)
{
    return peer > 0 ? QString::number(program / peer, 'f', 2) + "×" : QString("—");
}

inline void row(const QString& measure, const QString& program, const QString& peer, const QString& ratio,
                const QString& target)
{
    std::printf("| %s | %s | %s | %s | %s |\n", qPrintable(measure), qPrintable(program), qPrintable(peer),
                qPrintable(ratio), qPrintable(target));
}

// Whether every check so far held; a failed one is printed where it fails.
inline bool allGood = true;

inline void check(bool ok, const QString& what)
{
    if (!ok) {
        allGood = false;
        std::printf("CHECK FAILED: %s\n", qPrintable(what));
    }
}
