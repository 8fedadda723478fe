#include "shared/Module1.h"

#include "platform/MessageBoxes.h"
#include "shared/ContentPieces.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <new>

namespace quarvel {
namespace {

constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

void setError(DbError* error, const DbError& value)
{
    if (error)
        *error = value;
}

// The folder that holds the viewer's file: private to the user, whatever its parent allows.
QString privateFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.cache");
    QDir().mkpath(base);
    const QString folder = base + QStringLiteral("/quarvel");
    QDir dir;
    if (!dir.exists(folder))
        dir.mkdir(folder, kOwnerOnly);
    const QFileInfo info(folder);
    if (info.isDir() && (info.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
                                               | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther)))
        QFile::setPermissions(folder, kOwnerOnly);
    return folder;
}

}  // namespace

bool ReadFileBytes(QByteArray& bytes, const QString& path, DbError* error)
{
    bytes = QByteArray();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, content::fileError(file, QStringLiteral("无法打开文件")));
        return false;
    }
    const qint64 size = file.size();
    if (size == 0)
        return true;
    try {
        QByteArray content(static_cast<qsizetype>(size), Qt::Uninitialized);
        const PiecePlan plan(size, kTransferUnit);
        for (qint64 i = 0; i < plan.count(); ++i) {
            const DbStatus s = content::readPiece(file, content.data() + plan.offset(i), plan.piece(i));
            if (!s.ok()) {
                setError(error, s.error);
                return false;
            }
        }
        bytes = std::move(content);
    } catch (const std::bad_alloc&) {
        setError(error, DbError::make(7, QStringLiteral("内存不足，无法读取文件 ") + path));
        return false;
    }
    return true;
}

bool WriteBytesToFile(const QByteArray& bytes, const QString& path, DbError* error)
{
    if (IsByteArrayEmpty(bytes))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, content::fileError(file, QStringLiteral("无法创建文件")));
        return false;
    }
    const DbStatus written = content::writePiece(file, bytes.constData(), bytes.size());
    if (!written.ok()) {
        file.cancelWriting();
        setError(error, written.error);
        return false;
    }
    if (!file.commit()) {
        setError(error, content::fileError(file, QStringLiteral("无法保存文件")));
        return false;
    }
    return true;
}

bool IsByteArrayEmpty(const QByteArray& bytes) { return bytes.isEmpty(); }

QString GetTempFilePath() { return privateFolder() + QStringLiteral("/文件Temp"); }

bool SaveFieldToFile(qint64 documentId, const QString& path, MessageBoxes& messages,
                     QWidget* parent, const TransferProgress& progress)
{
    const auto fail = [&](const DbError& e) {
        if (!isTransferCancelled(e))
            messages.show(parent, e.description, QStringLiteral("下载文件出错!"), MsgIcon::Critical,
                          MsgButtons::Ok);
        return false;
    };
    const DocumentContent content;
    const DbResult<qint64> size = content.storedSize(documentId);
    if (!size.ok())
        return fail(size.error);
    if (size.value < kMinimumStoredFileSize)  // null (-1) or too short to be a file
        return false;
    const DbStatus written = content.writeToFile(documentId, path, progress);
    if (!written.ok())
        return fail(written.error);
    return true;
}

}  // namespace quarvel
