// The search inside documents at scale: builds (or reuses) a demo database whose documents carry
// generated Chinese text, then times
// - the search for words of one, two and four characters and for two words, for the position
//   with the most rights and every type ticked, beside the same statement with the same values
//   run through libsqlite3 (the engine's floor), in interleaved pairs;
// - the back-fill (FullTextBackfill::run) over the demo tool's text documents, in MB of text and
//   pages a second, beside the engine inserting the same pages into 资料全文 (triggers and index
//   alike) in one transaction per document, as the back-fill commits, and in one transaction;
// - the growth of the peak resident memory during one back-fill.
//
//   fulltext_search [documents] [text MiB] [database] [--pairs N] [--sample N]
//
// documents: 100,000 by default; text MiB: the generated text in all, 1,024 by default; sample:
// the text documents the demo tool adds for the back-fill (200). Most of the text is written
// straight through libsqlite3 in large transactions (the back-fill would take hours): pages of
// words drawn from a vocabulary with Zipf-like frequencies (the demo documents' words first,
// then pairs of their characters), every document then marked Done. A database that exists is
// reused (a run broken off during the filling goes on with the documents left).
#include "db/Connection.h"
#include "db/Query.h"
#include "db/SqlDialect.h"
#include "db/TextTokens.h"
#include "demodb/DemoData.h"
#include "demodb/DemoFiles.h"
#include "demodb/DemoRandom.h"
#include "library/BrowseDocuments.h"
#include "library/FullTextBackfill.h"
#include "library/FullTextIndex.h"

#include "support/DemoBuild.h"
#include "support/EngineFloor.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QSet>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quarvel;

