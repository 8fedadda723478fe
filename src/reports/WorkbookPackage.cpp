#include "reports/WorkbookPackage.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

#include <minizip/unzip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace quarvel::xlsx {
namespace {

constexpr int kPiece = 64 * 1024;
constexpr size_t kCopyPiece = 1 << 20;

const QString kRelationshipsNs = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
const QString kWorksheetType = kRelationshipsNs + QStringLiteral("/worksheet");
const QString kStylesType = kRelationshipsNs + QStringLiteral("/styles");
const QString kCalcChainType = kRelationshipsNs + QStringLiteral("/calcChain");
const QString kWorksheetContent =
    QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml");
const QString kStylesContent = QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml");

DbError failure(const QString& words) { return DbError::make(kPackageFailed, words); }
DbError cancelled() { return DbError::make(kPackageCancelled, QStringLiteral("输出已取消")); }

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

DbError notAWorkbook(const QString& path, const QString& why)
{
    return failure(QStringLiteral("文件 %1 不是可以写入的工作簿（%2），没有作任何修改。").arg(shown(path), why));
}

class ZipReader {
public:
    explicit ZipReader(const QString& path) : m_file(unzOpen64(QFile::encodeName(path).constData())) {}
    ~ZipReader()
    {
        if (m_file)
            unzClose(m_file);
    }
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;
    unzFile get() const { return m_file; }

private:
    unzFile m_file;
};

struct Entry {
    QByteArray name;
    unz64_file_pos position{};
    unz_file_info64 info{};
    QByteArray extra;  // the central directory's extra field, kept as it was
};

// The entries of a package, in their order; refused beyond the limit or when the package is
// not a zip archive.
// Says why a package was refused: a workbook to be amended, or a document read for its text.
using Refusal = DbError (*)(const QString& path, const QString& why);

DbResult<std::vector<Entry>> listEntries(unzFile zip, const QString& path, const PackageLimits& limits,
                                         Refusal notAWorkbook = quarvel::xlsx::notAWorkbook)
{
    std::vector<Entry> entries;
    unz_global_info64 global{};
    if (!zip || unzGetGlobalInfo64(zip, &global) != UNZ_OK)
        return DbResult<std::vector<Entry>>::failure(notAWorkbook(path, QStringLiteral("不是 zip 格式的文件或已损坏")));
    if (qint64(global.number_entry) > limits.entries)
        return DbResult<std::vector<Entry>>::failure(notAWorkbook(
            path, QStringLiteral("包含 %1 个部件，超过 %2 个").arg(global.number_entry).arg(limits.entries)));
    for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        Entry e;
        char name[1024];
        char extra[1024];
        if (unzGetCurrentFileInfo64(zip, &e.info, name, sizeof name, extra, sizeof extra, nullptr, 0) != UNZ_OK
            || e.info.size_filename >= sizeof name || e.info.size_file_extra > sizeof extra)
            return DbResult<std::vector<Entry>>::failure(notAWorkbook(path, QStringLiteral("部件目录已损坏")));
        if (e.info.flag & 1)
            return DbResult<std::vector<Entry>>::failure(notAWorkbook(path, QStringLiteral("已加密")));
        e.name = QByteArray(name, int(e.info.size_filename));
        e.extra = QByteArray(extra, int(e.info.size_file_extra));
        unzGetFilePos64(zip, &e.position);
        entries.push_back(std::move(e));
    }
    if (qint64(entries.size()) != qint64(global.number_entry))
        return DbResult<std::vector<Entry>>::failure(notAWorkbook(path, QStringLiteral("部件目录不完整")));
    return {std::move(entries), {}};
}

const Entry* findEntry(const std::vector<Entry>& entries, const QByteArray& name)
{
    for (const Entry& e : entries) {
        if (e.name.compare(name, Qt::CaseInsensitive) == 0)
            return &e;
    }
    return nullptr;
}

// One part unpacked, at most `limit` bytes whatever its header says.
DbResult<QByteArray> readPart(unzFile zip, const Entry& entry, qint64 limit, const QString& path,
                              Refusal notAWorkbook = quarvel::xlsx::notAWorkbook)
{
    unz64_file_pos position = entry.position;
    if (unzGoToFilePos64(zip, &position) != UNZ_OK || unzOpenCurrentFile(zip) != UNZ_OK)
        return DbResult<QByteArray>::failure(
            notAWorkbook(path, QStringLiteral("部件 %1 无法读取").arg(QString::fromUtf8(entry.name))));
    QByteArray bytes;
    char piece[65536];
    for (;;) {
        const int n = unzReadCurrentFile(zip, piece, sizeof piece);
        if (n < 0) {
            unzCloseCurrentFile(zip);
            return DbResult<QByteArray>::failure(
                notAWorkbook(path, QStringLiteral("部件 %1 已损坏").arg(QString::fromUtf8(entry.name))));
        }
        if (n == 0)
            break;
        if (bytes.size() + n > limit) {
            unzCloseCurrentFile(zip);
            return DbResult<QByteArray>::failure(notAWorkbook(
                path, QStringLiteral("部件 %1 解压后超过 %2 MB").arg(QString::fromUtf8(entry.name)).arg(limit >> 20)));
        }
        bytes.append(piece, n);
    }
    if (unzCloseCurrentFile(zip) != UNZ_OK)
        return DbResult<QByteArray>::failure(
            notAWorkbook(path, QStringLiteral("部件 %1 校验失败").arg(QString::fromUtf8(entry.name))));
    return {bytes, {}};
}

// Where an entry's compressed data starts in the file; -1 when the entry cannot be opened.
qint64 dataOffset(unzFile zip, const Entry& e)
{
    unz64_file_pos position = e.position;
    int method = 0;
    int level = 0;
    if (unzGoToFilePos64(zip, &position) != UNZ_OK || unzOpenCurrentFile2(zip, &method, &level, 1) != UNZ_OK)
        return -1;
    const qint64 at = qint64(unzGetCurrentFileZStreamPos64(zip));
    unzCloseCurrentFile(zip);
    return at;
}

class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const QString& path) : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC))
    {
    }
    ~ReadOnlyFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

// --- XML read within limits, edited by position ---

struct Element {
    QString name;  // local name
    QXmlStreamAttributes attributes;
    qsizetype start = 0;      // of its start tag
    qsizetype contentAt = 0;  // after its start tag
    qsizetype endTagAt = -1;  // of its end tag; -1 while open, == contentAt for <x/>
    qsizetype end = 0;        // after its end tag
    int depth = 0;            // 1 for the root
    bool selfClosed = false;
};

