#include "library/frmUpload.h"

#include "directory/DepartmentTree.h"
#include "doctypes/TypeTreeView.h"
#include "library/FullTextIndex.h"
#include "library/RightsPanel.h"
#include "library/UploadPanels.h"
#include "login/ServerClock.h"
#include "login/UserContext.h"
#include "platform/Platform.h"
#include "shared/ContentTransfer.h"
#include "shared/Module1.h"
#include "widgets/TransferProgressDialog.h"
#include "widgets/TypedText.h"
#include "widgets/WaitCursor.h"
#include "widgets/WindowPlacement.h"
#include "widgets/grid/FlexGrid.h"
#include "widgets/grid/Twips.h"
#include "widgets/tree/KeyedTree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

#include <memory>

namespace quarvel {
namespace {

// The list's columns, in the order of listFormat(); Id is hidden.
enum ListColumn { Row, Number, Type, Name, Summary, Keywords, Level, Format, Uploaded, Id };
constexpr std::array<int, 10> kListWidths = {300, 1500, 2500, 2500, 1500, 1500, 450, 800, 1800, 0};

}  // namespace

const QString& Frm公司资料上传::listFormat()
{
    static const QString format =
        QStringLiteral("<序|<编号|<文件类别|<文件名称|<文件摘要|<关键字|^级别|^文件格式|^上传日期|");
    return format;
}

Frm公司资料上传::Frm公司资料上传(Platform& platform, QWidget* parent) : QWidget(parent), m_platform(platform)
{
    setObjectName(QStringLiteral("Frm公司资料上传"));
    setWindowTitle(QStringLiteral("公司资料上传"));
    buildLayout();
    guardTypedTexts(this);
    connectHandlers();
    Form_Load();
}

Frm公司资料上传::~Frm公司资料上传() = default;

void Frm公司资料上传::buildLayout()
{
    Frame2 = new UploadQueryArea(this);
    MSFlexGrid1 = new FlexGrid(this);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    MSFlexGrid1->view()->setAccessibleName(QStringLiteral("文件列表"));
    Frame1 = new UploadInputArea(this);
    Frame3 = new TypeChooserPanel(this);
    Frame3->hide();
    Frame3->tree().setImageList(typeTreeIcons(TypeTreeVariant::Upload));

    // The rights panel floats over the window, hidden until Command7 opens it.
    Picture2 = new RightsPanel(m_platform, this);
    Picture2->setStatusLabel(Frame1->statusLabel());
    Picture2->hide();

    // How much of a long list has arrived.
    ListCount = new QLabel(this);
    ListCount->setObjectName(QStringLiteral("ListCount"));
    ListCount->setAccessibleName(QStringLiteral("列表行数"));
    ListCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame2);
    layout->addWidget(MSFlexGrid1, 1);
    layout->addWidget(ListCount);
    layout->addWidget(Frame1);
    resize(1000, 640);
}

void Frm公司资料上传::connectHandlers()
{
    connect(Frame1, &UploadInputArea::newClicked, this, [this] { Command1_Click(); });
    connect(Frame1, &UploadInputArea::saveClicked, this, [this] { Command2_Click(); });
    connect(Frame1, &UploadInputArea::deleteClicked, this, [this] { Command3_Click(); });
    connect(Frame1, &UploadInputArea::rightsClicked, this, [this] { Command7_Click(); });
    connect(Frame1, &UploadInputArea::closeClicked, this, [this] { comClose_Click(); });
    connect(Frame1, &UploadInputArea::fileButtonClicked, this, [this] { Picture8_Click(1); });
    connect(Frame1, &UploadInputArea::typeButtonClicked, this, [this] { Picture8_Click(2); });
    connect(Frame2, &UploadQueryArea::queryClicked, this, [this] { comLook_Click(); });
    connect(Frame2, &UploadQueryArea::typeButtonClicked, this, [this] { Picture8_Click(0); });
    connect(Frame3, &TypeChooserPanel::closeClicked, this, [this] { Command18_Click(); });
    KeyedTree* types = &Frame3->tree();
    connect(types, &KeyedTree::nodeClicked, this, [this](const QString& key) { TreeView2_NodeClick(key); });
    connect(types, &KeyedTree::nodeDoubleClicked, this, [this] { Command18_Click(); });
    connect(MSFlexGrid1, &FlexGrid::clicked, this, [this] { MSFlexGrid1_Click(); });
    connect(MSFlexGrid1, &FlexGrid::doubleClicked, this, [this] { MSFlexGrid1_DblClick(); });
    connect(MSFlexGrid1, &FlexGrid::loadProgress, this, [this] { showListCount(); });
    // The background reading of a stored document's text ended (on its own thread).
    connect(
        &BackgroundIndexing::instance(), &BackgroundIndexing::indexed, this,
        [this](qint64 id, int) {
            if (m_indexing && m_indexing->id == id)
                showIndexStatus(id, m_indexing->number);
        },
        Qt::QueuedConnection);
    // Moving in the list with the keyboard selects the row as a click does.
    MSFlexGrid1->view()->installEventFilter(this);
}

