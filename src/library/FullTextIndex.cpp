#include "library/FullTextIndex.h"

#include "db/Connection.h"
#include "db/Query.h"
#include "db/RowReader.h"
#include "db/Schema.h"
#include "db/TextTokens.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace quarvel {
namespace {

// --- statements ---------------------------------------------------------------------------

const QString& versionStatement()
{
    static const QString sql = QStringLiteral("select 上传日期 from 公司文件信息 where ID = ?");
    return sql;
}

const QString& deletePagesStatement()
{
    static const QString sql = QStringLiteral("delete from 资料全文 where 文件ID = ?");
    return sql;
}

const QString& insertPageStatement()
{
    static const QString sql = QStringLiteral("insert into 资料全文 (文件ID, 页码, 版本, 文本) values (?, ?, ?, ?)");
    return sql;
}

const QString& deleteStateStatement()
{
    static const QString sql = QStringLiteral("delete from 资料全文状态 where 文件ID = ?");
    return sql;
}

const QString& insertStateStatement()
{
    static const QString sql =
        QStringLiteral("insert into 资料全文状态 (文件ID, 状态, 版本, 说明) values (?, ?, ?, ?)");
    return sql;
}

// Whether the server has full-text search and the index over the text exists.
const QString& serverSearchStatement()
{
    static const QString sql = QStringLiteral(
        "select cast(isnull(fulltextserviceproperty('IsFullTextInstalled'), 0) as int) as 已安装, "
        "cast(isnull(objectproperty(object_id(N'资料全文'), 'TableHasActiveFulltextIndex'), 0) as int) as 已建索引");
    return sql;
}

const QString& stateNoteStatement()
{
    static const QString sql = QStringLiteral("select 状态, 说明 from 资料全文状态 where 文件ID = ?");
    return sql;
}

QString pageTextsStatement(int count)
{
    return QStringLiteral("select ID, 文本 from 资料全文 where ID in (") + parameterMarks(count) + QStringLiteral(")");
}

QString stateListStatement(int count)
{
    return QStringLiteral("select 文件ID, 状态 from 资料全文状态 where 文件ID in (") + parameterMarks(count)
           + QStringLiteral(")");
}

// The columns a hit reads after the listed document's.
enum class HitColumn { Page = kListedColumns, PageId };

// Texts of at most this many characters go into the note of a state.
constexpr int kNoteLength = 200;

IndexState stateOf(const ExtractedText& text)
{
    switch (text.outcome) {
    case ExtractionOutcome::Text: return IndexState::Done;
    case ExtractionOutcome::NoText: return IndexState::NoText;
    case ExtractionOutcome::Failed: break;
    }
    return IndexState::Failed;
}

// The generation of the shared connection for which a once-per-connection answer holds.
struct PerConnection {
    int generation = -1;
    FullTextMethod method = FullTextMethod::Like;
};
PerConnection& detected()
{
    static PerConnection d;
    return d;
}
int& tablesCheckedFor()
{
    static int generation = -1;
    return generation;
}

}  // namespace

IndexConnection IndexConnection::shared() { return {SharedConnection::database(), SharedConnection::engine()}; }

DbStatus FullTextIndex::ensureTables(const IndexConnection& c)
{
    const bool isShared = c.db.connectionName() == SharedConnection::database().connectionName();
    if (isShared && tablesCheckedFor() == SharedConnection::generation())
        return {};
    const DbStatus made = schema::ensureFullText(c.db, c.engine);
    if (made.ok() && isShared)
        tablesCheckedFor() = SharedConnection::generation();
    return made;
}

DbStatus FullTextIndex::setState(qint64 documentId, const QDateTime& version, IndexState state, const QString& note,
                                 const IndexConnection& c)
{
    Query remove(deleteStateStatement(), c.db, c.engine);
    remove.bind(documentId);
    if (!remove.exec())
        return {remove.error()};
    Query insert(insertStateStatement(), c.db, c.engine);
    insert.bind({documentId, int(state), version, note.isEmpty() ? QVariant() : QVariant(note.left(kNoteLength))});
    if (!insert.exec())
        return {insert.error()};
    return {};
}

