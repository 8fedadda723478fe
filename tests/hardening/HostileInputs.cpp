#include "HostileInputs.h"

#include "widgets/tree/KeyedTree.h"
#include "widgets/tree/KeyedTreeModel.h"

#include <QApplication>
#include <QClipboard>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTextEdit>
#include <QTreeView>

#include <sqlite3.h>

#include <atomic>
#include <mutex>

namespace quarvel::test {

namespace {

QString repeated(const QString& piece, int length)
{
    QString out;
    out.reserve(length + piece.size());
    while (out.size() < length)
        out += piece;
    return out.left(length);
}

}  // namespace

const QVector<HostileText>& hostileTexts()
{
    static const QVector<HostileText> texts = {
        {QStringLiteral("single quote"), QStringLiteral("O'Neil")},
        {QStringLiteral("lone quote"), QStringLiteral("'")},
        {QStringLiteral("double quote"), QStringLiteral("say \"hi\"")},
        {QStringLiteral("or 1=1"), QStringLiteral("' or '1'='1")},
        {QStringLiteral("comment"), QStringLiteral("x' --")},
        {QStringLiteral("statement end"), QStringLiteral("a; drop table 公司文件信息; --")},
        {QStringLiteral("semicolon"), QStringLiteral(";")},
        {QStringLiteral("percent"), QStringLiteral("%")},
        {QStringLiteral("underscore"), QStringLiteral("_")},
        {QStringLiteral("wildcards"), QStringLiteral("50%_off")},
        {QStringLiteral("brackets"), QStringLiteral("[a-z]")},
        {QStringLiteral("open bracket"), QStringLiteral("[")},
        {QStringLiteral("close bracket"), QStringLiteral("]")},
        {QStringLiteral("caret range"), QStringLiteral("[^x]%")},
        {QStringLiteral("backslashes"), QStringLiteral("C:\\temp\\a\\\\b\\")},
        {QStringLiteral("escape char"), QStringLiteral("\\'; --")},
        {QStringLiteral("newlines"), QStringLiteral("line1\nline2\r\nline3")},
        {QStringLiteral("tab"), QStringLiteral("a\tb")},
        {QStringLiteral("outside BMP"), QStringLiteral("𠀀𝄞𐐷")},
        {QStringLiteral("emoji ZWJ"), QStringLiteral("👩‍👩‍👧‍👦")},
        {QStringLiteral("emoji flags"), QStringLiteral("🇨🇳🇺🇳")},
        {QStringLiteral("emoji skin tone"), QStringLiteral("👍🏽👋🏿")},
        {QStringLiteral("chinese with quotes"), QStringLiteral("财务'部\"制度")},
        {QStringLiteral("empty"), QString()},
        {QStringLiteral("blank"), QStringLiteral("   ")},
        {QStringLiteral("ideographic blank"), QStringLiteral("\u3000 \u3000")},
        {QStringLiteral("outer blanks"), QStringLiteral("  x'y  ")},
        {QStringLiteral("10000 characters"), repeated(QStringLiteral("长'%_"), 10000)},
        {QStringLiteral("20000 characters"), repeated(QStringLiteral("长"), 20000)},
        {QStringLiteral("place markers"), QStringLiteral("%1%2 名%9 %L1")},
        {QStringLiteral("accented upper"), QStringLiteral("ÄRGER")},
        {QStringLiteral("full-width"), QStringLiteral("ＡＢｃ")},
        {QStringLiteral("class bracket"), QStringLiteral("[报]告")},
    };
    return texts;
}

const QVector<HostileText>& hostileMalformedTexts()
{
    static const QVector<HostileText> texts = {
        {QStringLiteral("lone surrogate"), QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y")},
        {QStringLiteral("lone low surrogate"), QChar(0xDC00) + QStringLiteral("报告")},
        {QStringLiteral("NUL inside"), QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b")},
    };
    return texts;
}

const QVector<HostileText>& hostileCaseVariants()
{
    static const QVector<HostileText> texts = {
        {QStringLiteral("accented upper"), QStringLiteral("ärger")},
        {QStringLiteral("full-width"), QStringLiteral("ａｂＣ")},
    };
    return texts;
}

const QVector<HostileText>& hostileFileNames()
{
    static const QVector<HostileText> names = {
        {QStringLiteral("slash"), QStringLiteral("a/b")},
        {QStringLiteral("up and out"), QStringLiteral("../../escaped")},
        {QStringLiteral("absolute"), QStringLiteral("/tmp/quarvel-escaped")},
        {QStringLiteral("backslash"), QStringLiteral("..\\..\\escaped")},
        {QStringLiteral("dot dot"), QStringLiteral("..")},
        {QStringLiteral("dot"), QStringLiteral(".")},
        {QStringLiteral("colon"), QStringLiteral("C:evil")},
        {QStringLiteral("stream"), QStringLiteral("a:b:$DATA")},
        {QStringLiteral("leading dots"), QStringLiteral("...hidden")},
        {QStringLiteral("hidden"), QStringLiteral(".bashrc")},
        {QStringLiteral("CON"), QStringLiteral("CON")},
        {QStringLiteral("nul lower"), QStringLiteral("nul")},
        {QStringLiteral("COM1 with ext"), QStringLiteral("COM1.txt")},
        {QStringLiteral("LPT9"), QStringLiteral("LPT9")},
        {QStringLiteral("AUX blanks"), QStringLiteral("AUX  ")},
        {QStringLiteral("trailing dots"), QStringLiteral("name...")},
        {QStringLiteral("wild and quotes"), QStringLiteral("*?\"<>|")},
        {QStringLiteral("control"), QStringLiteral("a\nb\tc")},
        {QStringLiteral("empty"), QString()},
        {QStringLiteral("blank"), QStringLiteral("   ")},
        {QStringLiteral("300 characters"), repeated(QStringLiteral("名"), 300)},
        {QStringLiteral("300 latin"), repeated(QStringLiteral("abc/"), 300)},
        {QStringLiteral("emoji"), QStringLiteral("👩‍👩‍👧‍👦🇨🇳")},
    };
    return names;
}

// --- statement watch ---

namespace {

std::atomic<qint64> g_statements{0};
std::atomic<bool> g_paused{false};
std::mutex g_errorLock;
QStringList g_errors;

void onLog(void*, int code, const char* message)
{
    const int primary = code & 0xff;
    if (primary == SQLITE_NOTICE || primary == SQLITE_WARNING || primary == SQLITE_SCHEMA)
        return;
    if (g_paused)
        return;
    std::lock_guard lock(g_errorLock);
    g_errors << QStringLiteral("%1: %2").arg(code).arg(QString::fromUtf8(message));
}

int onTrace(unsigned type, void*, void*, void* x)
{
    if (type == SQLITE_TRACE_STMT && !g_paused) {
        const char* text = static_cast<const char*>(x);
        if (!(text && text[0] == '-' && text[1] == '-'))  // trigger sub-statements
            ++g_statements;
    }
    return 0;
}

int onOpen(sqlite3* db, char**, const sqlite3_api_routines*)
{
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, onTrace, nullptr);
    return SQLITE_OK;
}

}  // namespace

void StatementWatch::install()
{
    sqlite3_shutdown();
    sqlite3_config(SQLITE_CONFIG_LOG, onLog, nullptr);
    sqlite3_initialize();
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(onOpen));
}

qint64 StatementWatch::statements() { return g_statements; }

QStringList StatementWatch::errors()
{
    std::lock_guard lock(g_errorLock);
    return g_errors;
}

void StatementWatch::clearErrors()
{
    std::lock_guard lock(g_errorLock);
    g_errors.clear();
}

void StatementWatch::pause(bool paused) { g_paused = paused; }

// --- fingerprint ---

Fingerprint fingerprint(const QSqlDatabase& db)
{
    StatementWatch::pause(true);
    Fingerprint out;
    QStringList tables;
    {
        QSqlQuery q(db);
        q.exec(QStringLiteral("select name from sqlite_master where type = 'table' and name not like 'sqlite%'"));
        // The text of the documents for the search inside them (资料全文 and its index) follows
        // the stored files, not the typed texts; its own tests check it.
        while (q.next()) {
            if (!q.value(0).toString().startsWith(QStringLiteral("资料全文")))
                tables << q.value(0).toString();
        }
    }
    for (const QString& table : tables) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("select rowid as rowid__, * from \"%1\"").arg(table))) {
            qWarning("fingerprint %s: %s", qPrintable(table), qPrintable(q.lastError().text()));
            continue;
        }
        const QSqlRecord record = q.record();
        QStringList columns;
        for (int i = 1; i < record.count(); ++i)
            columns << record.fieldName(i);
        auto& rows = out[table];
        while (q.next()) {
            RowImage image;
            image.columns = columns;
            QCryptographicHash hash(QCryptographicHash::Sha1);
            for (int i = 1; i < record.count(); ++i) {
                const QVariant v = q.value(i);
                image.values << v;
                hash.addData(QByteArray::number(v.isNull() ? -1 : v.typeId()));
                hash.addData(QByteArrayView("\x1f", 1));
                hash.addData(v.typeId() == QMetaType::QByteArray ? v.toByteArray() : v.toString().toUtf8());
                hash.addData(QByteArrayView("\x1e", 1));
            }
            image.digest = QString::fromLatin1(hash.result().toHex());
            rows.insert(q.value(0).toLongLong(), image);
        }
    }
    StatementWatch::pause(false);
    return out;
}

