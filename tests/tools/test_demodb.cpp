// The demo database: schema completeness, the fixed demo company and logins, the documents'
// files, rights, groups, access log, and the size options.

#include "db/Schema.h"
#include "db/SqlDialect.h"
#include "db/TextCollation.h"
#include "demodb/DemoData.h"

#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using quarvel::SqlEngine;
namespace demo = quarvel::demo;

namespace {

QString u8(const char* text) { return QString::fromUtf8(text); }

// Every table and column that the client uses.
const QList<QPair<QString, QStringList>>& expectedSchema()
{
    static const QList<QPair<QString, QStringList>> tables = {
        {u8("员工档案"), {u8("工号"), u8("帐号密码"), u8("姓名"), u8("英文名"), u8("岗位编号"), u8("离职日期")}},
        {u8("岗位员工new"), {u8("员工代号"), u8("岗位代号"), u8("主要岗位"), u8("离岗日期")}},
        {u8("岗位信息new"),
         {u8("岗位代号"), u8("岗位名称"), u8("职能部门代号"), u8("岗位类别代号"), u8("工号"), u8("主要职责"),
          u8("起始日期"), u8("终止日期"), u8("备注")}},
        {u8("职能部门new"), {u8("职能部门编号"), u8("职能部门名称"), u8("职能部门类别代号"), u8("终止日期")}},
        {u8("上级部门new"), {u8("职能部门编号"), u8("上级部门编号"), u8("起始日期")}},
        {u8("职能部门类别"), {u8("部门类别代号"), u8("部门类别名称")}},
        {u8("岗位类别"), {u8("岗位类别编号"), u8("岗位类别名称")}},
        {u8("岗位权限设置"), {u8("ID"), u8("组代号"), u8("岗位代号"), u8("授权")}},
        {u8("GroupPrivilege"), {u8("GroupID"), u8("FormName"), u8("Popedom")}},
        {u8("专项审核权限表"), {u8("类型"), u8("部门代号"), u8("岗位代号")}},
        {u8("公司文件信息"),
         {u8("ID"), u8("编号"), u8("文件类别"), u8("文件名称"), u8("摘要"), u8("关键字"), u8("文件级别"),
          u8("上传人工号"), u8("上传日期"), u8("部门"), u8("岗位"), u8("文件下载"), u8("附件后缀"), u8("文件")}},
        {u8("资料类型"), {u8("ID"), u8("编号"), u8("名称"), u8("上级编号"), u8("级别"), u8("说明"), u8("终止日期")}},
        {u8("资料下载权限"),
         {u8("ID"), u8("文件编号"), u8("部门编号"), u8("部门名称"), u8("岗位代号"), u8("岗位名称"), u8("下载"),
          u8("查阅"), u8("updatedate"), u8("CzyID")}},
        {u8("资料上传权限"), {u8("文件编号"), u8("岗位代号"), u8("CzyID"), u8("updatedate")}},
        {u8("资料下载组"), {u8("组ID"), u8("组名称"), u8("备注"), u8("CzyID"), u8("updatedate")}},
        {u8("资料下载组详细"), {u8("ID"), u8("组id"), u8("岗位代号"), u8("Czyid")}},
        {u8("资料下载记录"),
         {u8("文件编号"), u8("文件名称"), u8("文件类别"), u8("摘要"), u8("工号"), u8("部门"), u8("岗位"), u8("下载"),
          u8("阅读"), u8("操作时间")}},
    };
    return tables;
}

// Date-time columns, stored as canonical text.
const QList<QPair<const char*, const char*>> kDateColumns = {
    {"员工档案", "离职日期"},       {"岗位员工new", "离岗日期"},  {"岗位信息new", "起始日期"},
    {"岗位信息new", "终止日期"},    {"职能部门new", "终止日期"},  {"上级部门new", "起始日期"},
    {"公司文件信息", "上传日期"},   {"资料类型", "终止日期"},     {"资料下载权限", "updatedate"},
    {"资料上传权限", "updatedate"}, {"资料下载组", "updatedate"}, {"资料下载记录", "操作时间"},
};

const QStringList kMenuEntries = {
    u8("公司Quarvel"),    u8("公司资料上传"), u8("公司资料查阅"), u8("资料查阅记录"), u8("阅读人员统计"),
    u8("资料阅读覆盖"),   u8("资料权限说明"), u8("资料基础设置"), u8("资料类型设置"), u8("资料上传权限设置"),
    u8("资料下载组设置"), u8("全文索引"),     u8("其它模块"),     u8("退出系统"),     u8("退出"),
    u8("注销"),           u8("关于"),         u8("关于软件"),     u8("联系我们"),
};

// Opens a database file on its own connection for the lifetime of the object.
class Db {
public:
    explicit Db(const QString& path) : m_name(QStringLiteral("test-demodb-%1").arg(++s_serial))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        m_open = db.open() && quarvel::registerTextCollation(db).ok();
    }
    ~Db()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    bool isOpen() const { return m_open; }