// Every element of a part, in document order; refused beyond the depth limit or when the part
// is not well-formed XML.
DbResult<std::vector<Element>> elementsOf(const QString& text, const PackageLimits& limits, const QString& part)
{
    std::vector<Element> all;
    std::vector<size_t> open;
    QXmlStreamReader xml(text);
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (int(open.size()) >= limits.depth)
                return DbResult<std::vector<Element>>::failure(
                    failure(QStringLiteral("部件 %1 的层次超过 %2 层").arg(part).arg(limits.depth)));
            Element e;
            e.name = xml.name().toString();
            e.attributes = xml.attributes();
            e.contentAt = xml.characterOffset();
            e.start = text.lastIndexOf(u'<', e.contentAt - 1);
            e.depth = int(open.size()) + 1;
            e.selfClosed = text.at(e.contentAt - 2) == u'/';
            open.push_back(all.size());
            all.push_back(std::move(e));
        } else if (token == QXmlStreamReader::EndElement) {
            Element& e = all[open.back()];
            open.pop_back();
            e.end = xml.characterOffset();
            e.endTagAt = e.selfClosed ? e.contentAt : text.lastIndexOf(u'<', e.end - 1);
        }
    }
    if (xml.hasError())
        return DbResult<std::vector<Element>>::failure(
            failure(QStringLiteral("部件 %1 不是有效的 XML（%2）").arg(part, xml.errorString())));
    return {std::move(all), {}};
}

struct Edit {
    qsizetype at;
    qsizetype remove;
    QString insert;
};

QString applied(QString text, std::vector<Edit> edits)
{
    std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.at > b.at; });
    for (const Edit& e : edits)
        text.replace(e.at, e.remove, e.insert);
    return text;
}

QString escaped(const QString& text) { return text.toHtmlEscaped(); }

// Children inserted at the end of `parent`: before its end tag, or in place of "/>".
void appendInside(const QString& text, const Element& parent, const QString& children, std::vector<Edit>& edits)
{
    if (!parent.selfClosed) {
        edits.push_back({parent.endTagAt, 0, children});
        return;
    }
    // "<name .../>" becomes "<name ...>children</name>".
    const QString tag = text.mid(parent.start, parent.contentAt - parent.start);
    const QString qualified = tag.mid(1, tag.indexOf(QRegularExpression(QStringLiteral(R"([\s/>])")), 1) - 1);
    QString open = tag;
    open.chop(2);
    edits.push_back({parent.start, parent.contentAt - parent.start,
                     open.trimmed() + u'>' + children + QStringLiteral("</") + qualified + u'>'});
}