QString RowChange::describe() const
{
    static const char* kinds[] = {"added", "removed", "changed"};
    QStringList shown;
    for (int i = 0; i < after.columns.size(); ++i)
        shown << after.columns[i] + u'=' + shortForm(after.values[i].toString());
    return QStringLiteral("%1 row %2 %3 %4").arg(table).arg(rowid).arg(QLatin1String(kinds[kind]), shown.join(u','));
}

QVector<RowChange> changesBetween(const Fingerprint& before, const Fingerprint& after)
{
    QVector<RowChange> out;
    QStringList tables = before.keys() + after.keys();
    tables.removeDuplicates();
    for (const QString& table : tables) {
        const auto old = before.value(table);
        const auto now = after.value(table);
        for (auto it = old.cbegin(); it != old.cend(); ++it) {
            if (!now.contains(it.key()))
                out.append({RowChange::Removed, table, it.key(), RowImage{it->columns, it->values, {}}});
            else if (now[it.key()].digest != it->digest)
                out.append({RowChange::Changed, table, it.key(), now[it.key()]});
        }
        for (auto it = now.cbegin(); it != now.cend(); ++it)
            if (!old.contains(it.key()))
                out.append({RowChange::Added, table, it.key(), *it});
    }
    return out;
}

const QHash<QString, QHash<QString, int>>& columnLengths()
{
    static const QHash<QString, QHash<QString, int>> lengths = [] {
        QHash<QString, QHash<QString, int>> out;
        QFile file(QStringLiteral(QUARVEL_SOURCE_DIR "/sql/sqlserver/schema.sql"));
        if (!file.open(QIODevice::ReadOnly))
            qFatal("cannot read the server schema");
        static const QRegularExpression tableLine(QStringLiteral("^CREATE TABLE\\s+\\[?([^\\s\\]\\(]+)"),
                                                  QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression columnLine(QStringLiteral("^\\s+\\[?([^\\s\\]]+)\\]?\\s+n?varchar\\((\\d+)\\)"),
                                                   QRegularExpression::CaseInsensitiveOption);
        QString table;
        for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
            if (const auto m = tableLine.match(line); m.hasMatch())
                table = m.captured(1);
            else if (const auto c = columnLine.match(line); c.hasMatch() && !table.isEmpty())
                out[table].insert(c.captured(1), c.captured(2).toInt());
        }
        return out;
    }();
    return lengths;
}