namespace {

// --- generated text --------------------------------------------------------------------------

// Words (UTF-8) drawn with a probability falling as 1 / rank.
class Vocabulary {
public:
    explicit Vocabulary(demo::Random& random);
    const QByteArray& draw(demo::Random& random) const
    {
        const double u = double(random.next() >> 11) * 0x1.0p-53 * m_cumulative.back();
        const auto at = std::upper_bound(m_cumulative.begin(), m_cumulative.end(), u) - m_cumulative.begin();
        return m_words[std::min<qsizetype>(at, m_words.size() - 1)];
    }
    qsizetype size() const { return m_words.size(); }

private:
    QVector<QByteArray> m_words;
    std::vector<double> m_cumulative;
};

// The words searched for stand at fixed ranks, so that every database gives them the same share.
struct Probe {
    const char* word;
    int rank;
};
constexpr Probe kProbes[] = {{"管理", 5}, {"安全", 120}, {"检查", 180}, {"制度", 300}, {"管理制度", 1500}};
constexpr int kVocabulary = 40000;

Vocabulary::Vocabulary(demo::Random& random)
{
    // The demo documents' text cut into words of mostly two characters, the most frequent first.
    QHash<QString, int> counts;
    QString characters;
    for (const char* top : {"01", "02", "03", "04", "05", "09"}) {
        for (int n = 0; n < 60; ++n) {
            const demo::DocumentText doc = demo::composeDocumentText(QStringLiteral("资料管理制度"),
                                                                     QString::fromLatin1(top), QString(), random);
            QString all = doc.title;
            for (const demo::TextSection& s : doc.sections)
                all += u'\n' + s.heading + u'\n' + s.paragraphs.join(u'\n');
            QString run;
            const auto cut = [&] {
                for (qsizetype k = 0; k < run.size();) {
                    static constexpr int kLengths[] = {2, 2, 2, 2, 1, 3, 4};
                    const int length = kLengths[random.range(0, 6)];
                    counts[run.mid(k, length)] += 1;
                    k += length;
                }
                run.clear();
            };
            for (const QChar c : std::as_const(all)) {
                if (texttokens::isCjk(c.unicode())) {
                    run += c;
                    if (!characters.contains(c))
                        characters += c;
                } else {
                    cut();
                }
            }
            cut();
        }
    }
    QVector<std::pair<int, QString>> ranked;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        ranked.append({it.value(), it.key()});
    std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    QStringList words;
    QSet<QString> seen;
    for (const Probe& p : kProbes)
        seen.insert(QString::fromUtf8(p.word));
    for (const auto& r : std::as_const(ranked)) {
        if (!seen.contains(r.second)) {
            seen.insert(r.second);
            words << r.second;
        }
    }
    // Then pairs of the same characters, as rarer words.
    while (words.size() < kVocabulary) {
        const QString pair = QString(characters.at(random.range(0, characters.size() - 1)))
                             + characters.at(random.range(0, characters.size() - 1));
        if (!seen.contains(pair)) {
            seen.insert(pair);
            words << pair;
        }
    }
    for (const Probe& p : kProbes)
        words.insert(p.rank - 1, QString::fromUtf8(p.word));
    double sum = 0;
    for (qsizetype r = 0; r < words.size(); ++r) {
        m_words << words.at(r).toUtf8();
        sum += 1.0 / double(r + 1);
        m_cumulative.push_back(sum);
    }
}

// A page of about `bytes` bytes: clauses of three to nine words, sentences of two to four
// clauses, now and then a line break.
QByteArray pageText(const Vocabulary& words, demo::Random& random, int bytes)
{
    QByteArray out;
    out.reserve(bytes + 64);
    int clause = 0;
    int clauseLength = int(random.range(3, 9));
    int clauses = 0;
    int sentenceLength = int(random.range(2, 4));
    while (out.size() < bytes) {
        out += words.draw(random);
        if (++clause < clauseLength)
            continue;
        clause = 0;
        clauseLength = int(random.range(3, 9));
        if (++clauses < sentenceLength) {
            out += "，";
            continue;
        }
        clauses = 0;
        sentenceLength = int(random.range(2, 4));
        out += "。";
        if (random.chance(0.2))
            out += '\n';
    }
    return out;
}

// --- libsqlite3 helpers ------------------------------------------------------------------------

struct Statement {
    sqlite3_stmt* s = nullptr;
    Statement(sqlite3* db, const char* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK)
            std::fprintf(stderr, "engine: %s\n", sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(s); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool run()
    {
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        }
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
        return rc == SQLITE_DONE;
    }
    void text(int at, const QByteArray& value)
    {
        sqlite3_bind_text(s, at, value.constData(), int(value.size()), SQLITE_STATIC);
    }
};

// Fills the documents that have no text state yet (all but the text documents) with generated
// pages of `bytesPerDocument` bytes on average, 1,000 documents a transaction, each marked Done.
bool fillText(const QString& path, qint64 bytesPerDocument)
{
    bench::EngineFloor fill(path);
    if (!fill.isOpen() || !fill.exec(QStringLiteral("PRAGMA cache_size = -262144"))
        || !fill.exec(QStringLiteral("PRAGMA synchronous = OFF")))
        return false;
    sqlite3* db = fill.handle();
    std::vector<std::pair<qint64, QByteArray>> documents;
    {
        Statement q(db,
                    "select 公司文件信息.ID, 公司文件信息.上传日期 from 公司文件信息 left join 资料全文状态 on "
                    "资料全文状态.文件ID = 公司文件信息.ID where 资料全文状态.文件ID is null and 公司文件信息.文件 is "
                    "not null and substr(公司文件信息.编号, 1, 2) <> 'TX' order by 公司文件信息.ID");
        while (sqlite3_step(q.s) == SQLITE_ROW)
            documents.emplace_back(
                sqlite3_column_int64(q.s, 0),
                QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(q.s, 1)), sqlite3_column_bytes(q.s, 1)));
    }
    if (documents.empty())
        return true;
    std::printf("filling %zu documents with %.0f KiB of text each on average\n", documents.size(),
                double(bytesPerDocument) / 1024);
    std::fflush(stdout);
    demo::Random random(20130921u + quint64(documents.front().first));
    const Vocabulary words(random);
    Statement page(db, "insert into 资料全文 (文件ID, 页码, 版本, 文本) values (?, ?, ?, ?)");
    Statement state(db, "insert or replace into 资料全文状态 (文件ID, 状态, 版本, 说明) values (?, 2, ?, null)");
    QElapsedTimer timer;
    timer.start();
    qint64 written = 0;
    for (size_t k = 0; k < documents.size(); ++k) {
        if (k % 1000 == 0 && !fill.exec(QStringLiteral("BEGIN")))
            return false;
        const auto& [id, version] = documents[k];
        qint64 left = qint64(double(bytesPerDocument) * (0.5 + double(random.next() >> 11) * 0x1.0p-53));
        for (int number = 1; left > 0; ++number) {
            const QByteArray text = pageText(words, random, int(std::min<qint64>(left, random.range(1500, 6000))));
            left -= text.size();
            written += text.size();
            sqlite3_bind_int64(page.s, 1, id);
            sqlite3_bind_int(page.s, 2, number);
            page.text(3, version);
            page.text(4, text);
            if (!page.run())
                return false;
        }
        sqlite3_bind_int64(state.s, 1, id);
        state.text(2, version);
        if (!state.run())
            return false;
        if ((k % 1000 == 999 || k + 1 == documents.size()) && !fill.exec(QStringLiteral("COMMIT")))
            return false;
        if (k % 10000 == 9999) {
            std::printf("  %zu documents, %.0f MiB, %.1f MiB/s\n", k + 1, double(written) / (1 << 20),
                        double(written) / (1 << 20) / (double(timer.elapsed()) / 1000));
            std::fflush(stdout);
        }
    }
    std::printf("filled in %.0f s\n", double(timer.elapsed()) / 1000);
    return true;
}

