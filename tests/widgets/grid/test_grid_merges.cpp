#include "widgets/grid/GridMerges.h"

#include <QTest>

using namespace quarvel;

// The span computation of the grid, without a view.
class TestGridMerges : public QObject {
    Q_OBJECT

    // A grid given as rows of texts; row 0 is the header.
    static MergeLayout layoutOf(const QVector<QStringList>& cells, MergeRule rule, QSet<int> cols, QSet<int> rows = {},
                                int fixedCols = 0)
    {
        MergeLayout l;
        l.rows = int(cells.size());
        l.cols = cells.isEmpty() ? 0 : int(cells.first().size());
        l.rule = rule;
        l.mergeCols = std::move(cols);
        l.mergeRows = std::move(rows);
        l.text = [cells](int r, int c) { return cells.at(r).at(c); };
        l.isFixed = [fixedCols](int r, int c) { return r == 0 || c < fixedCols; };
        return l;
    }

private slots:
    void verticalRunsOfEqualTexts()
    {
        const QVector<QStringList> cells = {{"序", "编号", "名称"},  // equal header texts never merge
                                            {"1", "A", "x"},        {"2", "A", "x"}, {"3", "A", ""},
                                            {"4", "", ""},          {"5", "", "x"}};
        const QVector<CellSpan> spans = mergeSpans(layoutOf(cells, MergeRule::Free, {1, 2}));
        QCOMPARE(spans, QVector<CellSpan>({{1, 1, 3, 1}, {1, 2, 2, 1}}));
        QVERIFY(mergeSpans(layoutOf(cells, MergeRule::Free, {})).isEmpty());
    }

    void restrictedColumnsFollowTheColumnBefore()
    {
        const QVector<QStringList> cells = {
            {"", "", ""}, {"", "A-1", "报告"}, {"", "A-2", "报告"}, {"", "A-2", "报告"}};
        QCOMPARE(mergeSpans(layoutOf(cells, MergeRule::Free, {1, 2})), QVector<CellSpan>({{2, 1, 2, 1}, {1, 2, 3, 1}}));
        QCOMPARE(mergeSpans(layoutOf(cells, MergeRule::RestrictColumns, {1, 2})),
                 QVector<CellSpan>({{2, 1, 2, 1}, {2, 2, 2, 1}}));
        // An unmarked column between them lifts the restriction.
        const QVector<QStringList> apart = {{"", "", "", ""}, {"", "A-1", "", "报告"}, {"", "A-2", "", "报告"}};
        QCOMPARE(mergeSpans(layoutOf(apart, MergeRule::RestrictColumns, {1, 3})), QVector<CellSpan>({{1, 3, 2, 1}}));
    }

    void rowsMergeOverCellsNoColumnTook()
    {
        const QVector<QStringList> cells = {{"", "", "", ""}, {"a", "x", "x", "x"}, {"a", "x", "y", "y"}};
        QCOMPARE(mergeSpans(layoutOf(cells, MergeRule::Free, {}, {1, 2})),
                 QVector<CellSpan>({{1, 1, 1, 3}, {2, 2, 1, 2}}));
        QCOMPARE(mergeSpans(layoutOf(cells, MergeRule::RestrictRows, {}, {1, 2})),
                 QVector<CellSpan>({{1, 1, 1, 3}, {2, 2, 1, 2}}));
        // Column 1 merges "x" down: those cells stay out of the row merges.
        QCOMPARE(mergeSpans(layoutOf(cells, MergeRule::Free, {1}, {1, 2})),
                 QVector<CellSpan>({{1, 1, 2, 1}, {1, 2, 1, 2}, {2, 2, 1, 2}}));
        // Restricted rows: row 2 joins only where row 1 joined too.
        const QVector<QStringList> stairs = {{"", "", ""}, {"p", "q", "q"}, {"z", "z", "q"}};
        QCOMPARE(mergeSpans(layoutOf(stairs, MergeRule::Free, {}, {1, 2})),
                 QVector<CellSpan>({{1, 1, 1, 2}, {2, 0, 1, 2}}));
        QCOMPARE(mergeSpans(layoutOf(stairs, MergeRule::RestrictRows, {}, {1, 2})), QVector<CellSpan>({{1, 1, 1, 2}}));
    }

    void fixedOnlyMergesFixedCells()
    {
        const QVector<QStringList> cells = {{"", "", ""}, {"a", "a", "a"}, {"a", "a", "a"}};
        QCOMPARE(mergeSpans(layoutOf(cells, MergeRule::FixedOnly, {0, 1}, {}, 1)), QVector<CellSpan>({{1, 0, 2, 1}}));
        QCOMPARE(mergeSpans(layoutOf(cells, MergeRule::FixedOnly, {}, {1}, 2)), QVector<CellSpan>({{1, 0, 1, 2}}));
    }

    void gridsWithoutBodyRowsHaveNoSpans()
    {
        QVERIFY(mergeSpans(layoutOf({{"a", "a"}}, MergeRule::Free, {0, 1}, {0})).isEmpty());
        QVERIFY(mergeSpans(layoutOf({}, MergeRule::Free, {0})).isEmpty());
        QVERIFY(mergeSpans(layoutOf({{}, {}}, MergeRule::Free, {0})).isEmpty());
    }
};

QTEST_MAIN(TestGridMerges)
#include "test_grid_merges.moc"
