#include "library/DocumentAccess.h"

#include "db/Connection.h"
#include "db/Query.h"

namespace quarvel {
namespace {

QVariant textValue(const QString& text) { return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text); }

// The type code of "code name": the text before the first blank, trimmed.
QString codeOf(const QString& typeText)
{
    const qsizetype blank = typeText.indexOf(u' ');
    return (blank < 0 ? typeText : typeText.left(blank)).trimmed();
}

}  // namespace

QString DocumentAccess::documentStatement()
{
    return QStringLiteral(
        "select ID, 编号, 文件名称, 文件类别, 附件后缀, case when 文件 is null then 0 else 1 end as 有内容"
        " from 公司文件信息 where ID = ?");
}

QString DocumentAccess::logStatement()
{
    return QStringLiteral(
        "insert into 资料下载记录 (文件编号, 文件名称, 文件类别, 摘要, 工号, 部门, 岗位, 下载, 阅读, 操作时间)"
        " values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
}

DbResult<std::optional<AccessDocument>> DocumentAccess::document(qint64 id)
{
    using Result = DbResult<std::optional<AccessDocument>>;
    Query q(documentStatement());
    q.bind(id);
    if (!q.exec())
        return Result::failure(q.error());
    if (!q.next())
        return q.error().isSet() ? Result::failure(q.error()) : Result{};
    AccessDocument d;
    d.id = q.longInteger(u"ID");
    d.number = q.text(u"编号");
    d.name = q.text(u"文件名称");
    d.typeCode = q.text(u"文件类别");
    d.extension = q.text(u"附件后缀");
    d.hasContent = q.flag(u"有内容");
    return {d, {}};
}

OpenTarget DocumentAccess::targetOf(const AccessDocument& document)
{
    if (document.extension == QLatin1String("pdf"))
        return OpenTarget::Viewer;
    return document.hasContent ? OpenTarget::AssociatedProgram : OpenTarget::NoContent;
}

QString DocumentAccess::saveFilter(const QString& extension)
{
    return QStringLiteral("指定文件 (*.") + extension + u')';
}

DbStatus DocumentAccess::download(qint64 id, const QString& path, const TransferProgress& progress)
{
    return DocumentContent().writeToFile(id, path, progress);
}

DbStatus DocumentAccess::temporaryCopy(qint64 id, const QString& path, const TransferProgress& progress)
{
    return DocumentContent().writeTemporaryFile(id, path, progress);
}

DbStatus DocumentAccess::log(const AccessedDocument& document, const Reader& reader, AccessKind kind)
{
    const DbResult<QDateTime> now = serverDate();
    if (!now.ok())
        return {now.error};
    const bool download = kind == AccessKind::Download;
    return execute(logStatement(),
                   {textValue(document.number), textValue(document.name), textValue(codeOf(document.typeText)),
                    textValue(document.summary), textValue(reader.employeeNo), textValue(reader.deptCode),
                    textValue(reader.positionCode), download ? 1 : 0, download ? 0 : 1, now.value});
}

}  // namespace quarvel
