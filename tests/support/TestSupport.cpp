#include "TestSupport.h"

#include "db/Schema.h"
#include "db/TextCollation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTest>

#include <sqlite3.h>

namespace quarvel::test {

MsgAnswer ScriptedMessages::show(QWidget*, const QString& text, const QString& title, MsgIcon icon, MsgButtons buttons)
{
    shown.append({text, title, icon, buttons});
    if (!answers.isEmpty())
        return answers.takeFirst();
    if (strict && buttons != MsgButtons::Ok)
        QTest::qFail(qPrintable(QStringLiteral("unexpected question \"%1\" (%2)").arg(text, title)), __FILE__,
                     __LINE__);
    switch (buttons) {
    case MsgButtons::Ok:
    case MsgButtons::OkCancel: return MsgAnswer::Ok;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel: return MsgAnswer::Yes;
    }
    return MsgAnswer::Ok;
}

QStringList ScriptedMessages::texts() const
{
    QStringList out;
    for (const Shown& s : shown)
        out << s.text;
    return out;
}

TestPlatform::TestPlatform()
{
    auto msgs = std::make_unique<ScriptedMessages>();
    auto proc = std::make_unique<RecordingProcess>();
    auto shell = std::make_unique<RecordingShell>();
    auto activator = std::make_unique<RecordingActivator>();
    auto sysInfo = std::make_unique<FakeSystemInformation>();
    auto dialogs = std::make_unique<ScriptedFileDialogs>();
    m_dialogs = dialogs.get();
    setFileDialogs(std::move(dialogs));
    m_msgs = msgs.get();
    m_proc = proc.get();
    m_shell = shell.get();
    m_activator = activator.get();
    m_sysInfo = sysInfo.get();
    setMessages(std::move(msgs));
    setProcess(std::move(proc));
    setShell(std::move(shell));
    setActivator(std::move(activator));
    setSystemInformation(std::move(sysInfo));
    setProgramFolder(m_folder.path());
}

OtherClient::OtherClient(const QString& path, const char* begin, int holdMs, const char* statement)
{
    std::promise<bool> holding;
    m_holding = holding.get_future();
    m_thread = std::thread([file = path.toUtf8(), begin, holdMs, statement, holding = std::move(holding)]() mutable {
        sqlite3* db = nullptr;
        const bool ok = sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK
                        && registerTextCollation(db) == SQLITE_OK
                        && sqlite3_exec(db, begin, nullptr, nullptr, nullptr) == SQLITE_OK
                        && sqlite3_exec(db, statement, nullptr, nullptr, nullptr) == SQLITE_OK;
        holding.set_value(ok);
        if (ok) {
            std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        }
        sqlite3_close(db);
    });
}

OtherClient::~OtherClient() { m_thread.join(); }

bool OtherClient::holding() { return m_holding.get(); }

QString textExtensionPath() { return QStringLiteral(QUARVEL_TEXT_EXTENSION); }

QByteArray randomBytes(qint64 size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray out(static_cast<qsizetype>(size), Qt::Uninitialized);
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(generator.bounded(256));
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void isolateSettings(const QString& folder)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

bool writeSettingsText(const QByteArray& text)
{
    const QString path = ConnectionSettings::storePath();
    return QDir().mkpath(QFileInfo(path).absolutePath()) && writeFile(path, text);
}

QByteArray settingsText()
{
    QFile file(ConnectionSettings::storePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

namespace {
int g_fixtureCount = 0;
}

TestDatabase::TestDatabase(Access access) : m_access(access)
{
    m_path = m_dir.filePath(QStringLiteral("quarvel-test.db"));
    isolateSettings(m_dir.filePath(QStringLiteral("settings")));
    m_connectionName = QStringLiteral("fixture-%1").arg(++g_fixtureCount);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(m_path);
    if (!db.open()) {
        qWarning("fixture: %s", qPrintable(db.lastError().text()));
        return;
    }
    // A test database need not survive a power cut: building it does not wait for the disk.
    QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous = OFF"));
    const DbStatus created = schema::create(db, SqlEngine::Sqlite);
    if (!created.ok()) {
        qWarning("fixture schema: %s", qPrintable(created.error.description));
        return;
    }
    m_valid = true;
}

TestDatabase::~TestDatabase()
{
    SharedConnection::release();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

QString TestDatabase::svrFor(Access access) const
{
    if (access == Access::Odbc)
        return QStringLiteral("odbc:DRIVER={SQLite3};Database=") + m_path + QStringLiteral(";LoadExt=")
               + textExtensionPath();
    return QStringLiteral("sqlite:") + m_path;
}

void TestDatabase::useAsSettings() const
{
    ConnectionSettings s;
    s.svr = svr();
    s.toStore();
}

bool TestDatabase::connectShared() const { return openShared().ok(); }

DbStatus TestDatabase::openShared() const { return OpenConnection({}, {}, {}, svr()); }

DbStatus TestDatabase::openSharedThroughOdbc() const
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
        return {DbError::make(-1, QStringLiteral("Qt's ODBC driver is not installed"))};
    return OpenConnection({}, {}, {}, svrFor(Access::Odbc));
}

QSqlDatabase TestDatabase::fixtureConnection() const { return QSqlDatabase::database(m_connectionName, false); }

bool TestDatabase::exec(const QString& sql, const QVariantList& values)
{
    QSqlQuery q(fixtureConnection());
    if (!q.prepare(sql)) {
        qWarning("fixture prepare: %s\n%s", qPrintable(q.lastError().text()), qPrintable(sql));
        return false;
    }
    for (const QVariant& v : values)
        q.addBindValue(dialect::bindValue(v, SqlEngine::Sqlite));
    if (!q.exec()) {
        qWarning("fixture exec: %s\n%s", qPrintable(q.lastError().text()), qPrintable(sql));
        return false;
    }
    return true;
}

bool TestDatabase::insert(const QString& table, Columns columns)
{
    QStringList names;
    QStringList marks;
    QVariantList values;
    for (const auto& c : columns) {
        names << c.first;
        marks << QStringLiteral("?");
        values << c.second;
    }
    return exec(QStringLiteral("insert into %1 (%2) values (%3)").arg(table, names.join(u','), marks.join(u',')),
                values);
}

QVariant TestDatabase::scalar(const QString& sql, const QVariantList& values)
{
    QSqlQuery q(fixtureConnection());
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(dialect::bindValue(v, SqlEngine::Sqlite));
    if (!q.exec() || !q.next())
        return {};
    return q.value(0);
}

void TestDatabase::addDepartment(const QString& code, const QString& name, const QString& parent,
                                 const QString& category)
{
    if (!scalar(QStringLiteral("select count(*) from 职能部门类别 where 部门类别代号 = ?"), {category}).toInt())
        insert(QStringLiteral("职能部门类别"), {{QStringLiteral("部门类别代号"), category},
                                                {QStringLiteral("部门类别名称"), category + QStringLiteral("类")}});
    insert(QStringLiteral("职能部门new"), {{QStringLiteral("职能部门编号"), code},
                                           {QStringLiteral("职能部门名称"), name},
                                           {QStringLiteral("职能部门类别代号"), category}});
    if (!parent.isNull())
        insert(QStringLiteral("上级部门new"),
               {{QStringLiteral("职能部门编号"), code},
                {QStringLiteral("上级部门编号"), parent},
                {QStringLiteral("起始日期"), QDateTime(QDate(2020, 1, 1), QTime(0, 0))}});
}

void TestDatabase::addPosition(const QString& code, const QString& name, const QString& dept, const QString& holder,
                               const QString& category)
{
    if (!scalar(QStringLiteral("select count(*) from 岗位类别 where 岗位类别编号 = ?"), {category}).toInt())
        insert(QStringLiteral("岗位类别"), {{QStringLiteral("岗位类别编号"), category},
                                            {QStringLiteral("岗位类别名称"), category + QStringLiteral("类")}});
    insert(QStringLiteral("岗位信息new"), {{QStringLiteral("岗位代号"), code},
                                           {QStringLiteral("岗位名称"), name},
                                           {QStringLiteral("职能部门代号"), dept},
                                           {QStringLiteral("岗位类别代号"), category},
                                           {QStringLiteral("工号"), holder.isEmpty() ? QVariant() : QVariant(holder)}});
}

void TestDatabase::addEmployee(const QString& number, const QString& name, const QString& password, bool left)
{
    insert(QStringLiteral("员工档案"),
           {{QStringLiteral("工号"), number},
            {QStringLiteral("姓名"), name},
            {QStringLiteral("帐号密码"), password},
            {QStringLiteral("离职日期"), left ? QVariant(QDateTime(QDate(2024, 6, 30), QTime(0, 0))) : QVariant()}});
}

void TestDatabase::addType(const QString& code, const QString& name, const QVariant& parent, int level,
                           const QVariant& description, bool voided)
{
    insert(QStringLiteral("资料类型"),
           {{QStringLiteral("编号"), code},
            {QStringLiteral("名称"), name},
            {QStringLiteral("上级编号"), parent},
            {QStringLiteral("级别"), level},
            {QStringLiteral("说明"), description},
            {QStringLiteral("终止日期"), voided ? QVariant(QDate(2026, 1, 5)) : QVariant()}});
}

void TestDatabase::assign(const QString& employee, const QString& position, bool mainPosition, bool ended)
{
    insert(QStringLiteral("岗位员工new"),
           {{QStringLiteral("员工代号"), employee},
            {QStringLiteral("岗位代号"), position},
            {QStringLiteral("主要岗位"), mainPosition ? 1 : 0},
            {QStringLiteral("离岗日期"), ended ? QVariant(QDateTime(QDate(2025, 1, 1), QTime(0, 0))) : QVariant()}});
}

}  // namespace quarvel::test