bool Frm公司资料上传::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == MSFlexGrid1->view() && event->type() == QEvent::KeyPress && !m_forwardingKey) {
        // The list handles the key first; a key that moved it to another row selects that row.
        // In a list of whole rows Home and End go to the first and the last row.
        auto* key = static_cast<QKeyEvent*>(event);
        const bool homeOrEnd = (key->key() == Qt::Key_Home || key->key() == Qt::Key_End)
                               && !(key->modifiers() & Qt::ControlModifier);
        QKeyEvent toFirstOrLast(QEvent::KeyPress, key->key(), key->modifiers() | Qt::ControlModifier, key->text(),
                                key->isAutoRepeat(), static_cast<quint16>(key->count()));
        const int before = MSFlexGrid1->row();
        m_forwardingKey = true;
        QCoreApplication::sendEvent(watched, homeOrEnd ? &toFirstOrLast : event);
        m_forwardingKey = false;
        // Delivered already, to the parents too when the list ignored it.
        event->accept();
        if (MSFlexGrid1->row() != before)
            MSFlexGrid1_Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Frm公司资料上传::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Centred once it is placed in the main window, not before.
    if (!m_centred) {
        m_centred = true;
        CenterInMainWindow(this);
    }
}

void Frm公司资料上传::inform(const QString& text, const QString& title)
{
    m_platform.messages().inform(this, text, title, MsgIcon::Information);
}

void Frm公司资料上传::showFailure(const DbError& error)
{
    inform(formatError(error, ErrorForm::NumberAndDescription), executableTitle());
}

void Frm公司资料上传::showDownloadFailure(const DbError& error)
{
    m_platform.messages().show(this, error.description, QStringLiteral("下载文件出错!"), MsgIcon::Critical,
                               MsgButtons::Ok);
}

UploaderContext Frm公司资料上传::uploader() const
{
    const UserContext& c = userContext();
    return {c.EmployeeNo, c.DeptCode, c.PositionCode};
}

void Frm公司资料上传::setAdding(bool adding)
{
    m_adding = adding;
    Frame1->showAdding(adding);
}

bool Frm公司资料上传::hasDocumentRows() const { return MSFlexGrid1->rows() > 1; }

void Frm公司资料上传::Form_Load()
{
    Picture2->setUpGrid();
    const QDate today = m_platform.clock().today();
    Frame2->setDates(QDate(today.year(), today.month(), 1), today);

    LoadTopDocuments();

    DbError failed;
    {
        WaitCursor wait(Frame1->statusLabel());
        failed = LoadDepartmentTree(Picture2->departmentTree(), Departments);
    }
    if (failed.isSet()) {
        showFailure(failed);
        // A department listed twice is reported but the rest of the tree is built: go on.
        if (Picture2->departmentTree().count() == 0)
            return;
    }

    {
        WaitCursor wait(Frame1->statusLabel());
        failed = LoadAndMarkTypeTree(Frame3->tree(), TypeTreeVariant::Upload, [this] { return 文件类别范围(); });
    }
    if (failed.isSet())
        reportTreeFailure(m_platform.messages(), this, failed);

    DbResult<QStringList> groups;
    {
        WaitCursor wait(Frame1->statusLabel());
        groups = UploadDocuments::downloadGroups();
    }
    if (!groups.ok()) {
        showFailure(groups.error);
        return;
    }
    Picture2->setDownloadGroups(groups.value);
}

DbError Frm公司资料上传::文件类别范围()
{
    const DbResult<TypeMarks> marks = TypeTree::marks(TypeTreeVariant::Upload, userContext().PositionCode);
    if (!marks.ok())
        return marks.error;
    markUploadTypes(Frame3->tree(), marks.value);
    return {};
}

