#include "library/frmBrowse.h"

#include "db/ColumnLengths.h"
#include "doctypes/TypeTree.h"
#include "doctypes/TypeTreeView.h"
#include "library/DocumentAccess.h"
#include "library/FullTextIndex.h"
#include "library/UploadDocuments.h"
#include "library/frmViewer.h"
#include "login/UserContext.h"
#include "platform/Platform.h"
#include "shared/Module1.h"
#include "widgets/ButtonRow.h"
#include "widgets/StatusBar.h"
#include "widgets/TransferProgressDialog.h"
#include "widgets/TypedText.h"
#include "widgets/WaitCursor.h"
#include "widgets/WindowPlacement.h"
#include "widgets/grid/FlexGrid.h"
#include "widgets/grid/MarkedText.h"
#include "widgets/grid/MarkedTextDelegate.h"
#include "widgets/grid/Twips.h"
#include "widgets/tree/KeyedTree.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSet>
#include <QTableView>

#include <memory>

namespace quarvel {
namespace {

const QColor kActionBlue(0, 0, 255);  // colour number 16711680
const QString kRead = QStringLiteral("查阅");
const QString kDownload = QStringLiteral("下载");

static_assert(kMatchStart == kTextMarkStart && kMatchEnd == kTextMarkEnd, "the list draws the search's marks");

QDateEdit* datePicker(QWidget* parent, const QString& name)
{
    auto* d = new QDateEdit(parent);
    d->setObjectName(name);
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    return d;
}

}  // namespace

const QString& Frm公司资料查阅::listFormat()
{
    static const QString format = QStringLiteral(
        "<序|<编号                    |<文件类别                                |<文件名称                              "
        "|<文件摘要                         |<关键字        |^文件级别       |^上传人姓名     |^上传日期                  "
        "|^文件格式|^操作  |^操作  |");
    return format;
}

const QString& Frm公司资料查阅::hitListFormat()
{
    static const QString format = listFormat()
                                  + QStringLiteral("|^页  |<内容摘录                                        ");
    return format;
}

QString Frm公司资料查阅::hitsFoundText(int documents, int pages)
{
    return QStringLiteral("找到 %1 份文件中的 %2 页").arg(documents).arg(pages);
}

Frm公司资料查阅::Frm公司资料查阅(Platform& platform, QWidget* parent) : QWidget(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("Frm公司资料查阅"));
    setWindowTitle(QStringLiteral("资料查阅与下载"));
    buildLayout();
    connectHandlers();
    resize(1000, 640);
    guardTypedTexts(this);
    Form_Load();
}

Frm公司资料查阅::~Frm公司资料查阅()
{
    if (m_ownViewer)
        delete m_ownViewer.data();
}

void Frm公司资料查阅::buildLayout()
{
    MSFlexGrid1 = new FlexGrid(this);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    MSFlexGrid1->view()->setAccessibleName(QStringLiteral("文件列表"));
    MSFlexGrid1->view()->setItemDelegateForColumn(ColSnippet, new MarkedTextDelegate(MSFlexGrid1));

    Picture1 = new QWidget(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    comLook = new QPushButton(QStringLiteral("筛选条件"), Picture1);
    comLook->setObjectName(QStringLiteral("comLook"));
    comClose = new QPushButton(QStringLiteral("退出"), Picture1);
    comClose->setObjectName(QStringLiteral("comClose"));
    Picture1->setFixedHeight(comClose->sizeHint().height() + 8);

    StatusBar1 = new InfoStatusBar(3, this);
    StatusBar1->setClock([this] { return m_platform.clock().now(); });
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);

    buildFilterPanel();
}