    // All rows of a statement written in its T-SQL form, values bound in order.
    QList<QVariantList> rows(const QString& tsql, const QVariantList& binds = {}) const
    {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        q.setForwardOnly(true);
        if (!q.prepare(quarvel::dialect::translate(tsql, SqlEngine::Sqlite)))
            qFatal("prepare failed: %s\n%s", qPrintable(q.lastError().text()), qPrintable(tsql));
        for (const QVariant& v : binds)
            q.addBindValue(v);
        if (!q.exec())
            qFatal("exec failed: %s\n%s", qPrintable(q.lastError().text()), qPrintable(tsql));
        QList<QVariantList> result;
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row.append(q.value(i));
            result.append(row);
        }
        return result;
    }

    QVariant scalar(const QString& tsql, const QVariantList& binds = {}) const
    {
        const QList<QVariantList> all = rows(tsql, binds);
        return all.isEmpty() || all.first().isEmpty() ? QVariant() : all.first().first();
    }

    qint64 count(const QString& tsql, const QVariantList& binds = {}) const { return scalar(tsql, binds).toLongLong(); }

    QStringList columns(const QString& table) const
    {
        QStringList names;
        for (const QVariantList& row : rows(QStringLiteral("PRAGMA table_info(%1)").arg(table)))
            names.append(row.at(1).toString());
        return names;
    }

    // One text per row, every column joined, for comparing whole tables.
    QStringList dump(const QString& tsql) const
    {
        QStringList lines;
        for (const QVariantList& row : rows(tsql)) {
            QStringList cells;
            for (const QVariant& v : row)
                cells.append(v.isNull() ? QStringLiteral("<null>") : v.toString());
            lines.append(cells.join(u'|'));
        }
        return lines;
    }

private:
    static inline int s_serial = 0;
    QString m_name;
    bool m_open = false;
};

// The login's position query for an employee number.
QList<QVariantList> positionsOf(const Db& db, const QString& employee)
{
    return db.rows(
        u8("Select "
           "员工档案.姓名,职能部门类别.部门类别代号,职能部门类别.部门类别名称,岗位类别.岗位类别编号,"
           "岗位类别名称,"
           " 职能部门new.职能部门编号 , 职能部门new.职能部门名称, 岗位信息new.岗位代号, 岗位信息new.岗位名称,"
           " 岗位员工new.主要岗位 From 岗位员工new"
           " Inner joIn 岗位信息new on 岗位员工new.岗位代号 = 岗位信息new.岗位代号"
           " Inner joIn 职能部门new on 岗位信息new.职能部门代号 = 职能部门new.职能部门编号"
           " Inner joIn 岗位类别 on 岗位信息new.岗位类别代号 = 岗位类别.岗位类别编号"
           " Inner joIn 职能部门类别 on 职能部门new.职能部门类别代号 = 职能部门类别.部门类别代号"
           " Inner joIn 员工档案 on 岗位员工new.员工代号 = 员工档案.工号"
           " Where 岗位员工new.员工代号=? and 员工档案.离职日期 is null AND (岗位员工new.离岗日期 IS NULL)"),
        {employee});
}

// The menu entries that end up enabled for a position, applying the rows in their order.
QSet<QString> enabledEntries(const Db& db, const QString& position)
{
    const QList<QVariantList> rows = db.rows(
        u8("SELECT DISTINCT 岗位权限设置.ID , 岗位权限设置.组代号, 岗位权限设置.岗位代号, 岗位权限设置.授权, "
           "GroupPrivilege.FormName, GroupPrivilege.Popedom"
           " FROM  岗位权限设置 INNER JOIN GroupPrivilege ON 岗位权限设置.组代号 = GroupPrivilege.GroupID"
           " Where 授权 = 1 AND 岗位代号=? ORDER BY GroupPrivilege.Popedom"),
        {position});
    QHash<QString, bool> state;
    for (const QVariantList& row : rows)
        state.insert(row.at(4).toString(), row.at(5).toInt() != 0);
    QSet<QString> enabled;
    for (auto it = state.cbegin(); it != state.cend(); ++it) {
        if (it.value())
            enabled.insert(it.key());
    }
    return enabled;
}

bool isCanonical(const QString& text)
{
    static const QRegularExpression re(QStringLiteral(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}$)"));
    return re.match(text).hasMatch()
           && QDateTime::fromString(text, QLatin1String(quarvel::dialect::kCanonicalFormat)).isValid();
}

}  // namespace

class DemoDbTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void schemaHasEveryTableAndColumn();
    void serverScriptDeclaresTheSameColumns();
    void employeesAndFixedLogins();
    void loginPositions();
    void menuPermissions();
    void specialAuditRight();
    void departmentTree();
    void vacantClosedAndEndedPositions();
    void typeTree();
    void documentsHoldRealFiles();
    void readAndDownloadRights();
    void downloadGroups();
    void accessLog();
    void dateTimesAreCanonical();

    void refusesAnExistingFile();
    void sizesScaleTheGeneratedRows();
    void smallSizesKeepTheFixedRows();
    void sameSeedGivesTheSameRows();

private:
    QString buildInto(const QString& name, const demo::DemoSizes& sizes);

    QTemporaryDir m_dir;
    QString m_path;
    demo::DemoSummary m_summary;
    std::unique_ptr<Db> m_db;
};

QString DemoDbTest::buildInto(const QString& name, const demo::DemoSizes& sizes)
{
    const QString path = m_dir.filePath(name);
    QString error;
    if (!demo::build(path, sizes, &error))
        qWarning("build failed: %s", qPrintable(error));
    return path;
}

void DemoDbTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath(QStringLiteral("demo.db"));
    QString error;
    QVERIFY2(demo::build(m_path, demo::DemoSizes{}, &error, &m_summary), qPrintable(error));
    m_db = std::make_unique<Db>(m_path);
    QVERIFY(m_db->isOpen());
}

void DemoDbTest::cleanupTestCase() { m_db.reset(); }

void DemoDbTest::schemaHasEveryTableAndColumn()
{
    for (const auto& [table, columns] : expectedSchema()) {
        const QStringList actual = m_db->columns(table);
        QVERIFY2(!actual.isEmpty(), qPrintable(table));
        for (const QString& column : columns)
            QVERIFY2(actual.contains(column), qPrintable(table + u'.' + column));
    }
    // Row identities are assigned by the database.
    const qint64 before = m_db->count(u8("select max(ID) from 资料类型"));
    m_db->rows(u8("insert into 资料类型 (编号, 名称, 级别) values (?, ?, 0)"), {u8("99"), u8("临时")});
    QCOMPARE(m_db->count(u8("select ID from 资料类型 where 编号 = '99'")), before + 1);
    m_db->rows(u8("delete from 资料类型 where 编号 = '99'"));
    // Large pages for the stored documents.
    QCOMPARE(m_db->count(u8("pragma page_size")), 65536);
}

void DemoDbTest::serverScriptDeclaresTheSameColumns()
{
    const QStringList statements = quarvel::schema::statements(SqlEngine::SqlServer);
    QVERIFY(!statements.isEmpty());
    for (const QString& s : statements)
        QVERIFY2(!s.contains(QRegularExpression(QStringLiteral(R"(^\s*GO\s*$)"), QRegularExpression::MultilineOption)),
                 qPrintable(s));
    for (const auto& [table, columns] : expectedSchema()) {
        QString create;
        for (const QString& s : statements) {
            if (s.startsWith(QStringLiteral("CREATE TABLE %1 (").arg(table)))
                create = s;
        }
        QVERIFY2(!create.isEmpty(), qPrintable(table));
        QStringList declared;
        for (const QString& line : create.split(u'\n').mid(1)) {
            const QString name = line.trimmed().section(u' ', 0, 0);
            if (!name.isEmpty() && name != QLatin1String(");"))
                declared.append(name);
        }
        QCOMPARE(declared, m_db->columns(table));
        for (const QString& column : columns)
            QVERIFY2(declared.contains(column), qPrintable(table + u'.' + column));
        if (columns.first() == QLatin1String("ID"))
            QVERIFY2(create.contains(QLatin1String("ID int IDENTITY(1,1) PRIMARY KEY")), qPrintable(table));
    }
    const QString all = statements.join(u'\n');
    QVERIFY(all.contains(u8("文件 varbinary(max)")));
    QVERIFY(all.contains(u8("编号 nvarchar(20) NOT NULL,\n    名称 nvarchar(20)")));
    QVERIFY(all.contains(u8("说明 nvarchar(50)")));
    QVERIFY(all.contains(u8("组ID nvarchar(10)")));
}

void DemoDbTest::employeesAndFixedLogins()
{
    QVERIFY(m_db->count(u8("select count(*) from 员工档案")) >= 30);
    QCOMPARE(m_summary.employees, int(m_db->count(u8("select count(*) from 员工档案"))));
    const QList<QPair<QString, QString>> logins = {
        {u8("0001"), u8("admin")}, {u8("0005"), u8("123")}, {u8("0008"), u8("123")},
        {u8("0012"), u8("123")},   {u8("0030"), u8("123")},
    };
    for (const auto& [number, password] : logins) {
        QCOMPARE(m_db->count(u8("Select count(*) From 员工档案 Where 工号 =? and 帐号密码=?"), {number, password}), 1);
        QVERIFY(!m_db->scalar(u8("select 英文名 from 员工档案 where 工号=?"), {number}).toString().isEmpty());
    }
    QCOMPARE(m_db->count(u8("select count(*) from 员工档案 where 帐号密码 = '123'")),
             m_db->count(u8("select count(*) from 员工档案")) - 1);
    // Every employee's position exists.
    QCOMPARE(
        m_db->count(u8("select count(*) from 员工档案 left join 岗位信息new on 岗位信息new.岗位代号 = 员工档案.岗位编号"
                       " where 岗位信息new.岗位代号 is null")),
        0);
    // Exactly one has left: 0030.
    QCOMPARE(m_db->dump(u8("select 工号 from 员工档案 where 离职日期 is not null")), QStringList{u8("0030")});

    const QList<demo::DemoLogin> listed = demo::demoLogins();
    QStringList numbers;
    for (const demo::DemoLogin& l : listed)
        numbers.append(l.employeeNo);
    QVERIFY(numbers.contains(u8("0001")) && numbers.contains(u8("0012")) && numbers.contains(u8("0005")));
}

