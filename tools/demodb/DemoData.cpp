#include "demodb/DemoData.h"

#include <QStringEncoder>

#include "db/Query.h"
#include "db/Schema.h"
#include "db/SqlDialect.h"
#include "demodb/DemoFiles.h"
#include "demodb/DemoFixed.h"
#include "demodb/DemoRandom.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <atomic>

namespace quarvel::demo {
namespace {

// Any failure while filling the database; caught by build().
struct Failure {
    QString message;
};

QString u8(const char* text) { return QString::fromUtf8(text); }

QVariant textOrNull(const char* text) { return text ? QVariant(QString::fromUtf8(text)) : QVariant(); }

QString stamp(const QDateTime& value) { return dialect::canonicalDateTime(value); }

// A fixed "yyyy-MM-dd" day as canonical text, or NULL.
QVariant dayOrNull(const char* day)
{
    if (!day)
        return {};
    return stamp(QDateTime(QDate::fromString(QLatin1String(day), Qt::ISODate), QTime(0, 0)));
}

// One prepared INSERT, reused for every row of its table.
class Insert {
public:
    Insert(const QSqlDatabase& db, const char* table, std::initializer_list<const char*> columns)
        : m_query(db), m_table(u8(table))
    {
        QStringList names;
        QStringList marks;
        for (const char* c : columns) {
            names.append(u8(c));
            marks.append(QStringLiteral("?"));
        }
        m_query.setForwardOnly(true);
        const QString sql =
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(m_table, names.join(u','), marks.join(u','));
        if (!m_query.prepare(sql))
            throw Failure{m_table + QStringLiteral(": ") + m_query.lastError().text()};
    }

    void operator()(std::initializer_list<QVariant> values)
    {
        for (const QVariant& v : values)
            m_query.addBindValue(v);
        if (!m_query.exec())
            throw Failure{m_table + QStringLiteral(": ") + m_query.lastError().text()};
    }

private:
    QSqlQuery m_query;
    QString m_table;
};

struct PositionInfo {
    QString code;
    QString name;
    QString department;
    bool open = true;
};

struct TypeInfo {
    QString code;
    QString name;
    QString top;  // code of the top-level ancestor
    bool leaf = true;
    bool voided = false;
};

struct DocumentInfo {
    QString number;
    QString name;
    QString type;
    QVariant summary;
    QString position;  // uploader's
    QDateTime uploaded;
};

struct RightInfo {
    int document;
    QString position;
    bool read;
    bool download;
};

const char* const kPlaces[] = {"北京", "天津", "上海", "重庆", "广州", "深圳", "杭州", "南京", "苏州", "成都",
                               "武汉", "西安", "长沙", "郑州", "济南", "青岛", "合肥", "福州", "厦门", "昆明"};
const char* const kUnits[] = {"分公司", "办事处", "业务部", "服务站", "仓储部", "销售组", "技术组", "客服组"};
const char* const kJobs[] = {"主管", "业务员", "专员", "技术员", "文员", "仓管员", "客服专员"};
const char* const kSurnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "周", "吴",
                                 "徐", "孙", "马", "朱", "胡", "郭", "何", "林", "罗", "高"};
// clang-format off
const char* const kGivenNames[] = {"伟", "芳", "娜", "敏", "静", "丽", "强", "磊", "军", "洋",
                                   "勇", "艳", "杰", "娟", "涛", "明", "超", "秀英", "志华", "建平"};
// clang-format on
const char* const kTypeWords[] = {"合同", "图纸", "报告", "方案", "标准", "记录", "手册", "规范",
                                  "总结", "计划", "通知", "报表", "台账", "预案", "协议"};
const char* const kDocumentWords[] = {"管理规定", "实施细则", "工作总结", "技术方案",
                                      "检验报告", "会议纪要", "操作规程", "统计报表"};

template <std::size_t N>
QString pickText(Random& random, const char* const (&list)[N])
{
    return u8(list[random.range(0, qint64(N) - 1)]);
}

class Builder {
public:
    Builder(const QSqlDatabase& db, const DemoSizes& sizes) : m_db(db), m_sizes(sizes), m_random(sizes.seed)
    {
        m_now = sizes.referenceTime.isValid() ? sizes.referenceTime : QDateTime::currentDateTime();
        m_now = QDateTime(m_now.date(), QTime(m_now.time().hour(), m_now.time().minute(), m_now.time().second()));
    }

    QString fontFamily() const { return m_files.fontFamily(); }

    void run()
    {
        categories();
        departments();
        positions();
        employees();
        menuPermissions();
        specialAudits();
        types();
        uploadRights();
        documents();
        downloadRights();
        downloadGroups();
        accessLog();
    }

private:
    void categories()
    {
        Insert department(m_db, "职能部门类别", {"部门类别代号", "部门类别名称"});
        for (const auto& c : fixed::departmentCategories())
            department({u8(c.code), u8(c.name)});
        Insert position(m_db, "岗位类别", {"岗位类别编号", "岗位类别名称"});
        for (const auto& c : fixed::positionCategories())
            position({u8(c.code), u8(c.name)});
    }