void Frm公司资料上传::setUpGrid()
{
    MSFlexGrid1->setFormatString(listFormat());
    for (int c = 0; c < static_cast<int>(kListWidths.size()); ++c)
        MSFlexGrid1->setColWidth(c, kListWidths[static_cast<size_t>(c)]);
    MSFlexGrid1->setStretchCol(Name);
}

void Frm公司资料上传::appendDocumentRow(const DocumentRow& r)
{
    MSFlexGrid1->appendRow({QString::number(MSFlexGrid1->rows()), r.number, r.typeText(), r.name, r.summary, r.keywords,
                            r.level, r.extension, r.uploadedText(), QString::number(r.id)});
}

void Frm公司资料上传::fillGrid(const QVector<DocumentRow>& rows)
{
    // The rows now hold other documents than the fields may have come from.
    forgetDocument();
    MSFlexGrid1->beginBulk();
    MSFlexGrid1->setRows(1);
    for (const DocumentRow& r : rows)
        appendDocumentRow(r);
    MSFlexGrid1->endBulk();
    showListCount();
}

void Frm公司资料上传::showListCount() { ListCount->setText(MSFlexGrid1->loadedText()); }

void Frm公司资料上传::LoadTopDocuments()
{
    MSFlexGrid1->clear();
    setUpGrid();
    DbResult<QVector<DocumentRow>> rows;
    {
        WaitCursor wait(Frame1->statusLabel());
        rows = UploadDocuments::recent(uploader());
    }
    fillGrid(rows.value);
    if (!rows.ok())
        showFailure(rows.error);
}

bool Frm公司资料上传::comLook_Click()
{
    const QueryFilter query = Frame2->filter();
    switch (query.refusal) {
    case QueryFilter::None: break;
    case QueryFilter::NameMissing:
        inform(QStringLiteral("请输入查询条件文件名称的值！"), applicationTitle());
        Frame2->focusMissingValue(query.refusal);
        return false;
    case QueryFilter::TypeMissing:
        inform(QStringLiteral("请输入查询条件文件类别的值！"), applicationTitle());
        return false;
    case QueryFilter::KeywordsMissing:
        inform(QStringLiteral("请输入查询条件关键字的值！"), applicationTitle());
        Frame2->focusMissingValue(query.refusal);
        return false;
    case QueryFilter::DatesReversed:
        inform(QStringLiteral("上传日期起始日期的日期范围开始日期不能大于结束日期!"), executableTitle());
        return false;
    }
    std::shared_ptr<UploadListReader> reader;
    forgetDocument();
    // The first rows come at once, the rest in steps as the list is read or scrolled.
    {
        WaitCursor wait(Frame1->statusLabel());
        MSFlexGrid1->beginBulk();
        MSFlexGrid1->setRows(1);
        reader = UploadDocuments::openQuery(uploader(), query.filter);
        MSFlexGrid1->setRowSource(
            reader, [this](const DocumentRow& r) { appendDocumentRow(r); },
            [this](const DbError& error) { showFailure(error); });
        MSFlexGrid1->endBulk();
    }
    showListCount();
    if (reader->error().isSet())
        showFailure(reader->error());
    return true;
}

void Frm公司资料上传::forgetDocument()
{
    m_loaded.reset();
    Picture2->clearDocument();
}

bool Frm公司资料上传::currentRowHoldsLoaded() const
{
    if (!m_loaded || !hasDocumentRows())
        return false;
    const int row = MSFlexGrid1->row();
    if (row < 1 || MSFlexGrid1->textMatrix(row, ListColumn::Number).isEmpty())
        return false;
    return MSFlexGrid1->textMatrix(row, ListColumn::Id).toLongLong() == m_loaded->id;
}

void Frm公司资料上传::showChangedList(bool clearType, const QString& done)
{
    forgetDocument();
    Frame1->clear(clearType);
    setAdding(false);
    comLook_Click();
    inform(done, executableTitle());
}

void Frm公司资料上传::Command1_Click()
{
    if (!isAdding()) {
        // The fields are emptied for a new document: they no longer hold the loaded one.
        forgetDocument();
        Frame1->clear(false);
        Frame1->setNumberEnabled(true);
        setAdding(true);
        Frame1->focusNumber();
    } else {
        Frame1->setNumberEnabled(false);
        setAdding(false);
    }
}