void DemoDbTest::loginPositions()
{
    for (const char* single : {"0001", "0005", "0012"})
        QCOMPARE(positionsOf(*m_db, u8(single)).size(), 1);
    QCOMPARE(positionsOf(*m_db, u8("0001")).first().at(7).toString(), u8("G0201"));

    const QList<QVariantList> two = positionsOf(*m_db, u8("0008"));
    QCOMPARE(two.size(), 2);
    QSet<int> mainFlags;
    QSet<QString> departments;
    for (const QVariantList& row : two) {
        mainFlags.insert(row.at(9).toInt());
        departments.insert(row.at(5).toString());
    }
    QCOMPARE(mainFlags, (QSet<int>{0, 1}));
    QCOMPARE(departments.size(), 2);

    QVERIFY(positionsOf(*m_db, u8("0030")).isEmpty());
    QVERIFY(m_db->count(u8("select count(*) from 岗位员工new where 员工代号 = '0030' and 离岗日期 is null")) > 0);
}

void DemoDbTest::menuPermissions()
{
    QCOMPARE(enabledEntries(*m_db, u8("G0201")), QSet<QString>(kMenuEntries.cbegin(), kMenuEntries.cend()));
    QCOMPARE(enabledEntries(*m_db, u8("G0411")),
             (QSet<QString>{u8("公司Quarvel"), u8("公司资料查阅"), u8("关于软件"), u8("联系我们")}));
    const QSet<QString> manager = enabledEntries(*m_db, u8("G0401"));
    for (const char* entry : {"公司Quarvel", "公司资料上传", "公司资料查阅", "资料查阅记录", "阅读人员统计",
                              "资料阅读覆盖", "资料权限说明"})
        QVERIFY2(manager.contains(u8(entry)), entry);
    QVERIFY(!manager.contains(u8("资料类型设置")));
    // 0008: both positions can do something, and not the same.
    const QSet<QString> accounting = enabledEntries(*m_db, u8("G0301"));
    const QSet<QString> archive = enabledEntries(*m_db, u8("G0203"));
    QVERIFY(accounting.contains(u8("公司Quarvel")) && archive.contains(u8("公司Quarvel")));
    QVERIFY(accounting != archive);
    // A group held with 授权 = 0 gives nothing.
    QVERIFY(!enabledEntries(*m_db, u8("G0412")).contains(u8("资料类型设置")));
    // Every open position holds some group.
    QCOMPARE(m_db->count(u8("select count(*) from 岗位信息new where not exists"
                            " (select 1 from 岗位权限设置 where 岗位权限设置.岗位代号 = 岗位信息new.岗位代号)")),
             0);
}

void DemoDbTest::specialAuditRight()
{
    const QList<QVariantList> manager = positionsOf(*m_db, u8("0005"));
    QCOMPARE(manager.size(), 1);
    const QString department = manager.first().at(5).toString();
    const QString position = manager.first().at(7).toString();
    QCOMPARE(m_db->count(u8("select count(*) from 专项审核权限表 where 类型=? and 部门代号=? and 岗位代号=?"),
                         {u8("公司Quarvel"), department, position}),
             1);
    // The plain employee has none.
    QCOMPARE(m_db->count(u8("select count(*) from 专项审核权限表 where 岗位代号='G0411'")), 0);
}

void DemoDbTest::departmentTree()
{
    const QList<QVariantList> rows = m_db->rows(
        u8(" select 职能部门new.职能部门编号,职能部门new.职能部门名称,table2.上级部门编号 from 职能部门new "
           "left join"
           " (select 上级部门new.职能部门编号,上级部门new.上级部门编号 from 上级部门new,"
           " (select 职能部门编号,max(起始日期) as 设置日期 from 上级部门new group by 职能部门编号) as table1"
           " where 上级部门new.职能部门编号 = table1.职能部门编号 and 上级部门new.起始日期 = "
           "table1.设置日期) as table2"
           " on 职能部门new.职能部门编号 = table2.职能部门编号 where 职能部门new.终止日期 is null"
           " order by len(职能部门new.职能部门编号),职能部门new.职能部门编号"));
    QHash<QString, QString> parentOf;
    QHash<QString, QStringList> children;
    for (const QVariantList& row : rows) {
        parentOf.insert(row.at(0).toString(), row.at(2).toString());
        children[row.at(2).toString()].append(row.at(0).toString());
    }
    // Siblings with codes of different length: shorter first, unlike plain text order.
    QCOMPARE(children.value(u8("D04")), (QStringList{u8("D041"), u8("D042"), u8("D0410")}));
    QStringList textOrder = children.value(u8("D04"));
    textOrder.sort();
    QVERIFY(textOrder != children.value(u8("D04")));

    // Three levels at least: D04 -> D041 -> D04101.
    QCOMPARE(parentOf.value(u8("D04101")), u8("D041"));
    QCOMPARE(parentOf.value(u8("D041")), u8("D04"));

    // Top departments: a null parent row, an empty parent row, and no row.
    QVERIFY(m_db->count(u8("select count(*) from 上级部门new where 职能部门编号='D01' and 上级部门编号 is null")) == 1);
    QVERIFY(m_db->count(u8("select count(*) from 上级部门new where 职能部门编号='D02' and 上级部门编号 = ''")) == 1);
    QVERIFY(m_db->count(u8("select count(*) from 上级部门new where 职能部门编号='D03'")) == 0);
    for (const char* top : {"D01", "D02", "D03"})
        QVERIFY2(parentOf.contains(u8(top)) && parentOf.value(u8(top)).isEmpty(), top);

    // A closed department, not listed, with an open child.
    const QStringList closed = m_db->dump(u8("select 职能部门编号 from 职能部门new where 终止日期 is not null"));
    QCOMPARE(closed.size(), 1);
    QVERIFY(!parentOf.contains(closed.first()));
    QVERIFY(!children.value(closed.first()).isEmpty());

    // One department moved: its latest link wins.
    QCOMPARE(m_db->count(u8("select count(*) from 上级部门new where 职能部门编号='D063'")), 2);
    QCOMPARE(parentOf.value(u8("D063")), u8("D06"));

    // Every open department with a parent row hangs under an existing department.
    for (auto it = parentOf.cbegin(); it != parentOf.cend(); ++it) {
        if (!it.value().isEmpty() && it.value() != closed.first())
            QVERIFY2(parentOf.contains(it.value()), qPrintable(it.key()));
    }
}