    void departments()
    {
        Insert department(m_db, "职能部门new", {"职能部门编号", "职能部门名称", "职能部门类别代号", "终止日期"});
        Insert parent(m_db, "上级部门new", {"职能部门编号", "上级部门编号", "起始日期"});
        for (const auto& d : fixed::departments()) {
            department({u8(d.code), u8(d.name), u8(d.category), dayOrNull(d.closed)});
            m_departmentNames.insert(u8(d.code), u8(d.name));
        }
        for (const auto& link : fixed::parentLinks())
            parent({u8(link.department), textOrNull(link.parent), dayOrNull(link.since)});

        // Generated departments: up to nine top departments "E1".."E9", then eight children
        // each, breadth first ("E1" -> "E101".."E108" -> "E10101"...).
        const qsizetype extra = qMax<qsizetype>(0, m_sizes.departments - qsizetype(fixed::departments().size()));
        QStringList made;
        auto add = [&](const QString& code, const QVariant& parentCode) {
            const QString place = pickText(m_random, kPlaces);
            const QString name = place + pickText(m_random, kUnits);
            const QString category = QStringLiteral("C%1").arg(m_random.range(1, 4));
            department({code, name, category, QVariant()});
            const int year = int(m_random.range(2016, 2023));
            const QDateTime since(QDate(year, int(m_random.range(1, 12)), 1), QTime(0, 0));
            parent({code, parentCode, stamp(since)});
            m_departmentNames.insert(code, name);
            made.append(code);
        };
        for (int r = 1; r <= 9 && made.size() < extra; ++r)
            add(QStringLiteral("E%1").arg(r), QVariant());
        for (qsizetype head = 0; made.size() < extra; ++head) {
            const QString parentCode = made.at(head);
            for (int c = 1; c <= 8 && made.size() < extra; ++c)
                add(parentCode + QStringLiteral("%1").arg(c, 2, 10, QLatin1Char('0')), parentCode);
        }
        m_generatedDepartments = made;
    }

    void positions()
    {
        Insert position(m_db, "岗位信息new",
                        {"岗位代号", "岗位名称", "职能部门代号", "岗位类别代号", "工号", "主要职责", "起始日期",
                         "终止日期", "备注"});
        for (const auto& p : fixed::positions()) {
            position({u8(p.code), u8(p.name), u8(p.department), u8(p.category), textOrNull(p.holder),
                      textOrNull(p.duties), dayOrNull(p.since), dayOrNull(p.closed), textOrNull(p.remark)});
            m_positions.insert(u8(p.code), PositionInfo{u8(p.code), u8(p.name), u8(p.department), p.closed == nullptr});
        }
        // One position with a generated holder in every generated department.
        for (qsizetype i = 0; i < m_generatedDepartments.size(); ++i) {
            const QString code = QStringLiteral("P%1").arg(i + 1, 6, 10, QLatin1Char('0'));
            const QString employee = QStringLiteral("1%1").arg(i + 1, 5, 10, QLatin1Char('0'));
            const QString name = pickText(m_random, kJobs);
            const QString department = m_generatedDepartments.at(i);
            position({code, name, department, QStringLiteral("PL%1").arg(m_random.range(1, 4)), employee, QVariant(),
                      stamp(QDateTime(QDate(2020, 1, 1), QTime(0, 0))), QVariant(), QVariant()});
            m_positions.insert(code, PositionInfo{code, name, department, true});
            m_generatedPositions.append({code, employee});
        }
    }

    void employees()
    {
        Insert employee(m_db, "员工档案", {"工号", "帐号密码", "姓名", "英文名", "岗位编号", "离职日期"});
        Insert assignment(m_db, "岗位员工new", {"员工代号", "岗位代号", "主要岗位", "离岗日期"});
        QSet<QString> left;
        const QDateTime leftOn(m_now.date().addDays(-75), QTime(0, 0));
        for (const auto& e : fixed::employees()) {
            employee({u8(e.number), u8(e.password), u8(e.name), u8(e.englishName), u8(e.position),
                      e.left ? QVariant(stamp(leftOn)) : QVariant()});
            assignment({u8(e.number), u8(e.position), 1, QVariant()});
            m_employeeNames.insert(u8(e.number), u8(e.name));
            if (e.left)
                left.insert(u8(e.number));
            else
                addReader(u8(e.number), u8(e.position));
        }
        for (const auto& a : fixed::extraAssignments()) {
            assignment({u8(a.employee), u8(a.position), a.main, dayOrNull(a.ended)});
            if (!a.ended && !left.contains(u8(a.employee)))
                addReader(u8(a.employee), u8(a.position));
        }
        for (const auto& [position, number] : std::as_const(m_generatedPositions)) {
            const QString surname = pickText(m_random, kSurnames);
            const QString name = surname + pickText(m_random, kGivenNames);
            employee(
                {number, QStringLiteral("123"), name, QStringLiteral("Staff %1").arg(number), position, QVariant()});
            assignment({number, position, 1, QVariant()});
            m_employeeNames.insert(number, name);
            addReader(number, position);
        }
    }