void Frm公司资料查阅::buildFilterPanel()
{
    Picture7 = new QFrame(this);
    Picture7->setObjectName(QStringLiteral("Picture7"));
    Picture7->setFrameShape(QFrame::StyledPanel);
    Picture7->setAutoFillBackground(true);
    auto* grid = new QGridLayout(Picture7);

    Label3 = new QLabel(QStringLiteral("统计条件"), Picture7);
    Label3->setObjectName(QStringLiteral("Label3"));
    grid->addWidget(Label3, 0, 0, 1, 4);

    auto* typeLabel = new QLabel(QStringLiteral("文件类别"), Picture7);
    Check9 = new QCheckBox(QStringLiteral("全部"), Picture7);
    Check9->setObjectName(QStringLiteral("Check9"));
    TreeView1 = new KeyedTree(Picture7);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setImageList(typeTreeIcons(TypeTreeVariant::Browse));
    TreeView1->setCheckBoxes(true);
    typeLabel->setBuddy(TreeView1);
    grid->addWidget(typeLabel, 1, 0);
    grid->addWidget(Check9, 1, 1);
    grid->addWidget(TreeView1, 2, 0, 7, 2);

    auto* formatLabel = new QLabel(QStringLiteral("文件格式"), Picture7);
    Check3 = new QCheckBox(QStringLiteral("全部"), Picture7);
    Check3->setObjectName(QStringLiteral("Check3"));
    List1 = new QListWidget(Picture7);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setSelectionMode(QAbstractItemView::MultiSelection);
    List1->setMaximumHeight(110);
    formatLabel->setBuddy(List1);
    grid->addWidget(formatLabel, 1, 2);
    grid->addWidget(Check3, 1, 3, Qt::AlignLeft);
    grid->addWidget(List1, 2, 2, 1, 2);

    const auto filterRow = [&](int row, QCheckBox*& box, const QString& boxName, const QString& caption,
                               QLineEdit*& edit, const QString& editName) {
        box = new QCheckBox(caption, Picture7);
        box->setObjectName(boxName);
        edit = new QLineEdit(Picture7);
        edit->setObjectName(editName);
        edit->setAccessibleName(caption);
        edit->setEnabled(false);
        grid->addWidget(box, row, 2);
        grid->addWidget(edit, row, 3);
    };
    filterRow(3, Check2, QStringLiteral("Check2"), QStringLiteral("文件名称"), Text1, QStringLiteral("Text1"));
    filterRow(4, Check1, QStringLiteral("Check1"), QStringLiteral("上传人"), Text2, QStringLiteral("Text2"));
    filterRow(5, Check5, QStringLiteral("Check5"), QStringLiteral("关键字"), Text3, QStringLiteral("Text3"));
    guardTypedText(Text1, columnLength::kDocumentName);
    guardTypedText(Text2, columnLength::kEmployeeName);
    guardTypedText(Text3, columnLength::kKeywords);
    chkFullText = new QCheckBox(QStringLiteral("全文"), Picture7);
    chkFullText->setObjectName(QStringLiteral("chkFullText"));
    chkFullText->setAccessibleName(QStringLiteral("在文件内容中查找"));
    chkFullText->setToolTip(QStringLiteral("在文件内容中查找关键字框中的文字"));
    grid->removeWidget(Text3);
    auto* keywordRow = new QHBoxLayout;
    keywordRow->addWidget(Text3, 1);
    keywordRow->addWidget(chkFullText);
    grid->addLayout(keywordRow, 5, 3);

    Check6 = new QCheckBox(QStringLiteral("上传日期"), Picture7);
    Check6->setObjectName(QStringLiteral("Check6"));
    DTPicker1 = datePicker(Picture7, QStringLiteral("DTPicker1"));
    DTPicker2 = datePicker(Picture7, QStringLiteral("DTPicker2"));
    DTPicker1->setEnabled(false);
    DTPicker2->setEnabled(false);
    auto* to = new QLabel(QStringLiteral("至"), Picture7);
    to->setBuddy(DTPicker2);
    grid->addWidget(Check6, 6, 2);
    grid->addWidget(DTPicker1, 6, 3);
    grid->addWidget(to, 7, 2, Qt::AlignRight);
    grid->addWidget(DTPicker2, 7, 3);

    const ConfirmCloseButtons buttons = confirmCloseButtons(Picture7, QStringLiteral("Command10"),
                                                            QStringLiteral("Command9"));
    Command10 = buttons.confirm;
    Command9 = buttons.close;
    grid->addLayout(buttons.row, 8, 2, 1, 2);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(3, 2);

    Picture7->resize(680, 420);  // centred by resizeEvent
    Picture7->hide();

    // Tab runs through the conditions as they are read, then to the buttons.
    const QList<QWidget*> order = {TreeView1, Check9, List1,       Check3, Check2,    Text1,     Check1,    Text2,
                                   Check5,    Text3,  chkFullText, Check6, DTPicker1, DTPicker2, Command10, Command9};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void Frm公司资料查阅::connectHandlers()
{
    connect(comLook, &QPushButton::clicked, this, [this] {
        Picture7->setVisible(Picture7->isHidden());
        if (Picture7->isVisible()) {
            Picture7->raise();
            TreeView1->setFocus();
        }
    });
    connect(comClose, &QPushButton::clicked, this, [this] { CloseChildWindow(this); });
    connect(Command9, &QPushButton::clicked, this, [this] { Picture7->hide(); });
    connect(Command10, &QPushButton::clicked, this, [this] { Command10_Click(); });

    const auto follow = [this](QCheckBox* box, std::initializer_list<QWidget*> controls) {
        connect(box, &QCheckBox::toggled, this, [controls = QList<QWidget*>(controls)](bool on) {
            for (QWidget* w : controls)
                w->setEnabled(on);
        });
    };
    follow(Check2, {Text1});
    follow(Check1, {Text2});
    // The keyword box holds the keywords, or the words looked for inside the documents.
    const auto keywordBox = [this] { Text3->setEnabled(Check5->isChecked() || chkFullText->isChecked()); };
    connect(Check5, &QCheckBox::toggled, this, keywordBox);
    connect(chkFullText, &QCheckBox::toggled, this, keywordBox);
    follow(Check6, {DTPicker1, DTPicker2});
    connect(Check3, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            List1->selectAll();
        else
            List1->clearSelection();
    });
    connect(Check9, &QCheckBox::toggled, this, [this](bool on) { TreeView1->setAllChecked(on); });
    connect(TreeView1, &KeyedTree::nodeChecked, this, [this](const QString& key) { 子节点联动(*TreeView1, key); });
    connect(MSFlexGrid1, &FlexGrid::doubleClicked, this, [this] { MSFlexGrid1_DblClick(); });
    connect(MSFlexGrid1, &FlexGrid::loadProgress, this, [this](int loaded, int expected) {
        if (!m_hitList)
            StatusBar1->setPanelText(3, FlexGrid::loadedText(loaded, expected));
        else if (loaded < expected)
            StatusBar1->setPanelText(3, m_hitsFound + QStringLiteral("，") + FlexGrid::loadedText(loaded, expected));
        else
            StatusBar1->setPanelText(3, m_hitsFound);
    });
}