// One page of a text document, as the back-fill stored it.
struct StoredPage {
    int number = 0;
    QByteArray text;
};
struct StoredDocument {
    qint64 id = 0;
    QByteArray version;
    QVector<StoredPage> pages;
};

const QString kTextDocuments = QStringLiteral("select ID from 公司文件信息 where substr(编号, 1, 2) = 'TX'");

// The text documents' pages and states deleted, so that the back-fill takes them up again.
bool resetSample(bench::EngineFloor& engine)
{
    return engine.exec(QStringLiteral("BEGIN IMMEDIATE"))
           && engine.exec(QStringLiteral("delete from 资料全文 where 文件ID in (%1)").arg(kTextDocuments))
           && engine.exec(QStringLiteral("delete from 资料全文状态 where 文件ID in (%1)").arg(kTextDocuments))
           && engine.exec(QStringLiteral("COMMIT"));
}

QVector<StoredDocument> readSample(sqlite3* db)
{
    QVector<StoredDocument> out;
    const QByteArray sql = QStringLiteral(
                               "select 资料全文.文件ID, 资料全文.页码, 资料全文.版本, 资料全文.文本 from 资料全文 "
                               "where 资料全文.文件ID in (%1) order by 资料全文.文件ID, 资料全文.页码")
                               .arg(kTextDocuments)
                               .toUtf8();
    Statement q(db, sql.constData());
    while (sqlite3_step(q.s) == SQLITE_ROW) {
        const qint64 id = sqlite3_column_int64(q.s, 0);
        if (out.isEmpty() || out.last().id != id)
            out.append(
                {id,
                 QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(q.s, 2)), sqlite3_column_bytes(q.s, 2)),
                 {}});
        out.last().pages.append(
            {sqlite3_column_int(q.s, 1),
             QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(q.s, 3)), sqlite3_column_bytes(q.s, 3))});
    }
    return out;
}

