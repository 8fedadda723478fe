#include "StatementCatalog.h"

#include "db/Connection.h"
#include "db/ValueList.h"
#include "directory/DepartmentDirectory.h"
#include "doctypes/TypeSettings.h"
#include "doctypes/TypeTree.h"
#include "library/BrowseDocuments.h"
#include "library/DocumentAccess.h"
#include "library/DocumentRights.h"
#include "library/FullTextIndex.h"
#include "library/UploadDocuments.h"
#include "login/LoginService.h"
#include "mainwindow/MenuPermissions.h"
#include "permissions/DownloadGroups.h"
#include "permissions/UploadPermissions.h"
#include "reports/AccessStatistics.h"
#include "shared/ContentTransfer.h"

#include <QRegularExpression>

namespace quarvel {

QVector<CatalogEntry> statementCatalog()
{
    QVector<CatalogEntry> all = {
        {QStringLiteral("server clock"), serverDateStatement()},
        {QStringLiteral("employee check"), LoginService::employeeCheckStatement()},
        {QStringLiteral("positions of an employee"), LoginService::positionStatement()},
        {QStringLiteral("menu permissions"), MenuPermissions::statement()},
        {QStringLiteral("departments with their current parent"), DepartmentDirectory::departmentStatement()},
        {QStringLiteral("positions of a department"),
         DepartmentDirectory::positionStatement(PositionVariant::Standard)},
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
    for (const auto& s : FullTextIndex::statements())
        all.append({s.name, s.tsql});

    // Browsing, opening and the access log; the searches with no filter and with every one.
    BrowseSearch plain;
    plain.typeCodes = {QStringLiteral("01")};
    BrowseSearch full = plain;
    full.formats = {QStringLiteral("pdf")};
    full.byName = full.byUploader = full.byKeywords = full.byDate = true;
    full.name = full.uploader = full.keywords = QStringLiteral("x");
    full.from = full.to = QDate(2026, 1, 1);
    all.append({QStringLiteral("formats of the stored documents"), BrowseDocuments::formatsStatement()});
    all.append({QStringLiteral("newest documents of a position"), BrowseDocuments::recentStatement()});
    all.append({QStringLiteral("document search by types"), BrowseDocuments::searchStatement(plain)});
    all.append({QStringLiteral("document search with every filter"), BrowseDocuments::searchStatement(full)});
    all.append({QStringLiteral("document to open"), DocumentAccess::documentStatement()});
    all.append({QStringLiteral("access log row"), DocumentAccess::logStatement()});

    for (const auto& s : UploadPermissions::statements())
        all.append({s.name, s.tsql});
    for (const auto& s : DownloadGroups::statements())
        all.append({s.name, s.tsql});

    // Access statistics and their details, with no optional filter and with every one.
    StatisticsFilter lists;
    lists.typeCodes = {QStringLiteral("01")};
    lists.departmentCodes = {QStringLiteral("D01")};
    StatisticsFilter every = lists;
    every.employeeName = every.fileName = QStringLiteral("x");
    every.from = every.to = QDate(2026, 1, 1);
    all.append({QStringLiteral("special audit right"), AccessStatistics::specialAuditStatement()});
    all.append({QStringLiteral("access statistics"), AccessStatistics::statisticsStatement(lists)});
    all.append({QStringLiteral("access statistics with every filter"), AccessStatistics::statisticsStatement(every)});
    all.append({QStringLiteral("accesses of a document"), AccessStatistics::detailsStatement(lists)});
    all.append({QStringLiteral("accesses of a document with every filter"), AccessStatistics::detailsStatement(every)});
    return all;
}

QVector<CatalogEntry> serverOnlyStatements()
{
    // The T-SQL parser reads no IF statement: a statement guarded by "if object_id(...) is
    // [not] null" is checked without its guard.
    static const QRegularExpression guard(QStringLiteral(R"(^\s*if\s+object_id\s*\([^)]*\)\s+is\s+(not\s+)?null\s+)"),
                                          QRegularExpression::CaseInsensitiveOption);
    QVector<CatalogEntry> all;
    for (const auto& s : ValueList::statements())
        all.append({s.name, QString(s.tsql).remove(guard)});
    for (const auto& s : FullTextIndex::serverStatements())
        all.append({s.name, s.tsql});
    return all;
}

}  // namespace quarvel
