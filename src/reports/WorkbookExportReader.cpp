#include "reports/WorkbookExportReader.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QIODevice>
#include <QXmlStreamReader>

#include <unzip.h>

#include <algorithm>
#include <cmath>

namespace quarvel::xlsx {
namespace {

constexpr std::uint32_t kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
constexpr std::uint32_t kProgressRows = 500;  // rows of a sheet between progress reports

// One part of the package, read as it is inflated.
class ZipEntry final : public QIODevice {
public:
    explicit ZipEntry(unzFile zip) : m_zip(zip) { QIODevice::open(QIODevice::ReadOnly); }
    ~ZipEntry() override { unzCloseCurrentFile(m_zip); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const int n = unzReadCurrentFile(m_zip, data, unsigned(std::min<qint64>(maxSize, 1 << 20)));
        return n < 0 ? -1 : n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    unzFile m_zip;
};

bool isTrue(QStringView value) { return value != u"0" && value != u"false"; }

std::uint32_t colourOf(const QXmlStreamAttributes& a)
{
    const QStringView rgb = a.value(QLatin1String("rgb"));
    if (rgb.size() != 8 && rgb.size() != 6)
        return kNoColour;
    bool ok = false;
    const uint value = rgb.toUInt(&ok, 16);
    return ok ? (value & 0xFFFFFFu) : kNoColour;
}

int borderStyleOf(QStringView name)
{
    static const char16_t* const names[] = {u"thin",        u"medium",        u"dashed",     u"dotted",
                                            u"thick",       u"double",        u"hair",       u"mediumDashed",
                                            u"dashDot",     u"mediumDashDot", u"dashDotDot", u"mediumDashDotDot",
                                            u"slantDashDot"};
    for (int i = 0; i < int(std::size(names)); ++i) {
        if (name == QStringView(names[i]))
            return i + 1;
    }
    return 0;
}

int horizontalOf(QStringView name)
{
    static const char16_t* const names[] = {u"left",    u"center",           u"right",      u"fill",
                                            u"justify", u"centerContinuous", u"distributed"};
    for (int i = 0; i < int(std::size(names)); ++i) {
        if (name == QStringView(names[i]))
            return i + 1;  // left is the writer's first horizontal code
    }
    return 0;
}

int verticalOf(QStringView name)
{
    static const char16_t* const names[] = {u"top", u"bottom", u"center", u"justify", u"distributed"};
    for (int i = 0; i < int(std::size(names)); ++i) {
        if (name == QStringView(names[i]))
            return 8 + i;  // top is the writer's first vertical code
    }
    return 0;
}

int underlineOf(const QXmlStreamAttributes& a)
{
    const QStringView v = a.value(QLatin1String("val"));
    if (v.isEmpty() || v == u"single")
        return 1;
    if (v == u"double")
        return 2;
    if (v == u"singleAccounting")
        return 3;
    if (v == u"doubleAccounting")
        return 4;
    return 0;
}

// "AB12" → column 27, row 11 (both counted from 0); false when it is no cell reference.
bool parseReference(QStringView ref, std::uint32_t* row, int* col)
{
    qsizetype i = 0;
    int c = 0;
    while (i < ref.size() && ref.at(i) >= u'A' && ref.at(i) <= u'Z') {
        c = c * 26 + (ref.at(i).unicode() - u'A' + 1);
        if (c > kMaxColumns)
            return false;
        ++i;
    }
    if (i == 0 || i == ref.size())
        return false;
    bool ok = false;
    const uint r = ref.mid(i).toUInt(&ok);
    if (!ok || r == 0 || r > kMaxRows)
        return false;
    *row = r - 1;
    *col = c - 1;
    return true;
}

// The texts of the "t" elements of a string item ("si" or "is"), runs joined, phonetic
// readings left out. The reader stands on the item's start; ends on its end.
std::string itemText(QXmlStreamReader& xml)
{
    QString text;
    while (xml.readNextStartElement()) {
        if (xml.name() == u"t") {
            text += xml.readElementText();
        } else if (xml.name() == u"r") {
            while (xml.readNextStartElement()) {
                if (xml.name() == u"t")
                    text += xml.readElementText();
                else
                    xml.skipCurrentElement();
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    return text.toStdString();
}

struct Font {
    QString name;
    double size = 0;
    bool bold = false, italic = false, strike = false;
    int underline = 0;
    std::uint32_t colour = kNoColour;
};

struct Border {
    int style[4] = {};
    std::uint32_t colour[4] = {kNoColour, kNoColour, kNoColour, kNoColour};
};

Font readFont(QXmlStreamReader& xml)
{
    Font f;
    while (xml.readNextStartElement()) {
        const QXmlStreamAttributes a = xml.attributes();
        const QStringView n = xml.name();
        if (n == u"b")
            f.bold = isTrue(a.value(QLatin1String("val")));
        else if (n == u"i")
            f.italic = isTrue(a.value(QLatin1String("val")));
        else if (n == u"strike")
            f.strike = isTrue(a.value(QLatin1String("val")));
        else if (n == u"u")
            f.underline = underlineOf(a);
        else if (n == u"sz")
            f.size = a.value(QLatin1String("val")).toDouble();
        else if (n == u"color")
            f.colour = colourOf(a);
        else if (n == u"name")
            f.name = a.value(QLatin1String("val")).toString();
        xml.skipCurrentElement();
    }
    return f;
}

std::uint32_t readFill(QXmlStreamReader& xml)
{
    std::uint32_t colour = kNoColour;
    while (xml.readNextStartElement()) {
        if (xml.name() == u"patternFill" && xml.attributes().value(QLatin1String("patternType")) == u"solid") {
            while (xml.readNextStartElement()) {
                if (xml.name() == u"fgColor")
                    colour = colourOf(xml.attributes());
                xml.skipCurrentElement();
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    return colour;
}

Border readBorder(QXmlStreamReader& xml)
{
    Border b;
    while (xml.readNextStartElement()) {
        const QStringView n = xml.name();
        const int side = n == u"left" || n == u"start"  ? 0
                         : n == u"right" || n == u"end" ? 1
                         : n == u"top"                  ? 2
                         : n == u"bottom"               ? 3
                                                        : -1;
        if (side < 0) {
            xml.skipCurrentElement();
            continue;
        }
        b.style[side] = borderStyleOf(xml.attributes().value(QLatin1String("style")));
        while (xml.readNextStartElement()) {
            if (xml.name() == u"color")
                b.colour[side] = colourOf(xml.attributes());
            xml.skipCurrentElement();
        }
    }
    return b;
}

// The children of the element the reader stands on, each handed to `each`, which must read
// it to its end.
template <class Each>
void forEachChild(QXmlStreamReader& xml, QStringView childName, Each each)
{
    while (xml.readNextStartElement()) {
        if (xml.name() == childName)
            each();
        else
            xml.skipCurrentElement();
    }
}

}  // namespace

class WorkbookReader::Package {
public:
    explicit Package(unzFile zip) : m_zip(zip) {}
    ~Package() { unzClose(m_zip); }

    // The part, open for reading; null when the package has no such part.
    std::unique_ptr<QIODevice> part(const QString& name)
    {
        if (unzLocateFile(m_zip, name.toUtf8().constData(), 1) != UNZ_OK || unzOpenCurrentFile(m_zip) != UNZ_OK)
            return nullptr;
        return std::make_unique<ZipEntry>(m_zip);
    }

    qint64 size(const QString& name) const
    {
        unz_file_info64 info{};
        if (unzLocateFile(m_zip, name.toUtf8().constData(), 1) != UNZ_OK
            || unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return 0;
        return qint64(info.uncompressed_size);
    }

private:
    unzFile m_zip;
};

namespace {

struct Relation {
    QString type;    // the last segment of the relation's type ("worksheet", "styles", ...)
    QString target;  // the part's name inside the package
};

// The relations of a part, by id; targets resolved against the part's folder.
QHash<QString, Relation> readRelations(QIODevice* device, const QString& sourceFolder, QString* error)
{
    QHash<QString, Relation> relations;
    if (!device)
        return relations;
    QXmlStreamReader xml(device);
    if (xml.readNextStartElement()) {
        forEachChild(xml, u"Relationship", [&] {
            const QXmlStreamAttributes a = xml.attributes();
            const QString target = a.value(QLatin1String("Target")).toString();
            Relation r;
            r.type = a.value(QLatin1String("Type")).toString().section(u'/', -1);
            if (target.startsWith(u'/'))
                r.target = target.mid(1);
            else
                r.target = QDir::cleanPath(sourceFolder.isEmpty() ? target : sourceFolder + u'/' + target);
            relations.insert(a.value(QLatin1String("Id")).toString(), r);
            xml.skipCurrentElement();
        });
    }
    if (xml.hasError())
        *error = xml.errorString();
    return relations;
}

QString folderOf(const QString& part)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    return slash < 0 ? QString() : part.left(slash);
}

QString relationsOf(const QString& part)
{
    const QString folder = folderOf(part);
    const QString file = part.mid(folder.isEmpty() ? 0 : folder.size() + 1);
    return (folder.isEmpty() ? QString() : folder + u'/') + QStringLiteral("_rels/") + file + QStringLiteral(".rels");
}

}  // namespace

WorkbookReader::~WorkbookReader() = default;

double WorkbookReader::writerWidth(double stored)
{
    // The writer stores a width w of 1 or more as whole pixels (7 a character) plus 5 pixels of
    // padding, and a width below 1 as pixels of 12 a character.
    const double pixels = std::round(stored * 7);
    if (pixels <= 0)
        return 0;
    return pixels < 12 ? pixels / 12 : (pixels - 5) / 7;
}

DbResult<std::shared_ptr<WorkbookReader>> WorkbookReader::open(const QString& path)
{
    using Result = DbResult<std::shared_ptr<WorkbookReader>>;
    const auto fail = [&](const QString& why) {
        return Result::failure(
            DbError::make(-1, QStringLiteral("无法读取工作簿 %1：%2").arg(QDir::toNativeSeparators(path), why)));
    };
    unzFile zip = unzOpen64(QFile::encodeName(path).constData());
    if (!zip)
        return fail(QStringLiteral("不是有效的Excel工作簿（.xlsx）文件"));
    std::shared_ptr<WorkbookReader> book(new WorkbookReader);
    book->m_package = std::make_unique<Package>(zip);
    book->m_path = path;
    Package& package = *book->m_package;

    // The package names its workbook part; "xl/workbook.xml" by convention.
    QString error;
    QString workbookPart = QStringLiteral("xl/workbook.xml");
    for (const Relation& r : readRelations(package.part(QStringLiteral("_rels/.rels")).get(), {}, &error)) {
        if (r.type == u"officeDocument")
            workbookPart = r.target;
    }
    const QHash<QString, Relation> relations = readRelations(package.part(relationsOf(workbookPart)).get(),
                                                             folderOf(workbookPart), &error);
    if (!error.isEmpty())
        return fail(error);

    {
        const std::unique_ptr<QIODevice> device = package.part(workbookPart);
        if (!device)
            return fail(QStringLiteral("不是有效的Excel工作簿（.xlsx）文件"));
        QXmlStreamReader xml(device.get());
        if (xml.readNextStartElement()) {
            forEachChild(xml, u"sheets", [&] {
                forEachChild(xml, u"sheet", [&] {
                    const QXmlStreamAttributes a = xml.attributes();
                    SheetEntry sheet;
                    sheet.name = a.value(QLatin1String("name")).toString();
                    sheet.hidden = a.hasAttribute(QLatin1String("state"))
                                   && a.value(QLatin1String("state")) != u"visible";
                    QString id;
                    for (const QXmlStreamAttribute& attribute : a) {
                        if (attribute.name() == u"id")
                            id = attribute.value().toString();
                    }
                    const Relation r = relations.value(id);
                    if (r.type == u"worksheet")
                        sheet.part = r.target;
                    book->m_sheets.push_back(std::move(sheet));
                    xml.skipCurrentElement();
                });
            });
        }
        if (xml.hasError())
            return fail(xml.errorString());
    }

    for (const Relation& r : relations) {
        if (r.type == u"sharedStrings") {
            const std::unique_ptr<QIODevice> device = package.part(r.target);
            if (!device)
                continue;
            QXmlStreamReader xml(device.get());
            if (xml.readNextStartElement()) {
                if (const qint64 count = xml.attributes().value(QLatin1String("uniqueCount")).toLongLong(); count > 0)
                    book->m_shared.reserve(std::size_t(std::min<qint64>(count, 1 << 24)));
                forEachChild(xml, u"si", [&] { book->m_shared.push_back(itemText(xml)); });
            }
            if (xml.hasError())
                return fail(xml.errorString());
        } else if (r.type == u"styles") {
            const std::unique_ptr<QIODevice> device = package.part(r.target);
            if (!device)
                continue;
            QXmlStreamReader xml(device.get());
            QHash<int, QString> formats;
            std::vector<Font> fonts;
            std::vector<std::uint32_t> fills;
            std::vector<Border> borders;
            if (xml.readNextStartElement()) {
                while (xml.readNextStartElement()) {
                    const QStringView n = xml.name();
                    if (n == u"numFmts") {
                        forEachChild(xml, u"numFmt", [&] {
                            const QXmlStreamAttributes a = xml.attributes();
                            formats.insert(a.value(QLatin1String("numFmtId")).toInt(),
                                           a.value(QLatin1String("formatCode")).toString());
                            xml.skipCurrentElement();
                        });
                    } else if (n == u"fonts") {
                        forEachChild(xml, u"font", [&] { fonts.push_back(readFont(xml)); });
                    } else if (n == u"fills") {
                        forEachChild(xml, u"fill", [&] { fills.push_back(readFill(xml)); });
                    } else if (n == u"borders") {
                        forEachChild(xml, u"border", [&] { borders.push_back(readBorder(xml)); });
                    } else if (n == u"cellXfs") {
                        forEachChild(xml, u"xf", [&] {
                            const QXmlStreamAttributes a = xml.attributes();
                            CellStyle s;
                            s.numberFormatId = a.value(QLatin1String("numFmtId")).toInt();
                            s.numberFormat = formats.value(s.numberFormatId);
                            const auto font = std::size_t(a.value(QLatin1String("fontId")).toUInt());
                            if (font < fonts.size()) {
                                const Font& f = fonts[font];
                                s.fontName = f.name;
                                s.fontSize = f.size;
                                s.bold = f.bold;
                                s.italic = f.italic;
                                s.strike = f.strike;
                                s.underline = f.underline;
                                s.fontColour = f.colour;
                            }
                            if (const auto fill = std::size_t(a.value(QLatin1String("fillId")).toUInt());
                                fill < fills.size())
                                s.fillColour = fills[fill];
                            if (const auto border = std::size_t(a.value(QLatin1String("borderId")).toUInt());
                                border < borders.size()) {
                                const Border& b = borders[border];
                                s.borderLeft = b.style[0];
                                s.borderRight = b.style[1];
                                s.borderTop = b.style[2];
                                s.borderBottom = b.style[3];
                                std::copy(std::begin(b.colour), std::end(b.colour), std::begin(s.borderColour));
                            }
                            forEachChild(xml, u"alignment", [&] {
                                const QXmlStreamAttributes al = xml.attributes();
                                s.horizontal = horizontalOf(al.value(QLatin1String("horizontal")));
                                s.vertical = verticalOf(al.value(QLatin1String("vertical")));
                                s.wrap = isTrue(al.value(QLatin1String("wrapText")))
                                         && al.hasAttribute(QLatin1String("wrapText"));
                                s.indent = al.value(QLatin1String("indent")).toInt();
                                xml.skipCurrentElement();
                            });
                            book->m_styles.push_back(std::move(s));
                        });
                    } else {
                        xml.skipCurrentElement();
                    }
                }
            }
            if (xml.hasError())
                return fail(xml.errorString());
        }
    }
    return {std::move(book), {}};
}

qint64 WorkbookReader::partSize(const SheetEntry& entry) const
{
    return entry.part.isEmpty() ? 0 : m_package->size(entry.part);
}

DbResult<KeptSheet> WorkbookReader::readSheet(const SheetEntry& entry, const ReadProgress& progress)
{
    using Result = DbResult<KeptSheet>;
    KeptSheet sheet;
    if (entry.part.isEmpty())
        return {std::move(sheet), {}};
    const std::unique_ptr<QIODevice> device = m_package->part(entry.part);
    if (!device)
        return Result::failure(DbError::make(
            -1, QStringLiteral("无法读取工作簿 %1：缺少工作表 %2").arg(QDir::toNativeSeparators(m_path), entry.name)));
    const auto styleOf = [&](QStringView index) {
        const int s = index.toInt();
        return s > 0 && std::size_t(s) < m_styles.size() ? s : 0;
    };
    QXmlStreamReader xml(device.get());
    bool stopped = false;
    if (xml.readNextStartElement()) {
        while (xml.readNextStartElement()) {
            const QStringView n = xml.name();
            if (n == u"cols") {
                forEachChild(xml, u"col", [&] {
                    const QXmlStreamAttributes a = xml.attributes();
                    KeptColumns c;
                    c.first = std::clamp(a.value(QLatin1String("min")).toInt() - 1, 0, kMaxColumns - 1);
                    c.last = std::clamp(a.value(QLatin1String("max")).toInt() - 1, c.first, kMaxColumns - 1);
                    if (a.hasAttribute(QLatin1String("width")))
                        c.width = writerWidth(a.value(QLatin1String("width")).toDouble());
                    c.hidden = isTrue(a.value(QLatin1String("hidden"))) && a.hasAttribute(QLatin1String("hidden"));
                    c.style = a.hasAttribute(QLatin1String("style")) ? styleOf(a.value(QLatin1String("style"))) : -1;
                    sheet.columns.push_back(c);
                    xml.skipCurrentElement();
                });
            } else if (n == u"sheetData") {
                std::uint32_t nextRow = 0;
                std::uint32_t rowsRead = 0;
                forEachChild(xml, u"row", [&] {
                    if (progress && ++rowsRead % kProgressRows == 0 && !progress(xml.characterOffset())) {
                        stopped = true;
                        xml.raiseError(QStringLiteral("stopped"));
                        return;
                    }
                    const QXmlStreamAttributes ra = xml.attributes();
                    std::uint32_t row = nextRow;
                    if (const uint r = ra.value(QLatin1String("r")).toUInt(); r > 0 && r <= kMaxRows)
                        row = r - 1;
                    nextRow = row + 1;
                    KeptRow kept;
                    kept.row = row;
                    if (isTrue(ra.value(QLatin1String("customHeight")))
                        && ra.hasAttribute(QLatin1String("customHeight")))
                        kept.height = ra.value(QLatin1String("ht")).toDouble();
                    kept.hidden = isTrue(ra.value(QLatin1String("hidden"))) && ra.hasAttribute(QLatin1String("hidden"));
                    if (isTrue(ra.value(QLatin1String("customFormat")))
                        && ra.hasAttribute(QLatin1String("customFormat")))
                        kept.style = styleOf(ra.value(QLatin1String("s")));
                    if (kept.height >= 0 || kept.hidden || kept.style >= 0)
                        sheet.rows.push_back(kept);
                    int nextCol = 0;
                    forEachChild(xml, u"c", [&] {
                        const QXmlStreamAttributes ca = xml.attributes();
                        KeptCell cell;
                        cell.row = row;
                        int col = nextCol;
                        std::uint32_t refRow = row;
                        if (ca.hasAttribute(QLatin1String("r"))
                            && parseReference(ca.value(QLatin1String("r")), &refRow, &col))
                            cell.row = refRow;
                        nextCol = col + 1;
                        cell.col = std::uint16_t(col);
                        cell.style = styleOf(ca.value(QLatin1String("s")));
                        const QString type = ca.value(QLatin1String("t")).toString();
                        QString value;
                        bool hasValue = false;
                        std::string inlineText;
                        bool hasInline = false;
                        while (xml.readNextStartElement()) {
                            if (xml.name() == u"v") {
                                value = xml.readElementText();
                                hasValue = true;
                            } else if (xml.name() == u"is") {
                                inlineText = itemText(xml);
                                hasInline = true;
                            } else {
                                xml.skipCurrentElement();  // the formula itself: its last value stays
                            }
                        }
                        const auto sheetText = [&](std::string text) {
                            cell.kind = KeptCell::Kind::SheetText;
                            cell.text = std::int32_t(sheet.texts.size());
                            sheet.texts.push_back(std::move(text));
                        };
                        if (type == u"inlineStr") {
                            if (hasInline)
                                sheetText(std::move(inlineText));
                        } else if (!hasValue) {
                            // a blank cell, kept for its format
                        } else if (type == u"s") {
                            bool ok = false;
                            const uint index = value.toUInt(&ok);
                            if (ok && index < m_shared.size()) {
                                cell.kind = KeptCell::Kind::SharedText;
                                cell.text = std::int32_t(index);
                            }
                        } else if (type == u"b") {
                            cell.kind = KeptCell::Kind::Boolean;
                            cell.number = isTrue(value) ? 1 : 0;
                        } else if (type == u"str" || type == u"e" || type == u"d") {
                            sheetText(value.toStdString());
                        } else {
                            bool ok = false;
                            const double number = value.toDouble(&ok);
                            if (ok && std::isfinite(number)) {
                                cell.kind = KeptCell::Kind::Number;
                                cell.number = number;
                            }
                        }
                        if (cell.kind != KeptCell::Kind::Blank || cell.style > 0)
                            sheet.cells.push_back(cell);
                    });
                });
            } else if (n == u"mergeCells") {
                forEachChild(xml, u"mergeCell", [&] {
                    const QStringView ref = xml.attributes().value(QLatin1String("ref"));
                    const qsizetype colon = ref.indexOf(u':');
                    KeptMerge m;
                    int c1 = 0, c2 = 0;
                    if (colon > 0 && parseReference(ref.left(colon), &m.firstRow, &c1)
                        && parseReference(ref.mid(colon + 1), &m.lastRow, &c2) && m.firstRow <= m.lastRow && c1 <= c2) {
                        m.firstCol = std::uint16_t(c1);
                        m.lastCol = std::uint16_t(c2);
                        sheet.merges.push_back(m);
                    }
                    xml.skipCurrentElement();
                });
            } else {
                xml.skipCurrentElement();
            }
        }
    }
    if (stopped)
        return Result::failure(DbError::make(kReadStopped, QStringLiteral("读取已停止")));
    if (progress && !progress(xml.characterOffset()))
        return Result::failure(DbError::make(kReadStopped, QStringLiteral("读取已停止")));
    if (xml.hasError())
        return Result::failure(
            DbError::make(-1, QStringLiteral("无法读取工作簿 %1：工作表 %2：%3")
                                  .arg(QDir::toNativeSeparators(m_path), entry.name, xml.errorString())));
    // Cells normally come in order; a workbook that lists them otherwise is put in order.
    const auto before = [](const KeptCell& a, const KeptCell& b) {
        return a.row != b.row ? a.row < b.row : a.col < b.col;
    };
    if (!std::is_sorted(sheet.cells.begin(), sheet.cells.end(), before))
        std::stable_sort(sheet.cells.begin(), sheet.cells.end(), before);
    std::sort(sheet.rows.begin(), sheet.rows.end(), [](const KeptRow& a, const KeptRow& b) { return a.row < b.row; });
    std::sort(sheet.merges.begin(), sheet.merges.end(),
              [](const KeptMerge& a, const KeptMerge& b) { return a.firstRow < b.firstRow; });
    return {std::move(sheet), {}};
}

}  // namespace quarvel::xlsx
