#include "widgets/TransferProgressDialog.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace quarvel {

TransferProgressDialog::TransferProgressDialog(QWidget* parent, const QString& label) : m_parent(parent), m_label(label)
{
}

TransferProgressDialog::~TransferProgressDialog() { delete m_dialog; }

std::function<bool(qint64, qint64)> TransferProgressDialog::callback()
{
    return [this](qint64 done, qint64 total) { return update(done, total); };
}

bool TransferProgressDialog::update(qint64 done, qint64 total)
{
    if (total < kThreshold)
        return true;
    if (!m_dialog) {
        m_dialog = new QProgressDialog(m_label, QStringLiteral("取消"), 0, 1000, m_parent);
        m_dialog->setObjectName(QStringLiteral("TransferProgress"));
        m_dialog->setWindowTitle(QStringLiteral("Quarvel"));
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
    }
    const int permille = total > 0 ? static_cast<int>(done * 1000 / total) : 1000;
    m_dialog->setValue(permille);
    m_dialog->setLabelText(m_label + u'\n'
                           + QStringLiteral("%1 / %2 MB")
                                 .arg(double(done) / (1024 * 1024), 0, 'f', 1)
                                 .arg(double(total) / (1024 * 1024), 0, 'f', 1));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (m_dialog->wasCanceled())
        m_cancelled = true;
    if (done >= total)
        m_dialog->hide();
    return !m_cancelled;
}

}  // namespace quarvel
