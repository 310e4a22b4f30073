#include "ui/JapaneseFont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace {

bool drawsEverything(const QString& family) {
    const QList<QFontDatabase::WritingSystem> systems = QFontDatabase::writingSystems(family);
    return systems.contains(QFontDatabase::Japanese) && systems.contains(QFontDatabase::Latin) &&
           QFontDatabase::styles(family).contains(QStringLiteral("Bold"));
}

// Higher is better: made for Japanese rather than for its neighbours, and
// the plain Gothic of its family rather than its serif or fixed-pitch kin.
int preference(const QString& family) {
    int score = 0;
    if (family.contains(QLatin1String("JP")) || family.contains(QLatin1String("Japanese"))) score += 4;
    if (family.contains(QLatin1String("Gothic")) || family.contains(QLatin1String("Sans"))) score += 2;
    if (family.contains(QLatin1String("Serif")) || family.contains(QLatin1String("Mono")) ||
        family.contains(QLatin1String("Mincho")))
        score -= 8;
    return score;
}

}  // namespace

QString japaneseFamily(const QFont& base) {
    const QString own = QFontInfo(base).family();
    if (drawsEverything(own)) return own;
    QString best;
    for (const QString& family : QFontDatabase::families(QFontDatabase::Japanese))
        if (drawsEverything(family) && (best.isEmpty() || preference(family) > preference(best))) best = family;
    return best.isEmpty() ? own : best;
}