DocumentInput Frm公司资料上传::currentInput() const { return Frame1->input(); }

void Frm公司资料上传::Command2_Click()
{
    const QString title = executableTitle();
    const DocumentInput input = currentInput();
    // A number of blanks alone is no number: numbers are stored without outer blanks.
    if (documentNumberOf(input.number).isEmpty()) {
        inform(QStringLiteral("文件编号不能为空!"), title);
        return;
    }
    if (input.name.isEmpty()) {
        inform(QStringLiteral("文件名称不能为空!"), title);
        return;
    }
    if (input.typeText.isEmpty()) {
        inform(QStringLiteral("文件类别不能为空!"), title);
        return;
    }
    if (input.levelText.isEmpty()) {
        inform(QStringLiteral("文件级别不能为空!"), title);
        return;
    }
    if (isAdding()) {
        if (input.filePath.isEmpty()) {
            inform(QStringLiteral("无文件加载,文件路径不能为空!"), title);
            return;
        }
        insertDocument();
        return;
    }
    // Only the document that a row selection loaded into the fields may be changed, and only
    // while it is still the list's current row.
    if (!m_loaded || !currentRowHoldsLoaded()) {
        inform(QStringLiteral("没有可以编辑的信息,请重新选择或新增项目!"), title);
        return;
    }
    updateDocument();
}

bool Frm公司资料上传::storeWithProgress(const std::function<DbError(const TransferProgress&)>& store)
{
    DbError failed;
    {
        TransferProgressDialog progress(this, QStringLiteral("正在保存文件……"));
        WaitCursor wait(Frame1->statusLabel());
        failed = store(progress.callback());
    }
    // A cancelled transfer stored nothing and needs no message.
    if (isDocumentNumberTaken(failed))
        inform(QStringLiteral("文件编号已经存在,不能新增!"), executableTitle());
    else if (failed.isSet() && !isTransferCancelled(failed))
        showFailure(failed);
    return !failed.isSet();
}

void Frm公司资料上传::insertDocument()
{
    const DocumentInput input = currentInput();
    // Reading the clock touches no table, so a locked database does not hold it up.
    const QDateTime now = GetServerDate(m_platform.messages(), this);
    // The number is checked inside the adding transaction: of two clients adding one number at
    // once, the second hears that it exists.
    qint64 added = 0;
    const bool stored = storeWithProgress([&](const TransferProgress& progress) {
        const DbResult<qint64> inserted = UploadDocuments::insert(input, uploader(), now, progress);
        added = inserted.value;
        return inserted.error;
    });
    if (!stored)
        return;
    showChangedList(true, QStringLiteral("新增成功!"));
    showIndexStatus(added, input.number.trimmed());
    // The list keeps its order; the new document is shown where it stands.
    const int row = MSFlexGrid1->findRowById(ListColumn::Id, added);
    if (row > 0) {
        MSFlexGrid1->setRow(row);
        MSFlexGrid1->selectWholeRow(row);
        MSFlexGrid1->ensureRowVisible(row);
    }
}

void Frm公司资料上传::updateDocument()
{
    const qint64 id = m_loaded->id;
    // Reading the clock touches no table, so a locked database does not hold it up.
    const QDateTime now = GetServerDate(m_platform.messages(), this);
    const bool newFile = !currentInput().filePath.isEmpty();
    const bool stored = storeWithProgress([&](const TransferProgress& progress) {
        return UploadDocuments::update(id, currentInput(), uploader(), now, progress).error;
    });
    if (!stored)
        return;
    if (newFile)
        showIndexStatus(id, m_loaded ? m_loaded->number : QString());
    const bool rightsOpen = !Picture2->isHidden();
    comLook_Click();
    // Keep the edited document current when the list still shows it.
    const int again = MSFlexGrid1->findRowById(ListColumn::Id, id);
    if (again > 0)
        MSFlexGrid1->setRow(again);
    if (hasDocumentRows())
        MSFlexGrid1_Click();
    if (rightsOpen && m_loaded && m_loaded->id == id)
        Picture2->show();
}

