#include "mainwindow/Background.h"

#include <QDir>
#include <QFileInfo>

namespace quarvel {
namespace {
int g_renderCount = 0;
}  // namespace

QPixmap Frmtu::render(const QString& programFolder, const QSize& size)
{
    ++g_renderCount;
    if (size.isEmpty())
        return {};
    QImage picture;
    const QString path = QDir(programFolder).filePath(QStringLiteral("MDI.BMP"));
    if (!QFileInfo::exists(path) || !picture.load(path) || picture.isNull())
        return {};
    return QPixmap::fromImage(picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

int Frmtu::renderCount() { return g_renderCount; }

}  // namespace quarvel