void Frm公司资料查阅::setUpGrid(bool hits)
{
    m_hitList = hits;
    MSFlexGrid1->clear();
    MSFlexGrid1->setRows(1);
    MSFlexGrid1->setFormatString(hits ? hitListFormat() : listFormat());
    MSFlexGrid1->setColWidth(ColId, 0);
    MSFlexGrid1->setStretchCol(hits ? ColSnippet : ColName);
}

void Frm公司资料查阅::Form_Load()
{
    setUpGrid();
    const QDate today = m_platform.clock().today();
    DTPicker1->setDate(QDate(today.year(), today.month(), 1));
    DTPicker2->setDate(today);

    List1->clear();
    const DbResult<QStringList> formats = BrowseDocuments::formats();
    List1->addItems(formats.value);
    if (!formats.ok()) {
        reportTreeFailure(m_platform.messages(), this, formats.error);
    } else if (const DbError failed = LoadTypeTree(*TreeView1, TypeTreeVariant::Browse); failed.isSet()) {
        reportTreeFailure(m_platform.messages(), this, failed);
    }
    LoadRecentDocuments();
    const UserContext& c = userContext();
    StatusBar1->setPanelText(2, QStringLiteral(" ") + c.DeptName + QStringLiteral(" ") + c.EmployeeName);
}

int Frm公司资料查阅::FillDocumentRow(const BrowseRow& r)
{
    const int row = MSFlexGrid1->appendRow({QString::number(MSFlexGrid1->rows()), r.number, r.typeText(), r.name,
                                            r.summary, r.keywords, r.level, r.uploaderName, r.uploadedText(),
                                            r.extension, r.canRead ? kRead : QString(),
                                            r.canDownload ? kDownload : QString(), QString::number(r.id)});
    MSFlexGrid1->setCellForeColor(row, ColRead, kActionBlue);
    MSFlexGrid1->setCellForeColor(row, ColDownload, kActionBlue);
    return row;
}