namespace {

// The document's old pages deleted, the text's pages inserted and the state set, inside the
// caller's transaction.
DbStatus writeText(qint64 documentId, const QDateTime& version, const ExtractedText& text, IndexState state,
                   const IndexConnection& c)
{
    Query remove(deletePagesStatement(), c.db, c.engine);
    remove.bind(documentId);
    if (!remove.exec())
        return {remove.error()};
    if (state == IndexState::Done) {
        Query insert(insertPageStatement(), c.db, c.engine);
        for (int k = 0; k < text.pages.size(); ++k) {
            if (text.pages.at(k).trimmed().isEmpty())
                continue;
            insert.clearBindings();
            insert.bind({documentId, k + 1, version, text.pages.at(k)});
            if (!insert.exec())
                return {insert.error()};
        }
    }
    QString note = text.reason;
    if (text.truncated)
        note = QStringLiteral("文字超过限制，只索引了前 %1 页中的一部分").arg(text.pages.size());
    return FullTextIndex::setState(documentId, version, state, note, c);
}

}  // namespace

DbStatus FullTextIndex::store(qint64 documentId, const QDateTime& version, const ExtractedText& text,
                              const IndexConnection& c)
{
    Transaction transaction(c.db, c.engine);
    if (!transaction.begun())
        return {transaction.error()};
    {
        // The content the text was read from must still be the document's.
        Query q(versionStatement(), c.db, c.engine);
        q.bind(documentId);
        if (!q.exec())
            return {q.error()};
        if (!q.next())
            return {q.error()};
        if (q.dateTime(u"上传日期") != version)
            return {};
    }
    const DbStatus written = writeText(documentId, version, text, stateOf(text), c);
    if (!written.ok())
        return written;
    if (!transaction.commit())
        return {transaction.error()};
    return {};
}

FullTextIndex::UploadText FullTextIndex::prepareUpload(const QString& path, const QString& extension)
{
    UploadText upload;
    upload.enabled = ensureTables().ok();
    upload.path = path;
    upload.extension = extension;
    if (!upload.enabled)
        return upload;
    upload.background = TextExtraction::isPicture(extension)
                        || (TextExtraction::readsFormat(extension) && QFileInfo(path).size() > kInlineBytes);
    if (!upload.background) {
        // The text layer alone here; a page that needs recognition sends the file to the background.
        upload.text = TextExtraction::extract(path, extension);
        upload.background = upload.text.needsRecognition;
        if (upload.background)
            upload.text = {};
    }
    return upload;
}

DbStatus FullTextIndex::recordUpload(qint64 documentId, const QDateTime& version, const UploadText& upload)
{
    if (!upload.enabled)
        return {};
    const IndexConnection c = IndexConnection::shared();
    if (upload.background)
        return writeText(documentId, version, {}, IndexState::Pending, c);
    return writeText(documentId, version, upload.text, stateOf(upload.text), c);
}

void FullTextIndex::afterUpload(qint64 documentId, const UploadText& upload)
{
    if (upload.enabled && upload.background)
        BackgroundIndexing::instance().enqueue(documentId, upload.path, upload.extension);
}

DbStatus FullTextIndex::forget(qint64 documentId)
{
    const DbStatus removed = execute(deletePagesStatement(), {documentId});
    return removed.ok() ? execute(deleteStateStatement(), {documentId}) : removed;
}

DbResult<QHash<qint64, IndexState>> FullTextIndex::states(const QVector<qint64>& documentIds)
{
    using Result = DbResult<QHash<qint64, IndexState>>;
    QHash<qint64, IndexState> out;
    const DbStatus tables = ensureTables();
    if (!tables.ok())
        return Result::failure(tables.error);
    constexpr int kBatch = 200;
    for (qsizetype from = 0; from < documentIds.size(); from += kBatch) {
        const QVector<qint64> batch = documentIds.mid(from, kBatch);
        Query q(stateListStatement(int(batch.size())));
        for (const qint64 id : batch)
            q.bind(id);
        if (!q.exec())
            return {out, q.error()};
        while (q.next())
            out.insert(q.longInteger(u"文件ID"), IndexState(q.integer(u"状态")));
        if (q.error().isSet())
            return {out, q.error()};
    }
    return {out, {}};
}

DbResult<std::optional<FullTextIndex::StateNote>> FullTextIndex::stateNote(qint64 documentId)
{
    using Result = DbResult<std::optional<StateNote>>;
    const DbStatus tables = ensureTables();
    if (!tables.ok())
        return Result::failure(tables.error);
    Query q(stateNoteStatement());
    q.bind(documentId);
    if (!q.exec())
        return Result::failure(q.error());
    if (!q.next())
        return {std::nullopt, q.error()};
    return {StateNote{IndexState(q.integer(u"状态")), q.text(u"说明")}, {}};
}