// The start tag of the element with its count attribute set to `count` (added when missing).
void setCount(const QString& text, const Element& e, qint64 count, std::vector<Edit>& edits)
{
    const QString tag = text.mid(e.start, e.contentAt - e.start);
    static const QRegularExpression countAttribute(QStringLiteral(R"re(\scount\s*=\s*("[^"]*"|'[^']*'))re"));
    const QRegularExpressionMatch m = countAttribute.match(tag);
    if (m.hasMatch()) {
        edits.push_back({e.start + m.capturedStart(), m.capturedLength(), QStringLiteral(" count=\"%1\"").arg(count)});
    } else {
        const qsizetype nameEnd = tag.indexOf(QRegularExpression(QStringLiteral(R"([\s/>])")), 1);
        edits.push_back({e.start + nameEnd, 0, QStringLiteral(" count=\"%1\"").arg(count)});
    }
}

const Element* firstChild(const std::vector<Element>& all, const QString& name, int depth)
{
    for (const Element& e : all) {
        if (e.depth == depth && e.name == name)
            return &e;
    }
    return nullptr;
}

// The elements named `name` directly inside `parent`.
std::vector<const Element*> childrenOf(const std::vector<Element>& all, const Element& parent, const QString& name)
{
    std::vector<const Element*> out;
    for (const Element& e : all) {
        if (e.depth == parent.depth + 1 && e.start > parent.start && e.end <= parent.end && e.name == name)
            out.push_back(&e);
    }
    return out;
}

// --- styles: the new sheet's formats appended to the workbook's ---

struct StyleSection {
    const char* name;  // "fonts", ...
    const char* child;
};
constexpr StyleSection kSections[] = {
    {"numFmts", "numFmt"}, {"fonts", "font"}, {"fills", "fill"}, {"borders", "border"}, {"cellXfs", "xf"}};

struct StyleMerge {
    QString styles;         // the workbook's styles part, amended
    qint64 cellXfBase = 0;  // the new sheet's cell format i is the workbook's cellXfBase + i
};

int intAttribute(const QXmlStreamAttributes& a, const char* name, int otherwise = -1)
{
    bool ok = false;
    const int v = a.value(QLatin1String(name)).toInt(&ok);
    return ok ? v : otherwise;
}

DbResult<StyleMerge> mergeStyles(const QString& existing, const QString& fresh, const PackageLimits& limits)
{
    const auto freshElements = elementsOf(fresh, limits, QStringLiteral("xl/styles.xml"));
    if (!freshElements.ok())
        return DbResult<StyleMerge>::failure(freshElements.error);
    if (existing.isNull())
        return {{fresh, 0}, {}};  // the workbook had no styles: the new sheet's become them
    const auto old = elementsOf(existing, limits, QStringLiteral("xl/styles.xml"));
    if (!old.ok())
        return DbResult<StyleMerge>::failure(old.error);
    const Element* oldRoot = firstChild(old.value, QStringLiteral("styleSheet"), 1);
    const Element* freshRoot = firstChild(freshElements.value, QStringLiteral("styleSheet"), 1);
    if (!oldRoot || !freshRoot)
        return DbResult<StyleMerge>::failure(failure(QStringLiteral("工作簿的样式部件不完整，没有作任何修改。")));

    // Where each of the new sheet's ids lands in the workbook.
    QHash<QString, qint64> base;
    QHash<int, int> numberFormats;  // the new sheet's own format ids → the workbook's
    std::vector<Edit> edits;
    int nextFormatId = 164;
    for (const Element* f :
         childrenOf(old.value, *firstChild(old.value, QStringLiteral("styleSheet"), 1), QStringLiteral("numFmts"))) {
        for (const Element* n : childrenOf(old.value, *f, QStringLiteral("numFmt")))
            nextFormatId = std::max(nextFormatId, intAttribute(n->attributes, "numFmtId") + 1);
    }
    for (const StyleSection& section : kSections) {
        const QString sectionName = QLatin1String(section.name);
        const auto oldSections = childrenOf(old.value, *oldRoot, sectionName);
        const auto freshSections = childrenOf(freshElements.value, *freshRoot, sectionName);
        const auto freshChildren = freshSections.empty() ? std::vector<const Element*>{}
                                                         : childrenOf(freshElements.value, *freshSections.front(),
                                                                      QLatin1String(section.child));
        const auto oldChildren = oldSections.empty()
                                     ? std::vector<const Element*>{}
                                     : childrenOf(old.value, *oldSections.front(), QLatin1String(section.child));
        base.insert(sectionName, qint64(oldChildren.size()));
        if (freshChildren.empty())
            continue;
        QString appended;
        for (const Element* c : freshChildren) {
            QString element = fresh.mid(c->start, c->end - c->start);
            if (sectionName == QLatin1String("numFmts")) {
                const int id = intAttribute(c->attributes, "numFmtId");
                numberFormats.insert(id, nextFormatId);
                element.replace(QRegularExpression(QStringLiteral(R"re(numFmtId\s*=\s*"\d+")re")),
                                QStringLiteral("numFmtId=\"%1\"").arg(nextFormatId++));
            } else if (sectionName == QLatin1String("cellXfs")) {
                static const QRegularExpression ids(
                    QStringLiteral(R"re(\b(numFmtId|fontId|fillId|borderId)\s*=\s*"(\d+)")re"));
                QString rewritten;
                qsizetype from = 0;
                for (auto it = ids.globalMatch(element); it.hasNext();) {
                    const QRegularExpressionMatch m = it.next();
                    const QString attribute = m.captured(1);
                    qint64 value = m.captured(2).toLongLong();
                    if (attribute == QLatin1String("numFmtId"))
                        value = numberFormats.value(int(value), int(value));
                    else if (attribute == QLatin1String("fontId"))
                        value += base.value(QStringLiteral("fonts"));
                    else if (attribute == QLatin1String("fillId"))
                        value += base.value(QStringLiteral("fills"));
                    else
                        value += base.value(QStringLiteral("borders"));
                    rewritten += element.mid(from, m.capturedStart() - from)
                                 + QStringLiteral("%1=\"%2\"").arg(attribute).arg(value);
                    from = m.capturedEnd();
                }
                element = rewritten + element.mid(from);
            }
            appended += element;
        }
        const qint64 total = qint64(oldChildren.size() + freshChildren.size());
        if (!oldSections.empty()) {
            appendInside(existing, *oldSections.front(), appended, edits);
            setCount(existing, *oldSections.front(), total, edits);
        } else if (sectionName == QLatin1String("numFmts")) {
            // The first child of the style sheet when present.
            edits.push_back(
                {oldRoot->contentAt, 0,
                 QStringLiteral("<numFmts count=\"%1\">").arg(total) + appended + QStringLiteral("</numFmts>")});
        } else {
            return DbResult<StyleMerge>::failure(
                failure(QStringLiteral("工作簿的样式部件缺少 %1，没有作任何修改。").arg(sectionName)));
        }
    }
    return {{applied(existing, std::move(edits)), base.value(QStringLiteral("cellXfs"))}, {}};
}

// --- the new sheet's part, its format numbers moved to the workbook's ---

// Rewrites, inside tags only, s="i" of rows and cells and style="i" of columns by the base, and
// drops the sheet's selection as the active tab (another sheet of the workbook keeps it).
class SheetRewriter {
public:
    explicit SheetRewriter(qint64 base) : m_base(base) {}

    QByteArray feed(const QByteArray& in)
    {
        QByteArray out;
        out.reserve(in.size() + in.size() / 8);
        for (const char c : in) {
            if (!m_inTag) {
                out.append(c);
                if (c == '<') {
                    m_inTag = true;
                    m_tag.clear();
                }
                continue;
            }
            m_tag.append(c);
            if (c == '"')
                m_inValue = !m_inValue;
            if (c == '>' && !m_inValue) {
                out.append(rewritten(m_tag));
                m_inTag = false;
            }
        }
        return out;
    }
    qint64 rows() const { return m_rows; }

private:
    QByteArray rewritten(QByteArray tag)
    {
        const bool row = tag.startsWith("row ") || tag.startsWith("row>");
        if (row)
            ++m_rows;
        const char* attribute = nullptr;
        if (row || tag.startsWith("c "))
            attribute = " s=\"";
        else if (tag.startsWith("col "))
            attribute = " style=\"";
        else if (tag.startsWith("sheetView "))
            tag.replace(" tabSelected=\"1\"", "");
        if (attribute) {
            const qsizetype at = tag.indexOf(attribute);
            if (at >= 0) {
                const qsizetype from = at + qsizetype(std::strlen(attribute));
                const qsizetype to = tag.indexOf('"', from);
                const qint64 value = tag.mid(from, to - from).toLongLong() + m_base;
                tag.replace(from, to - from, QByteArray::number(value));
            }
        }
        return tag;
    }

    qint64 m_base;
    bool m_inTag = false;
    bool m_inValue = false;
    QByteArray m_tag;
    qint64 m_rows = 0;
};

// --- writing the new package ---

QString errnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// The new package, written as the zip format lays it out: each entry's local header and data,
// then the central directory. A kept entry's compressed data is copied from the old file as it
// is, never unpacked; new parts are deflated here (each below 4 GiB). Kept entries and offsets past 4 GiB take the
// zip64 fields.
class PackageWriter {
public:
    explicit PackageWriter(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644))
    {
        if (m_fd < 0)
            m_error = errno;
    }
    ~PackageWriter()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    PackageWriter(const PackageWriter&) = delete;
    PackageWriter& operator=(const PackageWriter&) = delete;

    bool ok() const { return m_fd >= 0 && m_error == 0 && !m_failed; }
    int systemError() const { return m_error; }

    // A kept entry: a new local header, then its compressed bytes as they are in the old file.
    bool copyRaw(int sourceFd, qint64 dataAt, const Entry& e, const std::function<bool(qint64)>& progress)
    {
        Record r;
        r.name = e.name;
        r.flags = quint16(e.info.flag & ~0x0008u);  // sizes are known: no data descriptor
        r.method = quint16(e.info.compression_method);
        r.dosDate = quint32(e.info.dosDate);
        r.crc = quint32(e.info.crc);
        r.compressed = e.info.compressed_size;
        r.uncompressed = e.info.uncompressed_size;
        r.internal = quint16(e.info.internal_fa);
        r.external = quint32(e.info.external_fa);
        r.madeBy = quint16(e.info.version);
        if (!header(r))
            return false;
        // Through one buffer of a mebibyte: on a cached file plain reads and writes outrun the
        // kernel's own copy (which splices page by page), and memory stays flat.
        if (m_copyBuffer.empty())
            m_copyBuffer.resize(kCopyPiece);
        quint64 left = r.compressed;
        off_t in = off_t(dataAt);
        while (left > 0) {
            const size_t piece = size_t(std::min<quint64>(left, kCopyPiece));
            const ssize_t n = ::pread(sourceFd, m_copyBuffer.data(), piece, in);
            if (n <= 0)
                return fail(n < 0 ? errno : EIO);
            if (!put(m_copyBuffer.data(), size_t(n)))
                return false;
            in += n;
            left -= quint64(n);
            startWriteback();
            if (progress && !progress(n))
                return false;
        }
        m_records.push_back(std::move(r));
        return true;
    }

    // A new part, deflated here; `feed` hands out its bytes piece by piece, an empty piece at
    // the end (false from it stops).
    bool write(const QByteArray& name, quint32 dosDate, const std::function<bool(QByteArray&)>& feed)
    {
        Record r;
        r.name = name;
        r.flags = 0x0800;  // UTF-8 names
        r.method = Z_DEFLATED;
        r.dosDate = dosDate;
        r.madeBy = 0x031e;
        r.external = 0100644u << 16;
        const quint64 headerAt = m_at;
        if (!header(r))
            return false;
        z_stream z{};
        if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            return fail(ENOMEM);
        std::vector<unsigned char> out(kPiece);
        uLong crc = crc32(0, nullptr, 0);
        bool good = true;
        QByteArray piece;
        for (bool last = false; good && !last;) {
            piece.clear();
            if (!feed(piece)) {
                good = false;
                break;
            }
            last = piece.isEmpty();
            crc = crc32(crc, reinterpret_cast<const Bytef*>(piece.constData()), uInt(piece.size()));
            r.uncompressed += quint64(piece.size());
            z.next_in = reinterpret_cast<Bytef*>(piece.data());
            z.avail_in = uInt(piece.size());
            do {
                z.next_out = out.data();
                z.avail_out = uInt(out.size());
                deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
                const size_t n = out.size() - z.avail_out;
                if (n > 0 && !put(out.data(), n)) {
                    good = false;
                    break;
                }
                r.compressed += n;
            } while (z.avail_out == 0);
        }
        deflateEnd(&z);
        if (!good)
            return false;
        // The header was written before the sizes were known, without room for the large fields.
        if (r.compressed >= 0xffffffffu || r.uncompressed >= 0xffffffffu)
            return fail(EFBIG);
        r.crc = quint32(crc);
        // The header again, now with the checksum and the sizes.
        const QByteArray patched = localHeader(r);
        if (::pwrite(m_fd, patched.constData(), size_t(patched.size()), off_t(headerAt)) != patched.size())
            return fail(errno);
        m_records.push_back(std::move(r));
        return true;
    }

    bool writeWhole(const QByteArray& name, quint32 dosDate, const QByteArray& bytes)
    {
        bool given = false;
        return write(name, dosDate, [&](QByteArray& piece) {
            if (!given)
                piece = bytes;
            given = true;
            return true;
        });
    }

    // The central directory and its end, then the package made durable.
    bool close()
    {
        const quint64 directoryAt = m_at;
        for (const Record& r : m_records) {
            QByteArray d;
            const bool large = r.zip64 || r.compressed >= 0xffffffffu || r.uncompressed >= 0xffffffffu
                               || r.localAt >= 0xffffffffu;
            QByteArray extra;
            if (large) {
                put16(extra, 0x0001);
                put16(extra, 24);
                put64(extra, r.uncompressed);
                put64(extra, r.compressed);
                put64(extra, r.localAt);
            }
            put32(d, 0x02014b50);
            put16(d, r.madeBy);
            put16(d, large ? 45 : 20);
            put16(d, r.flags);
            put16(d, r.method);
            put32(d, r.dosDate);
            put32(d, r.crc);
            put32(d, large ? 0xffffffffu : quint32(r.compressed));
            put32(d, large ? 0xffffffffu : quint32(r.uncompressed));
            put16(d, quint16(r.name.size()));
            put16(d, quint16(extra.size()));
            put16(d, 0);
            put16(d, 0);
            put16(d, r.internal);
            put32(d, r.external);
            put32(d, large ? 0xffffffffu : quint32(r.localAt));
            d += r.name;
            d += extra;
            if (!put(d.constData(), size_t(d.size())))
                return false;
        }
        const quint64 directorySize = m_at - directoryAt;
        const quint64 count = m_records.size();
        QByteArray end;
        if (count >= 0xffff || directoryAt >= 0xffffffffu || directorySize >= 0xffffffffu) {
            const quint64 recordAt = m_at;
            put32(end, 0x06064b50);
            put64(end, 44);
            put16(end, 45);
            put16(end, 45);
            put32(end, 0);
            put32(end, 0);
            put64(end, count);
            put64(end, count);
            put64(end, directorySize);
            put64(end, directoryAt);
            put32(end, 0x07064b50);
            put32(end, 0);
            put64(end, recordAt);
            put32(end, 1);
        }
        put32(end, 0x06054b50);
        put16(end, 0);
        put16(end, 0);
        put16(end, quint16(std::min<quint64>(count, 0xffff)));
        put16(end, quint16(std::min<quint64>(count, 0xffff)));
        put32(end, quint32(std::min<quint64>(directorySize, 0xffffffffu)));
        put32(end, quint32(std::min<quint64>(directoryAt, 0xffffffffu)));
        put16(end, 0);
        if (!put(end.constData(), size_t(end.size())))
            return false;
        if (::fsync(m_fd) != 0)
            return fail(errno);
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0)
            return fail(errno);
        return true;
    }

private:
    struct Record {
        QByteArray name;
        quint16 madeBy = 20, flags = 0, method = 0, internal = 0;
        quint32 dosDate = 0, crc = 0, external = 0;
        quint64 compressed = 0, uncompressed = 0, localAt = 0;
        bool zip64 = false;
    };

    static void put16(QByteArray& b, quint16 v)
    {
        b.append(char(v & 0xff));
        b.append(char(v >> 8));
    }
    static void put32(QByteArray& b, quint32 v)
    {
        put16(b, quint16(v & 0xffff));
        put16(b, quint16(v >> 16));
    }
    static void put64(QByteArray& b, quint64 v)
    {
        put32(b, quint32(v & 0xffffffffu));
        put32(b, quint32(v >> 32));
    }

    QByteArray localHeader(const Record& r) const
    {
        const bool large = r.zip64 || r.compressed >= 0xffffffffu || r.uncompressed >= 0xffffffffu;
        QByteArray h;
        put32(h, 0x04034b50);
        put16(h, large ? 45 : 20);
        put16(h, r.flags);
        put16(h, r.method);
        put32(h, r.dosDate);
        put32(h, r.crc);
        put32(h, large ? 0xffffffffu : quint32(r.compressed));
        put32(h, large ? 0xffffffffu : quint32(r.uncompressed));
        put16(h, quint16(r.name.size()));
        put16(h, large ? 20 : 0);
        h += r.name;
        if (large) {
            put16(h, 0x0001);
            put16(h, 16);
            put64(h, r.uncompressed);
            put64(h, r.compressed);
        }
        return h;
    }

    bool header(Record& r)
    {
        if (r.name.size() > 0xffff)
            return fail(ENAMETOOLONG);
        r.localAt = m_at;
        const QByteArray h = localHeader(r);
        return put(h.constData(), size_t(h.size()));
    }

    bool put(const void* data, size_t length)
    {
        const char* p = static_cast<const char*>(data);
        while (length > 0) {
            const ssize_t n = ::pwrite(m_fd, p, length, off_t(m_at));
            if (n <= 0)
                return fail(n < 0 ? errno : EIO);
            p += n;
            length -= size_t(n);
            m_at += quint64(n);
        }
        return true;
    }

    // The disk starts on what has been written while the copy goes on, so that the closing
    // fsync finds little left to do. Only a hint: a failed write surfaces at fsync.
    void startWriteback()
    {
        constexpr quint64 kStride = 8u << 20;
        if (m_at - m_writebackFrom < kStride)
            return;
        ::sync_file_range(m_fd, off_t(m_writebackFrom), off_t(m_at - m_writebackFrom), SYNC_FILE_RANGE_WRITE);
        m_writebackFrom = m_at;
    }

    bool fail(int error)
    {
        m_failed = true;
        if (m_error == 0)
            m_error = error == 0 ? EIO : error;
        return false;
    }

    int m_fd;
    quint64 m_at = 0;
    std::vector<Record> m_records;
    std::vector<char> m_copyBuffer;
    quint64 m_writebackFrom = 0;
    int m_error = 0;
    bool m_failed = false;
};

