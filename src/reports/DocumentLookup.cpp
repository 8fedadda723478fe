#include "reports/DocumentLookup.h"
#include "db/SqlDialect.h"

#include "db/Query.h"

namespace quarvel {
namespace {

const QString kColumns = QStringLiteral(
    "select top 200 公司文件信息.编号, 公司文件信息.文件名称, 公司文件信息.文件类别, 资料类型.名称 as 类别名称"
    " from 公司文件信息 left join 资料类型 on 资料类型.编号 = 公司文件信息.文件类别");

QString findStatement()
{
    return kColumns
           + QStringLiteral(
               " where 公司文件信息.编号 like ? or 公司文件信息.文件名称 like ? order by 公司文件信息.编号");
}

QString numberStatement() { return kColumns + QStringLiteral(" where 公司文件信息.编号 = ?"); }

DbResult<QVector<FoundDocument>> read(Query& q)
{
    using Result = DbResult<QVector<FoundDocument>>;
    if (!q.exec())
        return Result::failure(q.error());
    QVector<FoundDocument> rows;
    while (q.next())
        rows.append({q.text(u"编号"), q.text(u"文件名称"), q.text(u"文件类别"), q.text(u"类别名称")});
    return {std::move(rows), q.error()};
}

}  // namespace

QString FoundDocument::caption() const { return number + u' ' + name; }

DbResult<QVector<FoundDocument>> DocumentLookup::find(const QString& text)
{
    const QVariant pattern = dialect::containsPattern(text.trimmed());
    Query q(findStatement());
    q.bind({pattern, pattern});
    return read(q);
}

DbResult<QVector<FoundDocument>> DocumentLookup::byNumber(const QString& number)
{
    Query q(numberStatement());
    q.bind(number.isNull() ? QStringLiteral("") : number);
    return read(q);
}

QVector<NamedStatement> DocumentLookup::statements()
{
    return {{QStringLiteral("documents by number or name"), findStatement()},
            {QStringLiteral("document by number"), numberStatement()}};
}

}  // namespace quarvel
