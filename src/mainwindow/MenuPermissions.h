#pragma once

#include "db/DbError.h"

#include <QString>
#include <QVector>

#include <optional>

namespace quarvel {

// One row of the menu permissions of a position: a menu entry name and whether it is enabled
// (no value when the row's Popedom is null).
struct MenuGrant {
    QString formName;
    std::optional<bool> popedom;
};

class MenuPermissions {
public:
    static const QString& statement();
    // The rows for the position, ordered by Popedom (refusals first, grants last).
    static DbResult<QVector<MenuGrant>> load(const QString& positionCode);
};

// The log-off notice for the module launcher: the file "Command.Dll" in the given folder with
// the single line "注销" in GBK and CR LF.
// The error gives the reason when it cannot be written.
DbStatus writeLogOffNotice(const QString& folder);
// The path of that file.
QString logOffNoticePath(const QString& folder);

}  // namespace quarvel
