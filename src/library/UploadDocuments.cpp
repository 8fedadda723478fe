#include "library/UploadDocuments.h"
#include "db/SqlDialect.h"

#include "db/Query.h"
#include "library/FullTextIndex.h"
#include "shared/Module1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace quarvel {
namespace {

// --- statements ---------------------------------------------------------------------------

// Inside the adding transaction. On SQL Server the hints keep the number's key range locked
// until the commit, so a second client checking the same number waits and then finds it; on
// SQLite the write transaction itself holds the database.
const QString& numberCheckStatement()
{
    static const QString sql =
        QStringLiteral("select top 1 ID from 公司文件信息 with (updlock, holdlock) where 编号 = ?");
    return sql;
}

const QString& insertStatement()
{
    static const QString sql = QStringLiteral(
        "insert into 公司文件信息 (编号, 文件名称, 文件类别, 上传日期, 上传人工号, 摘要, 部门, 岗位, "
        "文件下载, 附件后缀, 关键字, 文件级别) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    return sql;
}

// The identity of the row just added: identities grow, so within the adding transaction the
// newest row of the number is ours. (QODBC offers no last insert id for SQL Server, and
// scope_identity() does not reach across the driver's prepared batches.)
const QString& newIdStatement()
{
    static const QString sql = QStringLiteral("select max(ID) as ID from 公司文件信息 where 编号 = ?");
    return sql;
}

const QString& rowCheckStatement()
{
    static const QString sql = QStringLiteral("select count(*) as 个数 from 公司文件信息 where ID = ?");
    return sql;
}

const QString& updateStatement()
{
    static const QString sql = QStringLiteral(
        "update 公司文件信息 set 文件名称 = ?, 文件类别 = ?, 摘要 = ?, 部门 = ?, 岗位 = ?, 关键字 = ?, "
        "文件级别 = ? where ID = ?");
    return sql;
}

// The stored file is emptied here and streamed in afterwards (a file of length zero stays NULL).
const QString& updateWithFileStatement()
{
    static const QString sql = QStringLiteral(
        "update 公司文件信息 set 文件名称 = ?, 文件类别 = ?, 摘要 = ?, 部门 = ?, 岗位 = ?, 上传日期 = ?, "
        "上传人工号 = ?, 附件后缀 = ?, 文件 = null, 关键字 = ?, 文件级别 = ? where ID = ?");
    return sql;
}

const QString& deleteStatement()
{
    static const QString sql = QStringLiteral("delete from 公司文件信息 where ID = ?");
    return sql;
}

const QString& deleteRightsStatement()
{
    static const QString sql = QStringLiteral("delete from 资料下载权限 where 文件编号 = ?");
    return sql;
}

// The columns of a list row and the tables they come from.
const QString& listColumns()
{
    static const QString sql = QStringLiteral(
        "公司文件信息.ID, 公司文件信息.编号, 文件类别, 文件名称, 摘要, 关键字, 文件级别, 上传人工号, "
        "附件后缀, 上传日期, 资料类型.名称");
    return sql;
}

const QString& listSource()
{
    static const QString sql =
        QStringLiteral(" from 公司文件信息 left join 资料类型 on 资料类型.编号 = 公司文件信息.文件类别 ");
    return sql;
}

// The newest documents with content, newest first (the ID breaks ties of the upload time) up to
// the bound row limit, then shown in the order of the query. The index on (部门, 岗位, 上传日期)
// hands them over newest first, so only the rows shown are read.
const QString& recentStatement()
{
    static const QString sql = QStringLiteral(
                                   "select ID, 编号, 文件类别, 文件名称, 摘要, 关键字, 文件级别, 上传人工号, 附件后缀, "
                                   "上传日期, 名称 from (select top (?) ")
                               + listColumns() + listSource()
                               + QStringLiteral(" where 文件 is not null and 部门 = ? and 岗位 = ?"
                                                " order by 上传日期 desc, 公司文件信息.ID desc) as 最近"
                                                " order by 上传日期, 编号, 文件类别, 文件名称 desc");
    return sql;
}

const QString& storedStatement()
{
    static const QString sql = QStringLiteral(
        "select ID, 文件名称, 附件后缀, case when 文件 is null then 0 else 1 end as 有内容"
        " from 公司文件信息 where ID = ?");
    return sql;
}

const QString& downloadGroupsStatement()
{
    static const QString sql = QStringLiteral("select 组ID, 组名称 from 资料下载组");
    return sql;
}

// --- values -------------------------------------------------------------------------------

// Codes and texts go in as texts even when unset, so that an empty code matches ''.
QVariant textValue(const QString& text) { return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text); }

QVariant nullIfEmpty(const QString& text)
{
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

// The first text of the document that is longer than its column, as a message naming the field
// and its limit; none when all fit. The server would refuse the statement ("would be
// truncated"); the user is told which field to shorten instead.
DbError tooLongText(const DocumentInput& input)
{
    struct Field {
        QString text;
        int limit;
        QString label;
    };
    const Field fields[] = {
        {documentNumberOf(input.number), 50, QStringLiteral("文件编号")},
        {input.name, 200, QStringLiteral("文件名称")},
        {input.summary, 1000, QStringLiteral("摘要")},
        {input.keywords, 200, QStringLiteral("关键字")},
    };
    for (const Field& f : fields) {
        if (f.text.size() > f.limit)
            return DbError::make(-1, f.label + QStringLiteral("不能超过%1个字符").arg(f.limit));
    }
    return {};
}

QVariant likePattern(const QString& typed) { return dialect::containsPattern(typed.trimmed()); }

DbError cancelledError() { return DbError::make(kTransferCancelled, QStringLiteral("传输已取消")); }

// The size of the file to store; an error when it cannot be opened for reading.
DbResult<qint64> readableFileSize(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const int number = file.error() == QFileDevice::NoError ? -1 : static_cast<int>(file.error());
        return DbResult<qint64>::failure(
            DbError::make(number, QStringLiteral("无法打开文件 ") + path + QStringLiteral("：") + file.errorString()));
    }
    return {file.size(), {}};
}

// Streams the file into the row inside the caller's transaction; a file of length zero leaves
// the field NULL (the progress still hears of it and may cancel).
DbStatus storeContent(qint64 id, const QString& path, qint64 size, const TransferProgress& progress)
{
    if (size == 0) {
        if (progress && !progress(0, 0))
            return {cancelledError()};
        return {};
    }
    return DocumentContent().storeFileWithinTransaction(id, path, progress);
}

DocumentRow readRow(const Query& q)
{
    DocumentRow r;
    r.id = q.longInteger(u"ID");
    r.number = q.text(u"编号");
    r.typeCode = q.text(u"文件类别");
    r.typeName = q.text(u"名称");
    r.name = q.text(u"文件名称");
    r.summary = q.text(u"摘要");
    r.keywords = q.text(u"关键字");
    r.level = q.text(u"文件级别");
    r.uploader = q.text(u"上传人工号");
    r.extension = q.text(u"附件后缀");
    r.uploaded = q.dateTime(u"上传日期");
    return r;
}

DbResult<QVector<DocumentRow>> readRows(Query& q)
{
    QVector<DocumentRow> rows;
    if (!q.exec())
        return DbResult<QVector<DocumentRow>>::failure(q.error());
    while (q.next())
        rows.append(readRow(q));
    return {std::move(rows), q.error()};
}

// --- temporary file names -----------------------------------------------------------------

// Longest file name most file systems take, in bytes of UTF-8, less the room of the suffix
// (".XXXXXX") of the file that a safe write makes beside the target before it replaces it.
constexpr qsizetype kMaxFileNameBytes = 255 - 7;
constexpr qsizetype kMaxExtensionBytes = 40;

bool isUnsafe(char32_t c)
{
    switch (c) {
    case u'/':
    case u'\\':
    case u':':
    case u'*':
    case u'?':
    case u'"':
    case u'<':
    case u'>':
    case u'|': return true;
    default: break;
    }
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:     // invisible marks, text direction overrides
    case QChar::Other_Surrogate:  // a lone half of a pair
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph: return true;
    default: return false;
    }
}

