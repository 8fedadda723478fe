#pragma once

#include "directory/DepartmentDirectory.h"
#include "reports/AccessStatistics.h"
#include "reports/ReaderStatistics.h"

#include <QWidget>

class QCheckBox;
class QDateEdit;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quarvel {

class FlexGrid;
class InfoStatusBar;
class KeyedTree;
class Platform;

// The columns of the statistics grid, in the order of its format string.
enum class StatisticsColumn { No, Number, Name, Summary, Reads, Downloads, Details };
// The columns of the statistics grid when it counts per reader.
enum class ReadersColumn { No, EmployeeNo, Name, Department, Reads, Downloads, Documents, LastAccess, Details };
// What the window counts: per document, or per reader (employee and department).
enum class StatisticsMode { Documents, Readers };
// The columns of the details grid, in the order of its format string.
enum class DetailsColumn { No, Number, Name, Summary, Department, Employee, Read, Download, Time };

// The access statistics: how often each document was read and downloaded, under chosen types,
// departments of the readers, dates, file name and reader name; the single accesses behind one
// count; export of either list. The statements and the stored filter are AccessStatistics'.
class frm资料下载汇总 : public QWidget {
public:
    explicit frm资料下载汇总(Platform& platform, QWidget* parent = nullptr,
                             StatisticsMode mode = StatisticsMode::Documents);
    ~frm资料下载汇总() override;

    static const QString& statisticsFormat();
    static const QString& detailsFormat();
    static const QString& readersFormat();
    StatisticsMode mode() const { return m_mode; }

    void Form_Load();
    void 子节点联动(const QString& key, KeyedTree& tree);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command8_Click();
    void Command9_Click();
    // Runs the statistics; false when a check of the filter panel refused the run.
    bool Command10_Click();
    void MSFlexGrid1_Click(int row, int col);

    // The statements and the filter of the last run.
    const AccessStatistics& statistics() const { return m_statistics; }
    const ReaderStatistics& readerStatistics() const { return m_readers; }

    FlexGrid* MSFlexGrid1 = nullptr;
    QPushButton* Command5 = nullptr;
    QFrame* Frame3 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command2 = nullptr;
    QFrame* Picture7 = nullptr;
    QLabel* Label2 = nullptr;
    KeyedTree* TreeView1 = nullptr;
    QCheckBox* Check1 = nullptr;
    KeyedTree* TreeView2 = nullptr;
    QCheckBox* Check2 = nullptr;
    QCheckBox* Check4 = nullptr;
    QCheckBox* Check6 = nullptr;
    QDateEdit* DTPicker1 = nullptr;
    QDateEdit* DTPicker2 = nullptr;
    QCheckBox* Check7 = nullptr;
    QLineEdit* Text1 = nullptr;
    QCheckBox* Check5 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* Command10 = nullptr;
    QPushButton* Command9 = nullptr;
    QFrame* Picture2 = nullptr;
    QLabel* Label6 = nullptr;
    FlexGrid* MSFlexGrid2 = nullptr;
    QPushButton* Command8 = nullptr;
    QPushButton* Command4 = nullptr;
    InfoStatusBar* StatusBar1 = nullptr;

    QVector<DepartmentEntry> Departments;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildLayout();
    QWidget* buildFilterPanel();
    void buildDetailsPanel();
    void connectHandlers();
    void setUpGrids();
    void layoutWindow();
    void layoutDetailsPanel();
    StatisticsRequest currentRequest() const;
    void inform(const QString& text, const QString& title, int icon);
    // The per-reader counterparts of the statistics run and the details (frmStatisticsReaders.cpp).
    bool runReaders(const StatisticsRequest& request);
    DbResult<QVector<DetailRow>> readerDetails(int row);
    const QString& gridTitle() const;
    const QString& detailsTitle() const;

    Platform& m_platform;
    AccessStatistics m_statistics;
    StatisticsMode m_mode = StatisticsMode::Documents;
    ReaderStatistics m_readers;
    QVector<ReaderRow> m_readerRows;  // the rows of the grid when counting per reader
};

}  // namespace quarvel
