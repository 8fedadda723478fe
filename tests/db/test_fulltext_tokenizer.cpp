// The words of the full-text index: the tokenizer alone, then through the engine's index built
// from the schema (a phrase of one or two Chinese characters, mixed scripts, full-width forms).

#include "TestSupport.h"
#include "db/TextTokens.h"

#include <QSqlQuery>
#include <QTest>

using namespace quarvel;
using namespace quarvel::texttokens;

namespace {

// "word" per token, "+word" for one that shares the position before it.
QString tokensOf(const QString& text, Mode mode)
{
    const QByteArray bytes = text.toUtf8();
    QStringList out;
    tokenize(bytes.constData(), int(bytes.size()), mode, [&](const Token& t) {
        out << (t.colocated ? QStringLiteral("+") : QString()) + QString::fromUtf8(t.text);
        // Offsets name the word's own bytes of the input.
        if (t.start < 0 || t.end > bytes.size() || t.start >= t.end)
            out << QStringLiteral("<bad offsets>");
        return 0;
    });
    return out.join(u' ');
}

}  // namespace

class TestFullTextTokenizer : public QObject {
    Q_OBJECT

private slots:
    void words_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("query");
        QTest::addColumn<QString>("tokens");
        QTest::newRow("one character") << QStringLiteral("章") << false << QStringLiteral("章");
        QTest::newRow("pairs with singles")
            << QStringLiteral("资料管理") << false << QStringLiteral("资 +资料 料 +料管 管 +管理 理");
        QTest::newRow("query of one") << QStringLiteral("章") << true << QStringLiteral("章");
        QTest::newRow("query of two") << QStringLiteral("资料") << true << QStringLiteral("资料");
        QTest::newRow("query of three") << QStringLiteral("资料管") << true << QStringLiteral("资料 料管");
        QTest::newRow("latin folded") << QStringLiteral("Quality-ISO9001 ÄRGER") << false
                                      << QStringLiteral("quality iso9001 ärger");
        QTest::newRow("mixed scripts") << QStringLiteral("ISO认证ok") << false << QStringLiteral("iso 认 +认证 证 ok");
        QTest::newRow("full-width") << QStringLiteral("ＡＢＣ１２３，合同") << false
                                    << QStringLiteral("abc123 合 +合同 同");
        QTest::newRow("punctuation separates")
            << QStringLiteral("合同。规定") << false << QStringLiteral("合 +合同 同 规 +规定 定");
        QTest::newRow("kana and hangul") << QStringLiteral("カナ한글") << true << QStringLiteral("カナ ナ한 한글");
    }
    void words()
    {
        QFETCH(QString, text);
        QFETCH(bool, query);
        QFETCH(QString, tokens);
        QCOMPARE(tokensOf(text, query ? Mode::Query : Mode::Document), tokens);
    }

    void malformedBytesSeparate()
    {
        const QByteArray bytes = QByteArray("ab\xff\xfe") + QStringLiteral("文").toUtf8() + QByteArray("\xe6\x96");
        QStringList out;
        tokenize(bytes.constData(), int(bytes.size()), Mode::Document, [&](const Token& t) {
            out << QString::fromUtf8(t.text);
            return 0;
        });
        QCOMPARE(out, (QStringList{QStringLiteral("ab"), QStringLiteral("文")}));
    }

    // Through the engine: a phrase in the index's own query syntax finds the pages that hold it.
    void phrasesThroughTheIndex_data()
    {
        QTest::addColumn<QString>("phrase");
        QTest::addColumn<QString>("pages");
        QTest::newRow("one character") << QStringLiteral("章") << QStringLiteral("1");
        QTest::newRow("one character at a run's end") << QStringLiteral("度") << QStringLiteral("2");
        QTest::newRow("two characters") << QStringLiteral("制度") << QStringLiteral("2");
        QTest::newRow("two characters across a pair's border") << QStringLiteral("章制") << QString();
        QTest::newRow("three characters") << QStringLiteral("管理制") << QStringLiteral("2");
        QTest::newRow("three not in a row") << QStringLiteral("管制度") << QString();
        QTest::newRow("latin in any case") << QStringLiteral("iso9001") << QStringLiteral("1 3");
        QTest::newRow("full-width query") << QStringLiteral("ＩＳＯ９００１") << QStringLiteral("1 3");
        QTest::newRow("mixed phrase") << QStringLiteral("ISO9001认证") << QStringLiteral("3");
    }
    void phrasesThroughTheIndex()
    {
        QFETCH(QString, phrase);
        QFETCH(QString, pages);
        test::TestDatabase db;
        QVERIFY(db.isValid());
        const QStringList texts{QStringLiteral("第一章 总则 ISO9001"), QStringLiteral("资料管理制度"),
                                QStringLiteral("通过ＩＳＯ９００１认证")};
        for (int k = 0; k < texts.size(); ++k) {
            QVERIFY(db.insert(
                QStringLiteral("资料全文"),
                {{QStringLiteral("文件ID"), 1}, {QStringLiteral("页码"), k + 1}, {QStringLiteral("文本"), texts[k]}}));
        }
        QSqlQuery q(db.fixtureConnection());
        QVERIFY(q.prepare(QStringLiteral("select 资料全文.页码 from 资料全文索引 join 资料全文 on 资料全文.ID = "
                                         "资料全文索引.rowid where 资料全文索引 match ? order by 资料全文.页码")));
        q.addBindValue(QStringLiteral("\"%1\"").arg(phrase));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        QStringList found;
        while (q.next())
            found << q.value(0).toString();
        QCOMPARE(found.join(u' '), pages);
    }
};

QTEST_GUILESS_MAIN(TestFullTextTokenizer)
#include "test_fulltext_tokenizer.moc"
