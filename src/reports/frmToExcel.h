#pragma once

#include "db/DbError.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QToolButton;

namespace quarvel {

class FlexGrid;
class Platform;

// The export window: writes a grid into one worksheet of a workbook file, with the columns
// marked "√" in its column choice, a title block and the print date. Shown modally by the
// window whose grid it exports; the grid stays unchanged while it is open.
class frmToExcel : public QDialog {
public:
    explicit frmToExcel(Platform& platform, QWidget* parent = nullptr);
    ~frmToExcel() override;

    // How a window hands over its grid: a new export window takes the grid's headers, header
    // alignments and widths into its column choice (every column marked), the title as title
    // and sheet name, and is shown modally; returns when it is closed.
    static void PrepareFromGrid(Platform& platform, FlexGrid& grid, const QString& title, QWidget* parent);
    // The same without showing the window (PrepareFromGrid shows it).
    void prepare(FlexGrid& grid, const QString& title);

    // Writes the workbook at Text1(0); ok when it was written and saved. An empty path is told
    // at once and fails without a description; a cancel fails with kExportCancelled.
    DbStatus To_Execl(FlexGrid& grid, const QString& title, const QString& sheetName);
    static QString RangeNom(int column, int row);

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Grid1_Click();
    void Grid1_DblClick();

    std::array<QLabel*, 3> Label1{};
    std::array<QLineEdit*, 3> Text1{};  // path, title, sheet name
    QToolButton* Command1 = nullptr;
    QCheckBox* Check1 = nullptr;
    FlexGrid* Grid1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    FlexGrid* SourceGrid = nullptr;

private:
    void buildLayout();
    QVector<bool> markedColumns() const;
    // The message of an export that did not write the workbook (none for a cancel).
    void showFailure(const DbStatus& status);

    Platform& m_platform;
};

}  // namespace quarvel