void DemoDbTest::vacantClosedAndEndedPositions()
{
    QVERIFY(m_db->count(u8("select count(*) from 岗位信息new where 工号 is null and 终止日期 is null")) >= 1);
    QVERIFY(m_db->count(u8("select count(*) from 岗位信息new where 终止日期 is not null")) >= 1);
    QVERIFY(m_db->count(u8("select count(*) from 岗位员工new where 离岗日期 is not null")) >= 1);
    // Every position belongs to an existing department and category.
    QCOMPARE(m_db->count(u8("select count(*) from 岗位信息new"
                            " left join 职能部门new on 职能部门new.职能部门编号 = 岗位信息new.职能部门代号"
                            " left join 岗位类别 on 岗位类别.岗位类别编号 = 岗位信息new.岗位类别代号"
                            " where 职能部门new.职能部门编号 is null or 岗位类别.岗位类别编号 is null")),
             0);
}

void DemoDbTest::typeTree()
{
    const QList<QVariantList> rows =
        m_db->rows(u8("SELECT   编号, 名称,上级编号,级别,说明, ID From 资料类型 Order by 级别,len(编号),编号"));
    QHash<QString, int> levelOf;
    for (const QVariantList& row : rows) {
        const QString code = row.at(0).toString();
        const int level = row.at(3).toInt();
        QVERIFY(row.at(1).toString().size() <= 20 && code.size() <= 20);
        QVERIFY(row.at(4).isNull() || row.at(4).toString().size() <= 50);
        if (row.at(2).isNull()) {
            QCOMPARE(level, 0);
        } else {
            // The parent was listed before and is one level up.
            QVERIFY2(levelOf.contains(row.at(2).toString()), qPrintable(code));
            QCOMPARE(level, levelOf.value(row.at(2).toString()) + 1);
        }
        levelOf.insert(code, level);
    }
    QVERIFY(m_db->count(u8("select max(级别) from 资料类型")) >= 2);
    QVERIFY(levelOf.contains(u8("010101")));
    QCOMPARE(m_db->count(u8("select count(*) from 资料类型 where 终止日期 is not null")), 1);
    QVERIFY(m_db->count(u8("select count(*) from 资料类型 where 说明 is null")) > 0);
    // Upload rights point at types, and the three kinds of uploader have some.
    QCOMPARE(
        m_db->count(u8("select count(*) from 资料上传权限 left join 资料类型 on 资料类型.编号 = 资料上传权限.文件编号"
                       " where 资料类型.编号 is null")),
        0);
    for (const char* position : {"G0201", "G0401", "G0411"})
        QVERIFY2(m_db->count(u8("select count(*) from 资料上传权限 where 岗位代号=?"), {u8(position)}) >= 2, position);
}