// Every unsafe character (a lone surrogate counts as one) becomes "_".
QString replaceUnsafe(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            const char32_t code = QChar::surrogateToUcs4(c, text.at(i + 1));
            if (isUnsafe(code)) {
                out += u'_';
            } else {
                out += c;
                out += text.at(i + 1);
            }
            ++i;
            continue;
        }
        out += isUnsafe(c.unicode()) ? QChar(u'_') : c;
    }
    return out;
}

QString trimLeading(QString text)
{
    qsizetype n = 0;
    while (n < text.size() && (text.at(n) == u'.' || text.at(n).isSpace()))
        ++n;
    return text.mid(n);
}

QString trimTrailing(QString text)
{
    while (!text.isEmpty() && (text.back() == u'.' || text.back().isSpace()))
        text.chop(1);
    return text;
}

// The longest beginning of the text, in whole characters, whose UTF-8 form fits in `bytes`.
QString fitUtf8(const QString& text, qsizetype bytes)
{
    qsizetype used = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const bool pair = text.at(end).isHighSurrogate() && end + 1 < text.size() && text.at(end + 1).isLowSurrogate();
        const char32_t c = pair ? QChar::surrogateToUcs4(text.at(end), text.at(end + 1)) : text.at(end).unicode();
        const qsizetype length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (used + length > bytes)
            break;
        used += length;
        end += pair ? 2 : 1;
    }
    return text.left(end);
}

