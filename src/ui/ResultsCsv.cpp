#include "ui/ResultsCsv.h"

#include <QAbstractItemModel>

QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\r')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray csvBytes(const QAbstractItemModel& table) {
    QString out;
    auto record = [&out](const QStringList& fields) {
        QStringList quoted;
        for (const QString& f : fields) quoted << csvField(f);
        out += quoted.join(QLatin1Char(',')) + QLatin1String("\r\n");
    };
    QStringList header;
    for (int c = 0; c < table.columnCount(); ++c) header << table.headerData(c, Qt::Horizontal).toString();
    record(header);
    for (int r = 0; r < table.rowCount(); ++r) {
        QStringList fields;
        for (int c = 0; c < table.columnCount(); ++c) fields << table.index(r, c).data().toString();
        record(fields);
    }
    return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}
