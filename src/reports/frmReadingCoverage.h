#pragma once

#include "reports/ReadingCoverage.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace quarvel {

class DocumentChooser;
class FlexGrid;
class Platform;

// The columns of the coverage grid, in the order of its format string.
enum class CoverageColumn { No, Position, Department, Read, Download, Holders, Reads, Downloads, First, Last };

// Who among the positions granted a document has opened it: the document is found on the
// left, "统计" lists every position with a read or download right on it, those that never
// opened it first (painted), with their holders and accesses; the list goes to the export
// window. The statements are ReadingCoverage's.
class frm资料阅读覆盖 : public QWidget {
public:
    explicit frm资料阅读覆盖(Platform& platform, QWidget* parent = nullptr);

    static const QString& coverageFormat();

    void Form_Load();
    // Lists the coverage of the chosen document; false when none is chosen.
    bool Command1_Click();
    void Command2_Click();
    void Command3_Click();

    DocumentChooser* Chooser = nullptr;
    QPushButton* Command1 = nullptr;  // "统计"
    QLabel* Label2 = nullptr;         // the summary of the last run
    FlexGrid* MSFlexGrid1 = nullptr;
    QPushButton* Command3 = nullptr;  // "输出到Excel"
    QPushButton* Command2 = nullptr;  // "退出"

private:
    Platform& m_platform;
    ReadingCoverage m_coverage;
};

}  // namespace quarvel