// Names that some systems take for devices whatever follows their first ".".
bool isDeviceName(const QString& name)
{
    static const QRegularExpression device(QStringLiteral(R"(^(con|prn|aux|nul|com\d|lpt\d)$)"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QString base = trimTrailing(name.section(u'.', 0, 0));
    return device.match(base).hasMatch();
}

}  // namespace

// --- texts of the input fields --------------------------------------------------------------

QString DocumentRow::typeText() const { return typeCode + QStringLiteral(" ") + typeName; }

QString DocumentRow::uploadedText() const
{
    return uploaded.isValid() ? uploaded.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QString();
}

QString documentNumberOf(const QString& typed)
{
    // Never null, so that it binds as a text.
    const QString number = typed.trimmed();
    return number.isNull() ? QStringLiteral("") : number;
}

QString extensionOf(const QString& path)
{
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot < 0 ? path : path.mid(dot + 1);
}

qint64 levelOf(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-')) {
        negative = text.at(i) == u'-';
        ++i;
    }
    // Accumulated as a negative number, which reaches the smallest value too.
    constexpr qint64 lowest = std::numeric_limits<qint64>::min();
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            break;
        const int digit = c - u'0';
        if (value < (lowest + digit) / 10)
            return 0;
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    if (value == lowest)
        return 0;
    return -value;
}

QString typeCodeOf(const QString& typeText)
{
    const qsizetype blank = typeText.indexOf(u' ');
    return (blank < 0 ? typeText : typeText.left(blank)).trimmed();
}

// The stored extension as a file name may end with it: made safe, and short.
QString safeExtension(const QString& extension)
{
    const QString ext = trimTrailing(trimLeading(replaceUnsafe(extension)));
    return trimTrailing(fitUtf8(ext, kMaxExtensionBytes));
}

QString temporaryDocumentPath(const QString& folder, const QString& documentName, const QDateTime& now,
                              const QString& extension, int serial)
{
    const QString ext = safeExtension(extension);
    const QString suffix = u'-' + now.toString(QStringLiteral("yyyyMMddHHmmss"))
                           + (serial > 1 ? u'-' + QString::number(serial) : QString())
                           + (ext.isEmpty() ? QString() : u'.' + ext);

    QString name = trimLeading(replaceUnsafe(documentName));
    if (isDeviceName(name))
        name.prepend(u'_');
    name = fitUtf8(name, kMaxFileNameBytes - suffix.toUtf8().size());
    if (name.isEmpty())
        name = QStringLiteral("文件");

    QString path = folder;
    if (!path.endsWith(u'/'))
        path += u'/';
    return path + name + suffix;
}

