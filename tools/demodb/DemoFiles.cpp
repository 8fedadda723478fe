#include "demodb/DemoFiles.h"

#include "demodb/DemoRandom.h"

#include <QBuffer>
#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <xlsxwriter.h>

namespace quarvel::demo {
namespace {

QString u8(const char* text) { return QString::fromUtf8(text); }

QStringList u8List(std::initializer_list<const char*> texts)
{
    QStringList result;
    for (const char* t : texts)
        result.append(u8(t));
    return result;
}

// Sentences dealt from a shuffled deck, so that a document repeats none before all were used.
class SentenceDeck {
public:
    SentenceDeck(QStringList sentences, Random& random) : m_cards(std::move(sentences)), m_random(random) { shuffle(); }

    QString deal()
    {
        if (m_next >= m_cards.size()) {
            shuffle();
            m_next = 0;
        }
        return m_cards.at(m_next++);
    }

private:
    void shuffle()
    {
        for (qsizetype i = m_cards.size() - 1; i > 0; --i)
            m_cards.swapItemsAt(i, qsizetype(m_random.range(0, i)));
    }

    QStringList m_cards;
    Random& m_random;
    qsizetype m_next = 0;
};

// Sentences made of a subject, an action and an object, for variety in longer documents.
QStringList combinedSentences(const QStringList& subjects, const QStringList& actions, const QStringList& objects,
                              int count, Random& random)
{
    QStringList result;
    for (int i = 0; i < count; ++i) {
        const QString subject = subjects.at(qsizetype(random.range(0, subjects.size() - 1)));
        const QString action = actions.at(qsizetype(random.range(0, actions.size() - 1)));
        result.append(subject + action + objects.at(qsizetype(random.range(0, objects.size() - 1))) + QChar(0x3002));
    }
    return result;
}

QStringList ruleSentences(const QString& name)
{
    QStringList s = u8List({
        "各部门负责人应组织本部门员工认真学习本规定，并在日常工作中严格执行。",
        "行政人事部负责本规定的解释、修订与监督检查，财务部予以配合。",
        "对违反本规定的行为，公司将视情节轻重给予通报批评、经济处罚或纪律处分。",
        "相关记录由责任部门妥善保存，保存期限不少于三年，以备查阅。",
        "执行过程中如遇特殊情况，应书面报分管领导审批后方可办理。",
        "员工对本规定有疑问或建议的，可通过部门负责人向行政人事部反映。",
        "各部门应于每季度末对本部门执行情况进行自查，并填写自查记录表。",
        "审批流程原则上通过公司办公系统办理，紧急情况可先口头请示后补办手续。",
        "涉及费用支出的事项，须符合年度预算安排，超预算部分须另行审批。",
        "本规定由公司总经理办公会审议通过，自发布之日起施行。",
    });
    s.prepend(u8("为规范公司%1相关工作，明确各部门职责，提高管理效率，特制定本规定。").arg(name));
    s.append(u8("本规定适用于公司各部门及全体员工，派驻外地的办事处参照执行。"));
    return s;
}

QStringList technicalSentences(const QString& name, Random& random)
{
    QStringList s = u8List({
        "安装前应确认现场电源、接地与环境温度符合要求，严禁带电接线。",
        "设备首次运行前应进行空载试运行，确认各项指示正常后方可加载。",
        "操作人员须经培训考核合格后持证上岗，并严格遵守安全操作规程。",
        "定期检查紧固件、连接线及密封件，发现松动或老化应及时处理。",
        "设备长期停用时，应切断电源并做好防潮、防尘措施。",
        "出现异常声响、异味或报警时，应立即停机并通知设备科检修。",
        "图纸中未注尺寸公差按GB/T 1804-m执行，未注形位公差按GB/T 1184-K执行。",
        "焊缝应均匀连续，不得有裂纹、夹渣、气孔等缺陷，焊后清除焊渣与飞溅。",
    });
    s.prepend(u8("本文件为%1，适用于公司QV系列产品的生产、安装与维护。").arg(name));
    s.append(u8("额定电压：AC 220V ±10%，额定功率：%1W，防护等级：IP%2，工作温度：-10°C～+%3°C。")
                 .arg(random.range(200, 3000))
                 .arg(random.range(54, 67))
                 .arg(random.range(40, 60)));
    s.append(u8("主要尺寸：长%1mm × 宽%2mm × 高%3mm，整机重量约%4kg。")
                 .arg(random.range(300, 1200))
                 .arg(random.range(200, 800))
                 .arg(random.range(150, 900))
                 .arg(random.range(5, 180)));
    return s;
}

QStringList salesSentences(const QString& name, Random& random)
{
    QStringList s = u8List({
        "华东地区仍是公司最重要的市场，重点客户集中在上海、南京、杭州三地。",
        "主要竞争对手加大了价格促销力度，中低端产品的价格竞争明显加剧。",
        "客户对交货周期和售后响应速度的关注度持续上升。",
        "建议加强与重点客户的技术交流，提供定制化的解决方案。",
        "新产品在展会上反响良好，已有多家客户提出试用申请。",
        "应收账款回收情况总体良好，个别客户回款周期偏长，需重点跟踪。",
        "合同签订前须经法务审核，付款方式、质保期限与违约责任须约定明确。",
        "销售人员应及时更新客户拜访记录，每周例会前提交周报。",
    });
    s.prepend(u8("本资料为%1，供营销中心内部参考使用，请勿外传。").arg(name));
    s.append(u8("本期实现销售收入约%1万元，同比增长%2%，新增客户%3家。")
                 .arg(random.range(300, 5000))
                 .arg(random.range(2, 35))
                 .arg(random.range(3, 40)));
    return s;
}

QStringList qualitySentences(const QString& name)
{
    QStringList s = u8List({
        "质量管理部负责本程序的制定、修订与监督实施。",
        "各相关部门按职责分工执行本程序，并保存相应的质量记录。",
        "发现不合格品时，检验员应立即标识、隔离，并填写不合格品报告单。",
        "纠正措施实施后，由质量管理部验证其有效性并关闭记录。",
        "内部审核每年至少进行一次，覆盖质量管理体系的全部过程与部门。",
        "文件发布前须经审核、批准，作废文件应及时收回并加盖作废章。",
        "质量目标每季度统计一次，未达成的目标须分析原因并制定改进计划。",
    });
    s.prepend(u8("为确保%1得到有效控制，满足ISO 9001:2015标准要求，特制定本程序。").arg(name));
    return s;
}

QStringList minutesSentences(Random& random)
{
    QStringList s = u8List({
        "会议听取了各部门上月工作总结及本月工作计划的汇报。",
        "营销中心通报了销售目标完成情况及重点项目进展。",
        "生产中心汇报了订单交付情况，个别订单因物料短缺有所延迟。",
        "技术研发中心介绍了新产品的研发进度，计划下月完成样机试制。",
        "财务部通报了费用预算执行情况，要求各部门严格控制非生产性支出。",
        "会议决定成立专项工作小组，由营销中心牵头，相关部门配合。",
        "会议要求各部门加强安全生产检查，确保节假日期间安全稳定。",
        "请行政人事部于本周五前完成会议决议的督办分解。",
    });
    s.append(u8("本次会议共形成决议%1项，请各责任部门按期落实。").arg(random.range(3, 9)));
    return s;
}

QStringList generalSentences(const QString& name)
{
    QStringList s = u8List({
        "本资料由责任部门整理，内容如有变更以最新版本为准。",
        "请相关人员认真阅读，并在工作中参照执行。",
        "如有疑问，请与资料上传人或所在部门负责人联系。",
        "本资料仅供公司内部使用，未经许可不得复制或外传。",
    });
    s.prepend(u8("本文件为%1的正文。").arg(name));
    return s;
}

// Two to four paragraphs per section, three to five sentences each.
QStringList paragraphsFrom(SentenceDeck& deck, Random& random)
{
    QStringList result;
    const int paragraphs = int(random.range(2, 4));
    for (int p = 0; p < paragraphs; ++p) {
        QString paragraph;
        const int sentences = int(random.range(3, 5));
        for (int n = 0; n < sentences; ++n)
            paragraph += deck.deal();
        result.append(paragraph);
    }
    return result;
}

// Writes one line of text, wrapped within width, at y; returns the height used.
int drawWrapped(QPainter& painter, int x, int y, int width, const QString& text, int flags)
{
    const QRect bound = painter.boundingRect(QRect(x, y, width, 100000), flags | Qt::TextWordWrap, text);
    painter.drawText(QRect(x, y, width, bound.height()), flags | Qt::TextWordWrap, text);
    return bound.height();
}

}  // namespace

DocumentText composeDocumentText(const QString& name, const QString& topCode, const QString& subtitle, Random& random)
{
    DocumentText doc;
    doc.title = name;
    doc.subtitle = subtitle;
    QStringList headings;
    QStringList pool;
    if (topCode == QLatin1String("01")) {
        headings = u8List({"第一章 总则", "第二章 职责分工", "第三章 管理要求", "第四章 检查与考核", "第五章 附则"});
        pool = ruleSentences(name);
    } else if (topCode == QLatin1String("02")) {
        headings =
            u8List({"一、概述", "二、技术参数", "三、安装与调试", "四、操作说明", "五、维护保养", "六、注意事项"});
        pool = technicalSentences(name, random);
    } else if (topCode == QLatin1String("03")) {
        headings = u8List({"一、背景", "二、市场概况", "三、主要发现", "四、工作建议"});
        pool = salesSentences(name, random);
    } else if (topCode == QLatin1String("04")) {
        headings = u8List({"1 目的", "2 适用范围", "3 职责", "4 工作程序", "5 相关记录"});
        pool = qualitySentences(name);
    } else if (topCode == QLatin1String("05")) {
        headings = u8List({"一、会议时间与地点", "二、参会人员", "三、会议议题", "四、会议决议", "五、后续安排"});
        pool = minutesSentences(random);
    } else {
        headings = u8List({"一、说明", "二、正文", "三、附注"});
        pool = generalSentences(name);
    }
    // The opening sentence of each pool introduces the document; the rest are dealt.
    const QString opening = pool.isEmpty() ? QString() : pool.takeFirst();
    pool += combinedSentences(u8List({"各部门负责人", "部门经理", "行政人事部", "财务部", "质量管理部", "技术研发中心",
                                      "相关责任人", "全体员工"}),
                              u8List({"应认真做好", "负责组织", "应定期检查", "应及时上报", "须妥善保管", "应严格审核",
                                      "负责跟踪落实", "应按月汇总"}),
                              u8List({"相关工作记录", "审批单据", "执行情况", "培训计划", "考核结果", "费用支出",
                                      "文件资料", "整改措施", "客户反馈", "设备台账"}),
                              24, random);
    SentenceDeck deck(pool, random);
    for (const QString& heading : headings)
        doc.sections.append(TextSection{heading, paragraphsFrom(deck, random)});
    if (!doc.sections.isEmpty() && !doc.sections.first().paragraphs.isEmpty())
        doc.sections.first().paragraphs.first().prepend(opening);
    return doc;
}

FileFactory::FileFactory()
{
    const QStringList installed = QFontDatabase::families();
    for (const char* candidate : {"WenQuanYi Micro Hei", "WenQuanYi Zen Hei", "Noto Sans CJK SC", "Noto Sans SC",
                                  "Source Han Sans SC", "AR PL UMing CN", "Droid Sans Fallback"}) {
        const QString family = QString::fromLatin1(candidate);
        if (installed.contains(family, Qt::CaseInsensitive)) {
            m_family = family;
            break;
        }
    }
}

QByteArray FileFactory::pdf(const DocumentText& doc) const
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(150);
        writer.setTitle(doc.title);
        writer.setCreator(QStringLiteral("Quarvel"));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 20, 20, 20),
                                         QPageLayout::Millimeter));
        const QRect area = writer.pageLayout().paintRectPixels(writer.resolution());
        const int width = area.width();
        const int bottom = area.height() - 60;

        QFont titleFont(m_family);
        titleFont.setPointSize(20);
        titleFont.setBold(true);
        QFont headingFont(m_family);
        headingFont.setPointSize(14);
        headingFont.setBold(true);
        QFont bodyFont(m_family);
        bodyFont.setPointSize(11);
        QFont footFont(m_family);
        footFont.setPointSize(9);

        QPainter painter(&writer);
        int page = 1;
        auto footer = [&] {
            painter.setFont(footFont);
            painter.setPen(Qt::darkGray);
            painter.drawLine(0, area.height() - 45, width, area.height() - 45);
            painter.drawText(QRect(0, area.height() - 40, width, 40), Qt::AlignCenter,
                             QStringLiteral("%1 · 第 %2 页").arg(doc.title, QString::number(page)));
            painter.setPen(Qt::black);
        };
        auto newPage = [&] {
            footer();
            writer.newPage();
            ++page;
        };

        int y = 0;
        painter.setFont(titleFont);
        y += drawWrapped(painter, 0, y, width, doc.title, Qt::AlignHCenter) + 20;
        painter.setFont(footFont);
        y += drawWrapped(painter, 0, y, width, doc.subtitle, Qt::AlignHCenter) + 10;
        painter.setPen(QPen(QColor(160, 30, 30), 3));
        painter.drawLine(0, y, width, y);
        painter.setPen(Qt::black);
        y += 30;

        for (qsizetype i = 0; i < doc.sections.size(); ++i) {
            // Two sections a page keeps every document a few pages long.
            if (i > 0 && i % 2 == 0) {
                newPage();
                y = 0;
            }
            const TextSection& section = doc.sections.at(i);
            painter.setFont(headingFont);
            y += drawWrapped(painter, 0, y, width, section.heading, Qt::AlignLeft) + 15;
            painter.setFont(bodyFont);
            for (const QString& paragraph : section.paragraphs) {
                const QString indented = QStringLiteral("\u3000\u3000") + paragraph;
                const int height =
                    painter.boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap, indented).height();
                if (y + height > bottom) {
                    newPage();
                    y = 0;
                    painter.setFont(bodyFont);
                }
                y += drawWrapped(painter, 0, y, width, indented, Qt::AlignLeft) + 12;
            }
            y += 20;
        }
        footer();
        painter.end();
    }
    return buffer.data();
}