// The engine storing the pages as FullTextIndex::store does (the content's version read, the
// old pages and state deleted, the pages and the state inserted): one transaction per document,
// or one for all. Milliseconds, -1 on failure.
double engineInsert(bench::EngineFloor& engine, const QVector<StoredDocument>& sample, bool perDocument)
{
    if (!resetSample(engine))
        return -1;
    sqlite3* db = engine.handle();
    QElapsedTimer timer;
    timer.start();
    Statement version(db, "select 上传日期 from 公司文件信息 where ID = ?");
    Statement removePages(db, "delete from 资料全文 where 文件ID = ?");
    Statement page(db, "insert into 资料全文 (文件ID, 页码, 版本, 文本) values (?, ?, ?, ?)");
    Statement removeState(db, "delete from 资料全文状态 where 文件ID = ?");
    Statement state(db, "insert into 资料全文状态 (文件ID, 状态, 版本, 说明) values (?, 2, ?, null)");
    bool ok = perDocument || engine.exec(QStringLiteral("BEGIN IMMEDIATE"));
    for (const StoredDocument& d : sample) {
        if (!ok)
            break;
        if (perDocument)
            ok = engine.exec(QStringLiteral("BEGIN IMMEDIATE"));
        sqlite3_bind_int64(version.s, 1, d.id);
        ok = ok && version.run();
        sqlite3_bind_int64(removePages.s, 1, d.id);
        ok = ok && removePages.run();
        for (const StoredPage& p : d.pages) {
            sqlite3_bind_int64(page.s, 1, d.id);
            sqlite3_bind_int(page.s, 2, p.number);
            page.text(3, d.version);
            page.text(4, p.text);
            ok = ok && page.run();
        }
        sqlite3_bind_int64(removeState.s, 1, d.id);
        ok = ok && removeState.run();
        sqlite3_bind_int64(state.s, 1, d.id);
        state.text(2, d.version);
        ok = ok && state.run();
        if (perDocument)
            ok = engine.exec(ok ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK")) && ok;
    }
    if (!perDocument)
        ok = engine.exec(ok ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK")) && ok;
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    return ok ? ms : -1;
}

// Resets the peak resident memory the kernel keeps for the process (VmHWM).
void resetPeakMemory()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

QByteArray load()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
}

// The IDs of the pages a search found (its last column), in order.
QStringList pageIdsOf(sqlite3* db, const QString& tsql, const QVariantList& values)
{
    const QByteArray sql = dialect::translate(tsql, SqlEngine::Sqlite).toUtf8();
    sqlite3_stmt* s = nullptr;
    QStringList ids;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &s, nullptr) != SQLITE_OK)
        return ids;
    std::vector<QByteArray> texts;
    texts.reserve(values.size());
    for (int i = 0; i < values.size(); ++i) {
        texts.push_back(dialect::bindValue(values.at(i), SqlEngine::Sqlite).toString().toUtf8());
        sqlite3_bind_text(s, i + 1, texts.back().constData(), int(texts.back().size()), SQLITE_STATIC);
    }
    while (sqlite3_step(s) == SQLITE_ROW)
        ids << QString::number(sqlite3_column_int64(s, sqlite3_column_count(s) - 1));
    sqlite3_finalize(s);
    return ids;
}