void DemoDbTest::documentsHoldRealFiles()
{
    QVERIFY(m_db->count(u8("select count(*) from 公司文件信息")) >= 40);
    const QList<QVariantList> rows =
        m_db->rows(u8("select 编号, 附件后缀, 文件, 文件下载, 上传人工号, 岗位, 部门 from 公司文件信息"));
    QSet<QString> extensions;
    QSet<QString> numbers;
    for (const QVariantList& row : rows) {
        const QString number = row.at(0).toString();
        const QString extension = row.at(1).toString();
        const QByteArray bytes = row.at(2).toByteArray();
        QVERIFY2(!numbers.contains(number), qPrintable(number));
        numbers.insert(number);
        extensions.insert(extension);
        QVERIFY2(bytes.size() > 100, qPrintable(number));
        QCOMPARE(row.at(3).toInt(), 0);
        if (extension == QLatin1String("pdf")) {
            QVERIFY2(bytes.startsWith("%PDF"), qPrintable(number));
            QVERIFY(bytes.trimmed().endsWith("%%EOF"));
        } else if (extension == QLatin1String("png")) {
            QVERIFY2(!QImage::fromData(bytes, "PNG").isNull(), qPrintable(number));
        } else if (extension == QLatin1String("xlsx")) {
            QVERIFY2(bytes.startsWith("PK\x03\x04"), qPrintable(number));
        } else {
            QCOMPARE(extension, u8("txt"));
            const QString text = QString::fromUtf8(bytes);
            QCOMPARE(text.toUtf8(), bytes);
            QVERIFY(text.contains(QRegularExpression(QStringLiteral("[\\x{4e00}-\\x{9fff}]"))));
        }
        // The uploader holds the position, which belongs to the department.
        QCOMPARE(
            m_db->count(u8("select count(*) from 岗位员工new where 员工代号=? and 岗位代号=?"), {row.at(4), row.at(5)}),
            1);
        QCOMPARE(m_db->scalar(u8("select 职能部门代号 from 岗位信息new where 岗位代号=?"), {row.at(5)}), row.at(6));
    }
    QCOMPARE(extensions, (QSet<QString>{u8("pdf"), u8("txt"), u8("png"), u8("xlsx")}));
    QVERIFY(m_db->count(u8("select count(*) from 公司文件信息 where 上传人工号='0012' and 岗位='G0411'")) >= 3);
    QVERIFY(m_db->count(u8("select count(*) from 公司文件信息 where 上传人工号='0001'")) >= 3);
    QVERIFY(m_db->count(u8("select count(*) from 公司文件信息 where 上传人工号='0005'")) >= 3);
    QVERIFY(m_db->count(u8("select count(*) from 公司文件信息 where 摘要 is null")) > 0);
    QVERIFY(m_db->count(u8("select count(*) from 公司文件信息 where 关键字 is null")) > 0);
    QVERIFY(m_db->count(u8("select count(*) from 公司文件信息 where 摘要 is not null")) > 20);
    // Upload times spread over months.
    const QDateTime first = quarvel::dialect::toDateTime(m_db->scalar(u8("select min(上传日期) from 公司文件信息")));
    const QDateTime last = quarvel::dialect::toDateTime(m_db->scalar(u8("select max(上传日期) from 公司文件信息")));
    QVERIFY(first.daysTo(last) >= 60);
    // Every document's type exists; one lies in the voided type.
    QCOMPARE(
        m_db->count(u8("select count(*) from 公司文件信息 left join 资料类型 on 资料类型.编号 = 公司文件信息.文件类别"
                       " where 资料类型.编号 is null")),
        0);
    QVERIFY(
        m_db->count(u8("select count(*) from 公司文件信息 inner join 资料类型 on 资料类型.编号 = 公司文件信息.文件类别"
                       " where 资料类型.终止日期 is not null"))
        >= 1);
}

void DemoDbTest::readAndDownloadRights()
{
    auto readable = [&](const char* positions) {
        return m_db->count(u8("select count(distinct 文件编号) from 资料下载权限 where (下载 = 1 or 查阅 = 1)"
                              " and 岗位代号 in (%1)")
                               .replace(QStringLiteral("%1"), u8(positions)));
    };
    auto downloadable = [&](const char* positions) {
        return m_db->count(u8("select count(distinct 文件编号) from 资料下载权限 where 下载 = 1 and 岗位代号 in (%1)")
                               .replace(QStringLiteral("%1"), u8(positions)));
    };
    QVERIFY(readable("'G0411'") >= 15);
    QVERIFY(downloadable("'G0411'") >= 5);
    QVERIFY(readable("'G0301','G0203'") >= 15);
    QVERIFY(downloadable("'G0301','G0203'") >= 5);
    QVERIFY(readable("'G0401'") >= 15);
    QCOMPARE(readable("'G0201'"), m_db->count(u8("select count(*) from 公司文件信息")));
    // A right to download without reading (reading switched off later) exists.
    QVERIFY(m_db->count(u8("select count(*) from 资料下载权限 where 下载 = 1 and 查阅 = 0")) >= 1);
    // The copied names agree with the organisation tables.
    QCOMPARE(m_db->count(u8("select count(*) from 资料下载权限"
                            " inner join 岗位信息new on 岗位信息new.岗位代号 = 资料下载权限.岗位代号"
                            " inner join 职能部门new on 职能部门new.职能部门编号 = 资料下载权限.部门编号"
                            " where 岗位信息new.岗位名称 = 资料下载权限.岗位名称"
                            " and 职能部门new.职能部门名称 = 资料下载权限.部门名称"
                            " and 岗位信息new.职能部门代号 = 资料下载权限.部门编号")),
             m_db->count(u8("select count(*) from 资料下载权限")));
    QCOMPARE(m_db->count(u8("select count(*) from 资料下载权限 where CzyID is null or updatedate is null")), 0);
    QCOMPARE(m_db->count(u8("select count(*) from (select 文件编号, 岗位代号 from 资料下载权限"
                            " group by 文件编号, 岗位代号 having count(*) > 1) as twice")),
             0);
}

void DemoDbTest::downloadGroups()
{
    const QStringList groups = m_db->dump(u8("select 组ID from 资料下载组 order by 组ID"));
    QCOMPARE(groups.size(), 2);
    for (const QString& group : groups) {
        QVERIFY(group.size() <= 10);
        QVERIFY(m_db->count(u8("select count(*) from 资料下载组详细 where 组id=?"), {group}) >= 3);
    }
    QCOMPARE(m_db->count(u8("select count(*) from 资料下载组详细 left join 岗位信息new"
                            " on 岗位信息new.岗位代号 = 资料下载组详细.岗位代号 where 岗位信息new.岗位代号 is null")),
             0);
    QCOMPARE(m_db->count(u8("select count(distinct 组名称) from 资料下载组")), 2);
}

