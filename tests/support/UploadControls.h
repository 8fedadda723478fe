#pragma once

#include "library/RightsPanel.h"
#include "widgets/grid/FlexGrid.h"
#include "widgets/tree/KeyedTree.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

#include <array>
#include <map>

namespace quarvel::test {

// The controls of the upload window, found under their names as a user finds them by their
// labels: the tests drive the window through them without knowing which panel holds what.
struct UploadControls {
    explicit UploadControls(const QWidget& upload) : window(upload)
    {
        for (int i = 0; i < 5; ++i)
            Text1[static_cast<size_t>(i)] = find<QLineEdit>(QStringLiteral("Text1(%1)").arg(i));
        for (int i : {0, 1, 2, 7})
            Picture8[i] = find<QToolButton>(QStringLiteral("Picture8(%1)").arg(i));
    }

    template <typename T>
    T* find(const QString& name) const
    {
        T* found = window.findChild<T*>(name);
        if (!found)
            qFatal("The upload window has no control %s", qPrintable(name));
        return found;
    }

    const QWidget& window;
    // The input area.
    std::array<QLineEdit*, 5> Text1{};
    std::map<int, QToolButton*> Picture8;
    QLineEdit* Text2 = find<QLineEdit>(QStringLiteral("Text2"));
    QLineEdit* Text4 = find<QLineEdit>(QStringLiteral("Text4"));
    QPushButton* Command1 = find<QPushButton>(QStringLiteral("Command1"));
    QPushButton* Command2 = find<QPushButton>(QStringLiteral("Command2"));
    QPushButton* Command3 = find<QPushButton>(QStringLiteral("Command3"));
    QPushButton* Command7 = find<QPushButton>(QStringLiteral("Command7"));
    QPushButton* comClose = find<QPushButton>(QStringLiteral("comClose"));
    QLabel* StatusText = find<QLabel>(QStringLiteral("StatusText"));
    QLabel* ListCount = find<QLabel>(QStringLiteral("ListCount"));
    // The query area.
    QCheckBox* Check2 = find<QCheckBox>(QStringLiteral("Check2"));
    QLineEdit* txtMC = find<QLineEdit>(QStringLiteral("txtMC"));
    QCheckBox* Check4 = find<QCheckBox>(QStringLiteral("Check4"));
    QLineEdit* Text6 = find<QLineEdit>(QStringLiteral("Text6"));
    QCheckBox* Check5 = find<QCheckBox>(QStringLiteral("Check5"));
    QLineEdit* txtKey = find<QLineEdit>(QStringLiteral("txtKey"));
    QCheckBox* Check6 = find<QCheckBox>(QStringLiteral("Check6"));
    QDateEdit* DTPicker1 = find<QDateEdit>(QStringLiteral("DTPicker1"));
    QDateEdit* DTPicker2 = find<QDateEdit>(QStringLiteral("DTPicker2"));
    QPushButton* comLook = find<QPushButton>(QStringLiteral("comLook"));
    // The list, the type panel and the rights panel.
    FlexGrid* MSFlexGrid1 = find<FlexGrid>(QStringLiteral("MSFlexGrid1"));
    QWidget* Frame3 = find<QWidget>(QStringLiteral("Frame3"));
    KeyedTree* TreeView2 = find<KeyedTree>(QStringLiteral("TreeView2"));
    QPushButton* Command18 = find<QPushButton>(QStringLiteral("Command18"));
    RightsPanel* Picture2 = find<RightsPanel>(QStringLiteral("Picture2"));
    QWidget* Picture3 = find<QWidget>(QStringLiteral("Picture3"));
    FlexGrid* MSFlexGrid3 = find<FlexGrid>(QStringLiteral("MSFlexGrid3"));
    KeyedTree* TreeView1 = find<KeyedTree>(QStringLiteral("TreeView1"));
    QListWidget* List1 = find<QListWidget>(QStringLiteral("List1"));
};

}  // namespace quarvel::test
