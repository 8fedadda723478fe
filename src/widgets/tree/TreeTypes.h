#pragma once

#include "common/TreeNodes.h"

#include <QString>

namespace quarvel {

// Error numbers of the keyed tree. They keep the numbers the windows have always shown for a
// refused node, so that a message "错误号：35602" means the same thing everywhere.
enum class TreeErrorCode : int {
    None = 0,
    ElementNotFound = 35601,  // a parent or node key that is not in the tree
    KeyNotUnique = 35602,     // a second node with a key already present
    InvalidKey = 35603,       // an empty key
};

// A refused tree operation: a number and a readable description, in the same shape as the
// database errors, so that the windows report both with the same message forms.
struct TreeError {
    int number = 0;
    QString description;
    QString key;  // the key that caused the failure (not part of the message)

    bool isSet() const { return number != 0; }
    TreeErrorCode code() const { return static_cast<TreeErrorCode>(number); }

    static TreeError make(TreeErrorCode code, const QString& key = QString());
    static QString describe(TreeErrorCode code);
};

// Result of adding one node: its 1-based index, or the error that refused it.
struct TreeAddResult {
    int index = 0;
    TreeError error;

    bool ok() const { return !error.isSet(); }
};

// Result of loading a list of nodes: how many were added before the first refused one.
struct TreeLoadResult {
    int added = 0;
    TreeError error;

    bool ok() const { return !error.isSet(); }
};

// A read-only copy of one node's state.
struct TreeNodeInfo {
    int index = 0;  // 1-based, insertion order
    QString key;
    QString text;
    QString parentKey;  // empty for a top-level node
    QString tag;
    int picture = 0;
    bool checked = false;
    bool expanded = false;
    bool selected = false;
    int childCount = 0;
};

}  // namespace quarvel
