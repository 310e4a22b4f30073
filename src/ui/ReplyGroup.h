#pragma once
#include <QGroupBox>
#include <QList>
#include <QString>

#include "model/Records.h"
#include "ui/FieldRules.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;

// The "返信の受け付け" group beside the address book: whose replies are read
// (senders at the mobile mail domains listed, or everyone in the address
// book) and whether answers in full-width digits count. Kept in trv2x.dat,
// not in trv2.dat, so a folder of an older copy keeps its layout; its
// defaults are the carriers' domains and half-width digits only.
class ReplyGroup : public QGroupBox {
    Q_OBJECT
public:
    explicit ReplyGroup(QWidget* parent = nullptr);

    QComboBox* players;          // 携帯電話のドメインのみ / アドレス帳の全員
    QPlainTextEdit* domains;     // one domain a line; only for the domain rule
    QLabel* domainsHint;
    QCheckBox* fullWidthDigits;  // 全角数字の答えも受け付ける

    void load(const ReplySettings& s);
    // What keeps the group from being stored as shown: a character the file
    // cannot hold, or more domains than it has slots.
    QList<FieldCheck> checks() const;
    // Into `s`, keeping what the group shows as stored (the stored list while
    // the box still shows it, a stored value read as the choice shown) byte
    // for byte. Call only when checks() found nothing.
    void store(ReplySettings& s) const;

private:
    void followPlayers();

    QString shownDomains_;   // the box's text as loaded
};
