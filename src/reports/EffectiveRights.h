#pragma once

// Why a position may read or download a document: the rows of the rights table that grant it,
// the download groups the position belongs to (the rights table does not record whether a row
// was granted through a group, so a row always reads "granted to the position", with the
// groups beside it), and the types the position may upload to. For one document (optionally
// narrowed to one position) or for one position. Users without the special audit right see
// only their own department's positions. No widgets here.

#include "db/DbError.h"
#include "db/NamedStatement.h"
#include "reports/DocumentLookup.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace quarvel {

// One row of the rights table, with what explains it.
struct ExplainedRight {
    qint64 id = 0;
    QString documentNumber, documentName, typeCode, typeName;
    QString departmentCode, departmentName, positionCode, positionName;
    bool read = false;
    bool download = false;
    QString grantedAt;           // updatedate as stored
    QString grantedBy;           // CzyID, with the name when known
    QStringList groups;          // "组ID 组名称" of the download groups holding the position
    bool mayUploadType = false;  // the position may upload to the document's type

    // "可查阅、可下载", "只可查阅", "只可下载（不可在线查阅）" or "无查阅和下载权限".
    QString rightsText() const;
};

struct DocumentExplanation {
    bool found = false;
    FoundDocument document;
    std::optional<QString> position;  // the position asked about, if any
    QString positionName;             // its name when known
    QStringList positionGroups;       // its download groups, also when it holds no row
    QVector<ExplainedRight> rows;     // of the position asked about, or all (within the scope)
};

struct PositionExplanation {
    bool found = false;
    bool outsideScope = false;  // the position lies outside the user's department
    QString code, name, departmentCode, departmentName;
    QStringList groups;            // "组ID 组名称"
    QStringList uploadTypes;       // "编号 名称"
    QVector<ExplainedRight> rows;  // ordered by document number; the position's columns left empty
};

class EffectiveRights {
public:
    void restrictTo(std::optional<QString> departmentCode) { m_scope = std::move(departmentCode); }

    DbResult<DocumentExplanation> forDocument(const QString& documentNumber,
                                              const std::optional<QString>& positionCode = std::nullopt) const;
    DbResult<PositionExplanation> forPosition(const QString& positionCode) const;

    // The explanation in plain sentences.
    static QStringList sentences(const DocumentExplanation& e);
    static QStringList sentences(const PositionExplanation& e);

    static QString documentRightsStatement(bool onePosition, bool scoped);
    static QString documentGroupsStatement();
    static QString positionStatement();
    static QString positionRightsStatement();
    // How many rows positionRightsStatement() returns, to size the list once.
    static QString positionRightsCountStatement();
    static QString positionGroupsStatement();
    static QString positionUploadStatement();
    static QVector<NamedStatement> statements();

private:
    std::optional<QString> m_scope;
};

}  // namespace quarvel

// Rows move in memory as plain bytes when a list grows.
Q_DECLARE_TYPEINFO(quarvel::ExplainedRight, Q_RELOCATABLE_TYPE);
