#include "TestSupport.h"

#include "doctypes/TypeSettings.h"

#include <QTest>

using namespace quarvel;
using namespace quarvel::test;

// The save decision of the type settings window, against a real database file.
class TypeSaveTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> db;

    int typeCount() { return db->scalar(QStringLiteral("select count(*) from 资料类型")).toInt(); }
    QVariant column(const QString& code, const QString& name)
    {
        return db->scalar(QStringLiteral("select %1 from 资料类型 where 编号 = ?").arg(name), {code});
    }

    static TypeSaveRequest adding(const QString& code, const QString& parent)
    {
        TypeSaveRequest r;
        r.adding = true;
        r.code = code;
        r.name = QStringLiteral("新类型");
        r.selectedCode = parent;
        r.rootSelected = parent.isEmpty();
        return r;
    }

    static TypeSaveRequest editing(const QString& code, const QString& name, const QString& description = {})
    {
        TypeSaveRequest r;
        r.code = code;
        r.name = name;
        r.description = description;
        r.selectedCode = QStringLiteral("02");  // another node may be selected
        r.rootSelected = false;
        return r;
    }

private slots:
    void init()
    {
        db = std::make_unique<TestDatabase>();
        QVERIFY(db->isValid());
        QVERIFY(db->connectShared());
        db->addType(QStringLiteral("01"), QStringLiteral("制度"), {}, 0);
        db->addType(QStringLiteral("0101"), QStringLiteral("人事制度"), QStringLiteral("01"), 1);
        db->addType(QStringLiteral("02"), QStringLiteral("合同"), {}, 0);
        QVERIFY(db->insert(QStringLiteral("公司文件信息"), {{QStringLiteral("编号"), QStringLiteral("D-1")},
                                                            {QStringLiteral("文件类别"), QStringLiteral("02")},
                                                            {QStringLiteral("文件名称"), QStringLiteral("文件")}}));
    }

    void cleanup() { db.reset(); }

    void addsUnderTheRootAndUnderAType()
    {
        QCOMPARE(TypeSettings::save(adding(QStringLiteral("03"), {})).kind, TypeSaveOutcome::Saved);
        QCOMPARE(column(QStringLiteral("03"), QStringLiteral("级别")).toInt(), 0);
        QVERIFY(column(QStringLiteral("03"), QStringLiteral("上级编号")).isNull());
        QVERIFY(column(QStringLiteral("03"), QStringLiteral("说明")).isNull());

        QCOMPARE(TypeSettings::save(adding(QStringLiteral("010101"), QStringLiteral("0101"))).kind,
                 TypeSaveOutcome::Saved);
        QCOMPARE(column(QStringLiteral("010101"), QStringLiteral("级别")).toInt(), 2);
        QCOMPARE(column(QStringLiteral("010101"), QStringLiteral("上级编号")).toString(), QStringLiteral("0101"));
    }

    void refusalsChangeNothing()
    {
        QCOMPARE(TypeSettings::save(adding(QStringLiteral("0201"), QStringLiteral("02"))).kind,
                 TypeSaveOutcome::ParentHoldsDocuments);
        QCOMPARE(TypeSettings::save(adding(QStringLiteral("0101"), QStringLiteral("01"))).kind,
                 TypeSaveOutcome::CodeExists);
        QCOMPARE(TypeSettings::save(editing(QStringLiteral("09"), QStringLiteral("无"))).kind,
                 TypeSaveOutcome::Failed);  // its own level cannot be found
        QCOMPARE(typeCount(), 3);

        const TypeSaveOutcome vanishedParent = TypeSettings::save(adding(QStringLiteral("0901"), QStringLiteral("09")));
        QCOMPARE(vanishedParent.kind, TypeSaveOutcome::Failed);
        QCOMPARE(vanishedParent.error.description, TypeSettings::notFound(QStringLiteral("09")).description);
        QCOMPARE(typeCount(), 3);
    }

    void editKeepsTheLevelOfItsOwnRow()
    {
        const TypeSaveOutcome saved =
            TypeSettings::save(editing(QStringLiteral("0101"), QStringLiteral("人事"), QStringLiteral("说明")));
        QCOMPARE(saved.kind, TypeSaveOutcome::Saved);
        QCOMPARE(column(QStringLiteral("0101"), QStringLiteral("名称")).toString(), QStringLiteral("人事"));
        QCOMPARE(column(QStringLiteral("0101"), QStringLiteral("级别")).toInt(), 1);
        QCOMPARE(column(QStringLiteral("0101"), QStringLiteral("说明")).toString(), QStringLiteral("说明"));
    }

    void editOfTwoRowsWithTheSameBareCodeChangesNeither()
    {
        db->addType(QStringLiteral(" 0101"), QStringLiteral("重复"), QStringLiteral("01"), 1);
        const TypeSaveOutcome saved = TypeSettings::save(editing(QStringLiteral("0101"), QStringLiteral("人事")));
        QCOMPARE(saved.kind, TypeSaveOutcome::Failed);
        QCOMPARE(saved.error.description, TypeSettings::ambiguous(QStringLiteral("0101"), 2).description);
        QCOMPARE(db->scalar(QStringLiteral("select count(*) from 资料类型 where 名称 = '人事'")).toInt(), 0);
    }

    void aFailingWriteLeavesTheTableAsItWas()
    {
        // The checks pass, then the write fails: nothing of the save is kept.
        QVERIFY(db->exec(QStringLiteral("create trigger refuse before insert on 资料类型 "
                                        "begin select raise(abort, '拒绝写入'); end")));
        const TypeSaveOutcome saved = TypeSettings::save(adding(QStringLiteral("0102"), QStringLiteral("01")));
        QCOMPARE(saved.kind, TypeSaveOutcome::Failed);
        QVERIFY(saved.error.description.contains(QStringLiteral("拒绝写入")));
        QCOMPARE(typeCount(), 3);
        // The transaction was closed: the next save works.
        QVERIFY(db->exec(QStringLiteral("drop trigger refuse")));
        QCOMPARE(TypeSettings::save(adding(QStringLiteral("0102"), QStringLiteral("01"))).kind, TypeSaveOutcome::Saved);
        QCOMPARE(typeCount(), 4);
    }
};

QTEST_MAIN(TypeSaveTest)
#include "test_type_save.moc"