QString suggestedFileName(const QString& documentName, const QString& extension)
{
    const QString ext = safeExtension(extension);
    const QString name = suggestedFileName(documentName);
    return ext.isEmpty() ? name : name + u'.' + ext;
}

QString withStoredExtension(const QString& path, const QString& extension)
{
    const QString ext = safeExtension(extension);
    if (ext.isEmpty() || path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + u'.' + ext;
}

QString suggestedFileName(const QString& documentName)
{
    QString name = trimLeading(replaceUnsafe(documentName));
    if (isDeviceName(name))
        name.prepend(u'_');
    // Room for the extension that the dialog adds.
    name = trimTrailing(fitUtf8(name, kMaxFileNameBytes - kMaxExtensionBytes - 1));
    return name.isEmpty() ? QStringLiteral("文件") : name;
}

DbResult<QString> createTemporaryDocumentFile(const QString& folder, const QString& documentName, const QDateTime& now,
                                              const QString& extension)
{
    // Enough for any number of copies opened within one second.
    constexpr int kMaxSerial = 10000;
    for (int serial = 1; serial <= kMaxSerial; ++serial) {
        const QString path = temporaryDocumentPath(folder, documentName, now, extension, serial);
        QFile file(path);
        // Made only when no file of the name exists: the name is ours alone.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return {path, {}};
        const QFileInfo taken(path);
        if (!taken.exists() && !taken.isSymLink())
            return DbResult<QString>::failure(
                DbError::make(-1, QStringLiteral("无法保存文件 ") + path + QStringLiteral("：") + file.errorString()));
    }
    return DbResult<QString>::failure(DbError::make(-1, QStringLiteral("临时文件名已用尽")));
}

QString documentTempFolder()
{
    const QString folder = QFileInfo(GetTempFilePath()).absolutePath() + QStringLiteral("/Temp");
    if (!QFileInfo(folder).isDir())
        QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return folder;
}

// --- statements of the window ---------------------------------------------------------------

DbResult<qint64> UploadDocuments::insert(const DocumentInput& input, const UploaderContext& context,
                                         const QDateTime& now, const TransferProgress& progress)
{
    using Result = DbResult<qint64>;
    const QString number = documentNumberOf(input.number);
    if (number.isEmpty())
        return Result::failure(DbError::make(-1, QStringLiteral("文件编号不能为空")));
    if (const DbError tooLong = tooLongText(input); tooLong.isSet())
        return Result::failure(tooLong);
    const DbResult<qint64> size = readableFileSize(input.filePath);
    if (!size.ok())
        return Result::failure(size.error);
    // The text for the search inside documents, read before the write lock is taken.
    const FullTextIndex::UploadText text = FullTextIndex::prepareUpload(input.filePath, extensionOf(input.filePath));

    Transaction transaction;
    if (!transaction.begun())
        return Result::failure(transaction.error());
    {
        Query q(numberCheckStatement());
        q.bind(number);
        if (!q.exec())
            return Result::failure(q.error());
        const bool taken = q.next();
        if (q.error().isSet())
            return Result::failure(q.error());
        if (taken)
            return Result::failure(DbError::make(kDocumentNumberTaken, QStringLiteral("文件编号已经存在")));
    }
    {
        Query q(insertStatement());
        q.bind({number, textValue(input.name), textValue(typeCodeOf(input.typeText)), now,
                textValue(context.employeeNo), nullIfEmpty(input.summary), textValue(context.deptCode),
                textValue(context.positionCode), 0, textValue(extensionOf(input.filePath)), nullIfEmpty(input.keywords),
                levelOf(input.levelText)});
        if (!q.exec())
            return Result::failure(q.error());
    }
    qint64 id = 0;
    {
        Query q(newIdStatement());
        q.bind(number);
        if (!q.exec())
            return Result::failure(q.error());
        if (!q.next() || q.isNull(u"ID"))
            return Result::failure(q.error().isSet() ? q.error()
                                                     : DbError::make(-1, QStringLiteral("新增的文件记录没有找到")));
        id = q.longInteger(u"ID");
    }
    const DbStatus stored = storeContent(id, input.filePath, size.value, progress);
    if (!stored.ok())
        return Result::failure(stored.error);
    if (const DbStatus indexed = FullTextIndex::recordUpload(id, now, text); !indexed.ok())
        return Result::failure(indexed.error);
    if (!transaction.commit())
        return Result::failure(transaction.error());
    FullTextIndex::afterUpload(id, text);
    return {id, {}};
}

DbStatus UploadDocuments::update(qint64 id, const DocumentInput& input, const UploaderContext& context,
                                 const QDateTime& now, const TransferProgress& progress)
{
    const bool newFile = !input.filePath.isEmpty();
    if (const DbError tooLong = tooLongText(input); tooLong.isSet())
        return {tooLong};
    // The new file's text for the search inside documents, read before the write lock is taken.
    const FullTextIndex::UploadText text = newFile ? FullTextIndex::prepareUpload(input.filePath,
                                                                                  extensionOf(input.filePath))
                                                   : FullTextIndex::UploadText{};
    Transaction transaction;
    if (!transaction.begun())
        return {transaction.error()};
    {
        Query q(rowCheckStatement());
        q.bind(id);
        if (!q.exec())
            return {q.error()};
        if (!q.next())
            return {q.error()};
        if (q.longInteger(u"个数") == 0)
            return {};
    }
    qint64 size = 0;
    if (newFile) {
        const DbResult<qint64> readable = readableFileSize(input.filePath);
        if (!readable.ok())
            return {readable.error};
        size = readable.value;
    }
    {
        Query q(newFile ? updateWithFileStatement() : updateStatement());
        q.bind({textValue(input.name), textValue(typeCodeOf(input.typeText)), nullIfEmpty(input.summary),
                textValue(context.deptCode), textValue(context.positionCode)});
        if (newFile)
            q.bind({now, textValue(context.employeeNo), textValue(extensionOf(input.filePath))});
        q.bind({nullIfEmpty(input.keywords), levelOf(input.levelText), id});
        if (!q.exec())
            return {q.error()};
    }
    if (newFile) {
        const DbStatus stored = storeContent(id, input.filePath, size, progress);
        if (!stored.ok())
            return stored;
        // The old content's text goes with it.
        if (const DbStatus indexed = FullTextIndex::recordUpload(id, now, text); !indexed.ok())
            return indexed;
    }
    if (!transaction.commit())
        return {transaction.error()};
    FullTextIndex::afterUpload(id, text);
    return {};
}

DbStatus UploadDocuments::remove(qint64 id, const QString& number)
{
    const bool fullText = FullTextIndex::ensureTables().ok();
    Transaction transaction;
    if (!transaction.begun())
        return {transaction.error()};
    DbStatus s = execute(deleteStatement(), {id});
    if (!s.ok())
        return s;
    s = execute(deleteRightsStatement(), {documentNumberOf(number)});
    if (!s.ok())
        return s;
    if (fullText) {
        s = FullTextIndex::forget(id);
        if (!s.ok())
            return s;
    }
    if (!transaction.commit())
        return {transaction.error()};
    return {};
}

DbResult<QVector<DocumentRow>> UploadDocuments::recent(const UploaderContext& context, int limit)
{
    Query q(recentStatement());
    q.bind({limit, textValue(context.deptCode), textValue(context.positionCode)});
    return readRows(q);
}

// The query's source and conditions, without the select list and the order.
static QString queryConditions(const ListFilter& filter, const QString& source = listSource())
{
    QString sql = source + QStringLiteral(" where 部门 = ? and 岗位 = ?");
    if (filter.name)
        sql += QStringLiteral(" and 文件名称 like ?");
    if (filter.typeCode)
        sql += QStringLiteral(" and 文件类别 = ?");
    if (filter.keywords)
        sql += QStringLiteral(" and 关键字 like ?");
    if (filter.from)
        sql += QStringLiteral(" and 上传日期 >= ?");
    if (filter.to)
        sql += QStringLiteral(" and 上传日期 < ?");
    return sql;
}

static void bindQuery(Query& q, const UploaderContext& context, const ListFilter& filter)
{
    q.bind({textValue(context.deptCode), textValue(context.positionCode)});
    if (filter.name)
        q.bind(likePattern(*filter.name));
    if (filter.typeCode)
        q.bind(textValue(*filter.typeCode));
    if (filter.keywords)
        q.bind(likePattern(*filter.keywords));
    if (filter.from)
        q.bind(*filter.from);
    if (filter.to)
        q.bind(filter.to->addDays(1));
}

QString UploadDocuments::queryStatement(const ListFilter& filter)
{
    return QStringLiteral("select ") + listColumns() + queryConditions(filter)
           + QStringLiteral(" order by 上传日期, 公司文件信息.编号, 文件类别, 文件名称 desc");
}

QString UploadDocuments::queryKeysStatement(const ListFilter& filter)
{
    // The index on (部门, 岗位, 上传日期) hands the IDs over in this order without reading the
    // rows; the rest of the list's order applies among documents of the same upload time.
    return QStringLiteral("select 公司文件信息.ID, 公司文件信息.上传日期")
           + queryConditions(filter, QStringLiteral(" from 公司文件信息 ")) + QStringLiteral(" order by 上传日期");
}

QString UploadDocuments::documentsByIdStatement(int count)
{
    return QStringLiteral("select ") + listColumns() + listSource() + QStringLiteral(" where 公司文件信息.ID in (")
           + parameterMarks(count) + QStringLiteral(") order by 上传日期, 公司文件信息.编号, 文件类别, 文件名称 desc");
}

DbResult<QVector<DocumentRow>> UploadDocuments::query(const UploaderContext& context, const ListFilter& filter)
{
    Query q(queryStatement(filter));
    bindQuery(q, context, filter);
    return readRows(q);
}

UploadListReader::UploadListReader() = default;
UploadListReader::~UploadListReader() = default;

bool UploadListReader::read(int count, const std::function<void(const DocumentRow&)>& sink)
{
    for (int n = 0; n < count && !m_done;) {
        const qsizetype left = qsizetype(m_ids.size()) - m_next;
        qsizetype part = std::min<qsizetype>({count - n, kRowsPerRead, left});
        if (part <= 0) {
            m_done = true;
            break;
        }
        // Documents of one upload time go together: the statement orders them among themselves.
        while (part < left && m_tiesBefore[size_t(m_next + part)])
            ++part;
        Query q(UploadDocuments::documentsByIdStatement(int(part)));
        for (qsizetype k = 0; k < part; ++k)
            q.bind(m_ids[size_t(m_next + k)]);
        if (q.exec()) {
            // A document deleted since the IDs were read is left out.
            while (q.next())
                sink(readRow(q));
        }
        if (q.error().isSet()) {
            m_error = q.error();
            m_done = true;
            break;
        }
        m_next += part;
        n += int(part);
    }
    if (m_next >= qsizetype(m_ids.size()))
        m_done = true;
    if (m_done) {
        m_ids.clear();
        m_ids.shrink_to_fit();
        m_tiesBefore.clear();
        m_tiesBefore.shrink_to_fit();
    }
    return !m_done;
}

std::unique_ptr<UploadListReader> UploadDocuments::openQuery(const UploaderContext& context, const ListFilter& filter)
{
    std::unique_ptr<UploadListReader> reader(new UploadListReader);
    reader->m_done = true;
    // The IDs of every row at once, in the query's order (small, and no statement stays open
    // between the steps); the documents themselves step by step.
    Query q(queryKeysStatement(filter));
    bindQuery(q, context, filter);
    if (!q.exec()) {
        reader->m_error = q.error();
        return reader;
    }
    QString previous;
    while (q.next()) {
        reader->m_ids.push_back(q.longInteger(u"ID"));
        QString uploaded = q.text(u"上传日期");
        reader->m_tiesBefore.push_back(reader->m_ids.size() > 1 && uploaded == previous);
        previous = std::move(uploaded);
    }
    if (q.error().isSet()) {
        reader->m_error = q.error();
        reader->m_ids.clear();
        return reader;
    }
    reader->m_total = int(reader->m_ids.size());
    reader->m_done = reader->m_ids.empty();
    return reader;
}

DbResult<std::optional<StoredDocument>> UploadDocuments::stored(qint64 id)
{
    using Result = DbResult<std::optional<StoredDocument>>;
    Query q(storedStatement());
    q.bind(id);
    if (!q.exec())
        return Result::failure(q.error());
    if (!q.next()) {
        if (q.error().isSet())
            return Result::failure(q.error());
        return {std::nullopt, {}};
    }
    StoredDocument d;
    d.id = q.longInteger(u"ID");
    d.name = q.text(u"文件名称");
    d.extension = q.text(u"附件后缀");
    d.hasContent = q.flag(u"有内容");
    return {d, {}};
}

DbResult<QStringList> UploadDocuments::downloadGroups()
{
    Query q(downloadGroupsStatement());
    if (!q.exec())
        return DbResult<QStringList>::failure(q.error());
    QStringList items;
    while (q.next())
        items.append(q.text(u"组ID") + QStringLiteral(" ") + q.text(u"组名称"));
    return {std::move(items), q.error()};
}

DbResult<QString> UploadDocuments::indexStatus(qint64 id)
{
    const auto found = FullTextIndex::stateNote(id);
    if (!found.ok() || !found.value)
        return {QString(), found.error};
    switch (found.value->state) {
    case IndexState::Pending:
    case IndexState::Indexing: return {QStringLiteral("正在建立全文索引"), {}};
    case IndexState::NoText: return {QStringLiteral("无可检索的文字"), {}};
    case IndexState::Failed:
        return {found.value->note.isEmpty() ? QStringLiteral("全文索引失败")
                                            : QStringLiteral("全文索引失败：") + found.value->note,
                {}};
    case IndexState::Done: break;
    }
    return {QString(), {}};
}

QVector<NamedStatement> UploadDocuments::statements()
{
    ListFilter everything;
    everything.name = QString();
    everything.typeCode = QString();
    everything.keywords = QString();
    everything.from = QDate();
    everything.to = QDate();
    return {
        {QStringLiteral("document number check while adding"), numberCheckStatement()},
        {QStringLiteral("add a document"), insertStatement()},
        {QStringLiteral("identity of the added document"), newIdStatement()},
        {QStringLiteral("document row exists"), rowCheckStatement()},
        {QStringLiteral("change a document"), updateStatement()},
        {QStringLiteral("change a document with a new file"), updateWithFileStatement()},
        {QStringLiteral("delete a document"), deleteStatement()},
        {QStringLiteral("delete the rights of a document number"), deleteRightsStatement()},
        {QStringLiteral("newest documents of a position"), recentStatement()},
        {QStringLiteral("documents of a position"), queryStatement({})},
        {QStringLiteral("documents of a position with every condition"), queryStatement(everything)},
        {QStringLiteral("keys of the documents of a position with every condition"), queryKeysStatement(everything)},
        {QStringLiteral("documents by their IDs"), documentsByIdStatement(3)},
        {QStringLiteral("document for opening"), storedStatement()},
        {QStringLiteral("download groups"), downloadGroupsStatement()},
    };
}

}  // namespace quarvel