    void addReader(const QString& employee, const QString& position)
    {
        const auto it = m_positions.constFind(position);
        if (it == m_positions.constEnd() || !it->open || m_holderOf.contains(position))
            return;
        m_holderOf.insert(position, employee);
        m_readerPositions.append(position);
    }

    void menuPermissions()
    {
        Insert grant(m_db, "GroupPrivilege", {"GroupID", "FormName", "Popedom"});
        for (const char* entry : fixed::menuEntries())
            grant({QStringLiteral("QX01"), u8(entry), 1});
        for (const auto& g : fixed::menuGrants())
            grant({u8(g.group), u8(g.formName), g.popedom});

        Insert holds(m_db, "岗位权限设置", {"组代号", "岗位代号", "授权"});
        QSet<QString> listed;
        for (const auto& pg : fixed::positionGroups()) {
            holds({u8(pg.group), u8(pg.position), pg.granted});
            listed.insert(u8(pg.position));
        }
        for (const auto& p : fixed::positions()) {
            if (!listed.contains(u8(p.code)))
                holds({u8(fixed::kDefaultGroup), u8(p.code), 1});
        }
        for (const auto& generated : std::as_const(m_generatedPositions))
            holds({u8(fixed::kDefaultGroup), generated.first, 1});
    }

    void specialAudits()
    {
        Insert audit(m_db, "专项审核权限表", {"类型", "部门代号", "岗位代号"});
        for (const auto& a : fixed::specialAudits())
            audit({u8(a.type), u8(a.department), u8(a.position)});
    }

    void types()
    {
        Insert type(m_db, "资料类型", {"编号", "名称", "上级编号", "级别", "说明", "终止日期"});
        for (const auto& t : fixed::documentTypes()) {
            type({u8(t.code), u8(t.name), textOrNull(t.parent), t.level, textOrNull(t.description),
                  dayOrNull(t.voided)});
            addType(u8(t.code), u8(t.name), t.parent ? u8(t.parent) : QString(), t.voided != nullptr);
        }

        // Generated types: up to nine top types "11".."19", then nine children each, breadth
        // first, two digits a level ("11" -> "1101".."1109" -> "110101"...).
        const qsizetype extra = qMax<qsizetype>(0, m_sizes.types - qsizetype(fixed::documentTypes().size()));
        QList<QPair<QString, int>> made;  // code, level
        auto add = [&](const QString& code, const QString& parentCode, int level) {
            const QString name = pickText(m_random, kTypeWords) + QStringLiteral("类%1").arg(made.size() + 1);
            const bool voided = level > 0 && m_random.chance(0.01);
            const QVariant description = m_random.chance(0.3) ? QVariant(QStringLiteral("%1资料").arg(name))
                                                              : QVariant();
            const QVariant voidDate =
                voided ? QVariant(stamp(QDateTime(m_now.date().addDays(-m_random.range(10, 300)), QTime(0, 0))))
                       : QVariant();
            type({code, name, parentCode.isEmpty() ? QVariant() : QVariant(parentCode), level, description, voidDate});
            addType(code, name, parentCode, voided);
            made.append({code, level});
        };
        for (int r = 1; r <= 9 && made.size() < extra; ++r)
            add(QStringLiteral("1%1").arg(r), QString(), 0);
        for (qsizetype head = 0; made.size() < extra; ++head) {
            const auto [parentCode, level] = made.at(head);
            for (int c = 1; c <= 9 && made.size() < extra; ++c)
                add(parentCode + QStringLiteral("0%1").arg(c), parentCode, level + 1);
        }
        for (const auto& entry : std::as_const(made))
            m_generatedTypes.append(entry.first);
    }

    void addType(const QString& code, const QString& name, const QString& parent, bool voided)
    {
        TypeInfo info{code, name, code, true, voided};
        if (!parent.isEmpty()) {
            TypeInfo& p = m_types[m_typeIndex.value(parent)];
            p.leaf = false;
            info.top = p.top;
        }
        m_typeIndex.insert(code, int(m_types.size()));
        m_types.append(info);
    }