// The modification time of a part: the old part's, or now for a new one.
quint32 dosDateOf(const Entry* e)
{
    if (e)
        return quint32(e->info.dosDate);
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return quint32(std::max(d.year() - 1980, 0)) << 25 | quint32(d.month()) << 21 | quint32(d.day()) << 16
           | quint32(t.hour()) << 11 | quint32(t.minute()) << 5 | quint32(t.second() / 2);
}

// The part a relationship's target names, from the workbook part's folder.
QString partOf(const QString& target)
{
    if (target.startsWith(u'/'))
        return target.mid(1);
    return QDir::cleanPath(QStringLiteral("xl/") + target);
}

QString relsOf(const QString& part)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) + QStringLiteral(".rels");
}

}  // namespace

QString writeFailureText(int systemError)
{
    QString words;
    switch (systemError) {
    case ENOSPC:
    case EDQUOT: words = QStringLiteral("磁盘空间不足"); break;
    case EFBIG: words = QStringLiteral("文件超过了允许的大小"); break;
    case EROFS:
    case EACCES:
    case EPERM: words = QStringLiteral("文件夹是只读的或没有写入权限"); break;
    case ENOENT:
    case ENOTDIR: words = QStringLiteral("文件夹不存在"); break;
    case ENAMETOOLONG: words = QStringLiteral("文件名太长"); break;
    default: words = QStringLiteral("写入文件时出错"); break;
    }
    return words + QStringLiteral("（") + errnoText(systemError) + QStringLiteral("）");
}

