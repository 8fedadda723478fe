#include "library/FullTextBackfill.h"

#include "db/Query.h"
#include "shared/ContentTransfer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <future>

namespace quarvel {
namespace {

const QString& extensionStatement()
{
    static const QString sql = QStringLiteral("select 附件后缀, 文件名称 from 公司文件信息 where ID = ?");
    return sql;
}

// How often the caller hears of a document being read.
constexpr std::chrono::milliseconds kProgressEvery{50};

}  // namespace

QString FullTextBackfill::pendingStatement(bool retryFailed)
{
    QString sql = QStringLiteral(
        "select 公司文件信息.ID from 公司文件信息 left join 资料全文状态 on 资料全文状态.文件ID = 公司文件信息.ID"
        " where 公司文件信息.文件 is not null and (资料全文状态.文件ID is null"
        " or (资料全文状态.版本 is null and 公司文件信息.上传日期 is not null)"
        " or 资料全文状态.版本 <> 公司文件信息.上传日期 or 资料全文状态.状态 in (0, 1)");
    if (retryFailed)
        sql += QStringLiteral(" or 资料全文状态.状态 = 4");
    return sql + QStringLiteral(") order by 公司文件信息.ID");
}

DbResult<QVector<qint64>> FullTextBackfill::pending(const BackfillOptions& options)
{
    using Result = DbResult<QVector<qint64>>;
    const DbStatus tables = FullTextIndex::ensureTables();
    if (!tables.ok())
        return Result::failure(tables.error);
    Query q(pendingStatement(options.retryFailed));
    if (!q.exec())
        return Result::failure(q.error());
    QVector<qint64> ids;
    while (q.next() && (options.limit <= 0 || ids.size() < options.limit))
        ids << q.longInteger(u"ID");
    return {ids, q.error()};
}

DbResult<BackfillSummary> FullTextBackfill::run(const BackfillOptions& options, const BackfillCallback& progress)
{
    using Result = DbResult<BackfillSummary>;
    const DbResult<QVector<qint64>> ids = pending(options);
    if (!ids.ok())
        return Result::failure(ids.error);
    QTemporaryDir folder(options.temporaryFolder.isEmpty()
                             ? QDir::tempPath() + QStringLiteral("/quarvel-fulltext-XXXXXX")
                             : options.temporaryFolder + QStringLiteral("/quarvel-fulltext-XXXXXX"));
    if (!folder.isValid())
        return Result::failure(DbError::make(-1, QStringLiteral("无法建立临时文件夹：") + folder.errorString()));
    BackfillSummary summary;
    BackfillProgress at;
    at.total = int(ids.value.size());
    if (progress && !progress(at)) {
        summary.cancelled = true;
        return {summary, {}};
    }
    const DocumentContent content;
    for (const qint64 id : ids.value) {
        QString extension;
        {
            Query q(extensionStatement());
            q.bind(id);
            if (!q.exec())
                return {summary, q.error()};
            if (!q.next()) {
                if (q.error().isSet())
                    return {summary, q.error()};
                continue;  // deleted meanwhile
            }
            extension = q.text(u"附件后缀");
            at.name = q.text(u"文件名称");
        }
        at.reading = id;
        const QString path = folder.filePath(QStringLiteral("content-%1").arg(id));
        DbResult<IndexState> state{IndexState::NoText, {}};
        if (!TextExtraction::readsFormat(extension)) {
            // Nothing to read: the content stays in the database.
            state = FullTextIndex::indexFile(id, QString(), extension);
        } else {
            bool cancelled = false;
            const DbStatus written = content.writeTemporaryFile(id, path, [&](qint64, qint64) {
                cancelled = progress && !progress(at);
                return !cancelled;
            });
            if (cancelled || isTransferCancelled(written.error)) {
                summary.cancelled = true;
                return {summary, {}};
            }
            if (!written.ok())
                return {summary, written.error};
            // Read on a thread of its own; the caller hears of it meanwhile, and a cancel reaches
            // the recognizer.
            std::atomic_bool stop{false};
            const auto readAside = [&](const QString& file, const QString& format, const ExtractionLimits& limits) {
                std::future<ExtractedText> reading = std::async(std::launch::async, [file, format, limits] {
                    return TextExtraction::extract(file, format, limits);
                });
                while (reading.wait_for(kProgressEvery) != std::future_status::ready) {
                    if (!stop && progress && !progress(at))
                        stop = true;
                }
                return reading.get();
            };
            state = FullTextIndex::indexFile(id, path, extension, IndexConnection::shared(), &stop, readAside);
            QFile::remove(path);
            if (state.ok() && stop) {
                summary.cancelled = true;
                return {summary, {}};
            }
        }
        at.reading = 0;
        if (!state.ok())
            return {summary, state.error};
        switch (state.value) {
        case IndexState::Done: ++summary.indexed; break;
        case IndexState::Failed: ++summary.failed; break;
        default: ++summary.noText; break;
        }
        at.done += 1;
        at.documentId = id;
        at.state = state.value;
        if (progress && !progress(at)) {
            summary.cancelled = at.done < at.total;
            break;
        }
    }
    return {summary, {}};
}

}  // namespace quarvel