    void uploadRights()
    {
        Insert right(m_db, "资料上传权限", {"文件编号", "岗位代号", "CzyID", "updatedate"});
        const QDateTime written(QDate(2024, 1, 8), QTime(9, 30));
        for (const auto& r : fixed::uploadRights())
            right({u8(r.type), u8(r.position), QStringLiteral("0001"), stamp(written)});
        for (const QString& code : std::as_const(m_generatedTypes)) {
            const TypeInfo& t = m_types.at(m_typeIndex.value(code));
            if (!t.leaf || t.voided)
                continue;
            right({code, QStringLiteral("G0201"), QStringLiteral("0001"), stamp(written)});
            if (m_random.chance(0.1))
                right({code, QStringLiteral("G0401"), QStringLiteral("0001"), stamp(written)});
        }
    }

    QDateTime uploadTime()
    {
        const QDate day = m_now.date().addDays(-m_random.range(3, 240));
        const int hour = int(m_random.range(8, 17));
        const int minute = int(m_random.range(0, 59));
        return QDateTime(day, QTime(hour, minute, int(m_random.range(0, 59))));
    }

    QString uploaderOf(const QString& position) const { return m_holderOf.value(position, QStringLiteral("0001")); }

    QString subtitle(const QString& number, const QString& position, const QDateTime& when) const
    {
        const QString department = m_departmentNames.value(m_positions.value(position).department);
        return QStringLiteral("文件编号：%1    发布部门：%2    发布日期：%3")
            .arg(number, department, when.date().toString(QStringLiteral("yyyy年M月d日")));
    }

    QByteArray pictureFor(const QString& number, const QString& name, const QString& top, const QString& uploader)
    {
        QStringList labels;
        QList<int> values;
        if (name.contains(u8("流程"))) {
            if (name.contains(u8("报销")))
                labels = {u8("填写报销单"), u8("部门负责人审核"), u8("财务审核"), u8("分管领导审批"), u8("出纳付款")};
            else if (name.contains(u8("招聘")))
                labels = {u8("提出用人需求"), u8("发布招聘信息"), u8("简历筛选"),
                          u8("面试"),         u8("录用审批"),     u8("办理入职")};
            else
                labels = {u8("零件准备"), u8("部件装配"), u8("整机总装"),
                          u8("通电调试"), u8("出厂检验"), u8("包装入库")};
            return m_files.png(name, PictureKind::FlowChart, labels, values);
        }
        if (top == QLatin1String("02")) {
            for (int i = 0; i < 8; ++i)
                values.append(int(m_random.range(10, 90)));
            labels = {u8("图号：") + number, u8("材料：Q235"), u8("比例：1:5"),
                      u8("设计：") + m_employeeNames.value(uploader)};
            return m_files.png(name, PictureKind::Drawing, labels, values);
        }
        if (name.contains(u8("竞争"))) {
            labels = {u8("本公司"), u8("甲公司"), u8("乙公司"), u8("丙公司"), u8("丁公司")};
            for (int i = 0; i < labels.size(); ++i)
                values.append(int(m_random.range(800, 1600)));
        } else if (name.contains(u8("质量"))) {
            labels = {u8("一季度"), u8("二季度"), u8("三季度"), u8("四季度")};
            for (int i = 0; i < labels.size(); ++i)
                values.append(int(m_random.range(90, 99)));
        } else {
            for (int m = 1; m <= 6; ++m) {
                labels.append(u8("%1月").arg(m));
                values.append(int(m_random.range(50, 400)));
            }
        }
        return m_files.png(name, PictureKind::BarChart, labels, values);
    }

    QByteArray sheetFor(const QString& name)
    {
        SheetData sheet;
        sheet.title = name;
        if (name.contains(u8("采购"))) {
            sheet.sheetName = u8("采购清单");
            sheet.header = {u8("序号"), u8("物品名称"), u8("规格"), u8("数量"), u8("单价（元）"), u8("金额（元）")};
            const char* const items[] = {"A4复印纸", "签字笔", "文件夹", "订书机",
                                         "硒鼓",     "笔记本", "便利贴", "档案盒"};
            int n = 0;
            for (const char* item : items) {
                const int count = int(m_random.range(2, 60));
                const double price = double(m_random.range(150, 38000)) / 100.0;
                sheet.rows.append({++n, u8(item), u8("标准"), count, price, count * price});
            }
        } else if (name.contains(u8("预算"))) {
            sheet.sheetName = u8("预算汇总");
            sheet.header = {u8("部门"), u8("一季度"), u8("二季度"), u8("三季度"), u8("四季度"), u8("合计（万元）")};
            for (const char* department :
                 {"总经理室", "行政人事部", "财务部", "营销中心", "生产中心", "技术研发中心"}) {
                QVariantList row{u8(department)};
                int total = 0;
                for (int q = 0; q < 4; ++q) {
                    const int v = int(m_random.range(5, 120));
                    total += v;
                    row.append(v);
                }
                row.append(total);
                sheet.rows.append(row);
            }
        } else {
            sheet.sheetName = u8("销售数据");
            sheet.header = {u8("月份"), u8("华东"), u8("华南"), u8("海外"), u8("合计（万元）")};
            for (int m = 1; m <= 12; ++m) {
                const int a = int(m_random.range(80, 400));
                const int b = int(m_random.range(50, 300));
                const int c = int(m_random.range(10, 150));
                sheet.rows.append({u8("%1月").arg(m), a, b, c, a + b + c});
            }
        }
        QString error;
        const QByteArray bytes = FileFactory::xlsx(sheet, &error);
        if (bytes.isEmpty())
            throw Failure{error};
        return bytes;
    }