DbStatus spliceSheet(const SpliceRequest& request, const PackageProgress& progress, const PackageLimits& limits)
{
    const QString outputName = request.shownAs.isEmpty() ? request.output : request.shownAs;
    ZipReader existing(request.existing);
    const auto entries = listEntries(existing.get(), request.existing, limits);
    if (!entries.ok())
        return {entries.error};
    ZipReader fresh(request.sheet);
    const auto freshEntries = listEntries(fresh.get(), request.sheet, limits);
    if (!freshEntries.ok())
        return {freshEntries.error};

    const auto partText = [&](unzFile zip, const std::vector<Entry>& list, const char* name,
                              const QString& path) -> DbResult<QString> {
        const Entry* e = findEntry(list, name);
        if (!e)
            return {QString(), {}};
        const DbResult<QByteArray> bytes = readPart(zip, *e, limits.partBytes, path);
        if (!bytes.ok())
            return DbResult<QString>::failure(bytes.error);
        return {QString::fromUtf8(bytes.value), {}};
    };
    const auto types = partText(existing.get(), entries.value, "[Content_Types].xml", request.existing);
    const auto workbook = partText(existing.get(), entries.value, "xl/workbook.xml", request.existing);
    const auto rels = partText(existing.get(), entries.value, "xl/_rels/workbook.xml.rels", request.existing);
    for (const auto* part : {&types, &workbook, &rels}) {
        if (!part->ok())
            return {part->error};
        if (part->value.isNull())
            return {notAWorkbook(request.existing, QStringLiteral("缺少工作簿部件"))};
    }

    // The sheets and the relationships of the workbook part.
    const auto workbookXml = elementsOf(workbook.value, limits, QStringLiteral("xl/workbook.xml"));
    const auto relsXml = elementsOf(rels.value, limits, QStringLiteral("xl/_rels/workbook.xml.rels"));
    const auto typesXml = elementsOf(types.value, limits, QStringLiteral("[Content_Types].xml"));
    for (const auto* parsed : {&workbookXml, &relsXml, &typesXml}) {
        if (!parsed->ok())
            return {notAWorkbook(request.existing, parsed->error.description)};
    }
    const Element* sheets = nullptr;
    for (const Element& e : workbookXml.value) {
        if (e.name == QLatin1String("sheets") && e.depth == 2)
            sheets = &e;
    }
    if (!sheets)
        return {notAWorkbook(request.existing, QStringLiteral("没有工作表目录"))};
    QString targetRelation;
    QString idAttribute = QStringLiteral("r:id");
    qint64 maxSheetId = 0;
    for (const Element* s : childrenOf(workbookXml.value, *sheets, QStringLiteral("sheet"))) {
        const QString name = s->attributes.value(QLatin1String("name")).toString();
        maxSheetId = std::max<qint64>(maxSheetId, s->attributes.value(QLatin1String("sheetId")).toLongLong());
        for (const QXmlStreamAttribute& a : s->attributes) {
            if (a.namespaceUri() == kRelationshipsNs && a.name() == QLatin1String("id"))
                idAttribute = a.qualifiedName().toString();
        }
        if (name == request.sheetName) {
            for (const QXmlStreamAttribute& a : s->attributes) {
                if (a.namespaceUri() == kRelationshipsNs && a.name() == QLatin1String("id"))
                    targetRelation = a.value().toString();
            }
        } else if (name.compare(request.sheetName, Qt::CaseInsensitive) == 0) {
            return {failure(QStringLiteral("工作表名称不能使用：工作簿中已有工作表“%1”，名称只差字母大小写"
                                           "（Worksheet name '%2' is already in use）；没有作任何修改。")
                                .arg(name, request.sheetName))};
        }
    }

    QHash<QString, QString> partOfRelation;
    QSet<QString> relationIds;
    const Element* relsRoot = firstChild(relsXml.value, QStringLiteral("Relationships"), 1);
    if (!relsRoot)
        return {notAWorkbook(request.existing, QStringLiteral("工作簿关系部件无效"))};
    QString stylesPart;
    const Element* calcChainRelation = nullptr;
    for (const Element* r : childrenOf(relsXml.value, *relsRoot, QStringLiteral("Relationship"))) {
        const QString id = r->attributes.value(QLatin1String("Id")).toString();
        const QString type = r->attributes.value(QLatin1String("Type")).toString();
        const QString part = partOf(r->attributes.value(QLatin1String("Target")).toString());
        relationIds.insert(id);
        partOfRelation.insert(id, part);
        if (type == kStylesType)
            stylesPart = part;
        else if (type == kCalcChainType)
            calcChainRelation = r;
    }

    // The part the new sheet goes to: the replaced sheet's, or a new name.
    QString sheetPart;
    const bool replacing = !targetRelation.isEmpty();
    if (replacing) {
        sheetPart = partOfRelation.value(targetRelation);
        if (sheetPart.isEmpty() || !findEntry(entries.value, sheetPart.toUtf8()))
            return {notAWorkbook(request.existing, QStringLiteral("工作表“%1”的部件不存在").arg(request.sheetName))};
    } else {
        for (int n = 1;; ++n) {
            sheetPart = QStringLiteral("xl/worksheets/sheet%1.xml").arg(n);
            if (!findEntry(entries.value, sheetPart.toUtf8()))
                break;
        }
    }
    QString newRelation;
    for (int n = int(relationIds.size()) + 1;; ++n) {
        newRelation = QStringLiteral("rId%1").arg(n);
        if (!relationIds.contains(newRelation))
            break;
    }

    // Styles: the new sheet's formats after the workbook's.
    const auto freshStyles = partText(fresh.get(), freshEntries.value, "xl/styles.xml", request.sheet);
    if (!freshStyles.ok())
        return {freshStyles.error};
    const bool hadStyles = !stylesPart.isEmpty() && findEntry(entries.value, stylesPart.toUtf8());
    if (!hadStyles)
        stylesPart = QStringLiteral("xl/styles.xml");
    DbResult<QString> oldStyles{QString(), {}};
    if (hadStyles)
        oldStyles = partText(existing.get(), entries.value, stylesPart.toUtf8().constData(), request.existing);
    if (!oldStyles.ok())
        return {oldStyles.error};
    const DbResult<StyleMerge> styles = mergeStyles(oldStyles.value, freshStyles.value, limits);
    if (!styles.ok())
        return {styles.error};

    // The workbook part, its relationships and the content types.
    std::vector<Edit> workbookEdits;
    std::vector<Edit> relsEdits;
    std::vector<Edit> typesEdits;
    if (!replacing) {
        appendInside(workbook.value, *sheets,
                     QStringLiteral("<sheet name=\"%1\" sheetId=\"%2\" %3=\"%4\"/>")
                         .arg(escaped(request.sheetName), QString::number(maxSheetId + 1), idAttribute, newRelation),
                     workbookEdits);
        appendInside(rels.value, *relsRoot,
                     QStringLiteral("<Relationship Id=\"%1\" Type=\"%2\" Target=\"/%3\"/>")
                         .arg(newRelation, kWorksheetType, sheetPart),
                     relsEdits);
    }
    const Element* typesRoot = firstChild(typesXml.value, QStringLiteral("Types"), 1);
    if (!typesRoot)
        return {notAWorkbook(request.existing, QStringLiteral("内容类型部件无效"))};
    if (!replacing)
        appendInside(
            types.value, *typesRoot,
            QStringLiteral("<Override PartName=\"/%1\" ContentType=\"%2\"/>").arg(sheetPart, kWorksheetContent),
            typesEdits);
    if (!hadStyles) {
        appendInside(rels.value, *relsRoot,
                     QStringLiteral("<Relationship Id=\"%1s\" Type=\"%2\" Target=\"/%3\"/>")
                         .arg(newRelation, kStylesType, stylesPart),
                     relsEdits);
        appendInside(types.value, *typesRoot,
                     QStringLiteral("<Override PartName=\"/%1\" ContentType=\"%2\"/>").arg(stylesPart, kStylesContent),
                     typesEdits);
    }
    // The calculation chain lists formula cells by sheet; the spreadsheet program builds it again.
    QString calcChainPart;
    if (calcChainRelation) {
        calcChainPart = partOf(calcChainRelation->attributes.value(QLatin1String("Target")).toString());
        relsEdits.push_back({calcChainRelation->start, calcChainRelation->end - calcChainRelation->start, QString()});
        for (const Element* o : childrenOf(typesXml.value, *typesRoot, QStringLiteral("Override"))) {
            if (partOf(o->attributes.value(QLatin1String("PartName")).toString()) == calcChainPart)
                typesEdits.push_back({o->start, o->end - o->start, QString()});
        }
    }

    // The application properties list the sheet names; the new one follows the last sheet.
    QByteArray appXml;
    const Entry* appEntry = findEntry(entries.value, "docProps/app.xml");
    if (appEntry && !replacing) {
        const DbResult<QByteArray> app = readPart(existing.get(), *appEntry, limits.partBytes, request.existing);
        if (!app.ok())
            return {app.error};
        const QString text = QString::fromUtf8(app.value);
        const auto parsed = elementsOf(text, limits, QStringLiteral("docProps/app.xml"));
        if (parsed.ok()) {
            // HeadingPairs: "Worksheets" (or the local word) followed by its count.
            const Element* titles = nullptr;
            const Element* sheetCount = nullptr;
            const auto& all = parsed.value;
            for (size_t i = 0; i < all.size(); ++i) {
                if (all[i].name == QLatin1String("TitlesOfParts"))
                    titles = &all[i];
                if (all[i].name == QLatin1String("lpstr") && !sheetCount) {
                    const QString word = text.mid(all[i].contentAt, all[i].endTagAt - all[i].contentAt);
                    if (word == QLatin1String("Worksheets") || word == QStringLiteral("工作表")) {
                        for (size_t k = i + 1; k < all.size(); ++k) {
                            if (all[k].name == QLatin1String("i4")) {
                                sheetCount = &all[k];
                                break;
                            }
                        }
                    }
                }
            }
            const Element* vector = nullptr;
            if (titles) {
                for (const Element& e : all) {
                    if (e.name == QLatin1String("vector") && e.depth == titles->depth + 1 && e.start > titles->start
                        && e.end <= titles->end)
                        vector = &e;
                }
            }
            if (sheetCount && vector) {
                const qint64 count =
                    text.mid(sheetCount->contentAt, sheetCount->endTagAt - sheetCount->contentAt).toLongLong();
                std::vector<const Element*> names;
                for (const Element& e : all) {
                    if (e.name == QLatin1String("lpstr") && e.depth == vector->depth + 1 && e.start > vector->start
                        && e.end <= vector->end)
                        names.push_back(&e);
                }
                if (count >= 0 && count <= qint64(names.size())) {
                    // The vector's own prefix ("vt:") for the new item.
                    const QString tag = text.mid(vector->start + 1, vector->contentAt - vector->start - 1);
                    const QString qualified = tag.left(tag.indexOf(QRegularExpression(QStringLiteral(R"([\s/>])"))));
                    const QString prefix = qualified.left(qualified.indexOf(u':') + 1);
                    const QString item =
                        QStringLiteral("<%1lpstr>%2</%1lpstr>").arg(prefix, escaped(request.sheetName));
                    std::vector<Edit> edits;
                    edits.push_back({count == 0 ? vector->contentAt : names[size_t(count - 1)]->end, 0, item});
                    edits.push_back({sheetCount->contentAt, sheetCount->endTagAt - sheetCount->contentAt,
                                     QString::number(count + 1)});
                    const QString vectorTag = text.mid(vector->start, vector->contentAt - vector->start);
                    static const QRegularExpression sizeAttribute(QStringLiteral(R"re(\ssize\s*=\s*"(\d+)")re"));
                    const QRegularExpressionMatch m = sizeAttribute.match(vectorTag);
                    if (m.hasMatch())
                        edits.push_back({vector->start + m.capturedStart(1), m.capturedLength(1),
                                         QString::number(m.captured(1).toLongLong() + 1)});
                    appXml = applied(text, std::move(edits)).toUtf8();
                }
            }
        }
    }

    // The new sheet's part in the fresh package: its first worksheet.
    const Entry* freshSheet = findEntry(freshEntries.value, "xl/worksheets/sheet1.xml");
    if (!freshSheet)
        return {failure(QStringLiteral("新工作表没有写出"))};

    // The total work: the parts copied, then the new sheet.
    qint64 total = qint64(freshSheet->info.uncompressed_size);
    for (const Entry& e : entries.value)
        total += qint64(e.info.compressed_size);
    qint64 done = 0;
    bool stopped = false;
    const auto advance = [&](qint64 bytes) {
        done += bytes;
        if (progress && !progress(std::min(done, total), total))
            stopped = true;
        return !stopped;
    };

    const QString sheetRels = relsOf(sheetPart);
    QSet<QByteArray> copied;
    const ReadOnlyFile existingFile(request.existing);
    if (existingFile.fd() < 0)
        return {notAWorkbook(request.existing, errnoText(errno))};
    QSet<QByteArray> written;
    DbStatus outcome;
    {
        PackageWriter out(request.output);
        if (!out.ok()) {
            QFile::remove(request.output);
            return {failure(
                QStringLiteral("无法建立文件 %1：%2").arg(shown(request.output), writeFailureText(out.systemError())))};
        }
        const auto writeSheet = [&](const Entry* dateFrom) {
            unz64_file_pos position = freshSheet->position;
            if (unzGoToFilePos64(fresh.get(), &position) != UNZ_OK || unzOpenCurrentFile(fresh.get()) != UNZ_OK)
                return false;
            SheetRewriter rewriter(styles.value.cellXfBase);
            std::vector<char> piece(kPiece);
            const bool ok = out.write(sheetPart.toUtf8(), dosDateOf(dateFrom), [&](QByteArray& next) {
                const int n = unzReadCurrentFile(fresh.get(), piece.data(), unsigned(piece.size()));
                if (n < 0)
                    return false;
                if (n > 0) {
                    next = rewriter.feed(QByteArray::fromRawData(piece.data(), n));
                    return advance(n);
                }
                return true;
            });
            unzCloseCurrentFile(fresh.get());
            return ok && !stopped && rewriter.rows() == request.sheetRows;
        };
        bool ok = true;
        for (const Entry& e : entries.value) {
            if (!ok)
                break;
            const QString name = QString::fromUtf8(e.name);
            const auto same = [&](const QString& part) { return name.compare(part, Qt::CaseInsensitive) == 0; };
            if (same(QStringLiteral("[Content_Types].xml")))
                ok = out.writeWhole(e.name, dosDateOf(&e), applied(types.value, typesEdits).toUtf8());
            else if (same(QStringLiteral("xl/workbook.xml")))
                ok = out.writeWhole(e.name, dosDateOf(&e), applied(workbook.value, workbookEdits).toUtf8());
            else if (same(QStringLiteral("xl/_rels/workbook.xml.rels")))
                ok = out.writeWhole(e.name, dosDateOf(&e), applied(rels.value, relsEdits).toUtf8());
            else if (same(stylesPart))
                ok = out.writeWhole(e.name, dosDateOf(&e), styles.value.styles.toUtf8());
            else if (same(QStringLiteral("docProps/app.xml")) && !appXml.isNull())
                ok = out.writeWhole(e.name, dosDateOf(&e), appXml);
            else if (replacing && same(sheetPart))
                ok = writeSheet(&e);
            else if ((replacing && same(sheetRels)) || (!calcChainPart.isEmpty() && same(calcChainPart))) {
                // Dropped: the old sheet's relationships with its content, and the chain the
                // spreadsheet program builds again.
                ok = advance(qint64(e.info.compressed_size));
                continue;
            } else {
                const qint64 at = dataOffset(existing.get(), e);
                ok = at >= 0 && out.copyRaw(existingFile.fd(), at, e, advance);
                copied.insert(e.name);
                continue;
            }
            written.insert(e.name);
            if (ok)
                ok = advance(qint64(e.info.compressed_size));
        }
        if (ok && !replacing) {
            ok = writeSheet(nullptr);
            written.insert(sheetPart.toUtf8());
        }
        if (ok && !hadStyles) {
            ok = out.writeWhole(stylesPart.toUtf8(), dosDateOf(nullptr), styles.value.styles.toUtf8());
            written.insert(stylesPart.toUtf8());
        }
        if (ok)
            ok = out.close();
        if (!ok) {
            if (out.systemError() != 0)
                outcome = {failure(QStringLiteral("文件 %1 没有写成：%2；原有的文件没有改动。")
                                       .arg(shown(outputName), writeFailureText(out.systemError())))};
            else if (stopped)
                outcome = {cancelled()};
            else
                outcome = {failure(QStringLiteral("文件 %1 没有写成：新工作表没有完整写出，磁盘空间可能不足或文件超过了"
                                                  "大小限制；原有的文件没有改动。")
                                       .arg(shown(outputName)))};
        }
    }
    if (!outcome.ok()) {
        QFile::remove(request.output);
        return outcome;
    }

    // Read back whole by an independent reader: every entry where the directory says, the copied
    // ones as they were in the workbook, the written ones unpacked with their checksums and the
    // new sheet's rows counted.
    ZipReader check(request.output);
    const auto checked = listEntries(check.get(), request.output,
                                     PackageLimits{limits.entries + 4, limits.partBytes, limits.depth});
    bool whole = checked.ok() && qint64(checked.value.size()) == qint64(copied.size() + written.size());
    std::vector<char> piece(kPiece);
    const qint64 outputSize = QFileInfo(request.output).size();
    for (size_t i = 0; whole && i < checked.value.size(); ++i) {
        const Entry& e = checked.value[i];
        if (copied.contains(e.name)) {
            // The kernel copied the bytes and fsync took them: reading them back from the cache
            // would prove nothing more. The entry must stand where the package says, whole, with
            // the old entry's method, sizes and checksum.
            const Entry* source = findEntry(entries.value, e.name);
            const qint64 to = dataOffset(check.get(), e);
            whole = source && to >= 0 && e.info.compression_method == source->info.compression_method
                    && e.info.compressed_size == source->info.compressed_size
                    && e.info.uncompressed_size == source->info.uncompressed_size && e.info.crc == source->info.crc
                    && to + qint64(e.info.compressed_size) <= outputSize;
            continue;
        }
        unz64_file_pos position = e.position;
        if (unzGoToFilePos64(check.get(), &position) != UNZ_OK || unzOpenCurrentFile(check.get()) != UNZ_OK) {
            whole = false;
            break;
        }
        const bool isSheet = e.name == sheetPart.toUtf8();
        SheetRewriter counter(0);
        for (;;) {
            const int n = unzReadCurrentFile(check.get(), piece.data(), unsigned(piece.size()));
            if (n <= 0) {
                whole = n == 0;
                break;
            }
            if (isSheet)
                counter.feed(QByteArray::fromRawData(piece.data(), n));
        }
        whole = unzCloseCurrentFile(check.get()) == UNZ_OK && whole;
        if (isSheet)
            whole = whole && counter.rows() == request.sheetRows;
    }
    if (!whole) {
        QFile::remove(request.output);
        return {failure(QStringLiteral("文件 %1 写入后读回时发现不完整，磁盘可能有问题；原有的文件没有改动。")
                            .arg(shown(outputName)))};
    }
    return {};
}

