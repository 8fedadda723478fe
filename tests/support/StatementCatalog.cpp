#include "StatementCatalog.h"

#include "directory/DepartmentDirectory.h"
#include "doctypes/TypeSettings.h"
#include "doctypes/TypeTree.h"
#include "library/UploadDocuments.h"
#include "library/DocumentRights.h"
#include "db/Connection.h"
#include "login/LoginService.h"
#include "mainwindow/MenuPermissions.h"
#include "shared/ContentTransfer.h"

namespace quarvel {

QVector<CatalogEntry> statementCatalog()
{
    QVector<CatalogEntry> all = {
        {QStringLiteral("server clock"), serverDateStatement()},
        {QStringLiteral("employee check"), LoginService::employeeCheckStatement()},
        {QStringLiteral("positions of an employee"), LoginService::positionStatement()},
        {QStringLiteral("menu permissions"), MenuPermissions::statement()},
        {QStringLiteral("departments with their current parent"), DepartmentDirectory::departmentStatement()},
        {QStringLiteral("positions of a department"), DepartmentDirectory::positionStatement(PositionVariant::Standard)},
        {QStringLiteral("positions of a department with English names"),
         DepartmentDirectory::positionStatement(PositionVariant::Upload)},
        {QStringLiteral("type tree"), TypeTree::loadStatement()},
        {QStringLiteral("types with upload permissions"), TypeTree::permittedCodesStatement()},
        {QStringLiteral("types the position may upload to"), TypeTree::positionPermittedCodesStatement()},
        {QStringLiteral("voided types"), TypeTree::voidedCodesStatement()},
    };
    for (const auto& s : TypeSettings::statements())
        all.append({s.name, s.tsql});
    for (const auto& s : DocumentRights::statements())
        all.append({s.name, s.tsql});
    for (const auto& s : DocumentContent::statements())
        all.append({s.name, s.tsql});
    for (const auto& s : UploadDocuments::statements())
        all.append({s.name, s.tsql});
    return all;
}

}  // namespace quarvel