void DemoDbTest::accessLog()
{
    const qint64 total = m_db->count(u8("select count(*) from 资料下载记录"));
    QCOMPARE(total, 600);
    QCOMPARE(m_summary.logRows, total);
    const qint64 reads = m_db->count(u8("select count(*) from 资料下载记录 where 阅读 = 1 and 下载 = 0"));
    const qint64 downloads = m_db->count(u8("select count(*) from 资料下载记录 where 阅读 = 0 and 下载 = 1"));
    QCOMPARE(reads + downloads, total);
    QVERIFY(reads > 100 && downloads > 50);
    // Readers are real employees in real positions, with the position's department, and only
    // read what their position may read, after it was uploaded.
    QCOMPARE(m_db->count(u8("select count(*) from 资料下载记录"
                            " inner join 员工档案 on 员工档案.工号 = 资料下载记录.工号"
                            " inner join 岗位员工new on 岗位员工new.员工代号 = 资料下载记录.工号 and "
                            "岗位员工new.岗位代号 = 资料下载记录.岗位"
                            " inner join 岗位信息new on 岗位信息new.岗位代号 = 资料下载记录.岗位 and "
                            "岗位信息new.职能部门代号 = 资料下载记录.部门"
                            " inner join 公司文件信息 on 公司文件信息.编号 = 资料下载记录.文件编号"
                            " and 公司文件信息.文件名称 = 资料下载记录.文件名称 and 公司文件信息.文件类别 = "
                            "资料下载记录.文件类别"
                            " inner join 资料下载权限 on 资料下载权限.文件编号 = 资料下载记录.文件编号 and "
                            "资料下载权限.岗位代号 = 资料下载记录.岗位"
                            " where 资料下载记录.操作时间 >= 公司文件信息.上传日期"
                            " and ((资料下载记录.阅读 = 1 and 资料下载权限.查阅 = 1) or (资料下载记录.下载 = "
                            "1 and 资料下载权限.下载 = 1))")),
             total);
    const QDateTime first = quarvel::dialect::toDateTime(m_db->scalar(u8("select min(操作时间) from 资料下载记录")));
    const QDateTime last = quarvel::dialect::toDateTime(m_db->scalar(u8("select max(操作时间) from 资料下载记录")));
    QVERIFY(first.daysTo(last) >= 60);
    QVERIFY(last <= QDateTime::currentDateTime().addSecs(1));
    // 0012, 0008 and the manager all appear, and the statistics count per document.
    for (const char* reader : {"0012", "0008", "0005"})
        QVERIFY2(m_db->count(u8("select count(*) from 资料下载记录 where 工号=?"), {u8(reader)}) > 5, reader);
    const QList<QVariantList> stats =
        m_db->rows(u8("select 文件编号,文件名称,摘要,sum (CASE WHEN 阅读 = 1 THEN 1 ELSE 0 END) AS  浏览次数,"
                      "sum (CASE WHEN 下载 = 1 THEN 1 ELSE 0 END) AS  下载次数 from 资料下载记录  "
                      " inner join 员工档案 on 员工档案.工号=资料下载记录.工号  where 1=1  "
                      " group by  文件编号,文件名称,摘要"));
    qint64 counted = 0;
    for (const QVariantList& row : stats)
        counted += row.at(3).toLongLong() + row.at(4).toLongLong();
    QCOMPARE(counted, total);
    QVERIFY(stats.size() >= 30);
}

void DemoDbTest::dateTimesAreCanonical()
{
    for (const auto& [table, column] : kDateColumns) {
        const QList<QVariantList> rows =
            m_db->rows(QStringLiteral("select %1 from %2 where %1 is not null").arg(u8(column), u8(table)));
        for (const QVariantList& row : rows)
            QVERIFY2(isCanonical(row.first().toString()),
                     qPrintable(u8(table) + u'.' + u8(column) + QStringLiteral(": ") + row.first().toString()));
    }
    QVERIFY(m_db->count(u8("select count(*) from 资料下载记录 where 操作时间 >= '2000-01-01'")) == 600);
}

void DemoDbTest::refusesAnExistingFile()
{
    QString error;
    QVERIFY(!demo::build(m_path, demo::DemoSizes{}, &error));
    QVERIFY(!error.isEmpty());
    // The existing database is untouched.
    QVERIFY(m_db->count(u8("select count(*) from 员工档案")) >= 30);
}