    QByteArray fileFor(const QString& extension, const QString& number, const QString& name, const QString& type,
                       const QString& position, const QDateTime& uploaded)
    {
        const QString top = m_types.value(m_typeIndex.value(type, -1)).top;
        if (extension == QLatin1String("pdf"))
            return m_files.pdf(composeDocumentText(name, top, subtitle(number, position, uploaded), m_random));
        if (extension == QLatin1String("txt"))
            return FileFactory::text(composeDocumentText(name, top, subtitle(number, position, uploaded), m_random));
        if (extension == QLatin1String("png"))
            return pictureFor(number, name, top, uploaderOf(position));
        return sheetFor(name);
    }

    void documents()
    {
        Insert document(m_db, "公司文件信息",
                        {"编号", "文件类别", "文件名称", "摘要", "关键字", "文件级别", "上传人工号", "上传日期", "部门",
                         "岗位", "文件下载", "附件后缀", "文件"});
        auto store = [&](const DocumentInfo& d, const QVariant& keywords, int level, const QString& extension,
                         const QByteArray& bytes) {
            document({d.number, d.type, d.name, d.summary, keywords, level, uploaderOf(d.position), stamp(d.uploaded),
                      m_positions.value(d.position).department, d.position, 0, extension, bytes});
            m_documents.append(d);
        };
        for (const auto& f : fixed::documents()) {
            const DocumentInfo d{u8(f.number),          u8(f.name),     u8(f.type),
                                 textOrNull(f.summary), u8(f.position), uploadTime()};
            const QString extension = u8(f.extension);
            store(d, textOrNull(f.keywords), f.level, extension,
                  fileFor(extension, d.number, d.name, d.type, d.position, d.uploaded));
        }

        QStringList leaves;
        for (const TypeInfo& t : std::as_const(m_types)) {
            if (t.leaf && !t.voided)
                leaves.append(t.code);
        }
        // Documents of Chinese text each its own, every third in the Chinese code page (GBK).
        for (int i = 0; i < m_sizes.textDocuments; ++i) {
            const QString type = m_random.pick(leaves);
            const TypeInfo& t = m_types.at(m_typeIndex.value(type));
            const QString number = QStringLiteral("TX%1").arg(i + 1, 6, 10, QLatin1Char('0'));
            const QString name = t.name + pickText(m_random, kDocumentWords) + QStringLiteral(" %1").arg(i + 1);
            const DocumentInfo d{
                number, name, type, QVariant(u8("%1的主要内容").arg(name)), QStringLiteral("G0201"), uploadTime()};
            QByteArray bytes =
                FileFactory::text(composeDocumentText(name, t.top, subtitle(number, d.position, d.uploaded), m_random));
            if (i % 3 == 2)
                bytes = QStringEncoder("GB18030").encode(QString::fromUtf8(bytes));
            store(d, QVariant(t.name), 1, QStringLiteral("txt"), bytes);
        }
        const qsizetype extra = qMax<qsizetype>(0, m_sizes.documents - qsizetype(fixed::documents().size()));
        if (extra == 0)
            return;
        const QStringList uploaders = {QStringLiteral("G0201"), QStringLiteral("G0401"), QStringLiteral("G0411"),
                                       QStringLiteral("G0203"), QStringLiteral("G0301"), QStringLiteral("G0601")};
        // Generated documents share a few rendered files, or one filler of the requested size.
        QByteArray filler;
        if (m_sizes.fileSize > 0)
            filler = FileFactory::filler(u8("系统测试资料"), m_sizes.fileSize);
        QByteArray pdfTemplate;
        QByteArray pngTemplate;
        QByteArray xlsxTemplate;
        for (qsizetype i = 0; i < extra; ++i) {
            const QString type = m_random.pick(leaves);
            const TypeInfo& t = m_types.at(m_typeIndex.value(type));
            const QString number = QStringLiteral("SD%1").arg(i + 1, 7, 10, QLatin1Char('0'));
            const QString name = t.name + pickText(m_random, kDocumentWords) + QStringLiteral(" %1").arg(i + 1);
            const QVariant summary = m_random.chance(0.75) ? QVariant(u8("%1的主要内容").arg(name)) : QVariant();
            const QVariant keywords = m_random.chance(0.6) ? QVariant(t.name) : QVariant();
            const DocumentInfo d{number, name, type, summary, m_random.pick(uploaders), uploadTime()};
            QString extension;
            QByteArray bytes;
            if (!filler.isEmpty()) {
                extension = QStringLiteral("txt");
                bytes = filler;
            } else if (i % 25 == 24) {
                if (xlsxTemplate.isEmpty())
                    xlsxTemplate = sheetFor(u8("月度销售数据"));
                extension = QStringLiteral("xlsx");
                bytes = xlsxTemplate;
            } else if (i % 4 == 0) {
                if (pdfTemplate.isEmpty())
                    pdfTemplate = m_files.pdf(composeDocumentText(u8("资料正文"), QString(), u8("公司资料"), m_random));
                extension = QStringLiteral("pdf");
                bytes = pdfTemplate;
            } else if (i % 4 == 2) {
                if (pngTemplate.isEmpty())
                    pngTemplate = pictureFor(number, u8("月度统计图"), QString(), QStringLiteral("0001"));
                extension = QStringLiteral("png");
                bytes = pngTemplate;
            } else {
                extension = QStringLiteral("txt");
                bytes = FileFactory::text(DocumentText{name,
                                                       subtitle(number, d.position, d.uploaded),
                                                       {TextSection{u8("正文"), {u8("本资料为%1。").arg(name)}}}});
            }
            store(d, keywords, int(m_random.range(1, 3)), extension, bytes);
        }
    }