DbResult<IndexState> FullTextIndex::indexFile(qint64 documentId, const QString& path, const QString& extension,
                                              const IndexConnection& c, const std::atomic_bool* cancelled)
{
    return indexFile(documentId, path, extension, c, cancelled, &TextExtraction::extract);
}

DbResult<IndexState> FullTextIndex::indexFile(qint64 documentId, const QString& path, const QString& extension,
                                              const IndexConnection& c, const std::atomic_bool* cancelled,
                                              const Reader& read)
{
    using Result = DbResult<IndexState>;
    const DbStatus tables = ensureTables(c);
    if (!tables.ok())
        return Result::failure(tables.error);
    QDateTime version;
    {
        Query q(versionStatement(), c.db, c.engine);
        q.bind(documentId);
        if (!q.exec())
            return Result::failure(q.error());
        if (!q.next())
            return Result::failure(q.error().isSet() ? q.error() : DbError::make(-1, QStringLiteral("文件记录不存在")));
        version = q.dateTime(u"上传日期");
    }
    if (TextExtraction::readsFormat(extension)) {
        const DbStatus marked = setState(documentId, version, IndexState::Indexing, {}, c);
        if (!marked.ok())
            return Result::failure(marked.error);
    }
    ExtractionLimits limits;
    limits.recognize = true;
    limits.cancelled = cancelled;
    const ExtractedText text = read(path, extension, limits);
    if (cancelled && cancelled->load()) {
        // Read in part: the document waits for the next run.
        const DbStatus left = setState(documentId, version, IndexState::Pending, {}, c);
        if (!left.ok())
            return Result::failure(left.error);
        return {IndexState::Pending, {}};
    }
    const DbStatus stored = store(documentId, version, text, c);
    if (!stored.ok()) {
        // The text could not be written: the document waits for the back-fill.
        setState(documentId, version, IndexState::Pending, stored.error.description.left(kNoteLength), c);
        return Result::failure(stored.error);
    }
    return {stateOf(text), {}};
}

// --- search -------------------------------------------------------------------------------

