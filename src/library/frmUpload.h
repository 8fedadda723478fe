#pragma once

#include "directory/DepartmentDirectory.h"
#include "library/UploadDocuments.h"
#include "shared/ContentTransfer.h"

#include <QWidget>

#include <QDateTime>

#include <functional>
#include <optional>

class QLabel;

namespace quarvel {

class FlexGrid;
class RightsPanel;
class Platform;
class TypeChooserPanel;
class UploadInputArea;
class UploadQueryArea;

// The upload window: an employee stores, edits, finds, opens and deletes the documents of the
// department and position he is logged in with. The edit state is shown by the caption of
// Command1: "新增" viewing, "取消" adding. A save while viewing changes only the document that
// the last row selection loaded into the fields; a refill of the list, an insert, a delete and
// "新增" forget it.
class Frm公司资料上传 : public QWidget {
public:
    explicit Frm公司资料上传(Platform& platform, QWidget* parent = nullptr);
    ~Frm公司资料上传() override;

    // The format string of the document list.
    static const QString& listFormat();

    // The ID of the document opened last (shared with the viewer).
    qint64 ViewDocumentID = 0;
    QVector<DepartmentEntry> Departments;

    void Form_Load();
    DbError 文件类别范围();
    void LoadTopDocuments();
    // Runs the query of the list; false when a check of the filters refused it.
    bool comLook_Click();
    void MSFlexGrid1_Click();
    void MSFlexGrid1_DblClick();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command7_Click();
    void comClose_Click();
    void Picture8_Click(int index);
    void TreeView2_NodeClick(const QString& key);
    void Command18_Click();

    bool isAdding() const { return m_adding; }
    // The document loaded into the input fields by the last row selection.
    struct LoadedDocument {
        qint64 id = 0;
        QString number;
    };
    const std::optional<LoadedDocument>& loadedDocument() const { return m_loaded; }
    // True when the type panel currently serves the query's filter.
    bool typePanelServesQuery() const { return m_panelServesQuery; }
    // The folder of the temporary copies of opened documents (tests point it elsewhere).
    void setTempFolder(const QString& folder) { m_tempFolder = folder; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void connectHandlers();
    void setUpGrid();
    void fillGrid(const QVector<DocumentRow>& rows);
    void appendDocumentRow(const DocumentRow& r);
    void showListCount();
    void showFailure(const DbError& error);
    // A temporary copy that could not be made or written: the reason, titled "下载文件出错!".
    void showDownloadFailure(const DbError& error);
    void inform(const QString& text, const QString& title);
    DocumentInput currentInput() const;
    UploaderContext uploader() const;
    bool hasDocumentRows() const;
    // Selects the current list row; its number, or 0 when it holds no document (told).
    int selectDocumentRow();
    // Runs a store with the progress dialog; reports a failure. True when stored.
    bool storeWithProgress(const std::function<DbError(const TransferProgress&)>& store);
    void insertDocument();
    void updateDocument();
    void toggleTypePanel(bool forQuery);
    void forgetDocument();
    // True while the list's current row is the document loaded into the fields.
    bool currentRowHoldsLoaded() const;
    // After an insert or a delete: empty fields (the type too when asked), viewing, the list
    // queried again, then the message that it is done.
    void showChangedList(bool clearType, const QString& done);
    // Adding shows "取消" on Command1, viewing "新增".
    void setAdding(bool adding);
    // The status line tells of the full-text index of the document just stored, while its text
    // is read in the background and, briefly, when it has none or reading failed.
    void showIndexStatus(qint64 id, const QString& number);

    Platform& m_platform;
    // The areas and panels, each reached through its own interface.
    UploadQueryArea* Frame2 = nullptr;
    FlexGrid* MSFlexGrid1 = nullptr;
    QLabel* ListCount = nullptr;
    UploadInputArea* Frame1 = nullptr;
    TypeChooserPanel* Frame3 = nullptr;
    RightsPanel* Picture2 = nullptr;
    bool m_panelServesQuery = false;
    bool m_adding = false;
    QString m_lastFilePath;
    QString m_tempFolder;
    std::optional<LoadedDocument> m_loaded;
    // The stored document whose index state the status line tells.
    std::optional<LoadedDocument> m_indexing;
    bool m_centred = false;
    bool m_forwardingKey = false;
};

}  // namespace quarvel