    void grant(int document, const QString& position, bool read, bool download)
    {
        if (!m_positions.contains(position))
            return;
        const QString key = QString::number(document) + u'|' + position;
        if (m_granted.contains(key))
            return;
        m_granted.insert(key);
        m_rights.append(RightInfo{document, position, read, download});
    }

    void downloadRights()
    {
        const QString admin = QStringLiteral("G0201");
        const QString manager = QStringLiteral("G0401");
        const QString sales = QStringLiteral("G0411");       // 0012
        const QString accounting = QStringLiteral("G0301");  // 0008, main
        const QString archive = QStringLiteral("G0203");     // 0008, part-time
        const qsizetype fixedCount = qsizetype(fixed::documents().size());
        QStringList fixedReaders;
        for (const QString& p : std::as_const(m_readerPositions)) {
            if (!p.startsWith(u'P'))
                fixedReaders.append(p);
        }
        for (qsizetype i = 0; i < m_documents.size(); ++i) {
            const int doc = int(i);
            const DocumentInfo& d = m_documents.at(i);
            const QString top = m_types.value(m_typeIndex.value(d.type, -1)).top;
            grant(doc, admin, true, true);
            grant(doc, d.position, true, true);
            if (i >= fixedCount) {
                if (m_random.chance(0.5))
                    grant(doc, sales, true, m_random.chance(0.3));
                if (m_random.chance(0.5))
                    grant(doc, manager, true, m_random.chance(0.6));
                if (m_random.chance(0.3))
                    grant(doc, accounting, true, m_random.chance(0.3));
                if (m_random.chance(0.3))
                    grant(doc, archive, true, true);
                if (m_random.chance(0.5))
                    grant(doc, m_random.pick(m_readerPositions), true, m_random.chance(0.4));
                continue;
            }
            if (d.number == QLatin1String("YX-004"))
                grant(doc, sales, false, true);  // reading switched off after download was granted
            if (top == QLatin1String("03") || top == QLatin1String("05")) {
                grant(doc, sales, true, m_random.chance(0.5));
                grant(doc, manager, true, true);
                grant(doc, archive, true, true);
                grant(doc, accounting, true, m_random.chance(0.3));
            } else if (top == QLatin1String("01")) {
                grant(doc, sales, true, false);
                grant(doc, manager, true, m_random.chance(0.5));
                grant(doc, accounting, true, d.type.startsWith(QLatin1String("0102")));
                grant(doc, archive, true, true);
            } else if (top == QLatin1String("04")) {
                grant(doc, archive, true, true);
                grant(doc, accounting, true, false);
                grant(doc, manager, true, false);
            } else if (d.type == QLatin1String("0201")) {
                grant(doc, sales, true, true);
                grant(doc, manager, true, true);
            }
            for (const QString& p : std::as_const(fixedReaders)) {
                if (m_random.chance(0.15))
                    grant(doc, p, true, m_random.chance(0.4));
            }
        }

        addRights();

        Insert right(
            m_db, "资料下载权限",
            {"文件编号", "部门编号", "部门名称", "岗位代号", "岗位名称", "下载", "查阅", "updatedate", "CzyID"});
        for (const RightInfo& r : std::as_const(m_rights)) {
            const DocumentInfo& d = m_documents.at(r.document);
            const PositionInfo& p = m_positions[r.position];
            const QDateTime when = qMin(m_now, d.uploaded.addSecs(m_random.range(60, 3 * 86400)));
            right({d.number, p.department, m_departmentNames.value(p.department), p.code, p.name, r.download ? 1 : 0,
                   r.read ? 1 : 0, stamp(when), uploaderOf(d.position)});
        }
    }

