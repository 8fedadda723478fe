#pragma once

#include "db/DbError.h"
#include "db/NamedStatement.h"

#include <QDateTime>
#include <QString>
#include <QVector>

#include <optional>

namespace quarvel {

// One row of the rights grid: a right joined with the holders of its position (a position held
// by two employees gives two rows with the same ID).
struct DocumentRightRow {
    qint64 id = 0;
    QString documentNumber;
    QString deptCode, deptName, positionCode, positionName;
    QString holderName;
    bool download = false;
    bool read = false;
};

// A position of a download group with its department.
struct GroupMember {
    QString positionCode, positionName, holderName, deptCode, deptName;
};

// A position node of the chooser as the rights grid shows it: "code name" of the department,
// "code name" of the position and the holder from "code name[holder]".
struct ChosenPosition {
    QString department, position, holder;
    QString deptCode, deptName, positionCode, positionName;
    // False when the department or position text has no name after its code.
    bool complete = false;

    static ChosenPosition parse(const QString& departmentText, const QString& positionNodeText);
};

// A "code name" text as the grids and lists show departments, positions and groups: the code is
// the text up to the first blank, the name its second blank-separated part (none without one).
QString codePart(const QString& text);
std::optional<QString> namePart(const QString& text);

// How placing a chosen position on a grid row ended.
struct PlaceOutcome {
    enum Kind { Granted, Moved, AlreadyListed, MissingPart, NoDocument, Failed };
    Kind kind = Failed;
    DbError error;
};

// The read and download rights of positions on one document. The document is named by its
// number, which every statement stores and compares as documentNumberOf gives it.
class DocumentRights {
public:
    static const QString& loadStatement();
    static const QString& insertStatement();
    static const QString& moveStatement();
    static const QString& membersStatement();
    static const QString& existingStatement();
    static const QString& deleteStatement();
    static const QString& readStatement();
    static const QString& downloadOffStatement();
    static const QString& downloadOnStatement();

    // The rights of the document, in the order of their IDs.
    static DbResult<QVector<DocumentRightRow>> load(const QString& documentNumber);
    // A new right with both flags on.
    static DbStatus grant(const QString& documentNumber, const QString& deptCode, const QString& deptName,
                          const QString& positionCode, const QString& positionName, const QDateTime& now,
                          const QString& operatorNo);
    // Moves a right to another position, keeping its flags and its ID.
    static DbStatus move(qint64 id, const QString& deptCode, const QString& deptName, const QString& positionCode,
                         const QString& positionName);
    // Places the chosen position on the document: a new right on the blank row (no rightId),
    // or the right of the row moved to it. Refused when another right of the document already
    // names the position. One transaction: the check and the write together.
    static PlaceOutcome place(const QString& documentNumber, std::optional<qint64> rightId,
                              const ChosenPosition& chosen, const QDateTime& now, const QString& operatorNo);
    static const QString& otherRightStatement();
    // Every statement in T-SQL form.
    static QVector<NamedStatement> statements();
    // The member positions of a group that have a department.
    static DbResult<QVector<GroupMember>> members(const QString& groupId);
    // Grants every member position of the group that has no right on the document yet, in one
    // transaction: either all of them get their right or none does. Returns how many were added.
    static DbResult<int> grantGroup(const QString& documentNumber, const QString& groupId, const QDateTime& now,
                                    const QString& operatorNo);
    static DbStatus remove(qint64 id);
    static DbStatus setRead(qint64 id, bool allowed);
    // Download on turns reading on too; download off leaves reading as it is.
    static DbStatus setDownload(qint64 id, bool allowed);
};

}  // namespace quarvel
