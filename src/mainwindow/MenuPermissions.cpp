#include "mainwindow/MenuPermissions.h"

#include "db/Query.h"

#include <QDir>
#include <QSaveFile>

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace quarvel {

const QString& MenuPermissions::statement()
{
    static const QString sql = QStringLiteral(
        "SELECT DISTINCT 岗位权限设置.ID , 岗位权限设置.组代号, 岗位权限设置.岗位代号, 岗位权限设置.授权, "
        "GroupPrivilege.FormName, GroupPrivilege.Popedom"
        " FROM  岗位权限设置 INNER JOIN GroupPrivilege ON 岗位权限设置.组代号 = GroupPrivilege.GroupID"
        " Where 授权 = 1 AND 岗位代号 = ?"
        " ORDER BY GroupPrivilege.Popedom");
    return sql;
}

DbResult<QVector<MenuGrant>> MenuPermissions::load(const QString& positionCode)
{
    Query q(statement());
    q.bind(positionCode);
    if (!q.exec())
        return DbResult<QVector<MenuGrant>>::failure(q.error());
    QVector<MenuGrant> rows;
    while (q.next()) {
        MenuGrant g;
        g.formName = q.text(u"FormName");
        if (!q.isNull(u"Popedom"))
            g.popedom = q.flag(u"Popedom");
        rows.append(g);
    }
    if (q.error().isSet())
        return DbResult<QVector<MenuGrant>>::failure(q.error());
    return {rows, {}};
}

namespace {
// Converts UTF-8 text to GBK (code page 936).
bool toGbk(const QString& text, QByteArray* out)
{
    iconv_t cd = iconv_open("GBK", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    QByteArray in = text.toUtf8();
    std::vector<char> buffer(static_cast<size_t>(in.size()) * 2 + 8);
    char* src = in.data();
    size_t srcLeft = static_cast<size_t>(in.size());
    char* dst = buffer.data();
    size_t dstLeft = buffer.size();
    const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1))
        return false;
    *out = QByteArray(buffer.data(), static_cast<qsizetype>(buffer.size() - dstLeft));
    return true;
}
}  // namespace

QString logOffNoticePath(const QString& folder) { return QDir(folder).filePath(QStringLiteral("Command.Dll")); }

DbStatus writeLogOffNotice(const QString& folder)
{
    QByteArray line;
    if (!toGbk(QStringLiteral("注销"), &line))
        return {DbError::make(-1, QStringLiteral("GBK conversion is not available"))};
    line += "\r\n";
    QSaveFile file(logOffNoticePath(folder));
    if (!file.open(QIODevice::WriteOnly) || file.write(line) != line.size() || !file.commit())
        return {DbError::make(-1, file.errorString())};
    return {};
}

}  // namespace quarvel
