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

#include <functional>
#include <memory>
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
    // The position's rights rows counted: all, those that grant reading, those that grant
    // downloading (also when `rows` is read in steps).
    int rightRows = 0;
    int readRows = 0;
    int downloadRows = 0;
};

// The rows of a position's rights read in steps: the statement stays open between the steps,
// so that a list of every document shows its first rows at once. Destroying it ends the
// statement.
class PositionRightsReader {
public:
    ~PositionRightsReader();
    PositionRightsReader(const PositionRightsReader&) = delete;
    PositionRightsReader& operator=(const PositionRightsReader&) = delete;

    // The rows in all, counted when it was opened.
    int total() const { return m_total; }
    // Reads up to `count` more rows into `sink` (which may move from the row); false once every
    // row has been read or the reading failed (error()).
    bool read(int count, const std::function<void(ExplainedRight&)>& sink);
    // The same appending the rows to `into`, each made in place.
    bool read(int count, QVector<ExplainedRight>& into);
    bool atEnd() const { return m_done; }
    const DbError& error() const { return m_error; }

private:
    friend class EffectiveRights;
    struct State;
    PositionRightsReader();
    // Steps to the next row; false at the end or on a failure (the statement then ends).
    bool advance();
    // The current row into `r`.
    void fill(ExplainedRight& r);

    std::unique_ptr<State> m_state;
    int m_total = 0;
    bool m_done = false;
    DbError m_error;
};

// A position explained with its rows still to read: `rows` is null when the position was not
// found or lies outside the scope.
struct PositionRights {
    PositionExplanation explanation;  // without rows
    std::unique_ptr<PositionRightsReader> rows;
};

class EffectiveRights {
public:
    void restrictTo(std::optional<QString> departmentCode) { m_scope = std::move(departmentCode); }

    DbResult<DocumentExplanation> forDocument(const QString& documentNumber,
                                              const std::optional<QString>& positionCode = std::nullopt) const;
    DbResult<PositionExplanation> forPosition(const QString& positionCode) const;
    // The same with the rows read in steps.
    DbResult<PositionRights> openPosition(const QString& positionCode) const;

    // The explanation in plain sentences.
    static QStringList sentences(const DocumentExplanation& e);
    static QStringList sentences(const PositionExplanation& e);

    static QString documentRightsStatement(bool onePosition, bool scoped);
    static QString documentGroupsStatement();
    static QString positionStatement();
    static QString positionRightsStatement();
    // How many rows positionRightsStatement() returns (to size the list once), and how many
    // of them grant reading and downloading.
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