void Frm公司资料查阅::LoadRecentDocuments()
{
    WaitCursor wait;
    MSFlexGrid1->beginBulk();
    MSFlexGrid1->setRows(1);
    const DbResult<QVector<BrowseRow>> rows = BrowseDocuments::recent(userContext().PositionCode);
    for (const BrowseRow& r : rows.value)
        FillDocumentRow(r);
    MSFlexGrid1->endBulk();
    StatusBar1->setPanelText(3, MSFlexGrid1->loadedText());
    if (!rows.ok())
        m_platform.messages().inform(this, formatError(rows.error, ErrorForm::NumberAndDescription),
                                     QStringLiteral("系统提示"));
}

BrowseSearch Frm公司资料查阅::currentSearch() const
{
    BrowseSearch s;
    for (const QString& key : TreeView1->checkedKeys())
        s.typeCodes << TypeCodeFromText(TreeView1->text(key)).trimmed();
    for (int i = 0; i < List1->count(); ++i) {
        if (List1->item(i)->isSelected())
            s.formats << List1->item(i)->text();
    }
    s.byName = Check2->isChecked();
    s.name = Text1->text().trimmed();
    s.byUploader = Check1->isChecked();
    s.uploader = Text2->text().trimmed();
    s.byKeywords = Check5->isChecked();
    s.keywords = Text3->text().trimmed();
    s.byDate = Check6->isChecked();
    s.from = DTPicker1->date();
    s.to = DTPicker2->date();
    return s;
}

void Frm公司资料查阅::plain(const QString& text)
{
    m_platform.messages().show(this, text, applicationTitle(), MsgIcon::None, MsgButtons::Ok);
}

void Frm公司资料查阅::showDownloadFailure(const DbError& error)
{
    m_platform.messages().show(this, error.description, QStringLiteral("下载文件出错!"), MsgIcon::Critical,
                               MsgButtons::Ok);
}

void Frm公司资料查阅::Command10_Click()
{
    BrowseSearch search = currentSearch();
    const bool fullText = chkFullText->isChecked();
    if (fullText) {
        // The keyword box holds the words to look for inside the documents.
        search.byKeywords = false;
        search.keywords.clear();
    }
    const auto refuse = [this](const QString& text, const QString& title, QLineEdit* focus) {
        m_platform.messages().inform(this, text, title, MsgIcon::Information);
        if (focus)
            focus->setFocus();
    };
    switch (checkSearch(search)) {
    case SearchRefusal::NoType: plain(QStringLiteral("请选择文件类别")); return;
    case SearchRefusal::NoName:
        refuse(QStringLiteral("请输入查询条件文件名称的值！"), applicationTitle(), Text1);
        return;
    case SearchRefusal::NoUploader:
        refuse(QStringLiteral("请输入查询条件上传人的值！"), applicationTitle(), Text2);
        return;
    case SearchRefusal::NoKeywords:
        refuse(QStringLiteral("请输入查询条件关键字的值！"), applicationTitle(), Text3);
        return;
    case SearchRefusal::DateRange:
        refuse(QStringLiteral("上传日期起始日期的日期范围开始日期不能大于结束日期!"), executableTitle(), nullptr);
        return;
    case SearchRefusal::None: break;
    }
    if (fullText) {
        const QString words = Text3->text().trimmed();
        if (words.isEmpty()) {
            refuse(QStringLiteral("请输入要在文件内容中查找的文字！"), applicationTitle(), Text3);
            return;
        }
        if (FullTextIndex::queryWords(words).isEmpty()) {
            refuse(QStringLiteral("要查找的文字只有标点或空格，请输入汉字、字母或数字！"), applicationTitle(), Text3);
            return;
        }
        searchFullText(search);
        return;
    }
    if (m_hitList)
        setUpGrid();

    WaitCursor wait(StatusBar1, 1, QStringLiteral("请稍候，正在进行统计..."));
    // The grid is not redrawn while it takes its first rows; the rest arrive in steps.
    MSFlexGrid1->beginBulk();
    MSFlexGrid1->setRows(1);
    const std::shared_ptr<BrowseSearchReader> reader = BrowseDocuments::openSearch(userContext().PositionCode, search);
    // A failure of the first step is shown here, of a later one once its step is over.
    MSFlexGrid1->setRowSource(
        reader, [this](const BrowseRow& r) { FillDocumentRow(r); },
        [this](const DbError& error) { showSearchFailure(error); });
    MSFlexGrid1->endBulk();
    StatusBar1->setPanelText(3, MSFlexGrid1->loadedText());
    if (reader->error().isSet()) {
        showSearchFailure(reader->error());
        return;
    }
    StatusBar1->setPanelText(1, QStringLiteral("统计结束，请核对数据！"));
    Picture7->hide();
}

