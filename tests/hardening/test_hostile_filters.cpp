// Every hostile text of the corpus, as the boxes let it in, used as a filter on each path that
// matches typed text: the embedded engine and the SQLite ODBC driver return the same rows, and
// a name that is one document's whole name finds that document on both.

#include "HostileInputs.h"
#include "Organisation.h"
#include "TestSupport.h"

#include "db/Connection.h"
#include "library/BrowseDocuments.h"
#include "library/UploadDocuments.h"
#include "reports/AccessStatistics.h"
#include "reports/DocumentLookup.h"
#include "widgets/TypedText.h"

#include <QLineEdit>
#include <QTest>
#include <QValidator>

#include <algorithm>

using namespace quarvel;
using namespace quarvel::test;

namespace {

// What a box makes of the text: NUL refused (nothing), lone surrogates mended, the column's
// length at most.
std::optional<QString> asTyped(const QString& text, int maxLength)
{
    QLineEdit box;
    guardTypedText(&box, maxLength);
    QString input = text.left(maxLength);
    int at = 0;
    if (box.validator()->validate(input, at) == QValidator::Invalid)
        return std::nullopt;
    return input;
}

}  // namespace

class HostileFiltersTest : public QObject, WindowSuiteFixture {
    Q_OBJECT

    QStringList names;  // of the stored documents, as a box would have let them in

    // Every filter path's rows for the text, one line each.
    QStringList answers(const QString& text)
    {
        QStringList out;
        BrowseSearch search;
        search.typeCodes = {QStringLiteral("0101")};
        search.byName = true;
        search.name = text;
        const auto browsed = BrowseDocuments::search(QStringLiteral("G01"), search);
        search.byName = false;
        search.byKeywords = true;
        search.keywords = text;
        const auto byKeywords = BrowseDocuments::search(QStringLiteral("G01"), search);
        for (const auto* result : {&browsed, &byKeywords}) {
            QStringList numbers;
            for (const BrowseRow& r : result->value)
                numbers << r.number;
            out << (result->ok() ? numbers.join(u',') : QStringLiteral("error ") + result->error.description);
        }
        const UploaderContext uploader{QStringLiteral("0012"), QStringLiteral("D01"), QStringLiteral("G01")};
        ListFilter filter;
        filter.name = text;
        const auto listed = UploadDocuments::query(uploader, filter);
        QStringList numbers;
        for (const DocumentRow& r : listed.value)
            numbers << r.number;
        out << (listed.ok() ? numbers.join(u',') : QStringLiteral("error ") + listed.error.description);
        StatisticsFilter counted;
        counted.typeCodes = {QStringLiteral("0101")};
        counted.fileName = text;
        AccessStatistics statistics;
        const auto counts = statistics.run(counted);
        numbers.clear();
        for (const StatisticsRow& r : counts.value)
            numbers << r.number + u'=' + QString::number(r.reads);
        out << (counts.ok() ? numbers.join(u',') : QStringLiteral("error ") + counts.error.description);
        const auto found = DocumentLookup::find(text);
        numbers.clear();
        for (const FoundDocument& d : found.value)
            numbers << d.number;
        out << (found.ok() ? numbers.join(u',') : QStringLiteral("error ") + found.error.description);
        return out;
    }

private slots:
    void init()
    {
        QVERIFY(setUp());
        organisation().finance();
        db->addType(QStringLiteral("0101"), QStringLiteral("人事制度"), QVariant(), 0);
        int n = 0;
        for (const HostileText& h : hostileTexts() + hostileMalformedTexts()) {
            const std::optional<QString> name = asTyped(h.text, 200);
            if (!name || name->trimmed().isEmpty())
                continue;
            const QString number = QStringLiteral("H-%1").arg(++n);
            names << *name;
            QVERIFY(db->insert(QStringLiteral("公司文件信息"), {{QStringLiteral("编号"), number},
                                                                {QStringLiteral("文件名称"), *name},
                                                                {QStringLiteral("关键字"), *name},
                                                                {QStringLiteral("文件类别"), QStringLiteral("0101")},
                                                                {QStringLiteral("上传人工号"), QStringLiteral("0012")},
                                                                {QStringLiteral("部门"), QStringLiteral("D01")},
                                                                {QStringLiteral("岗位"), QStringLiteral("G01")},
                                                                {QStringLiteral("附件后缀"), QStringLiteral("pdf")},
                                                                {QStringLiteral("文件"), QByteArray("x")}}));
            QVERIFY(db->insert(QStringLiteral("资料下载权限"), {{QStringLiteral("文件编号"), number},
                                                                {QStringLiteral("岗位代号"), QStringLiteral("G01")},
                                                                {QStringLiteral("查阅"), 1},
                                                                {QStringLiteral("下载"), 1}}));
            QVERIFY(db->insert(QStringLiteral("资料下载记录"), {{QStringLiteral("文件编号"), number},
                                                                {QStringLiteral("文件名称"), *name},
                                                                {QStringLiteral("文件类别"), QStringLiteral("0101")},
                                                                {QStringLiteral("工号"), QStringLiteral("0012")},
                                                                {QStringLiteral("部门"), QStringLiteral("D01")},
                                                                {QStringLiteral("阅读"), 1},
                                                                {QStringLiteral("下载"), 0}}));
        }
        signIn(QStringLiteral("0012"), QStringLiteral("D01"), QStringLiteral("G01"));
    }

