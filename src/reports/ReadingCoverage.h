#pragma once

// Who among the positions granted a document has read it: every position with a read or
// download right on the document, its current holders, and the reads and downloads logged
// from that position, those that never opened it first. Users without the special audit right
// see only their own department's positions. No widgets here.

#include "db/DbError.h"
#include "db/NamedStatement.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace quarvel {

struct CoverageRow {
    QString positionCode, positionName;
    QString departmentCode, departmentName;  // as the right records them
    bool mayRead = false;
    bool mayDownload = false;
    QStringList holders;  // "工号 姓名" of the employees now in the position
    qint64 reads = 0;
    qint64 downloads = 0;
    QDateTime firstAccess, lastAccess;  // null when never opened

    bool opened() const { return reads + downloads > 0; }
};

struct CoverageSummary {
    int positions = 0;
    int opened = 0;  // positions with at least one access
};

class ReadingCoverage {
public:
    // Only positions of this department (a user without the special audit right).
    void restrictTo(std::optional<QString> departmentCode) { m_scope = std::move(departmentCode); }

    // The positions granted the document, those never opened first, then by department and
    // position code.
    DbResult<QVector<CoverageRow>> run(const QString& documentNumber) const;

    static CoverageSummary summary(const QVector<CoverageRow>& rows);
    // "yyyy/MM/dd HH:mm", "" when null.
    static QString timeText(const QDateTime& time);

    static QString positionsStatement(bool scoped);
    static QString holdersStatement(bool scoped);
    static QVector<NamedStatement> statements();

private:
    std::optional<QString> m_scope;
};

}  // namespace quarvel

// Rows move in memory as plain bytes when a list grows.
Q_DECLARE_TYPEINFO(quarvel::CoverageRow, Q_RELOCATABLE_TYPE);