void Frm公司资料上传::showIndexStatus(qint64 id, const QString& number)
{
    // Read after the store: a reading that ended before is seen here, one that ends later
    // reports through BackgroundIndexing::indexed.
    const DbResult<QString> status = UploadDocuments::indexStatus(id);
    const bool told = m_indexing.has_value();
    m_indexing.reset();
    if (!status.ok())
        showFailure(status.error);
    if (!status.ok() || status.value.isEmpty()) {
        if (told)
            Frame1->statusLabel()->clear();
        return;
    }
    m_indexing = LoadedDocument{id, number};
    Frame1->statusLabel()->setText(number.isEmpty() ? status.value : number + QStringLiteral("：") + status.value);
}

void Frm公司资料上传::Command3_Click()
{
    if (!hasDocumentRows())
        return;
    const int row = MSFlexGrid1->row();
    const QString number = MSFlexGrid1->textMatrix(row, ListColumn::Number);
    if (number.isEmpty())
        return;
    if (m_platform.messages().show(this, QStringLiteral("是否要删除  编号为") + number + QStringLiteral("的信息?"),
                                   applicationTitle(), MsgIcon::Information, MsgButtons::YesNo)
        != MsgAnswer::Yes)
        return;
    const qint64 id = MSFlexGrid1->textMatrix(row, ListColumn::Id).toLongLong();
    DbStatus removed;
    {
        WaitCursor wait(Frame1->statusLabel());
        removed = UploadDocuments::remove(id, number);
    }
    if (!removed.ok()) {
        showFailure(removed.error);
        return;
    }
    showChangedList(false, QStringLiteral("删除成功!"));
}

void Frm公司资料上传::Command7_Click()
{
    // The panel serves the document of the selected row only, whatever the number field holds.
    const bool allowed = m_loaded.has_value() && !isAdding();
    if (!allowed) {
        inform(QStringLiteral("请选择要设置权限的文件!"), executableTitle());
        return;
    }
    Picture2->setVisible(Picture2->isHidden());
    if (!Picture2->isHidden()) {
        Picture2->resize(qMin(width() - 16, Picture2->preferredWidth()), qMin(height() - 16, 380));
        Picture2->move(qMax(0, (width() - Picture2->width()) / 2), qMax(0, (height() - Picture2->height()) / 2));
        Picture2->raise();
    }
    if (Picture2->showsRights())
        Picture2->LoadRights();
}

void Frm公司资料上传::comClose_Click() { CloseChildWindow(this); }

int Frm公司资料上传::selectDocumentRow()
{
    if (!hasDocumentRows())
        return 0;
    const int row = MSFlexGrid1->row();
    MSFlexGrid1->selectWholeRow(row);
    if (MSFlexGrid1->textMatrix(row, ListColumn::Number).isEmpty()) {
        // The fields keep their texts, but they no longer stand for a document that may be saved.
        forgetDocument();
        inform(QStringLiteral("没有可以显示的信息,请重新选择或新增项目!"), executableTitle());
        return 0;
    }
    return row;
}

void Frm公司资料上传::MSFlexGrid1_Click()
{
    const int row = selectDocumentRow();
    if (row == 0)
        return;
    const auto cell = [&](ListColumn col) { return MSFlexGrid1->textMatrix(row, col); };
    // The path stays empty: a save of a listed document keeps its stored file.
    Frame1->setInput({cell(ListColumn::Number), cell(ListColumn::Name), cell(ListColumn::Summary),
                      cell(ListColumn::Keywords), cell(ListColumn::Type), cell(ListColumn::Level), QString()});
    m_loaded = LoadedDocument{MSFlexGrid1->textMatrix(row, ListColumn::Id).toLongLong(),
                              MSFlexGrid1->textMatrix(row, ListColumn::Number)};
    Picture2->setDocument(m_loaded->number);
    if (Picture2->showsRights())
        Picture2->LoadRights();
    Frame1->setNumberEnabled(false);
    setAdding(false);
}

