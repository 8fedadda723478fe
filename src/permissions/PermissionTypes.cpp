#include "permissions/PermissionTypes.h"

#include "directory/DepartmentDirectory.h"

namespace quarvel {

bool PositionNode::isPosition() const { return !key.isEmpty() && picture == kPositionPicture; }

QString PositionNode::holderName() const
{
    const qsizetype blank = text.indexOf(u' ');
    return blank < 0 ? QString() : text.mid(blank + 1).trimmed();
}

}  // namespace quarvel
