#pragma once

// Values shared by the upload permission and download group windows: the positions their lists
// show, the position node a user picked in the department tree, and who writes a change.

#include <QDateTime>
#include <QString>

namespace quarvel {

// One position as the two windows list it: the position with its department and holder.
struct ListedPosition {
    QString positionCode;  // 岗位代号 as stored
    QString positionName;  // 岗位名称
    QString deptCode;      // 职能部门编号
    QString deptName;      // 职能部门名称
    QString holderName;    // 姓名 of the holder, "" for a vacant position

    // The list item's key: "G" + 岗位代号.
    QString key() const { return QStringLiteral("G") + positionCode; }
};

// The node of the department and position tree that an action works on: its key, text and
// picture (2 for a position, whose text is the position name, one blank and the holder's name).
// An empty key means that no node is selected.
struct PositionNode {
    QString key;
    QString text;
    int picture = 0;

    bool isPosition() const;
    // The position code: the key without its first character.
    QString code() const { return key.mid(1); }
    // The holder's name: the text after its first blank, trimmed ("" without a blank).
    QString holderName() const;
};

// Who writes a change and when (CzyID and updatedate of the rows written).
struct ChangeAuthor {
    QString employeeNo;
    QDateTime now;
};

}  // namespace quarvel
