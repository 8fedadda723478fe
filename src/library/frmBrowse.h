#pragma once

#include "library/BrowseDocuments.h"
#include "library/FullTextIndex.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QCheckBox;
class QDateEdit;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quarvel {

class FlexGrid;
class Frm公司文件浏览;
class InfoStatusBar;
class KeyedTree;
class Platform;

// How the browse window reaches the other windows it works with; the main window sets them.
struct BrowseWindowLinks {
    // The upload window's ViewDocumentID while that window is open, else null.
    std::function<qint64*()> uploadViewDocumentId;
    // The one viewer, created when missing, shown and brought to the front.
    std::function<Frm公司文件浏览*()> showViewer;
};

// The browse window: an employee finds the documents that his position may read or download,
// opens them (PDF files in the viewer) and saves them, each read and download logged.
class Frm公司资料查阅 : public QWidget {
public:
    // The list's columns.
    enum Column {
        ColRow = 0,
        ColNumber,
        ColType,
        ColName,
        ColSummary,
        ColKeywords,
        ColLevel,
        ColUploader,
        ColUploaded,
        ColFormat,
        ColRead,
        ColDownload,
        ColId,
        ColumnCount,
        // A list of text hits adds the page and the words around the hit.
        ColPage = ColumnCount,
        ColSnippet,
        HitColumnCount
    };
    static const QString& listFormat();
    static const QString& hitListFormat();
    // What the status bar's third panel says of a list of text hits.
    static QString hitsFoundText(int documents, int pages);
    // Pages of text hits listed at most, and those shown (with their snippets) at once; the rest
    // follow as the user scrolls and while the window is idle.
    static constexpr int kHitLimit = 500;
    static constexpr int kHitFirstRows = FullTextIndex::kFirstSnippets;

    explicit Frm公司资料查阅(Platform& platform, QWidget* parent = nullptr);
    ~Frm公司资料查阅() override;

    void setLinks(BrowseWindowLinks links) { m_links = std::move(links); }
    // The folder of the temporary copies of opened documents (tests point it elsewhere).
    void setTempFolder(const QString& folder) { m_tempFolder = folder; }
    // The viewer that this window opened on its own (without links).
    Frm公司文件浏览* ownViewer() const;

    FlexGrid* MSFlexGrid1 = nullptr;
    QWidget* Picture1 = nullptr;
    QPushButton* comLook = nullptr;
    QPushButton* comClose = nullptr;
    InfoStatusBar* StatusBar1 = nullptr;
    QFrame* Picture7 = nullptr;
    QLabel* Label3 = nullptr;
    KeyedTree* TreeView1 = nullptr;
    QCheckBox* Check9 = nullptr;
    QListWidget* List1 = nullptr;
    QCheckBox* Check3 = nullptr;
    QCheckBox* Check2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QCheckBox* Check1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QCheckBox* Check5 = nullptr;
    QLineEdit* Text3 = nullptr;
    // Text3's words looked for inside the documents instead of in their keywords.
    QCheckBox* chkFullText = nullptr;
    QCheckBox* Check6 = nullptr;
    QDateEdit* DTPicker1 = nullptr;
    QDateEdit* DTPicker2 = nullptr;
    QPushButton* Command10 = nullptr;
    QPushButton* Command9 = nullptr;

    // The ID of the document opened last from this window (the viewer reads it).
    qint64 ViewDocumentID = 0;

    void Form_Load();
    void LoadRecentDocuments();
    void Command10_Click();
    void MSFlexGrid1_DblClick();
    // Opens the document; false when it could not be read (the failure shown, or the reading
    // cancelled), so that no read is logged for it.
    bool OpenDocument(qint64 id);
    // The same for a text hit: a PDF opens in the viewer on that page (1 = the first) with the
    // word in its find box.
    bool OpenDocument(qint64 id, int page, const QString& findText);
    void DownloadDocument();
    void WriteAccessLog(int download, int read);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildLayout();
    void buildFilterPanel();
    void connectHandlers();
    // The grid's columns for the document list, or for the pages a full-text search found.
    void setUpGrid(bool hits = false);
    int FillDocumentRow(const BrowseRow& row);
    // The search inside the documents for Text3's words under the other filters.
    void searchFullText(const BrowseSearch& filters);
    void layOutButtons();
    BrowseSearch currentSearch() const;
    void plain(const QString& text);
    void showSearchFailure(const DbError& error);
    // A copy of a document that could not be written: the reason, titled "下载文件出错!".
    void showDownloadFailure(const DbError& error);
    Frm公司文件浏览* viewer();

    Platform& m_platform;
    BrowseWindowLinks m_links;
    QPointer<Frm公司文件浏览> m_ownViewer;
    QString m_tempFolder;
    bool m_maximiseHooked = false;
    bool m_hitList = false;  // the list shows text hits
    QString m_hitWords;      // the words that found them
    QString m_hitsFound;     // what the status bar says of them
};

}  // namespace quarvel