int replaceFile(const QString& finished, const QString& target)
{
    // The replaced file lives on while this descriptor is open; closing it, the last reference,
    // is what frees its blocks, and that is left to a thread of its own.
    const QByteArray to = QFile::encodeName(target);
    const int old = ::open(to.constData(), O_RDONLY | O_CLOEXEC);
    const int error = std::rename(QFile::encodeName(finished).constData(), to.constData()) == 0 ? 0 : errno;
    if (old >= 0) {
        if (error == 0) {
            try {
                std::thread([old] { ::close(old); }).detach();
                return 0;
            } catch (const std::system_error&) {
            }
        }
        ::close(old);
    }
    return error;
}

DbStatus verifyPackage(const QString& path, const QString& sheetPart, qint64 rows, const PackageProgress& progress)
{
    ZipReader zip(path);
    const auto entries = listEntries(zip.get(), path, PackageLimits{});
    if (!entries.ok())
        return {entries.error};
    qint64 total = 0;
    for (const Entry& e : entries.value)
        total += qint64(e.info.uncompressed_size);
    qint64 done = 0;
    bool sheetSeen = false;
    std::vector<char> piece(kPiece);
    for (const Entry& e : entries.value) {
        unz64_file_pos position = e.position;
        if (unzGoToFilePos64(zip.get(), &position) != UNZ_OK || unzOpenCurrentFile(zip.get()) != UNZ_OK)
            return {failure(QStringLiteral("文件 %1 没有完整写入").arg(shown(path)))};
        const bool isSheet = e.name == sheetPart.toUtf8();
        sheetSeen = sheetSeen || isSheet;
        SheetRewriter counter(0);
        bool ok = true;
        for (;;) {
            const int n = unzReadCurrentFile(zip.get(), piece.data(), unsigned(piece.size()));
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            if (isSheet)
                counter.feed(QByteArray::fromRawData(piece.data(), n));
            done += n;
            if (progress && !progress(std::min(done, total), total)) {
                unzCloseCurrentFile(zip.get());
                return {cancelled()};
            }
        }
        ok = unzCloseCurrentFile(zip.get()) == UNZ_OK && ok;
        if (!ok || (isSheet && counter.rows() != rows))
            return {failure(QStringLiteral("文件 %1 没有完整写入，磁盘空间可能不足").arg(shown(path)))};
    }
    if (!sheetSeen)
        return {failure(QStringLiteral("文件 %1 没有完整写入").arg(shown(path)))};
    return {};
}

