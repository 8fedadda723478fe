#include "shared/Module1.h"

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
    if (info.isDir()
        && (info.permissions()
            & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther
               | QFile::ExeOther)))
        QFile::setPermissions(folder, kOwnerOnly);
    return folder;
}

}  // namespace

DbResult<QByteArray> ReadFileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return DbResult<QByteArray>::failure(content::fileError(file, QStringLiteral("无法打开文件")));
    const qint64 size = file.size();
    if (size == 0)
        return {};
    try {
        QByteArray bytes(static_cast<qsizetype>(size), Qt::Uninitialized);
        const PiecePlan plan(size, kTransferUnit);
        for (qint64 i = 0; i < plan.count(); ++i) {
            const DbStatus s = content::readPiece(file, bytes.data() + plan.offset(i), plan.piece(i));
            if (!s.ok())
                return DbResult<QByteArray>::failure(s.error);
        }
        return {std::move(bytes), {}};
    } catch (const std::bad_alloc&) {
        return DbResult<QByteArray>::failure(DbError::make(7, QStringLiteral("内存不足，无法读取文件 ") + path));
    }
}

DbResult<bool> WriteBytesToFile(const QByteArray& bytes, const QString& path)
{
    if (IsByteArrayEmpty(bytes))
        return {false, {}};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return DbResult<bool>::failure(content::fileError(file, QStringLiteral("无法创建文件")));
    const DbStatus written = content::writePiece(file, bytes.constData(), bytes.size());
    if (!written.ok()) {
        file.cancelWriting();
        return DbResult<bool>::failure(written.error);
    }
    if (!file.commit())
        return DbResult<bool>::failure(content::fileError(file, QStringLiteral("无法保存文件")));
    return {true, {}};
}

bool IsByteArrayEmpty(const QByteArray& bytes) { return bytes.isEmpty(); }

QString GetTempFilePath() { return privateFolder() + QStringLiteral("/文件Temp"); }

DbResult<FieldSave> SaveFieldToFile(qint64 documentId, const QString& path, const TransferProgress& progress)
{
    const DocumentContent content;
    const DbResult<qint64> size = content.storedSize(documentId);
    if (!size.ok())
        return DbResult<FieldSave>::failure(size.error);
    if (size.value < kMinimumStoredFileSize)  // null (-1) or too short to be a file
        return {FieldSave::NoFile, {}};
    const DbStatus written = content.writeToFile(documentId, path, progress);
    if (isTransferCancelled(written.error))
        return {FieldSave::Cancelled, {}};
    if (!written.ok())
        return DbResult<FieldSave>::failure(written.error);
    return {FieldSave::Written, {}};
}

}  // namespace quarvel