    // Further rights of random positions on generated documents, up to the asked total. Their
    // pairs are kept unique by number, which a large total needs.
    void addRights()
    {
        const qsizetype fixedCount = qsizetype(fixed::documents().size());
        const qint64 generated = qint64(m_documents.size()) - fixedCount;
        if (m_sizes.rights <= m_rights.size() || generated <= 0)
            return;
        QStringList positions = m_positions.keys();
        positions.sort();
        const qint64 possible = generated * positions.size();
        const qint64 wanted = qMin<qint64>(m_sizes.rights - m_rights.size(), possible / 2);
        QSet<qint64> taken;
        taken.reserve(qsizetype(wanted));
        m_rights.reserve(m_rights.size() + qsizetype(wanted));
        while (taken.size() < wanted) {
            const qint64 document = fixedCount + m_random.range(0, generated - 1);
            const qint64 position = m_random.range(0, positions.size() - 1);
            const qint64 key = document * positions.size() + position;
            const QString& code = positions.at(qsizetype(position));
            if (taken.contains(key) || m_granted.contains(QString::number(document) + u'|' + code))
                continue;
            taken.insert(key);
            m_rights.append(RightInfo{int(document), code, m_random.chance(0.9), m_random.chance(0.4)});
        }
    }

    void downloadGroups()
    {
        Insert group(m_db, "资料下载组", {"组ID", "组名称", "备注", "CzyID", "updatedate"});
        Insert member(m_db, "资料下载组详细", {"组id", "岗位代号", "Czyid"});
        const QDateTime saved(QDate(2024, 3, 18), QTime(10, 12, 40));
        for (const auto& g : fixed::downloadGroups()) {
            group({u8(g.id), u8(g.name), u8(g.remark), QStringLiteral("0001"), stamp(saved)});
            for (const char* position : g.members)
                member({u8(g.id), u8(position), QStringLiteral("0001")});
        }
    }

    void accessLog()
    {
        if (m_sizes.logRows <= 0)
            return;
        QList<int> readable;  // rights whose position has a holder who can read
        for (qsizetype i = 0; i < m_rights.size(); ++i) {
            if (m_holderOf.contains(m_rights.at(i).position))
                readable.append(int(i));
        }
        if (readable.isEmpty())
            return;
        struct Access {
            qint64 time;  // seconds since the epoch
            int right;
            bool read;
        };
        std::vector<Access> accesses;
        accesses.reserve(std::size_t(m_sizes.logRows));
        const qint64 end = m_now.toSecsSinceEpoch();
        for (qint64 n = 0; n < m_sizes.logRows; ++n) {
            const int r = m_random.pick(readable);
            const RightInfo& right = m_rights.at(r);
            const qint64 begin = qMin(end, m_documents.at(right.document).uploaded.toSecsSinceEpoch() + 600);
            const bool read = right.read && right.download ? m_random.chance(0.7) : right.read;
            accesses.push_back({m_random.range(begin, end), r, read});
        }
        std::stable_sort(accesses.begin(), accesses.end(),
                         [](const Access& a, const Access& b) { return a.time < b.time; });

        Insert log(m_db, "资料下载记录",
                   {"文件编号", "文件名称", "文件类别", "摘要", "工号", "部门", "岗位", "下载", "阅读", "操作时间"});
        for (const Access& a : accesses) {
            const RightInfo& right = m_rights.at(a.right);
            const DocumentInfo& d = m_documents.at(right.document);
            log({d.number, d.name, d.type, d.summary, m_holderOf.value(right.position),
                 m_positions.value(right.position).department, right.position, a.read ? 0 : 1, a.read ? 1 : 0,
                 stamp(QDateTime::fromSecsSinceEpoch(a.time))});
        }
    }

    QSqlDatabase m_db;
    DemoSizes m_sizes;
    Random m_random;
    QDateTime m_now;
    FileFactory m_files;

    QHash<QString, QString> m_departmentNames;
    QStringList m_generatedDepartments;
    QHash<QString, PositionInfo> m_positions;
    QList<QPair<QString, QString>> m_generatedPositions;  // position, holder
    QHash<QString, QString> m_employeeNames;
    QHash<QString, QString> m_holderOf;  // open position -> active employee
    QStringList m_readerPositions;
    QList<TypeInfo> m_types;
    QHash<QString, int> m_typeIndex;
    QStringList m_generatedTypes;
    QList<DocumentInfo> m_documents;
    QList<RightInfo> m_rights;
    QSet<QString> m_granted;
};

qint64 count(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql) || !q.next())
        throw Failure{q.lastError().text()};
    return q.value(0).toLongLong();
}

