#pragma once

#include "TestSupport.h"

#include "directory/DepartmentDirectory.h"

#include <QDate>
#include <QDateTime>
#include <QSet>
#include <QStringList>

namespace quarvel::test {

// DatedOrganisation rows beyond what TestDatabase offers: dated parent rows, closings, holders.
struct DatedOrganisation {
    TestDatabase& db;

    static QDateTime day(int year, int month = 1, int dayOfMonth = 1)
    {
        return QDateTime(QDate(year, month, dayOfMonth), QTime(0, 0));
    }

    // A department without any parent row.
    void department(const QString& code, const QString& name = {})
    {
        db.addDepartment(code, name.isNull() ? QStringLiteral("部门") + code : name);
    }
    // A parent row from the given day on; a null parent is stored as null.
    void parentRow(const QString& code, const QString& parent, const QDateTime& from)
    {
        db.insert(QStringLiteral("上级部门new"),
                  {{QStringLiteral("职能部门编号"), code},
                   {QStringLiteral("上级部门编号"), parent.isNull() ? QVariant() : QVariant(parent)},
                   {QStringLiteral("起始日期"), from}});
    }
    void child(const QString& code, const QString& parent)
    {
        department(code);
        parentRow(code, parent, day(2020));
    }
    void closeDepartment(const QString& code)
    {
        db.exec(QStringLiteral("update 职能部门new set 终止日期 = ? where 职能部门编号 = ?"), {day(2023), code});
    }
    void closePosition(const QString& code)
    {
        db.exec(QStringLiteral("update 岗位信息new set 终止日期 = ? where 岗位代号 = ?"), {day(2023), code});
    }
    void employee(const QString& number, const QString& name, const QString& englishName = {})
    {
        db.insert(QStringLiteral("员工档案"),
                  {{QStringLiteral("工号"), number},
                   {QStringLiteral("姓名"), name},
                   {QStringLiteral("英文名"), englishName.isNull() ? QVariant() : QVariant(englishName)}});
    }
};

// One line per node, so that whole node lists compare (and print) as string lists.
inline QString describeNode(const TreeNodeSpec& node)
{
    return node.key + u'|' + node.parentKey + u'|' + node.text + u'|' + QString::number(node.picture) + u'|' + node.tag;
}

inline QStringList describeNodes(const QVector<TreeNodeSpec>& nodes)
{
    QStringList out;
    out.reserve(nodes.size());
    for (const TreeNodeSpec& n : nodes)
        out << describeNode(n);
    return out;
}

inline QStringList keysOf(const QVector<TreeNodeSpec>& nodes)
{
    QStringList out;
    for (const TreeNodeSpec& n : nodes)
        out << n.key;
    return out;
}

// The department tree built the plain way: for every top-level department, scan the whole list
// for its children, recursively. Quadratic, kept here as the reference for the linear builder.
// A key already added is left out with everything below it, and the scan goes on.
class QuadraticReference {
public:
    explicit QuadraticReference(const QVector<DepartmentEntry>& departments) : departments_(departments)
    {
        for (const DepartmentEntry& entry : departments_) {
            if (entry.parentCode.isEmpty() && add(entry, QString()))
                addChildDepartments(entry.code);
        }
    }

    const QVector<TreeNodeSpec>& nodes() const { return nodes_; }
    const QStringList& repeated() const { return repeated_; }

private:
    bool add(const DepartmentEntry& entry, const QString& parentKey)
    {
        TreeNodeSpec node;
        node.key = QLatin1Char('$') + entry.code;
        node.text = entry.code + QLatin1Char(' ') + entry.name;
        node.parentKey = parentKey;
        node.picture = 1;
        if (keys_.contains(node.key)) {
            if (!repeated_.contains(entry.code))
                repeated_.append(entry.code);
            return false;
        }
        keys_.insert(node.key);
        nodes_.append(node);
        return true;
    }

    void addChildDepartments(const QString& parentCode)
    {
        for (const DepartmentEntry& entry : departments_) {
            if (entry.parentCode == parentCode && add(entry, QLatin1Char('$') + parentCode))
                addChildDepartments(entry.code);
        }
    }

    const QVector<DepartmentEntry>& departments_;
    QVector<TreeNodeSpec> nodes_;
    QSet<QString> keys_;
    QStringList repeated_;
};

}  // namespace quarvel::test