void DemoDbTest::sizesScaleTheGeneratedRows()
{
    demo::DemoSizes sizes;
    sizes.departments = 90;
    sizes.types = 130;
    sizes.documents = 75;
    sizes.logRows = 2500;
    sizes.fileSize = 5000;
    const QString path = buildInto(QStringLiteral("scaled.db"), sizes);
    Db db(path);
    QVERIFY(db.isOpen());
    QCOMPARE(db.count(u8("select count(*) from 职能部门new")), 90);
    QCOMPARE(db.count(u8("select count(*) from 资料类型")), 130);
    QCOMPARE(db.count(u8("select count(*) from 公司文件信息")), 75);
    QCOMPARE(db.count(u8("select count(*) from 资料下载记录")), 2500);
    // The generated documents carry a file of the requested size; the fixed ones keep theirs.
    QCOMPARE(db.count(u8("select count(*) from 公司文件信息 where length(文件) = 5000")),
             75 - demo::fixedDocumentCount());
    QCOMPARE(db.count(u8("select count(*) from 公司文件信息 where 附件后缀 = 'pdf' and substr(文件, 1, 4) = "
                         "cast('%PDF' as blob)")),
             m_db->count(u8("select count(*) from 公司文件信息 where 附件后缀 = 'pdf'")));
    // Generated departments hang in the tree, each with a position and a holder who can log in.
    QCOMPARE(db.count(u8("select count(*) from 上级部门new where 上级部门编号 is not null and 上级部门编号 <> ''"
                         " and 上级部门编号 not in (select 职能部门编号 from 职能部门new)")),
             0);
    QCOMPARE(db.count(u8("select count(*) from 职能部门new where 职能部门编号 like 'E%'")),
             90 - demo::fixedDepartmentCount());
    QCOMPARE(db.count(u8("select count(*) from 岗位信息new inner join 员工档案 on 员工档案.工号 = 岗位信息new.工号"
                         " where 岗位信息new.职能部门代号 like 'E%'")),
             90 - demo::fixedDepartmentCount());
    QCOMPARE(positionsOf(db, u8("100001")).size(), 1);
    // Generated types form a consistent tree below the fixed ones.
    QCOMPARE(
        db.count(u8("select count(*) from 资料类型 as child left join 资料类型 as parent on parent.编号 = "
                    "child.上级编号"
                    " where child.上级编号 is not null and (parent.编号 is null or child.级别 <> parent.级别 + 1)")),
        0);
    QVERIFY(db.count(u8("select max(级别) from 资料类型")) >= 2);
    // The fixed demo rows are still there.
    QCOMPARE(db.count(u8("select count(*) from 员工档案 where 工号='0001' and 帐号密码='admin'")), 1);
    QCOMPARE(positionsOf(db, u8("0008")).size(), 2);
}

void DemoDbTest::smallSizesKeepTheFixedRows()
{
    demo::DemoSizes sizes;
    sizes.departments = 3;
    sizes.types = 1;
    sizes.documents = 5;
    sizes.logRows = 0;
    demo::DemoSummary summary;
    QString error;
    const QString path = m_dir.filePath(QStringLiteral("small.db"));
    QVERIFY2(demo::build(path, sizes, &error, &summary), qPrintable(error));
    QCOMPARE(summary.departments, demo::fixedDepartmentCount());
    QCOMPARE(summary.types, demo::fixedTypeCount());
    QCOMPARE(summary.documents, demo::fixedDocumentCount());
    QCOMPARE(summary.logRows, 0);
    QVERIFY(summary.fileBytes > 0);

    demo::DemoSizes negative;
    negative.documents = -1;
    QVERIFY(!demo::build(m_dir.filePath(QStringLiteral("negative.db")), negative, &error));
    QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("negative.db"))));
}

void DemoDbTest::sameSeedGivesTheSameRows()
{
    demo::DemoSizes sizes;
    sizes.documents = 75;
    sizes.types = 40;
    sizes.departments = 30;
    sizes.logRows = 800;
    sizes.seed = 77;
    sizes.referenceTime = QDateTime(QDate(2024, 9, 20), QTime(17, 30, 5));
    Db a(buildInto(QStringLiteral("seed-a.db"), sizes));
    Db b(buildInto(QStringLiteral("seed-b.db"), sizes));
    sizes.seed = 78;
    Db c(buildInto(QStringLiteral("seed-c.db"), sizes));
    QVERIFY(a.isOpen() && b.isOpen() && c.isOpen());

    // PDFs carry their creation time; every other file is compared byte for byte.
    const QString documents = u8(
        "select 编号, 文件类别, 文件名称, 摘要, 关键字, 文件级别, 上传人工号, 上传日期, 部门, 岗位, 附件后缀,"
        " case when 附件后缀 in ('pdf', 'xlsx') then length(文件) > 0 else hex(文件) end from 公司文件信息 "
        "order by ID");
    const QString log = u8("select * from 资料下载记录 order by rowid");
    QCOMPARE(a.dump(documents), b.dump(documents));
    QCOMPARE(a.dump(log), b.dump(log));
    QCOMPARE(a.dump(u8("select * from 员工档案")), b.dump(u8("select * from 员工档案")));
    QCOMPARE(a.dump(u8("select * from 资料下载权限")), b.dump(u8("select * from 资料下载权限")));
    QVERIFY(a.dump(log) != c.dump(log));

    // Reference time bounds the data; generated documents mix the file kinds.
    QVERIFY(a.scalar(u8("select max(操作时间) from 资料下载记录")).toString() <= u8("2024-09-20 17:30:05"));
    QVERIFY(a.scalar(u8("select max(上传日期) from 公司文件信息")).toString() < u8("2024-09-20 17:30:05"));
    QCOMPARE(a.count(u8("select count(distinct 附件后缀) from 公司文件信息 where 编号 like 'SD%'")), 4);
}

QTEST_MAIN(DemoDbTest)
#include "test_demodb.moc"