QStringList overLongTexts(const QVector<RowChange>& changes)
{
    QStringList out;
    for (const RowChange& c : changes) {
        if (c.kind == RowChange::Removed)
            continue;
        const auto limits = columnLengths().value(c.table);
        for (int i = 0; i < c.after.columns.size(); ++i) {
            const int max = limits.value(c.after.columns[i], -1);
            const QVariant& v = c.after.values[i];
            if (max >= 0 && v.typeId() == QMetaType::QString && v.toString().size() > max)
                out << QStringLiteral("%1.%2 (%3 > %4)")
                           .arg(c.table, c.after.columns[i])
                           .arg(v.toString().size())
                           .arg(max);
        }
    }
    return out;
}

// --- typing ---

void enterText(QWidget* box, const QString& text)
{
    box->setFocus();
    bool plain = text.size() <= 24;
    for (const QChar c : text)
        plain = plain && c.unicode() >= 0x20 && c.unicode() < 0x7f;
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    if (text.isEmpty())
        return;
    if (plain) {
        QTest::keyClicks(box, text);
        return;
    }
    QApplication::clipboard()->setText(text);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}


QString boxText(QWidget* box)
{
    if (auto* line = qobject_cast<QLineEdit*>(box))
        return line->text();
    if (auto* plain = qobject_cast<QPlainTextEdit*>(box))
        return plain->toPlainText();
    if (auto* rich = qobject_cast<QTextEdit*>(box))
        return rich->toPlainText();
    return {};
}

