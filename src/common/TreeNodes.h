#pragma once

#include <QString>
#include <QTypeInfo>

namespace quarvel {

// One node as a model hands it to a tree: added in list order, each as a child of the node
// keyed parentKey (or at the top level when parentKey is empty).
struct TreeNodeSpec {
    QString key;
    QString text;
    QString parentKey;
    int picture = 0;
    QString tag;
    bool checked = false;
    bool expanded = false;
};

}  // namespace quarvel

// Moved in memory as a whole when a list of nodes grows.
Q_DECLARE_TYPEINFO(quarvel::TreeNodeSpec, Q_RELOCATABLE_TYPE);