void Frm公司资料查阅::searchFullText(const BrowseSearch& filters)
{
    const QString position = userContext().PositionCode;
    WaitCursor wait(StatusBar1, 1, QStringLiteral("请稍候，正在查找文件内容..."));
    m_hitWords = Text3->text().trimmed();
    // The snippets are built as their rows are shown: the first screen at once, the rest in steps.
    const auto hits = std::make_shared<DbResult<QVector<FullTextHit>>>(
        FullTextIndex::search(position, {m_hitWords, filters, kHitLimit, 0}));
    QSet<qint64> documents;
    for (const FullTextHit& hit : hits->value)
        documents.insert(hit.document.id);
    m_hitsFound = hitsFoundText(int(documents.size()), int(hits->value.size()));
    if (hits->value.size() >= kHitLimit)
        m_hitsFound += QStringLiteral("（只列出前 %1 页）").arg(kHitLimit);
    MSFlexGrid1->beginBulk();
    setUpGrid(true);
    const auto shown = std::make_shared<qsizetype>(0);
    const auto later = std::make_shared<bool>(false);
    const QStringList words = FullTextIndex::queryWords(m_hitWords);
    if (hits->ok() && !hits->value.isEmpty()) {
        MSFlexGrid1->setRowSource(
            [this, hits, shown, later, words](int count) {
                const qsizetype from = *shown;
                const qsizetype to = std::min<qsizetype>(from + count, hits->value.size());
                if (const DbStatus filled = FullTextIndex::fillSnippets(hits->value, from, to - from, words);
                    !filled.ok()) {
                    // The rows stop here; the failure is shown once the step is over.
                    hits->error = filled.error;
                    if (*later)
                        QMetaObject::invokeMethod(
                            this, [this, error = filled.error] { showSearchFailure(error); }, Qt::QueuedConnection);
                    return false;
                }
                for (qsizetype k = from; k < to; ++k) {
                    const FullTextHit& hit = hits->value.at(k);
                    const int row = FillDocumentRow(hit.document);
                    MSFlexGrid1->setTextMatrix(row, ColPage, QString::number(hit.page));
                    MSFlexGrid1->setTextMatrix(row, ColSnippet, hit.snippet.simplified());
                }
                *shown = to;
                return to < hits->value.size();
            },
            int(hits->value.size()), kHitFirstRows);
    }
    *later = true;
    MSFlexGrid1->endBulk();
    StatusBar1->setPanelText(
        3, MSFlexGrid1->loading() ? m_hitsFound + QStringLiteral("，") + MSFlexGrid1->loadedText() : m_hitsFound);
    if (!hits->ok()) {
        showSearchFailure(hits->error);
        return;
    }
    // Documents whose text is still being read are not found yet: the user hears of them.
    const DbResult<int> unindexed = FullTextIndex::unindexedCount(position, filters);
    if (unindexed.ok() && unindexed.value > 0)
        StatusBar1->setPanelText(
            1, QStringLiteral("查找结束；另有 %1 份文件正在建立全文索引，暂不能查找其内容").arg(unindexed.value));
    else
        StatusBar1->setPanelText(1, QStringLiteral("查找结束，请核对数据！"));
    Picture7->hide();
}

void Frm公司资料查阅::showSearchFailure(const DbError& error)
{
    m_platform.messages().inform(this, formatError(error, ErrorForm::NumberAndDescription), QStringLiteral("系统提示"));
}

