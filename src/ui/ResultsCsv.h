#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

class QAbstractItemModel;

// The results table as a CSV file a spreadsheet program in Japan opens as it
// is: UTF-8 with a byte order mark, one header row, then the rows in the
// order the table shows them; fields quoted as RFC 4180 says (only where
// they hold a comma, a quote or a line break, quotes doubled), every record
// ended by CR LF.
QByteArray csvBytes(const QAbstractItemModel& table);

// One CSV field, quoted where it needs to be.
QString csvField(const QString& text);
