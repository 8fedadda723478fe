#pragma once

#include <QString>

#include <functional>

class QProgressDialog;
class QWidget;

namespace quarvel {

// Shows the progress of moving a large document between disk and database. Small transfers
// (below the threshold) show nothing. The dialog is modal, so no other statement can reach the
// shared connection meanwhile, and the window keeps repainting while the pieces move.
class TransferProgressDialog {
public:
    static constexpr qint64 kThreshold = 4 * 1024 * 1024;

    TransferProgressDialog(QWidget* parent, const QString& label);
    ~TransferProgressDialog();
    TransferProgressDialog(const TransferProgressDialog&) = delete;
    TransferProgressDialog& operator=(const TransferProgressDialog&) = delete;

    // The callback for the transfer: returns false once the user pressed Cancel.
    std::function<bool(qint64, qint64)> callback();
    bool wasCancelled() const { return m_cancelled; }

private:
    bool update(qint64 done, qint64 total);

    QWidget* m_parent;
    QString m_label;
    QProgressDialog* m_dialog = nullptr;
    bool m_cancelled = false;
};

}  // namespace quarvel
