#include "db/SqlDialect.h"

#include <QHash>
#include <QRegularExpression>

#include <limits>

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
    static const QRegularExpression re(QStringLiteral(R"(\blen\s*\()"), QRegularExpression::CaseInsensitiveOption);
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

// The ")" that closes the innermost "(" around position pos (outside quoted texts), or -1 when
// pos lies at the top level of the statement.
qsizetype enclosingClose(const QString& s, qsizetype pos)
{
    QList<qsizetype> open;
    QChar quote;
    for (qsizetype i = 0; i < pos; ++i) {
        const QChar c = s.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'(') {
            open.append(i);
        } else if (c == u')' && !open.isEmpty()) {
            open.removeLast();
        }
    }
    return open.isEmpty() ? -1 : closingParen(s, open.last());
}

// "select [distinct] top n ..." becomes "select [distinct] ... limit n", wherever the select
// stands: the limit closes the statement, or the parentheses around a subquery. A bound row
// limit, "top (?)", keeps its placeholder where it was, so the values bind in the same order:
// "with q_topN(n) as (select ?) select ... limit (select n from q_topN)".
QString rewriteTop(QString s)
{
    static const QRegularExpression re(
        QStringLiteral(R"(\b(select\s+(?:distinct\s+)?)top\s*(?:(\d+)|\(\s*(\d+|\?)\s*\))\s*)"),
        QRegularExpression::CaseInsensitiveOption);
    qsizetype from = 0;
    int bound = 0;
    for (;;) {
        const auto m = re.match(s, from);
        if (!m.hasMatch())
            return s;
        if (insideQuotes(s, m.capturedStart())) {
            from = m.capturedEnd();
            continue;
        }
        const QString count = m.captured(2).isEmpty() ? m.captured(3) : m.captured(2);
        QString limit = count;
        QString head = m.captured(1);
        if (count == u'?') {
            const QString name = QStringLiteral("q_top%1").arg(++bound);
            head = QStringLiteral("with %1(n) as (select ?) %2").arg(name, head);
            limit = QStringLiteral("(select n from %1)").arg(name);
        }
        const qsizetype close = enclosingClose(s, m.capturedStart());
        if (close < 0) {
            // Trailing semicolons would put the limit outside the statement.
            while (s.endsWith(u';') || s.endsWith(u' '))
                s.chop(1);
            s += QStringLiteral(" limit ") + limit;
        } else {
            qsizetype end = close;
            while (end > 0 && s.at(end - 1).isSpace())
                --end;
            s.replace(end, close - end, QStringLiteral(" limit ") + limit);
        }
        s.replace(m.capturedStart(), m.capturedLength(), head);
        from = m.capturedStart() + head.size();
    }
}

