#pragma once

#include "db/DbError.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace quarvel {

class Platform;
class PdfPageView;

// The PDF viewer: shows the document that the browse or the upload window names, with page
// navigation, zoom and find. Its copy of the document is the one temporary file of the
// viewer, deleted when it closes.
class Frm公司文件浏览 : public QWidget {
public:
    explicit Frm公司文件浏览(Platform& platform, QWidget* parent = nullptr);
    ~Frm公司文件浏览() override;

    QLabel* Title = nullptr;
    PdfPageView* PDFView1 = nullptr;
    QPushButton* Command1 = nullptr;  // "退出"

    // Page navigation, zoom and find.
    QToolButton* firstPage = nullptr;
    QToolButton* previousPage = nullptr;
    QSpinBox* pageNumber = nullptr;
    QLabel* pageCount = nullptr;
    QToolButton* nextPage = nullptr;
    QToolButton* lastPage = nullptr;
    QToolButton* fitWidth = nullptr;
    QToolButton* fitPage = nullptr;
    QToolButton* zoomOut = nullptr;
    QLabel* zoomText = nullptr;
    QToolButton* zoomIn = nullptr;
    QLineEdit* findText = nullptr;
    QToolButton* findPrevious = nullptr;
    QToolButton* findNext = nullptr;
    QLabel* findCount = nullptr;

    // The design text of the title line, shown until a document is loaded.
    static QString designTitle();

    // Shows the document named by exactly one of the two values (the upload window's and the
    // browse window's ViewDocumentID); when neither or both are set, no document. Replaces a
    // document shown before. True when the document was read and shown: a read that failed is
    // not one to log.
    bool ShowDocument(qint64 uploadViewDocumentId, qint64 browseViewDocumentId);
    // How the next ShowDocument opens its document: on this page (1 = the first) with this text
    // in the find box and its hits painted, the current hit being the first on or after the
    // page (a text hit of the browse window). Used once; without it a document opens on its
    // first page with an empty find box.
    void openNextAt(int page, const QString& text);
    // The document shown, 0 when none.
    qint64 documentId() const { return m_documentId; }
    // The viewer's temporary copy (tests point it elsewhere).
    void setTemporaryPath(const QString& path) { m_tempPath = path; }
    QString temporaryPath() const;

    void Command1_Click();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildLayout();
    // The page, zoom and find controls above the page.
    void buildToolbar();
    void connectHandlers();
    void refreshControls();
    void unload();
    void showFailure(const DbError& error);

    Platform& m_platform;
    QWidget* m_toolbar = nullptr;
    QString m_tempPath;
    qint64 m_documentId = 0;
    int m_startPage = 0;  // of the next ShowDocument, 0 for none
    QString m_startFind;
    bool m_written = false;  // the temporary copy exists and is ours to delete
};

}  // namespace quarvel
