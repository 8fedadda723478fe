#include "db/SqlDialect.h"

#include <QHash>
#include <QRegularExpression>

namespace quarvel::dialect {
namespace {

// Index of the ")" that closes the "(" at `open`, skipping quoted texts; -1 if none.
qsizetype closingParen(const QString& s, qsizetype open)
{
    int depth = 0;
    QChar quote;
    for (qsizetype i = open; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            if (--depth == 0)
                return i;
        }
    }
    return -1;
}

// True when position i of s lies inside a quoted text.
bool insideQuotes(const QString& s, qsizetype pos)
{
    QChar quote;
    for (qsizetype i = 0; i < pos; ++i) {
        const QChar c = s.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        }
    }
    return !quote.isNull();
}

// T-SQL len() ignores trailing blanks; SQLite's length() does not.
QString rewriteLen(QString s)
{
    static const QRegularExpression re(QStringLiteral(R"(\blen\s*\()"),
                                       QRegularExpression::CaseInsensitiveOption);
    qsizetype from = 0;
    for (;;) {
        const auto m = re.match(s, from);
        if (!m.hasMatch())
            return s;
        const qsizetype open = m.capturedEnd() - 1;
        if (insideQuotes(s, m.capturedStart())) {
            from = m.capturedEnd();
            continue;
        }
        const qsizetype close = closingParen(s, open);
        if (close < 0)
            return s;
        const QString inner = s.mid(open + 1, close - open - 1);
        const QString replacement = QStringLiteral("length(rtrim(%1, ' '))").arg(inner);
        s.replace(m.capturedStart(), close + 1 - m.capturedStart(), replacement);
        from = m.capturedStart() + replacement.size();
    }
}

QString rewriteTop(QString s)
{
    static const QRegularExpression re(
        QStringLiteral(R"(^(\s*select\s+(?:distinct\s+)?)top\s+(\d+)\s+)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(s);
    if (!m.hasMatch())
        return s;
    const QString limit = m.captured(2);
    s = m.captured(1) + s.mid(m.capturedEnd());
    // Trailing semicolons would put the limit outside the statement.
    while (s.endsWith(u';') || s.endsWith(u' '))
        s.chop(1);
    return s + QStringLiteral(" limit ") + limit;
}

// SQLite has no table hints: "with (updlock, holdlock)" and its kin after a table name go.
// A write transaction there locks the whole database anyway.
QString dropTableHints(QString s)
{
    static const QString hint = QStringLiteral(
        "(?:updlock|holdlock|rowlock|paglock|tablockx|tablock|xlock|nolock|readpast|serializable"
        "|readcommitted|repeatableread)");
    static const QRegularExpression re(
        QStringLiteral(R"(\s+with\s*\(\s*%1(?:\s*,\s*%1)*\s*\))").arg(hint),
        QRegularExpression::CaseInsensitiveOption);
    qsizetype from = 0;
    for (;;) {
        const auto m = re.match(s, from);
        if (!m.hasMatch())
            return s;
        if (insideQuotes(s, m.capturedStart())) {
            from = m.capturedEnd();
            continue;
        }
        s.remove(m.capturedStart(), m.capturedLength());
        from = m.capturedStart();
    }
}

// Long values moved in pieces: T-SQL's binary literal, "column.WRITE(?, null, null)" (append
// the value) and substring() of a binary value. SQLite's "||" makes text of its operands, so
// the appended value is cast back to a blob; substr() of a blob counts bytes.
QString rewritePieceForms(QString s)
{
    static const QRegularExpression hex(QStringLiteral(R"(\b0x([0-9A-Fa-f]*)(?![0-9A-Za-z_]))"));
    static const QRegularExpression append(
        QStringLiteral(R"(([^\s,=().]+)\.write\s*\(\s*\?\s*,\s*null\s*,\s*null\s*\))"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression substring(QStringLiteral(R"(\bsubstring\s*\()"),
                                              QRegularExpression::CaseInsensitiveOption);
    const struct {
        const QRegularExpression& re;
        QString replacement;
    } forms[] = {{hex, QStringLiteral("x'\\1'")},
                 {append, QStringLiteral("\\1 = cast(\\1 || ? as blob)")},
                 {substring, QStringLiteral("substr(")}};
    for (const auto& form : forms) {
        qsizetype from = 0;
        for (;;) {
            const auto m = form.re.match(s, from);
            if (!m.hasMatch())
                break;
            if (insideQuotes(s, m.capturedStart())) {
                from = m.capturedEnd();
                continue;
            }
            QString replacement = form.replacement;
            replacement.replace(QStringLiteral("\\1"), m.captured(1));
            s.replace(m.capturedStart(), m.capturedLength(), replacement);
            from = m.capturedStart() + replacement.size();
        }
    }
    return s;
}

QString toSqlite(const QString& tsql)
{
    static const QRegularExpression getdate(QStringLiteral(R"(\bgetdate\s*\(\s*\))"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression datalength(QStringLiteral(R"(\bdatalength\s*\()"),
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression isnull(QStringLiteral(R"(\bisnull\s*\()"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString s = tsql;
    s.replace(getdate, QStringLiteral("datetime('now','localtime')"));
    s.replace(isnull, QStringLiteral("ifnull("));
    s.replace(datalength, QStringLiteral("length("));
    s = rewriteLen(s);
    s = rewritePieceForms(s);
    s = dropTableHints(s);
    s = rewriteTop(s);
    return s;
}

}  // namespace

QString translate(const QString& tsql, SqlEngine engine)
{
    if (engine == SqlEngine::SqlServer)
        return tsql;
    static QHash<QString, QString> cache;
    auto it = cache.constFind(tsql);
    if (it != cache.constEnd())
        return *it;
    const QString translated = toSqlite(tsql);
    if (cache.size() < 4096)
        cache.insert(tsql, translated);
    return translated;
}

QString canonicalDateTime(const QDateTime& value)
{
    return value.toString(QLatin1String(kCanonicalFormat));
}

QVariant bindValue(const QVariant& value, SqlEngine engine)
{
    if (value.isNull())
        return value;
    const int type = value.typeId();
    if (type == QMetaType::QDateTime) {
        QDateTime dt = value.toDateTime();
        dt.setTime(QTime(dt.time().hour(), dt.time().minute(), dt.time().second()));
        if (engine == SqlEngine::Sqlite)
            return canonicalDateTime(dt);
        return dt;
    }
    if (type == QMetaType::QDate) {
        const QDateTime dt(value.toDate(), QTime(0, 0));
        if (engine == SqlEngine::Sqlite)
            return canonicalDateTime(dt);
        return dt;
    }
    if (type == QMetaType::Bool)
        return value.toBool() ? 1 : 0;
    return value;
}

QDateTime toDateTime(const QVariant& value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime();
    if (value.typeId() == QMetaType::QDate)
        return QDateTime(value.toDate(), QTime(0, 0));
    const QString text = value.toString().trimmed();
    static const char* const formats[] = {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm:ss.zzz",
                                          "yyyy-MM-ddTHH:mm:ss", "yyyy/MM/dd HH:mm:ss",
                                          "yyyy-MM-dd HH:mm",    "yyyy-MM-dd",
                                          "yyyy/MM/dd"};
    for (const char* f : formats) {
        const QDateTime dt = QDateTime::fromString(text, QLatin1String(f));
        if (dt.isValid())
            return dt;
    }
    return QDateTime::fromString(text, Qt::ISODateWithMs);
}

}  // namespace quarvel::dialect
