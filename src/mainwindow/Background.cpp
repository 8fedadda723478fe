#include "mainwindow/Background.h"

#include <QDir>
#include <QFileInfo>

namespace quarvel {
QPixmap Frmtu::render(const QString& programFolder, const QSize& size)
{
    if (size.isEmpty())
        return {};
    QImage picture;
    const QString path = QDir(programFolder).filePath(QStringLiteral("MDI.BMP"));
    if (!QFileInfo::exists(path) || !picture.load(path) || picture.isNull())
        return {};
    return QPixmap::fromImage(picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

}  // namespace quarvel