void explain(sqlite3* db, const QString& tsql, const QVariantList& values)
{
    const QByteArray sql = "EXPLAIN QUERY PLAN " + dialect::translate(tsql, SqlEngine::Sqlite).toUtf8();
    if (qEnvironmentVariableIsSet("QUARVEL_BENCH_SQL"))
        std::printf("  %s\n", sql.constData() + 19);
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &s, nullptr) != SQLITE_OK) {
        std::printf("  query plan: %s\n", sqlite3_errmsg(db));
        return;
    }
    std::vector<QByteArray> texts;
    for (int i = 0; i < values.size(); ++i) {
        const QVariant v = dialect::bindValue(values.at(i), SqlEngine::Sqlite);
        if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong) {
            sqlite3_bind_int64(s, i + 1, v.toLongLong());
        } else {
            texts.push_back(v.toString().toUtf8());
            sqlite3_bind_text(s, i + 1, texts.back().constData(), int(texts.back().size()), SQLITE_TRANSIENT);
        }
    }
    std::printf("  query plan:\n");
    while (sqlite3_step(s) == SQLITE_ROW)
        std::printf("    %s\n", reinterpret_cast<const char*>(sqlite3_column_text(s, 3)));
    sqlite3_finalize(s);
}

}  // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList positional;
    int pairCount = 9;
    int sampleSize = 200;
    const QStringList args = app.arguments();
    for (qsizetype k = 1; k < args.size(); ++k) {
        if (args.at(k) == QLatin1String("--pairs") && k + 1 < args.size())
            pairCount = args.at(++k).toInt();
        else if (args.at(k) == QLatin1String("--sample") && k + 1 < args.size())
            sampleSize = args.at(++k).toInt();
        else
            positional << args.at(k);
    }
    const int documents = positional.size() > 0 ? positional.at(0).toInt() : 100000;
    const qint64 textMiB = positional.size() > 1 ? positional.at(1).toLongLong() : 1024;
    const QString path = positional.size() > 2 ? positional.at(2)
                                               : QStringLiteral("/tmp/quarvel-fulltext-%1.db").arg(documents);
    if (documents <= 0 || textMiB <= 0 || pairCount <= 0 || sampleSize <= 0) {
        std::fprintf(stderr, "usage: fulltext_search [documents] [text MiB] [database] [--pairs N] [--sample N]\n");
        return 2;
    }
    std::printf("load %s\n", load().constData());

    if (!QFileInfo::exists(path)) {
        demo::DemoSizes sizes;
        sizes.documents = documents;
        sizes.textDocuments = sampleSize;
        sizes.logRows = 0;
        if (!bench::buildDemo(path, sizes))
            return 1;
    }
    if (!fillText(path, textMiB * (1 << 20) / documents)) {
        std::fprintf(stderr, "the text could not be written\n");
        return 1;
    }
    if (const DbStatus opened = OpenConnection({}, {}, {}, QStringLiteral("sqlite:") + path); !opened.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.error.description));
        return 1;
    }
    bench::EngineFloor engine(path);
    // The client's page cache (as its connection is configured) on the floor's connection too.
    bool known = false;
    const qlonglong cache = bench::firstValue(QStringLiteral("PRAGMA cache_size")).toLongLong(&known);
    if (!engine.isOpen() || !known || !engine.exec(QStringLiteral("PRAGMA cache_size = %1").arg(cache)))
        return 1;
    std::printf("page cache of both connections: PRAGMA cache_size = %lld\n", cache);
    {
        Query sizes(
            QStringLiteral("select (select count(*) from 公司文件信息) as d, (select count(*) from 资料全文) as p, "
                           "(select sum(length(cast(文本 as blob))) from 资料全文) as t, "
                           "(select sum(length(block)) from 资料全文索引_data) as i"));
        if (!sizes.exec() || !sizes.next())
            return 1;
        std::printf("%d documents, %lld pages, %.0f MiB of text, index %.0f MiB, database file %.0f MiB\n",
                    sizes.integer(u"d"), sizes.longInteger(u"p"), double(sizes.longInteger(u"t")) / (1 << 20),
                    double(sizes.longInteger(u"i")) / (1 << 20), double(QFileInfo(path).size()) / (1 << 20));
    }

    // --- the back-fill (QUARVEL_BENCH_ONLY_SEARCH: the search alone) ---
    const bool onlySearch = qEnvironmentVariableIsSet("QUARVEL_BENCH_ONLY_SEARCH");
    if (!onlySearch)
        bench::printHeading(QStringLiteral("back-fill of the text documents"));
    if (!onlySearch) {
        if (!resetSample(engine))
            return 1;
        resetPeakMemory();
        const double residentBefore = bench::residentMiB();
        const auto backfill = [&]() -> double {
            QElapsedTimer timer;
            timer.start();
            const auto done = FullTextBackfill::run();
            if (!done.ok()) {
                std::fprintf(stderr, "back-fill: %s\n", qPrintable(done.error.description));
                return -1;
            }
            return double(timer.nsecsElapsed()) / 1e6;
        };
        const double firstMs = backfill();
        const double peakGrowth = bench::peakMiB() - residentBefore;
        const QVector<StoredDocument> sample = readSample(engine.handle());
        qint64 sampleBytes = 0;
        qint64 samplePages = 0;
        for (const StoredDocument& d : sample) {
            samplePages += d.pages.size();
            for (const StoredPage& p : d.pages)
                sampleBytes += p.text.size();
        }
        if (firstMs < 0 || sample.isEmpty())
            return 1;
        std::printf("  %lld documents, %lld pages, %.2f MiB of text; peak memory grew by %.1f MiB during a back-fill "
                    "(resident %.1f MiB before)\n",
                    qint64(sample.size()), samplePages, double(sampleBytes) / (1 << 20), peakGrowth, residentBefore);
        const auto rates = [&](const char* what, const bench::Pairs::Spread& s) {
            std::printf("  %-32s %8.1f ms (%.1f-%.1f)  %6.2f MB/s  %7.0f pages/s\n", what, s.median, s.min, s.max,
                        double(sampleBytes) / 1e6 / (s.median / 1000), double(samplePages) / (s.median / 1000));
        };
        const bench::Pairs filled = bench::timedPairs(
            bench::kMinPairs, [&] { return resetSample(engine) ? backfill() : -1.0; },
            [&] { return engineInsert(engine, sample, true); });
        rates("back-fill", filled.client);
        rates("engine, a transaction a document", filled.floor);
        std::printf("  pair ratio %.2f (%.2f-%.2f), %d pairs\n", filled.ratio, filled.ratioMin, filled.ratioMax,
                    filled.count);
        const bench::Pairs large = bench::timedPairs(bench::kMinPairs,
                                                     [&] { return engineInsert(engine, sample, false); });
        rates("engine, one transaction", large.client);
        std::fflush(stdout);
    }

    // --- the search ---
    BrowseSearch filters;
    for (const QString& code : bench::firstColumn(QStringLiteral("select 编号 from 资料类型")))
        filters.typeCodes << code;
    const QString position = bench::firstValue(
        QStringLiteral("select top 1 岗位代号 from 资料下载权限 group by 岗位代号 order by count(*) desc"));
    bench::printHeading(QStringLiteral("search inside documents: position %1, %2 types, limit 500 (load %3)")
                            .arg(position)
                            .arg(filters.typeCodes.size())
                            .arg(QString::fromLatin1(load())));
    struct Case {
        QString words;
        const char* goal;
    };
    const Case cases[] = {{QStringLiteral("制"), "-"},
                          {QStringLiteral("制度"), "<= 100 ms, ratio <= 1.3"},
                          {QStringLiteral("管理"), "-"},
                          {QStringLiteral("管理制度"), "-"},
                          {QStringLiteral("安全 检查"), "-"}};
    for (const Case& c : cases) {
        FullTextQuery query;
        query.words = c.words;
        query.filters = filters;
        // As the browse window asks: the list with the snippets of its first rows.
        query.snippets = FullTextIndex::kFirstSnippets;
        // The floor runs the statement the client chooses (the choice itself is the client's).
        const QStringList words = FullTextIndex::queryWords(c.words);
        bool documentsFirst = false;
        {
            const qint64 enough = FullTextIndex::documentsFirstFrom(
                bench::firstValue(FullTextIndex::pageCountStatement()).toLongLong(), query.limit);
            Query count(FullTextIndex::hitCountStatement());
            count.bind({enough, FullTextIndex::matchExpression(words)});
            if (!count.exec() || !count.next())
                return 1;
            documentsFirst = count.longInteger(u"命中") >= enough;
            std::printf("  \"%s\": %s%lld pages hold it, %s lead\n", qPrintable(c.words),
                        documentsFirst ? "at least " : "", count.longInteger(u"命中"),
                        documentsFirst ? "the documents" : "the index");
        }
        const QString sql = FullTextIndex::searchStatement(query, FullTextMethod::Fts5, documentsFirst);
        const QVariantList values = BrowseDocuments::searchValues(
            position, filters, FullTextIndex::searchWordValues(words, FullTextMethod::Fts5));
        qsizetype clientRows = 0;
        int floorRows = 0;
        const auto client = [&] { clientRows = FullTextIndex::search(position, query).value.size(); };
        const auto floor = [&] {
            engine.fillList(BrowseDocuments::typeListName(), filters.typeCodes);
            engine.fillList(BrowseDocuments::formatListName(), filters.formats);
            floorRows = engine.readAll(sql, values);
        };
        client();
        floor();
        const bench::Pairs p = bench::pairs(pairCount, client, floor);
        bench::printRow(QStringLiteral("\"%1\"").arg(c.words), p, clientRows, QString::fromUtf8(c.goal));
        if (clientRows != floorRows)
            std::printf("  rows differ: %lld / %d\n", qint64(clientRows), floorRows);
        if (c.words != QStringLiteral("制度"))
            continue;
        // The same beside the engine running every statement the client sends: the search and the
        // texts of the pages first shown (for their snippets).
        const QStringList ids = pageIdsOf(engine.handle(), sql, values).mid(0, query.snippets);
        const auto floorWithTexts = [&] {
            floor();
            for (qsizetype from = 0; from < ids.size(); from += 100) {
                const QStringList batch = ids.mid(from, 100);
                QVariantList bound;
                for (const QString& id : batch)
                    bound << id.toLongLong();
                engine.readAll(QStringLiteral("select ID, 文本 from 资料全文 where ID in (%1)")
                                   .arg(QStringList(batch.size(), QStringLiteral("?")).join(QStringLiteral(", "))),
                               bound);
            }
        };
        const bench::Pairs withTexts = bench::pairs(pairCount, client, floorWithTexts);
        bench::printRow(QStringLiteral("\"%1\", the engine also reading the texts").arg(c.words), withTexts, clientRows,
                        QStringLiteral("-"));
        explain(engine.handle(), sql, values);
    }
    // What the browse window adds after a search inside the documents: how many documents under
    // the same filters are still waiting for their text.
    {
        int waiting = 0;
        const bench::Pairs p = bench::pairs(pairCount,
                                            [&] { waiting = FullTextIndex::unindexedCount(position, filters).value; });
        bench::printRow(QStringLiteral("documents still to be indexed"), p, waiting, QStringLiteral("-"));
    }
    std::printf("load %s\n", load().constData());
    SharedConnection::release();
    return 0;
}