DemoSummary summarize(const QSqlDatabase& db)
{
    auto rows = [&](const char* table) { return count(db, QStringLiteral("SELECT COUNT(*) FROM %1").arg(u8(table))); };
    DemoSummary s;
    s.departmentCategories = int(rows("职能部门类别"));
    s.positionCategories = int(rows("岗位类别"));
    s.departments = int(rows("职能部门new"));
    s.positions = int(rows("岗位信息new"));
    s.employees = int(rows("员工档案"));
    s.assignments = int(rows("岗位员工new"));
    s.permissionRows = int(rows("岗位权限设置"));
    s.menuGrants = int(rows("GroupPrivilege"));
    s.types = int(rows("资料类型"));
    s.uploadRights = int(rows("资料上传权限"));
    s.documents = int(rows("公司文件信息"));
    s.fileBytes = count(db, u8("SELECT COALESCE(SUM(LENGTH(文件)), 0) FROM 公司文件信息"));
    s.downloadRights = int(rows("资料下载权限"));
    s.downloadGroups = int(rows("资料下载组"));
    s.groupMembers = int(rows("资料下载组详细"));
    s.logRows = rows("资料下载记录");
    return s;
}

void exec(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw Failure{q.lastError().text()};
}

}  // namespace

QList<DemoLogin> demoLogins()
{
    return {
        {QStringLiteral("0001"), QStringLiteral("admin"), u8("系统管理员：全部菜单")},
        {QStringLiteral("0005"), QStringLiteral("123"), u8("营销总监：上传、查阅、统计，专项审核权限（全部部门）")},
        {QStringLiteral("0008"), QStringLiteral("123"), u8("会计（主要）与档案管理员（兼职）：两个岗位")},
        {QStringLiteral("0012"), QStringLiteral("123"), u8("销售代表：只能查阅")},
        {QStringLiteral("0030"), QStringLiteral("123"), u8("已离职：无可登录岗位")},
        {QStringLiteral("sysOp"), QStringLiteral("lantor"), u8("超级用户（不查员工档案）")},
    };
}

int fixedDepartmentCount() { return int(fixed::departments().size()); }

int fixedTypeCount() { return int(fixed::documentTypes().size()); }

int fixedDocumentCount() { return int(fixed::documents().size()); }

bool build(const QString& path, const DemoSizes& sizes, QString* error, DemoSummary* summary)
{
    auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return fail(QStringLiteral("a QGuiApplication is needed to render the demo documents"));
    if (path.isEmpty())
        return fail(QStringLiteral("no database path given"));
    if (QFileInfo::exists(path))
        return fail(QStringLiteral("%1 already exists").arg(path));
    if (sizes.departments < 0 || sizes.types < 0 || sizes.documents < 0 || sizes.logRows < 0 || sizes.fileSize < 0)
        return fail(QStringLiteral("sizes must not be negative"));
    // Generated codes have room for this many rows (see the code schemes in Builder).
    if (sizes.departments > 1000000 || sizes.types > 1000000 || sizes.documents > 9999999)
        return fail(QStringLiteral("sizes are too large"));

    static std::atomic<int> serial{0};
    const QString connection = QStringLiteral("quarvel-demodb-%1").arg(++serial);
    QString message;
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        if (!db.open()) {
            message = db.lastError().text();
        } else {
            try {
                // A new file that is deleted on failure needs no crash safety while it is filled.
                exec(db, QStringLiteral("PRAGMA journal_mode=MEMORY"));
                exec(db, QStringLiteral("PRAGMA synchronous=OFF"));
                exec(db, QStringLiteral("PRAGMA cache_size=-65536"));
                const DbStatus created = schema::create(db, SqlEngine::Sqlite);
                if (!created.ok())
                    throw Failure{created.error.description};
                Builder builder(db, sizes);
                {
                    Transaction transaction(db, SqlEngine::Sqlite);  // rolled back on a failure
                    if (!transaction.begun())
                        throw Failure{transaction.error().description};
                    builder.run();
                    if (!transaction.commit())
                        throw Failure{transaction.error().description};
                }
                // The engine's statistics of the access log and the two tables the access
                // statistics join let its planner read a large log through the covering index
                // of the grouping instead of one lookup per row, and the details of one
                // document by its number. Statistics of the log alone mislead it.
                if (sizes.logRows > 0) {
                    for (const char* table : {"资料下载记录", "员工档案", "职能部门new"})
                        exec(db, QStringLiteral("ANALYZE ") + QString::fromUtf8(table));
                }
                if (summary) {
                    *summary = summarize(db);
                    summary->fontFamily = builder.fontFamily();
                }
                ok = true;
            } catch (const Failure& failure) {
                message = failure.message;
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    if (!ok) {
        QFile::remove(path);
        return fail(message);
    }
    return true;
}

}  // namespace quarvel::demo