void Frm公司资料查阅::MSFlexGrid1_DblClick()
{
    if (MSFlexGrid1->rows() <= 1)
        return;
    const int row = MSFlexGrid1->row();
    const int col = MSFlexGrid1->col();
    if (MSFlexGrid1->textMatrix(row, ColNumber).isEmpty()) {
        m_platform.messages().inform(this, QStringLiteral("没有可以显示的信息,请重新选择!"),
                                     QStringLiteral("系统提示"));
        return;
    }
    const QString text = MSFlexGrid1->textMatrix(row, col);
    // A text hit opens from its words as well, where the right allows reading.
    const bool hitWords = m_hitList && col == ColSnippet && MSFlexGrid1->textMatrix(row, ColRead) == kRead;
    if ((col == ColRead && text == kRead) || hitWords) {
        ViewDocumentID = MSFlexGrid1->textMatrix(row, ColId).toLongLong();
        const bool opened = m_hitList ? OpenDocument(ViewDocumentID, MSFlexGrid1->textMatrix(row, ColPage).toInt(),
                                                     FullTextIndex::queryWords(m_hitWords).value(0))
                                      : OpenDocument(ViewDocumentID);
        if (opened)
            WriteAccessLog(0, 1);
    } else if (col == ColDownload && text == kDownload) {
        DownloadDocument();
    }
}

Frm公司文件浏览* Frm公司资料查阅::ownViewer() const { return m_ownViewer.data(); }

Frm公司文件浏览* Frm公司资料查阅::viewer()
{
    if (m_links.showViewer)
        return m_links.showViewer();
    if (!m_ownViewer)
        m_ownViewer = new Frm公司文件浏览(m_platform);
    m_ownViewer->show();
    m_ownViewer->raise();
    return m_ownViewer;
}

bool Frm公司资料查阅::OpenDocument(qint64 id) { return OpenDocument(id, 0, QString()); }

bool Frm公司资料查阅::OpenDocument(qint64 id, int page, const QString& findText)
{
    const DbResult<std::optional<AccessDocument>> found = DocumentAccess::document(id);
    if (!found.ok()) {
        plain(formatError(found.error, ErrorForm::NumberPipeDescription));
        return false;
    }
    if (!found.value)
        return true;
    const AccessDocument& d = *found.value;
    switch (DocumentAccess::targetOf(d)) {
    case OpenTarget::Viewer: {
        qint64* upload = m_links.uploadViewDocumentId ? m_links.uploadViewDocumentId() : nullptr;
        if (upload)
            *upload = 0;
        Frm公司文件浏览* v = viewer();
        if (v && page > 0)
            v->openNextAt(page, findText);
        return v && v->ShowDocument(upload ? *upload : 0, ViewDocumentID);
    }
    case OpenTarget::NoContent: plain(QStringLiteral("资料内容为空")); return true;
    case OpenTarget::AssociatedProgram: break;
    }
    const QString folder = m_tempFolder.isEmpty() ? documentTempFolder() : m_tempFolder;
    QDir().mkpath(folder);  // made again when it was removed meanwhile
    // A name of its own: a copy of another document whose name reads alike, opened within the
    // same second and perhaps still open in its program, is not overwritten.
    const DbResult<QString> created = createTemporaryDocumentFile(folder, d.name, m_platform.clock().now(),
                                                                  d.extension);
    const QString path = created.value;
    if (!created.ok())
        showDownloadFailure(created.error);
    bool written = false;
    if (created.ok()) {
        DbResult<FieldSave> saved;
        {
            TransferProgressDialog progress(this, QStringLiteral("正在读取文件……"));
            WaitCursor wait;
            saved = SaveFieldToFile(d.id, path, progress.callback());
        }
        if (!saved.ok())
            showDownloadFailure(saved.error);
        written = saved.ok() && saved.value == FieldSave::Written;
    }
    if (!written && !path.isEmpty())
        QFile::remove(path);
    if (!written || !m_platform.shell().openFile(path))
        plain(QStringLiteral("没有能够打开所选附件文件，可能您的电脑上没有安装相应的软件"));
    return written;
}