QStringList FullTextIndex::queryWords(const QString& typed)
{
    QStringList words;
    QStringList split;
    QString current;
    for (const QChar c : typed) {
        if (c.isSpace()) {
            if (!current.isEmpty())
                split << current;
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.isEmpty())
        split << current;
    for (const QString& word : std::as_const(split)) {
        const QByteArray bytes = word.toUtf8();
        bool any = false;
        texttokens::tokenize(bytes.constData(), int(bytes.size()), texttokens::Mode::Query,
                             [&](const texttokens::Token&) {
                                 any = true;
                                 return 1;
                             });
        if (any)
            words << word;
    }
    return words;
}

QString FullTextIndex::matchExpression(const QStringList& words)
{
    QStringList phrases;
    for (QString w : words)
        phrases << u'"' + w.replace(u'"', QStringLiteral("\"\"")) + u'"';
    return phrases.join(QStringLiteral(" AND "));
}

QString FullTextIndex::containsExpression(const QStringList& words) { return matchExpression(words); }

QString FullTextIndex::snippetOf(const QString& pageText, const QStringList& words, int around)
{
    // Matched as the index matches: full-width forms as their half-width letters, case ignored.
    // The folding keeps every character's place, so a place in the folded text is one in the page.
    const auto folded = [](QString text) {
        for (QChar& c : text)
            c = QChar(char16_t(texttokens::foldWidth(c.unicode())));
        return text;
    };
    const QString page = folded(pageText);
    QStringList wanted;
    for (const QString& w : words)
        wanted << folded(w);
    qsizetype first = -1;
    for (const QString& w : std::as_const(wanted)) {
        const qsizetype at = page.indexOf(w, 0, Qt::CaseInsensitive);
        if (at >= 0 && (first < 0 || at < first))
            first = at;
    }
    if (first < 0)
        first = 0;
    const qsizetype from = std::max<qsizetype>(0, first - around);
    const qsizetype to = std::min<qsizetype>(page.size(), first + around * 2);
    QString out;
    if (from > 0)
        out += QStringLiteral("…");
    for (qsizetype k = from; k < to;) {
        qsizetype matched = 0;
        for (const QString& w : std::as_const(wanted)) {
            if (!w.isEmpty() && QStringView(page).mid(k).startsWith(w, Qt::CaseInsensitive))
                matched = std::max(matched, w.size());
        }
        if (matched > 0) {
            out += kMatchStart + pageText.mid(k, matched) + kMatchEnd;
            k += matched;
        } else {
            const QChar c = pageText.at(k++);
            out += (c == u'\n' || c == u'\t' || c == u'\r') ? QChar(u' ') : c;
        }
    }
    if (to < page.size())
        out += QStringLiteral("…");
    return out;
}

FullTextMethod FullTextIndex::method()
{
    if (SharedConnection::engine() == SqlEngine::Sqlite)
        return FullTextMethod::Fts5;
    PerConnection& d = detected();
    if (d.generation != SharedConnection::generation()) {
        Query q(serverSearchStatement());
        d.method = FullTextMethod::Like;
        if (q.exec() && q.next() && q.integer(u"已安装") == 1 && q.integer(u"已建索引") == 1)
            d.method = FullTextMethod::Contains;
        d.generation = SharedConnection::generation();
    }
    return d.method;
}

const QString& FullTextIndex::pageCountStatement()
{
    static const QString sql = QStringLiteral("select max(资料全文.ID) as 页数 from 资料全文");
    return sql;
}

const QString& FullTextIndex::hitCountStatement()
{
    static const QString sql = QStringLiteral(
        "select count(*) as 命中 from (select top (?) 资料全文索引.rowid from 资料全文索引 "
        "where 资料全文索引 match ?) as 命中页");
    return sql;
}

qint64 FullTextIndex::documentsFirstFrom(qint64 pages, int limit)
{
    // The index leading costs about a sorted row per page found; the documents leading about a
    // look-up per page read until `limit` pages are found, pages / hits for each, at a quarter of
    // the price: the documents lead once hits² reaches limit × pages / 4.
    const auto root = qint64(std::sqrt(double(limit) * double(std::max<qint64>(pages, 0)) / 4));
    return std::max<qint64>(qint64(limit) + 1, root + 1);
}

QString FullTextIndex::searchStatement(const FullTextQuery& query, FullTextMethod method, bool documentsFirst)
{
    JoinedSearch joined;
    joined.top = query.limit;
    joined.joins = QStringLiteral(" inner join 资料全文 on 资料全文.文件ID = 公司文件信息.ID");
    joined.order = QStringLiteral(", 资料全文.页码");
    joined.columns = QStringLiteral(", 资料全文.页码, 资料全文.ID");
    switch (method) {
    case FullTextMethod::Fts5:
        if (documentsFirst) {
            // Each document's pages by the index over (文件ID, 页码), in the documents' order.
            joined.documentsFirst = true;
            joined.joins = QStringLiteral(" cross join 资料全文");
            joined.condition = QStringLiteral(
                " and 资料全文.文件ID = 公司文件信息.ID and 资料全文.ID in "
                "(select 资料全文索引.rowid from 资料全文索引 where 资料全文索引 match ?)");
            break;
        }
        // FTS5's own syntax.
        joined.joins += QStringLiteral(" inner join 资料全文索引 on 资料全文索引.rowid = 资料全文.ID");
        joined.condition = QStringLiteral(" and 资料全文索引 match ?");
        break;
    case FullTextMethod::Contains: joined.condition = QStringLiteral(" and contains(资料全文.文本, ?)"); break;
    case FullTextMethod::Like:
        for (int k = 0; k < std::max<qsizetype>(1, queryWords(query.words).size()); ++k)
            joined.condition += QStringLiteral(" and 资料全文.文本 like ?");
        break;
    }
    return BrowseDocuments::searchStatement(query.filters, joined);
}

QVariantList FullTextIndex::searchWordValues(const QStringList& words, FullTextMethod method)
{
    switch (method) {
    case FullTextMethod::Fts5: return {matchExpression(words)};
    case FullTextMethod::Contains: return {containsExpression(words)};
    case FullTextMethod::Like: break;
    }
    QVariantList values;
    for (const QString& w : words)
        values << dialect::containsPattern(w);
    return values;
}

DbResult<QVector<FullTextHit>> FullTextIndex::search(const QString& positionCode, const FullTextQuery& query,
                                                     std::optional<FullTextMethod> method)
{
    using Result = DbResult<QVector<FullTextHit>>;
    const QStringList words = queryWords(query.words);
    if (positionCode.isEmpty() || words.isEmpty() || query.limit <= 0)
        return {};
    const DbStatus tables = ensureTables();
    if (!tables.ok())
        return Result::failure(tables.error);
    const FullTextMethod how = method.value_or(FullTextIndex::method());
    bool leadWithDocuments = false;
    if (how == FullTextMethod::Fts5) {
        // The pages that hold the words counted only as far as the choice needs.
        Query pages(pageCountStatement());
        if (!pages.exec() || !pages.next())
            return Result::failure(pages.error());
        const qint64 enough = documentsFirstFrom(pages.longInteger(u"页数"), query.limit);
        Query hits(hitCountStatement());
        hits.bind({enough, matchExpression(words)});
        if (!hits.exec() || !hits.next())
            return Result::failure(hits.error());
        leadWithDocuments = hits.longInteger(u"命中") >= enough;
    }
    Result result;
    const DbStatus lists = BrowseDocuments::withSearchLists(query.filters, [&] {
        RowReader q(searchStatement(query, how, leadWithDocuments));
        for (const QVariant& v :
             BrowseDocuments::searchValues(positionCode, query.filters, searchWordValues(words, how)))
            q.bind(v);
        if (!q.exec()) {
            result.error = q.error();
            return;
        }
        while (q.next()) {
            FullTextHit hit;
            hit.document = BrowseDocuments::listedRow(q);
            hit.page = q.integer(HitColumn::Page);
            hit.pageId = q.longInteger(HitColumn::PageId);
            result.value.append(std::move(hit));
        }
        result.error = q.error();
    });
    if (!lists.ok())
        return Result::failure(lists.error);
    if (result.ok()) {
        const qsizetype count = query.snippets < 0 ? result.value.size() : query.snippets;
        result.error = fillSnippets(result.value, 0, count, words).error;
    }
    return result;
}

DbStatus FullTextIndex::fillSnippets(QVector<FullTextHit>& hits, qsizetype from, qsizetype count,
                                     const QStringList& words)
{
    // The snippets are built from each page's text, on every engine: FTS5's own snippet() marks
    // whole token positions, and with pairs of characters standing at one position it cannot
    // mark both a word of one character and one of two exactly.
    from = std::clamp<qsizetype>(from, 0, hits.size());
    const qsizetype end = from + std::clamp<qsizetype>(count, 0, hits.size() - from);
    constexpr qsizetype kBatch = 100;
    for (qsizetype first = from; first < end; first += kBatch) {
        const qsizetype last = std::min(first + kBatch, end);
        QMultiHash<qint64, qsizetype> hitOf;
        for (qsizetype k = first; k < last; ++k)
            hitOf.insert(hits.at(k).pageId, k);
        Query q(pageTextsStatement(int(last - first)));
        for (qsizetype k = first; k < last; ++k)
            q.bind(hits.at(k).pageId);
        if (!q.exec())
            return {q.error()};
        while (q.next()) {
            const QList<qsizetype> at = hitOf.values(q.longInteger(u"ID"));
            if (at.isEmpty())
                continue;
            const QString snippet = snippetOf(q.text(u"文本"), words);
            for (const qsizetype k : at)
                hits[k].snippet = snippet;
        }
        if (q.error().isSet())
            return {q.error()};
    }
    return {};
}

const QString& FullTextIndex::anyUnindexedStatement()
{
    static const QString sql = QStringLiteral("select top 1 文件ID from 资料全文状态 where 状态 in (0, 1)");
    return sql;
}

QString FullTextIndex::unindexedStatement(const BrowseSearch& filters)
{
    JoinedSearch joined;
    joined.joins = QStringLiteral(" inner join 资料全文状态 on 资料全文状态.文件ID = 公司文件信息.ID");
    joined.condition = QStringLiteral(" and 资料全文状态.状态 in (0, 1)");
    return BrowseDocuments::searchStatement(filters, joined);
}

DbResult<int> FullTextIndex::unindexedCount(const QString& positionCode, const BrowseSearch& filters)
{
    using Result = DbResult<int>;
    if (positionCode.isEmpty())
        return {};
    const DbStatus tables = ensureTables();
    if (!tables.ok())
        return Result::failure(tables.error);
    {
        // Mostly nothing waits: then the filters need not be looked at.
        Query any(anyUnindexedStatement());
        if (!any.exec())
            return Result::failure(any.error());
        if (!any.next())
            return {0, any.error()};
    }
    QSet<qint64> ids;  // a document listed by two rights rows counts once
    DbError error;
    const DbStatus lists = BrowseDocuments::withSearchLists(filters, [&] {
        RowReader q(unindexedStatement(filters));
        for (const QVariant& v : BrowseDocuments::searchValues(positionCode, filters))
            q.bind(v);
        if (!q.exec()) {
            error = q.error();
            return;
        }
        while (q.next())
            ids.insert(BrowseDocuments::listedRow(q).id);
        error = q.error();
    });
    if (!lists.ok())
        return Result::failure(lists.error);
    return {int(ids.size()), error};
}

QVector<NamedStatement> FullTextIndex::statements()
{
    FullTextQuery plain;
    plain.words = QStringLiteral("制度");
    plain.filters.typeCodes = {QStringLiteral("01")};
    return {
        {QStringLiteral("content version of a document"), versionStatement()},
        {QStringLiteral("delete the text of a document"), deletePagesStatement()},
        {QStringLiteral("add a page of text"), insertPageStatement()},
        {QStringLiteral("delete the index state of a document"), deleteStateStatement()},
        {QStringLiteral("set the index state of a document"), insertStateStatement()},
        {QStringLiteral("text of pages"), pageTextsStatement(3)},
        {QStringLiteral("index states of documents"), stateListStatement(3)},
        {QStringLiteral("index state of a document with its note"), stateNoteStatement()},
        {QStringLiteral("full-text search with like"), searchStatement(plain, FullTextMethod::Like)},
        {QStringLiteral("documents not yet indexed"), unindexedStatement(plain.filters)},
        {QStringLiteral("any document not yet indexed"), anyUnindexedStatement()},
    };
}

QVector<NamedStatement> FullTextIndex::serverStatements()
{
    FullTextQuery plain;
    plain.words = QStringLiteral("制度");
    plain.filters.typeCodes = {QStringLiteral("01")};
    return {
        {QStringLiteral("full-text search of the server"), serverSearchStatement()},
        {QStringLiteral("full-text search with contains"), searchStatement(plain, FullTextMethod::Contains)},
    };
}

// --- background ---------------------------------------------------------------------------

BackgroundIndexing& BackgroundIndexing::instance()
{
    static BackgroundIndexing* indexing = [] {
        auto* created = new BackgroundIndexing;
        // The program's end cancels what is still queued; those documents stay Pending.
        if (QCoreApplication::instance())
            QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, created,
                             [created] { created->stop(); });
        return created;
    }();
    return *indexing;
}

