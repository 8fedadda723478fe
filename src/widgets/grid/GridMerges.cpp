#include "widgets/grid/GridMerges.h"

#include <vector>

namespace quarvel {
namespace {

constexpr int kFirstRow = 1;  // row 0 is the header

class MergeRun {
public:
    explicit MergeRun(const MergeLayout& layout) : m(layout)
    {
        if (!m.mergeRows.isEmpty())
            m_covered.assign(static_cast<size_t>(m.rows) * m.cols, 0);
    }

    void vertical();
    void horizontal();
    QVector<CellSpan> spans;

private:
    bool eligible(int r, int c) const { return m.rule != MergeRule::FixedOnly || m.isFixed(r, c); }
    bool joins(int r1, int c1, int r2, int c2) const
    {
        if (!eligible(r1, c1) || !eligible(r2, c2))
            return false;
        const QString a = m.text(r1, c1);
        return !a.isEmpty() && a == m.text(r2, c2);
    }
    char& covered(int r, int c) { return m_covered[static_cast<size_t>(r) * m.cols + c]; }

    const MergeLayout& m;
    // covered(r, c): the cell belongs to a vertical merge (kept only when rows merge too).
    std::vector<char> m_covered;
};

void MergeRun::vertical()
{
    // join[r] tells whether row r joins row r - 1 in the previous column.
    std::vector<char> previousJoin;
    std::vector<char> join(static_cast<size_t>(m.rows), 0);
    bool previousMarked = false;
    for (int c = 0; c < m.cols; ++c) {
        if (!m.mergeCols.contains(c)) {
            previousMarked = false;
            continue;
        }
        std::fill(join.begin(), join.end(), 0);
        int start = kFirstRow;
        for (int r = kFirstRow + 1; r <= m.rows; ++r) {
            bool joined = false;
            if (r < m.rows) {
                joined = joins(r - 1, c, r, c);
                if (joined && m.rule == MergeRule::RestrictColumns && previousMarked)
                    joined = previousJoin[static_cast<size_t>(r)] != 0;
                join[static_cast<size_t>(r)] = joined ? 1 : 0;
            }
            if (joined)
                continue;
            if (r - start > 1) {
                spans.append({start, c, r - start, 1});
                if (!m_covered.empty())
                    for (int k = start; k < r; ++k)
                        covered(k, c) = 1;
            }
            start = r;
        }
        previousJoin = join;
        previousMarked = true;
    }
}

void MergeRun::horizontal()
{
    std::vector<char> previousRowJoin;
    int previousRow = -2;
    for (int r = kFirstRow; r < m.rows; ++r) {
        if (!m.mergeRows.contains(r))
            continue;
        std::vector<char> rowJoin(static_cast<size_t>(m.cols), 0);
        const bool restricted = m.rule == MergeRule::RestrictRows && previousRow == r - 1;
        int start = 0;
        for (int c = 1; c <= m.cols; ++c) {
            bool joined = false;
            if (c < m.cols) {
                joined = !covered(r, c - 1) && !covered(r, c) && joins(r, c - 1, r, c);
                if (joined && restricted)
                    joined = previousRowJoin[static_cast<size_t>(c)] != 0;
                rowJoin[static_cast<size_t>(c)] = joined ? 1 : 0;
            }
            if (joined)
                continue;
            if (c - start > 1)
                spans.append({r, start, 1, c - start});
            start = c;
        }
        previousRowJoin = rowJoin;
        previousRow = r;
    }
}

}  // namespace

QVector<CellSpan> mergeSpans(const MergeLayout& layout)
{
    if (layout.rows - kFirstRow < 1 || layout.cols < 1)
        return {};
    MergeRun run(layout);
    run.vertical();
    run.horizontal();
    return run.spans;
}

}  // namespace quarvel
