#include "login/StatementCatalog.h"

#include "login/Connection.h"
#include "login/LoginService.h"
#include "mainwindow/MenuPermissions.h"

namespace quarvel {

QVector<CatalogEntry> statementCatalog()
{
    return {
        {QStringLiteral("server clock"), serverDateStatement()},
        {QStringLiteral("employee check"), LoginService::employeeCheckStatement()},
        {QStringLiteral("positions of an employee"), LoginService::positionStatement()},
        {QStringLiteral("menu permissions"), MenuPermissions::statement()},
    };
}

}  // namespace quarvel