void BackgroundIndexing::enqueue(qint64 documentId, const QString& path, const QString& extension)
{
    QMutexLocker lock(&m_mutex);
    m_jobs.append({documentId, path, extension});
    m_stopping = false;
    if (m_thread && !m_thread->isFinished())
        return;
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
    m_thread = QThread::create([this] { run(); });
    m_thread->start(QThread::LowPriority);
}

void BackgroundIndexing::run()
{
    const QString name = QStringLiteral("quarvel-fulltext-%1").arg(quintptr(QThread::currentThreadId()));
    {
        const DbStatus opened = openOwnConnection(name);
        const IndexConnection c{QSqlDatabase::database(name, false), SharedConnection::engine()};
        for (;;) {
            Job job;
            {
                QMutexLocker lock(&m_mutex);
                if (m_jobs.isEmpty() || m_stopping)
                    break;
                job = m_jobs.takeFirst();
            }
            // Without a connection the jobs stay Pending for the back-fill.
            if (!opened.ok())
                continue;
            const DbResult<IndexState> state = FullTextIndex::indexFile(job.documentId, job.path, job.extension, c,
                                                                        &m_stopping);
            emit indexed(job.documentId, int(state.ok() ? state.value : IndexState::Pending));
        }
        QSqlDatabase::database(name, false).close();
    }
    QSqlDatabase::removeDatabase(name);
}

bool BackgroundIndexing::waitIdle(int milliseconds)
{
    QThread* thread = nullptr;
    {
        QMutexLocker lock(&m_mutex);
        thread = m_thread;
    }
    return !thread || thread->wait(QDeadlineTimer(milliseconds));
}

void BackgroundIndexing::stop()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stopping = true;
        m_jobs.clear();
    }
    waitIdle(-1);
}

}  // namespace quarvel
