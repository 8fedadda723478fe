#pragma once

#include <QFrame>

#include <functional>

class QLabel;
class QListWidget;
class QRadioButton;
class QToolButton;

namespace quarvel {

class FlexGrid;
class KeyedTree;
class Platform;

// The rights panel of the upload window (Picture2): the read and download rights of the
// selected document per position, and the chooser (Picture3) that grants them by position or
// by download group. It acts only on the document the window gives it (the one of the
// selected list row), never on what is typed in the number field.
class RightsPanel : public QFrame {
    Q_OBJECT

public:
    explicit RightsPanel(Platform& platform, QWidget* parent = nullptr);

    QLabel* title = nullptr;        // Label1(7)
    QToolButton* Image1 = nullptr;  // closes the panel
    FlexGrid* MSFlexGrid3 = nullptr;
    QToolButton* addButton = nullptr;    // Picture8(7)
    QFrame* Picture3 = nullptr;          // the chooser
    QRadioButton* byGroup = nullptr;     // Option3(0)
    QRadioButton* byPosition = nullptr;  // Option3(1)
    QListWidget* List1 = nullptr;
    KeyedTree* TreeView1 = nullptr;
    QLabel* backLink = nullptr;  // Label1(21) "返回"

    // The grid's columns, in the order of formatString(); Id is hidden.
    enum Column { Number, Department, Position, Holder, Action, Read, Download, Id };
    static QString formatString();
    // The width that shows every column of the grid.
    int preferredWidth() const;

    // The document whose rights the panel shows and changes, by its number.
    void setDocument(const QString& number) { m_document = number; }
    const QString& document() const { return m_document; }
    bool hasDocument() const { return !m_document.isEmpty(); }
    // No document any more: the panel and its chooser close and the grid keeps its header only.
    void clearDocument();
    // The departments and positions the chooser grants by.
    KeyedTree& departmentTree() const { return *TreeView1; }
    // The download groups the chooser grants by.
    void setDownloadGroups(const QStringList& groups);
    // True while the panel shows its grid (not the chooser).
    bool showsRights() const;
    // The label that tells the user the panel waits for the database.
    void setStatusLabel(QLabel* status) { m_status = status; }

    // Reloads the grid for the document; false when the fill failed (the grid then stays
    // hidden).
    bool LoadRights();
    // Sets the grid up as the window's opening does: the hidden last column, the header row.
    void setUpGrid();

    void Picture8_7_Click();
    void Option3_Click(int index);
    void backLink_Click();
    void Image1_Click();
    void TreeView1_NodeClick(const QString& key);
    void TreeView1_DblClick();
    void List1_Click();
    void MSFlexGrid3_Click();
    void MSFlexGrid3_DblClick();

    // The department tree node of a position: "$" + code; its position nodes: "G" + code.
    void 添加岗位信息(const QString& departmentKey);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fail(const QString& description);
    // Hides the chooser and places the add button; the clicked row when it holds a right, else 0.
    int clickedRight();
    void placeAddButton();
    void appendBlankRow();
    void setFlagCell(int row, int col, bool on);
    void renumber();
    void layoutChooser();
    void createGridArea();
    void createChooser();

    Platform& m_platform;
    QString m_document;
    QLabel* m_status = nullptr;
};

}  // namespace quarvel
