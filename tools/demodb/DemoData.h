#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace quarvel::demo {

// Sizes of a demo database. The fixed demo company (departments, positions, the demo
// logins, types, documents) always exists; a count above its size adds generated rows.
struct DemoSizes {
    int departments = 0;      // total departments (at least the fixed ones)
    int types = 0;            // total document types (at least the fixed ones)
    int documents = 0;        // total documents (at least the fixed ones)
    qint64 logRows = 600;     // access-log rows, exactly
    qint64 rights = 0;        // total download-rights rows (at least those the documents get)
    qint64 fileSize = 0;      // bytes of each generated document's file; 0 = small mixed files
    int textDocuments = 0;    // documents with Chinese text of their own (text files, some in GBK), for
                              // the search inside documents
    quint64 seed = 20130921;  // the same seed and reference time give the same rows
    QDateTime referenceTime;  // "now" of the data (uploads and accesses lie before it);
                              // invalid = the current time
};

// Row counts of a built database.
struct DemoSummary {
    int departmentCategories = 0;
    int positionCategories = 0;
    int departments = 0;
    int positions = 0;
    int employees = 0;
    int assignments = 0;
    int permissionRows = 0;  // 岗位权限设置
    int menuGrants = 0;      // GroupPrivilege
    int types = 0;
    int uploadRights = 0;
    int documents = 0;
    qint64 fileBytes = 0;
    int downloadRights = 0;
    int downloadGroups = 0;
    int groupMembers = 0;
    qint64 logRows = 0;
    QString fontFamily;  // family used for Chinese text in PDFs and pictures
};

// One of the fixed demo logins.
struct DemoLogin {
    QString employeeNo;
    QString password;
    QString description;
};

// The demo logins that the fixed data provides (the super user needs no rows).
QList<DemoLogin> demoLogins();

int fixedDepartmentCount();
int fixedTypeCount();
int fixedDocumentCount();

// Creates a new SQLite database at path from the schema and fills it inside one transaction.
// Refuses a path that already exists. Needs a QGuiApplication (documents are painted).
// On failure returns false, fills *error and removes the partial file.
bool build(const QString& path, const DemoSizes& sizes, QString* error, DemoSummary* summary = nullptr);

}  // namespace quarvel::demo