void Frm公司资料查阅::DownloadDocument()
{
    const qint64 id = MSFlexGrid1->textMatrix(MSFlexGrid1->row(), ColId).toLongLong();
    const auto failed = [this](const DbError& e) {
        m_platform.messages().inform(this, formatError(e, ErrorForm::NumberAndDescription), applicationTitle());
    };
    const DbResult<std::optional<AccessDocument>> found = DocumentAccess::document(id);
    if (!found.ok()) {
        failed(found.error);
        return;
    }
    if (!found.value)
        return;
    const AccessDocument& d = *found.value;
    const QString path = withStoredExtension(
        m_platform.fileDialogs().saveFileName(this, QStringLiteral("下载文件"),
                                              {DocumentAccess::saveFilter(d.extension)},
                                              suggestedFileName(d.name, d.extension), OverwriteQuestion::ByWindow),
        d.extension);
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path)
        && m_platform.messages().show(this, QStringLiteral("该文件已存在，要覆盖吗？"), QStringLiteral("警告"),
                                      MsgIcon::None, MsgButtons::YesNo)
               != MsgAnswer::Yes)
        return;
    DbStatus written;
    {
        TransferProgressDialog progress(this, QStringLiteral("正在下载文件……"));
        WaitCursor wait;
        written = DocumentAccess::download(d.id, path, progress.callback());
    }
    if (!written.ok()) {
        // A cancelled download wrote nothing and needs no message.
        if (!isTransferCancelled(written.error))
            failed(written.error);
        return;
    }
    m_platform.messages().inform(this, QStringLiteral("文件下载成功!"), applicationTitle());
    WriteAccessLog(1, 0);
}

void Frm公司资料查阅::WriteAccessLog(int download, int read)
{
    if (MSFlexGrid1->rows() <= 1)
        return;
    const int row = MSFlexGrid1->row();
    if (MSFlexGrid1->textMatrix(row, ColNumber).isEmpty())
        return;
    const AccessedDocument d{MSFlexGrid1->textMatrix(row, ColNumber), MSFlexGrid1->textMatrix(row, ColType),
                             MSFlexGrid1->textMatrix(row, ColName), MSFlexGrid1->textMatrix(row, ColSummary)};
    const UserContext& c = userContext();
    const AccessKind kind = download != 0 && read == 0 ? AccessKind::Download : AccessKind::Read;
    const DbStatus logged = DocumentAccess::log(d, {c.EmployeeNo, c.DeptCode, c.PositionCode}, kind);
    if (!logged.ok())
        m_platform.messages().inform(this, formatError(logged.error, ErrorForm::DescriptionOnly), executableTitle());
}

void Frm公司资料查阅::layOutButtons()
{
    // The buttons go to the right edge only when the window is wide enough.
    const int inner = pixelsToTwips(width(), this);
    const int closeWidth = comClose->sizeHint().width();
    const int gap = twipsToPixels(200, this);
    if (inner - pixelsToTwips(closeWidth, this) - 300 > 14040) {
        comClose->setGeometry(MSFlexGrid1->width() - closeWidth - gap, 4, closeWidth, comClose->sizeHint().height());
        comLook->setGeometry(comClose->x() - closeWidth - gap, 4, comLook->sizeHint().width(),
                             comLook->sizeHint().height());
    } else {
        comLook->setGeometry(gap, 4, comLook->sizeHint().width(), comLook->sizeHint().height());
        comClose->setGeometry(comLook->geometry().right() + gap, 4, closeWidth, comClose->sizeHint().height());
    }
}

void Frm公司资料查阅::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int statusHeight = StatusBar1->sizeHint().height();
    const int barHeight = Picture1->height();
    StatusBar1->setGeometry(0, height() - statusHeight, width(), statusHeight);
    Picture1->setGeometry(0, height() - statusHeight - barHeight, width(), barHeight);
    MSFlexGrid1->setGeometry(0, 0, qMax(0, width() - twipsToPixels(100, this)),
                             qMax(0, height() - barHeight - statusHeight));
    layOutButtons();
    const QSize panel = QSize(680, 420).boundedTo(size());
    Picture7->setGeometry((width() - panel.width()) / 2, (height() - panel.height()) / 2, panel.width(),
                          panel.height());
}

void Frm公司资料查阅::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Maximised whenever it is activated.
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!sub)
        return;
    if (!m_maximiseHooked) {
        m_maximiseHooked = true;
        connect(sub, &QMdiSubWindow::windowStateChanged, this, [sub](Qt::WindowStates, Qt::WindowStates now) {
            if ((now & Qt::WindowActive) && !(now & Qt::WindowMaximized))
                sub->showMaximized();
        });
    }
    sub->showMaximized();
}

}  // namespace quarvel