namespace {

DbError unreadable(const QString& path, const QString& why)
{
    return failure(QStringLiteral("文件 %1 无法读取（%2）").arg(shown(path), why));
}

}  // namespace

struct PackageReader::Parts {
    ZipReader zip;
    std::vector<Entry> entries;
    explicit Parts(const QString& path) : zip(path) {}
};

PackageReader::PackageReader(const QString& path, const PackageLimits& limits) : m_path(path), m_limits(limits) {}

PackageReader::~PackageReader() = default;

DbStatus PackageReader::open()
{
    m_parts = std::make_unique<Parts>(m_path);
    auto listed = listEntries(m_parts->zip.get(), m_path, m_limits, unreadable);
    if (!listed.ok()) {
        m_parts.reset();
        return {listed.error};
    }
    m_parts->entries = std::move(listed.value);
    return {};
}

QStringList PackageReader::partNames() const
{
    QStringList names;
    if (m_parts) {
        for (const Entry& e : m_parts->entries)
            names << QString::fromUtf8(e.name);
    }
    return names;
}

DbResult<QByteArray> PackageReader::part(const QString& name) const
{
    const Entry* e = m_parts ? findEntry(m_parts->entries, name.toUtf8()) : nullptr;
    if (!e)
        return DbResult<QByteArray>::failure(unreadable(m_path, QStringLiteral("缺少部件 %1").arg(name)));
    return readPart(m_parts->zip.get(), *e, m_limits.partBytes, m_path, unreadable);
}

}  // namespace quarvel::xlsx
