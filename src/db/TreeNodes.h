#pragma once

#include <QString>

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
