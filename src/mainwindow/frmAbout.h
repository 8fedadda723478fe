#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace quarvel {

class Platform;

// The About box: product line, version and the machine-information program.
class frmAbout : public QDialog {
public:
    explicit frmAbout(Platform& platform, QWidget* parent = nullptr);

    QLabel* Label7 = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* Picture1 = nullptr;
    QLabel* Picture2 = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

    void StartSysInfo();

protected:
    void showEvent(QShowEvent* event) override;

private:
    Platform& m_platform;
};

// "Tessaly" + major + "." + minor + "." + revision.
QString aboutVersionText();

}  // namespace quarvel
