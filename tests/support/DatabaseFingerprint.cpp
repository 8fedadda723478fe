#include "DatabaseFingerprint.h"

#include <QCryptographicHash>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

#include <sqlite3.h>

namespace quarvel::test {
namespace {

sqlite3* handleOf(const QSqlDatabase& db)
{
    if (!db.isValid() || !db.isOpen() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

// Each value with its kind, so that 1, "1" and a null do not hash alike.
void addValue(QCryptographicHash& hash, const QVariant& v)
{
    if (v.isNull()) {
        hash.addData("N;");
        return;
    }
    QByteArray bytes;
    char kind = 'T';
    switch (v.typeId()) {
    case QMetaType::QByteArray:
        kind = 'B';
        bytes = v.toByteArray();
        break;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        kind = 'I';
        bytes = QByteArray::number(v.toLongLong());
        break;
    case QMetaType::Double:
        kind = 'R';
        bytes = QByteArray::number(v.toDouble(), 'g', 17);
        break;
    default: bytes = v.toString().toUtf8(); break;
    }
    hash.addData(QByteArrayView(&kind, 1));
    hash.addData(QByteArray::number(bytes.size()) + ':');
    hash.addData(bytes);
}

// Copies every page of `from` into `to`.
int copyDatabase(sqlite3* to, sqlite3* from)
{
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup)
        return sqlite3_errcode(to);
    int rc = SQLITE_OK;
    // The client's connection may hold a lock for a moment; the busy wait of the backup is short.
    for (int attempt = 0; attempt < 200; ++attempt) {
        rc = sqlite3_backup_step(backup, -1);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        sqlite3_sleep(10);
    }
    const int finished = sqlite3_backup_finish(backup);
    return rc == SQLITE_DONE ? finished : rc;
}

}  // namespace

DatabaseFingerprint DatabaseFingerprint::of(const QSqlDatabase& db, const QSet<QString>& ignored)
{
    DatabaseFingerprint fp;
    QSqlQuery schema(db);
    if (!schema.exec(QStringLiteral("select type, name, tbl_name, sql from sqlite_master order by type, name"))) {
        fp.m_error = schema.lastError().text();
        return fp;
    }
    QCryptographicHash schemaHash(QCryptographicHash::Sha1);
    QStringList tables;
    while (schema.next()) {
        for (int i = 0; i < 4; ++i)
            addValue(schemaHash, schema.value(i));
        if (schema.value(0).toString() == QLatin1String("table"))
            tables << schema.value(1).toString();
    }
    fp.m_schema = schemaHash.result();

    for (const QString& table : std::as_const(tables)) {
        QSqlQuery rows(db);
        rows.setForwardOnly(true);
        const QString quoted = u'"' + QString(table).replace(u'"', QStringLiteral("\"\"")) + u'"';
        // Tables without a rowid keep the order of their key; the others the order of rowid.
        if (!rows.exec(QStringLiteral("select * from %1 order by rowid").arg(quoted))
            && !rows.exec(QStringLiteral("select * from %1").arg(quoted))) {
            fp.m_error = table + QStringLiteral(": ") + rows.lastError().text();
            return fp;
        }
        const QSqlRecord record = rows.record();
        QList<int> columns;
        for (int i = 0; i < record.count(); ++i) {
            if (!ignored.contains(table + u'.' + record.fieldName(i)))
                columns << i;
        }
        QCryptographicHash hash(QCryptographicHash::Sha1);
        Table t;
        while (rows.next()) {
            ++t.rows;
            for (int i : std::as_const(columns))
                addValue(hash, rows.value(i));
            hash.addData("|");
        }
        if (rows.lastError().isValid()) {
            fp.m_error = table + QStringLiteral(": ") + rows.lastError().text();
            return fp;
        }
        t.hash = hash.result();
        fp.m_tables.insert(table, t);
    }
    return fp;
}

qint64 DatabaseFingerprint::totalRows() const
{
    qint64 n = 0;
    for (const Table& t : m_tables)
        n += t.rows;
    return n;
}

QString DatabaseFingerprint::differenceFrom(const DatabaseFingerprint& before) const
{
    QStringList out;
    if (m_error != before.m_error)
        out << QStringLiteral("读取: ") + before.m_error + QStringLiteral(" → ") + m_error;
    if (m_schema != before.m_schema)
        out << QStringLiteral("表结构不同");
    QStringList names = m_tables.keys() + before.m_tables.keys();
    names.removeDuplicates();
    for (const QString& name : std::as_const(names)) {
        const Table now = m_tables.value(name);
        const Table then = before.m_tables.value(name);
        if (!(now == then))
            out << QStringLiteral("%1: %2 → %3 行").arg(name).arg(then.rows).arg(now.rows);
    }
    return out.join(QStringLiteral("; "));
}

struct DatabaseSnapshot::Memory {
    sqlite3* db = nullptr;
    ~Memory()
    {
        if (db)
            sqlite3_close(db);
    }
};

DatabaseSnapshot::DatabaseSnapshot(const QSqlDatabase& db) : m_copy(std::make_unique<Memory>())
{
    sqlite3* source = handleOf(db);
    if (!source) {
        m_error = QStringLiteral("not an open QSQLITE connection");
        return;
    }
    if (sqlite3_open(":memory:", &m_copy->db) != SQLITE_OK) {
        m_error = QString::fromUtf8(sqlite3_errmsg(m_copy->db));
        return;
    }
    const int rc = copyDatabase(m_copy->db, source);
    if (rc != SQLITE_OK)
        m_error = QString::fromUtf8(sqlite3_errstr(rc));
}

DatabaseSnapshot::~DatabaseSnapshot() = default;

bool DatabaseSnapshot::restore(const QSqlDatabase& db)
{
    sqlite3* target = handleOf(db);
    if (!target || !m_copy->db) {
        m_error = QStringLiteral("nothing to restore");
        return false;
    }
    const int rc = copyDatabase(target, m_copy->db);
    if (rc != SQLITE_OK) {
        m_error = QString::fromUtf8(sqlite3_errstr(rc));
        return false;
    }
    return true;
}

}  // namespace quarvel::test