QByteArray FileFactory::png(const QString& title, PictureKind kind, const QStringList& labels,
                            const QList<int>& values) const
{
    QImage image(960, 600, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont titleFont(m_family);
    titleFont.setPixelSize(28);
    titleFont.setBold(true);
    QFont labelFont(m_family);
    labelFont.setPixelSize(16);
    painter.setFont(titleFont);
    painter.drawText(QRect(0, 15, image.width(), 40), Qt::AlignCenter, title);
    painter.setFont(labelFont);

    const QColor accent(40, 90, 160);
    switch (kind) {
    case PictureKind::BarChart: {
        const QRect plot(90, 80, 820, 440);
        painter.setPen(QPen(Qt::black, 2));
        painter.drawLine(plot.bottomLeft(), plot.bottomRight());
        painter.drawLine(plot.bottomLeft(), plot.topLeft());
        int largest = 1;
        for (int v : values)
            largest = qMax(largest, v);
        // Round the scale up to a multiple of 40 (or 400) above the largest bar.
        const int unit = largest >= 400 ? 400 : 40;
        const int maximum = (largest * 11 / 10 / unit + 1) * unit;
        for (int step = 1; step <= 4; ++step) {
            const int gy = plot.bottom() - plot.height() * step / 4;
            painter.setPen(QPen(Qt::lightGray, 1, Qt::DashLine));
            painter.drawLine(plot.left(), gy, plot.right(), gy);
            painter.setPen(Qt::darkGray);
            painter.drawText(QRect(0, gy - 10, plot.left() - 8, 20), Qt::AlignRight | Qt::AlignVCenter,
                             QString::number(maximum * step / 4));
        }
        const qsizetype count = qMax<qsizetype>(1, values.size());
        const int slot = plot.width() / int(count);
        for (qsizetype i = 0; i < values.size(); ++i) {
            const int height = plot.height() * values.at(i) / maximum;
            const QRect bar(plot.left() + int(i) * slot + slot / 5, plot.bottom() - height, slot * 3 / 5, height);
            painter.fillRect(bar, i % 2 ? accent.lighter(140) : accent);
            painter.setPen(Qt::black);
            painter.drawText(QRect(bar.left() - 20, bar.top() - 24, bar.width() + 40, 20), Qt::AlignCenter,
                             QString::number(values.at(i)));
            if (i < labels.size())
                painter.drawText(QRect(plot.left() + int(i) * slot, plot.bottom() + 8, slot, 24), Qt::AlignCenter,
                                 labels.at(i));
        }
        break;
    }
    case PictureKind::FlowChart: {
        const qsizetype count = qMax<qsizetype>(1, labels.size());
        const int boxHeight = 44;
        const int gap = qMax(12, (480 - int(count) * boxHeight) / int(count));
        int y = 80;
        for (qsizetype i = 0; i < labels.size(); ++i) {
            const QRect box(330, y, 300, boxHeight);
            painter.setPen(QPen(accent, 2));
            painter.setBrush(QColor(230, 238, 250));
            if (i == 0 || i == labels.size() - 1)
                painter.drawRoundedRect(box, 20, 20);
            else
                painter.drawRect(box);
            painter.setPen(Qt::black);
            painter.drawText(box, Qt::AlignCenter, labels.at(i));
            if (i + 1 < labels.size()) {
                const int x = box.center().x();
                const int y2 = y + boxHeight + gap;
                painter.setPen(QPen(Qt::black, 2));
                painter.drawLine(x, y + boxHeight, x, y2 - 2);
                QPainterPath head;
                head.moveTo(x, y2);
                head.lineTo(x - 7, y2 - 12);
                head.lineTo(x + 7, y2 - 12);
                head.closeSubpath();
                painter.fillPath(head, Qt::black);
            }
            y += boxHeight + gap;
        }
        break;
    }
    case PictureKind::Drawing: {
        painter.setPen(QPen(Qt::black, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(20, 65, 920, 515);
        const QRect part(180, 170, 520, 260);
        painter.setPen(QPen(Qt::black, 3));
        painter.drawRect(part);
        int index = 0;
        for (int v : values) {
            const int r = 12 + v % 30;
            const QPoint c(part.left() + 70 + (index % 4) * 125, part.top() + 70 + (index / 4) * 120);
            painter.drawEllipse(c, r, r);
            painter.setPen(QPen(Qt::red, 1, Qt::DashDotLine));
            painter.drawLine(c.x() - r - 10, c.y(), c.x() + r + 10, c.y());
            painter.drawLine(c.x(), c.y() - r - 10, c.x(), c.y() + r + 10);
            painter.setPen(QPen(Qt::black, 3));
            if (++index == 8)
                break;
        }
        painter.setPen(QPen(Qt::blue, 1));
        painter.drawLine(part.left(), part.bottom() + 40, part.right(), part.bottom() + 40);
        painter.drawText(QRect(part.left(), part.bottom() + 16, part.width(), 22), Qt::AlignCenter,
                         QStringLiteral("%1").arg(values.isEmpty() ? 520 : 400 + values.first()));
        painter.drawLine(part.right() + 40, part.top(), part.right() + 40, part.bottom());
        painter.setPen(Qt::black);
        const QRect block(640, 480, 300, 100);
        painter.drawRect(block);
        for (qsizetype i = 0; i < labels.size() && i < 4; ++i)
            painter.drawText(QRect(block.left() + 8, block.top() + 4 + int(i) * 24, block.width() - 16, 22),
                             Qt::AlignLeft | Qt::AlignVCenter, labels.at(i));
        break;
    }
    }
    painter.end();

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray FileFactory::text(const DocumentText& doc)
{
    QString out = doc.title + u'\n' + doc.subtitle + u'\n' + QString(24, QChar(0x2014)) + u'\n';
    for (const TextSection& section : doc.sections) {
        out += u'\n' + section.heading + u'\n';
        for (const QString& paragraph : section.paragraphs)
            out += QStringLiteral("\u3000\u3000") + paragraph + u'\n';
    }
    return out.toUtf8();
}

QByteArray FileFactory::xlsx(const SheetData& sheet, QString* error)
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        if (error)
            *error = QStringLiteral("cannot create a temporary folder for the workbook");
        return {};
    }
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("sheet.xlsx")));
    lxw_workbook* workbook = workbook_new(path.constData());
    if (!workbook) {
        if (error)
            *error = QStringLiteral("cannot create the workbook");
        return {};
    }
    lxw_worksheet* worksheet = workbook_add_worksheet(workbook, sheet.sheetName.toUtf8().constData());
    lxw_format* titleFormat = workbook_add_format(workbook);
    format_set_bold(titleFormat);
    format_set_font_size(titleFormat, 14);
    lxw_format* headerFormat = workbook_add_format(workbook);
    format_set_bold(headerFormat);
    format_set_bg_color(headerFormat, 0xD9E1F2);
    format_set_border(headerFormat, LXW_BORDER_THIN);
    lxw_format* cellFormat = workbook_add_format(workbook);
    format_set_border(cellFormat, LXW_BORDER_THIN);

    worksheet_write_string(worksheet, 0, 0, sheet.title.toUtf8().constData(), titleFormat);
    for (qsizetype c = 0; c < sheet.header.size(); ++c) {
        worksheet_write_string(worksheet, 2, lxw_col_t(c), sheet.header.at(c).toUtf8().constData(), headerFormat);
        worksheet_set_column(worksheet, lxw_col_t(c), lxw_col_t(c), c == 1 ? 22 : 12, nullptr);
    }
    for (qsizetype r = 0; r < sheet.rows.size(); ++r) {
        const QVariantList& row = sheet.rows.at(r);
        for (qsizetype c = 0; c < row.size(); ++c) {
            const QVariant& v = row.at(c);
            const auto cellRow = lxw_row_t(r + 3);
            const auto cellCol = lxw_col_t(c);
            if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::Double || v.typeId() == QMetaType::LongLong)
                worksheet_write_number(worksheet, cellRow, cellCol, v.toDouble(), cellFormat);
            else
                worksheet_write_string(worksheet, cellRow, cellCol, v.toString().toUtf8().constData(), cellFormat);
        }
    }
    const lxw_error status = workbook_close(workbook);
    if (status != LXW_NO_ERROR) {
        if (error)
            *error = QStringLiteral("cannot write the workbook: %1").arg(QString::fromUtf8(lxw_strerror(status)));
        return {};
    }
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return {};
    }
    return file.readAll();
}

QByteArray FileFactory::filler(const QString& title, qint64 size)
{
    QByteArray bytes;
    if (size <= 0)
        return bytes;
    bytes.reserve(size);
    bytes += (title + u'\n').toUtf8();
    qint64 line = 1;
    while (bytes.size() < size) {
        const QByteArray next = QStringLiteral("第%1行：本资料为系统测试用的大文件内容，用于检验传输与存储的性能。\n")
                                    .arg(line++, 8, 10, QLatin1Char('0'))
                                    .toUtf8();
        if (bytes.size() + next.size() > size)
            break;
        bytes += next;
    }
    if (bytes.size() > size)
        bytes.truncate(size);  // only when the title alone is longer than size
    while (bytes.size() < size)
        bytes += '.';
    return bytes;
}

}  // namespace quarvel::demo