// SQLite has no table hints: "with (updlock, holdlock)" and its kin after a table name go.
// A write transaction there locks the whole database anyway.
QString dropTableHints(QString s)
{
    static const QString hint = QStringLiteral(
        "(?:updlock|holdlock|rowlock|paglock|tablockx|tablock|xlock|nolock|readpast|serializable"
        "|readcommitted|repeatableread)");
    static const QRegularExpression re(QStringLiteral(R"(\s+with\s*\(\s*%1(?:\s*,\s*%1)*\s*\))").arg(hint),
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

QString canonicalDateTime(const QDateTime& value) { return value.toString(QLatin1String(kCanonicalFormat)); }

namespace {

// A typed LIKE pattern, bound per engine.
struct LikePattern {
    QString pattern;
};

}  // namespace

QVariant containsPattern(const QString& typed)
{
    return QVariant::fromValue(LikePattern{QStringLiteral("%") + typed + QStringLiteral("%")});
}

QVariant bindValue(const QVariant& value, SqlEngine engine)
{
    if (value.isNull())
        return value;
    if (value.metaType() == QMetaType::fromType<LikePattern>()) {
        const QString pattern = value.value<LikePattern>().pattern;
        if (engine == SqlEngine::SqlServer && pattern.contains(u'['))
            return bindValue(QString(pattern).replace(QStringLiteral("["), QStringLiteral("[[]")), engine);
        return bindValue(pattern, engine);
    }
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
    if (type == QMetaType::QString) {
        // A lone half of a surrogate pair would reach each driver as a different text: every
        // path binds the text Qt makes of it.
        const QString text = value.toString();
        if (!text.isValidUtf16())
            return QString::fromUtf8(text.toUtf8());
    }
    return value;
}

namespace {

// The character at i of a text or of UTF-8 bytes (the canonical form is all ASCII).
char16_t charAt(QStringView t, qsizetype i) { return t[i].unicode(); }
char16_t charAt(QByteArrayView t, qsizetype i) { return char16_t(uchar(t[i])); }

// Two to four digits of the text at `from`; -1 when one is not a digit.
template <typename View>
int digits(View t, qsizetype from, qsizetype count)
{
    int n = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = charAt(t, i);
        if (c < u'0' || c > u'9')
            return -1;
        n = n * 10 + (c - u'0');
    }
    return n;
}

// The canonical form "yyyy-MM-dd HH:mm:ss", read field by field; false for any other text.
template <typename View>
bool parseCanonical(View t, QDate* date, QTime* time)
{
    if (t.size() != 19 || charAt(t, 4) != u'-' || charAt(t, 7) != u'-' || charAt(t, 10) != u' ' || charAt(t, 13) != u':'
        || charAt(t, 16) != u':')
        return false;
    const int y = digits(t, 0, 4), mo = digits(t, 5, 2), d = digits(t, 8, 2);
    const int h = digits(t, 11, 2), mi = digits(t, 14, 2), se = digits(t, 17, 2);
    if (y < 0 || mo < 0 || d < 0 || h < 0 || mi < 0 || se < 0)
        return false;
    *date = QDate(y, mo, d);
    *time = QTime(h, mi, se);
    return date->isValid() && time->isValid();
}

}  // namespace

// A local date-time without asking the system for the zone on every value: the offset from UTC
// is looked up once per local hour and kept (glibc reads the zone file again on each
// conversion when TZ is unset). An hour in which the offset changes (a daylight-saving switch)
// is not kept and goes through the local conversion every time.
QDateTime localDateTime(QDate date, QTime time)
{
    constexpr int kChanging = std::numeric_limits<int>::min();
    thread_local QHash<qint64, int> offsets;
    const qint64 hour = date.toJulianDay() * 24 + time.hour();
    auto it = offsets.constFind(hour);
    if (it == offsets.constEnd()) {
        const int first = QDateTime(date, QTime(time.hour(), 0)).offsetFromUtc();
        const int last = QDateTime(date, QTime(time.hour(), 59, 59)).offsetFromUtc();
        if (offsets.size() > 100000)
            offsets.clear();
        it = offsets.insert(hour, first == last ? first : kChanging);
    }
    if (*it == kChanging)
        return QDateTime(date, time);
    return QDateTime(date, time, Qt::OffsetFromUTC, *it);
}

QDateTime fromCanonicalUtf8(QByteArrayView text)
{
    QDate date;
    QTime time;
    if (!parseCanonical(text, &date, &time))
        return {};
    return localDateTime(date, time);
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
    QDate date;
    QTime time;
    if (parseCanonical(text, &date, &time))
        return localDateTime(date, time);
    static const char* const formats[] = {"yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-ddTHH:mm:ss", "yyyy/MM/dd HH:mm:ss",
                                          "yyyy-MM-dd HH:mm",        "yyyy-MM-dd",          "yyyy/MM/dd"};
    for (const char* f : formats) {
        const QDateTime dt = QDateTime::fromString(text, QLatin1String(f));
        if (dt.isValid())
            return dt;
    }
    return QDateTime::fromString(text, Qt::ISODateWithMs);
}

}  // namespace quarvel::dialect
