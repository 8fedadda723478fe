// Timing a list that a window fills in steps: from the click to the first painted screen of
// rows, to the last row, and the memory the list took; printed as medians with their ranges.
#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace quarvel {
class FlexGrid;
}

namespace quarvel::bench {

struct ListRun {
    double firstPaintMs = 0;
    double allRowsMs = 0;
    double residentMiB = 0;
    double peakMiB = 0;
    int rowsAtFirstPaint = 0;
    int rows = 0;
    QString statusThen, statusAfter;
};

// One click on a window's button that fills `grid` in steps: empties the grid first, then times
// the click to the first painted screen of rows and to the last row, and the memory it took;
// `status` gives what the window says, read at the first paint and at the end.
ListRun timeList(FlexGrid& grid, const std::function<void()>& click, const std::function<QString()>& status);

// The runs after the first (which warms the caches): medians and ranges, with the goals.
void printRuns(const char* name, const std::vector<ListRun>& runs);

}  // namespace quarvel::bench
