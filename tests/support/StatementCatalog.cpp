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
        {QStringLiteral("a document of the type"), TypeSettings::documentOfTypeStatement()},
        {QStringLiteral("level of a type"), TypeSettings::levelStatement()},
        {QStringLiteral("find a type"), TypeSettings::findStatement()},
        {QStringLiteral("add a type"), TypeSettings::insertStatement()},
        {QStringLiteral("change a type"), TypeSettings::updateStatement()},
        {QStringLiteral("delete a type"), TypeSettings::deleteStatement()},
        {QStringLiteral("void a type"), TypeSettings::voidStatement()},
        {QStringLiteral("un-void a type"), TypeSettings::unvoidStatement()},
    };
    const QList<QPair<QString, QString>> rights = {
        {QStringLiteral("rights of a document"), DocumentRights::loadStatement()},
        {QStringLiteral("grant a right"), DocumentRights::insertStatement()},
        {QStringLiteral("move a right"), DocumentRights::moveStatement()},
        {QStringLiteral("members of a download group"), DocumentRights::membersStatement()},
        {QStringLiteral("right of a position"), DocumentRights::existingStatement()},
        {QStringLiteral("remove a right"), DocumentRights::deleteStatement()},
        {QStringLiteral("switch reading"), DocumentRights::readStatement()},
        {QStringLiteral("switch download off"), DocumentRights::downloadOffStatement()},
        {QStringLiteral("switch download on"), DocumentRights::downloadOnStatement()},
    };
    for (const auto& [name, sql] : rights)
        all.append({name, sql});
    for (const auto& s : DocumentContent::statements())
        all.append({s.name, s.tsql});
    for (const auto& s : UploadDocuments::statements())
        all.append({s.first, s.second});
    return all;
}

}  // namespace quarvel