    void cleanup() { tearDown(); }

    void bothEnginesGiveTheSameRows()
    {
        QStringList filters;
        for (const HostileText& h : hostileTexts() + hostileMalformedTexts()) {
            if (const std::optional<QString> typed = asTyped(h.text, 200))
                filters << *typed;
            else
                QVERIFY2(h.text.contains(QChar(u'\0')), qPrintable(h.label));
        }
        QStringList embedded;
        for (const QString& f : std::as_const(filters))
            embedded << answers(f);
        // A whole name finds its own document on every path; no path fails.
        for (qsizetype i = 0; i < embedded.size(); ++i)
            QVERIFY2(!embedded.at(i).startsWith(QStringLiteral("error")), qPrintable(embedded.at(i)));
        for (qsizetype i = 0; i < names.size(); ++i) {
            const QStringList numbers = answers(names.at(i)).at(0).split(u',');
            QVERIFY2(numbers.contains(QStringLiteral("H-%1").arg(i + 1)), qPrintable(shortForm(names.at(i))));
        }
        // Another letter case finds what the corpus text finds.
        const auto variantsAnswer = [&] {
            QStringList out;
            for (const HostileText& v : hostileCaseVariants())
                out << answers(v.text);
            return out;
        };
        const QStringList variants = variantsAnswer();
        for (qsizetype v = 0; v < hostileCaseVariants().size(); ++v) {
            const HostileText& variant = hostileCaseVariants().at(v);
            const auto partner = std::find_if(hostileTexts().begin(), hostileTexts().end(),
                                              [&](const HostileText& h) { return h.label == variant.label; });
            QVERIFY(partner != hostileTexts().end());
            QCOMPARE(variants.mid(v * 5, 5), answers(partner->text));
            QVERIFY2(!variants.at(v * 5).isEmpty(), qPrintable(variant.label));
        }

        SharedConnection::release();
        const DbStatus opened = db->openSharedThroughOdbc();
        if (!opened.ok())
            QSKIP(qPrintable(QStringLiteral("the SQLite ODBC driver is not available: ") + opened.error.description));
        QStringList throughOdbc;
        for (const QString& f : std::as_const(filters))
            throughOdbc << answers(f);
        for (qsizetype i = 0; i < embedded.size(); ++i)
            QVERIFY2(throughOdbc.at(i) == embedded.at(i),
                     qPrintable(shortForm(filters.at(i / 5)) + u'\n' + embedded.at(i) + u'\n' + throughOdbc.at(i)));
        QCOMPARE(variantsAnswer(), variants);
    }
};

QTEST_MAIN(HostileFiltersTest)
#include "test_hostile_filters.moc"