void Frm公司资料上传::MSFlexGrid1_DblClick()
{
    const int row = selectDocumentRow();
    if (row == 0)
        return;
    ViewDocumentID = MSFlexGrid1->textMatrix(row, ListColumn::Id).toLongLong();
    const auto plain = [this](const QString& text) {
        m_platform.messages().show(this, text, applicationTitle(), MsgIcon::None, MsgButtons::Ok);
    };
    DbResult<std::optional<StoredDocument>> found;
    {
        WaitCursor wait(Frame1->statusLabel());
        found = UploadDocuments::stored(ViewDocumentID);
    }
    if (!found.ok()) {
        plain(formatError(found.error, ErrorForm::NumberPipeDescription));
        return;
    }
    if (!found.value.has_value())
        return;
    const StoredDocument& document = *found.value;
    if (!document.hasContent) {
        plain(QStringLiteral("文件存储内容为空"));
        return;
    }
    const QString folder = m_tempFolder.isEmpty() ? documentTempFolder() : m_tempFolder;
    QDir().mkpath(folder);  // made again when it was removed meanwhile
    // A name of its own: another copy made within the same second is not overwritten.
    const DbResult<QString> created = createTemporaryDocumentFile(folder, document.name, m_platform.clock().now(),
                                                                  document.extension);
    const QString path = created.value;
    if (!created.ok())
        showDownloadFailure(created.error);
    bool written = false;
    if (created.ok()) {
        DbResult<FieldSave> saved;
        {
            TransferProgressDialog progress(this, QStringLiteral("正在读取文件……"));
            WaitCursor wait(Frame1->statusLabel());
            saved = SaveFieldToFile(document.id, path, progress.callback());
        }
        if (!saved.ok())
            showDownloadFailure(saved.error);
        written = saved.ok() && saved.value == FieldSave::Written;
    }
    if (!written && !path.isEmpty())
        QFile::remove(path);
    if (!written || !m_platform.shell().openFile(path))
        plain(QStringLiteral("没有能够打开所选附件文件，可能您的电脑上没有安装相应的软件"));
}

void Frm公司资料上传::toggleTypePanel(bool forQuery)
{
    m_panelServesQuery = forQuery;
    const int panelHeight = Frame3->height();
    QPoint topLeft;
    if (forQuery) {
        const QPoint anchor = Frame2->typeFieldPosition(this);
        const int top = Frame2->y() + Frame2->height() - twipsToPixels(100, this, Qt::Vertical);
        topLeft = QPoint(anchor.x(), top);
    } else {
        const QPoint anchor = Frame1->typeFieldPosition(this);
        const int top = Frame1->y() - panelHeight + twipsToPixels(800, this, Qt::Vertical);
        topLeft = QPoint(anchor.x(), top);
    }
    // Keep the panel inside the window.
    topLeft.setX(qBound(0, topLeft.x(), qMax(0, width() - Frame3->width())));
    topLeft.setY(qBound(0, topLeft.y(), qMax(0, height() - panelHeight)));
    Frame3->move(topLeft);
    Frame3->raise();
    Frame3->setVisible(!Frame3->isVisible());
}

void Frm公司资料上传::Picture8_Click(int index)
{
    switch (index) {
    case 0: toggleTypePanel(true); break;
    case 2: toggleTypePanel(false); break;
    case 1: {
        Frame3->hide();
        Frame1->setPath(QString());
        const QStringList filters = {
            QStringLiteral("所有文件 (*)"),
            QStringLiteral("PDF文件 (*.pdf)"),
            QStringLiteral("Word文件 (*.doc *.docx)"),
            QStringLiteral("Excel文件 (*.Xls *.xlsx)"),
            QStringLiteral("图片文件 (*.Jpg *.Jpeg *.Bmp)"),
        };
        // The documents folder at first, then the file chosen last (in its folder).
        const QString start = m_lastFilePath.isEmpty() ? FileDialogs::documentsFolder() : m_lastFilePath;
        const QString chosen = m_platform.fileDialogs().openFileName(this, QStringLiteral("选择文件"), filters, start);
        // A cancelled dialog yields the last path confirmed in this window again.
        const QString path = chosen.isEmpty() ? m_lastFilePath : chosen;
        if (!chosen.isEmpty())
            m_lastFilePath = chosen;
        if (!path.isEmpty())
            Frame1->setPath(path);
        break;
    }
    default: break;
    }
}

void Frm公司资料上传::TreeView2_NodeClick(const QString& key)
{
    if (m_panelServesQuery) {
        Frame2->setTypeText(Frame3->tree().text(key));
        return;
    }
    const KeyedTree& types = Frame3->tree();
    Frame1->setTypeText(types.picture(key) == 1 ? types.text(key) : QString());
}

void Frm公司资料上传::Command18_Click() { Frame3->hide(); }

}  // namespace quarvel