QString shortForm(const QString& text)
{
    QString s = text.size() > 40 ? text.left(30) + QStringLiteral("…(%1)").arg(text.size()) : text;
    s.replace(u'\n', QStringLiteral("\\n"));
    s.replace(u'\r', QStringLiteral("\\r"));
    return s;
}

void Tally::report(const char* suite) const
{
    qInfo("%s: %d inputs x places tried over %d places, %lld statements run, %d rows changed outside targets", suite,
          inputs, places, StatementWatch::statements() - statementsAtStart, outsideChanges);
}

Probe::Probe(TestDatabase& db, ScriptedMessages& msgs, Tally& tally, QStringList& problems, QString what)
    : m_db(db),
      m_msgs(msgs),
      m_tally(tally),
      m_problems(problems),
      m_what(std::move(what)),
      m_shownAtStart(msgs.shown.size()),
      m_before(fingerprint(db.fixtureConnection()))
{
    StatementWatch::clearErrors();
    ++m_tally.inputs;
}

QStringList Probe::messages() const
{
    QStringList out;
    for (qsizetype i = m_shownAtStart; i < m_msgs.shown.size(); ++i)
        out << m_msgs.shown[i].text;
    return out;
}

QVector<RowChange> Probe::finish(const std::function<bool(const RowChange&)>& allowed)
{
    for (const QString& e : StatementWatch::errors())
        problem(QStringLiteral("statement error ") + e);
    StatementWatch::clearErrors();
    for (const QString& m : messages())
        if (looksLikeStatementError(m))
            problem(QStringLiteral("message ") + shortForm(m));
    const Fingerprint now = fingerprint(m_db.fixtureConnection());
    QVector<RowChange> accepted;
    for (const RowChange& c : changesBetween(m_before, now)) {
        if (allowed && allowed(c)) {
            accepted << c;
        } else {
            ++m_tally.outsideChanges;
            problem(QStringLiteral("outside the target: ") + c.describe());
        }
    }
    for (const QString& o : overLongTexts(accepted))
        problem(QStringLiteral("stored longer than its column: ") + o);
    m_before = now;
    return accepted;
}

bool looksLikeStatementError(const QString& message)
{
    // The windows show their own refusals in their error forms too ("错误号：-1 ..."): what
    // gives a statement error away is the engine's or the driver's wording.
    static const QStringList marks = {QStringLiteral("syntax"),    QStringLiteral("Unable to"),
                                      QStringLiteral("no such"),   QStringLiteral("unrecognized token"),
                                      QStringLiteral("SQL"),       QStringLiteral("constraint"),
                                      QStringLiteral("near \""),   QStringLiteral("mismatch"),
                                      QStringLiteral("truncated"), QStringLiteral("parameter"),
                                      QStringLiteral("ODBC")};
    for (const QString& m : marks)
        if (message.contains(m, Qt::CaseInsensitive))
            return true;
    return false;
}

QStringList listTree(const QString& folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir base(folder);
    while (it.hasNext())
        out << base.relativeFilePath(it.next());
    out.sort();
    return out;
}

}  // namespace quarvel::test
