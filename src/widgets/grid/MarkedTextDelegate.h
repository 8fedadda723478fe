#pragma once

#include <QList>
#include <QStyledItemDelegate>

namespace quarvel {

// Draws a cell whose text holds marked runs (MarkedText.h): the marked runs bold on the hit
// colour, the rest as any cell, the marks themselves never. It reads the text with its marks
// from GridModel::MarkedTextRole; a cell without marks is drawn as the default delegate does.
// It only paints: the grid's texts for display, copy and export stay without marks.
class MarkedTextDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The background of a marked run.
    static QColor markColor();

    // A marked text cut into runs: the texts between the marks and whether each is marked.
    struct Run {
        QString text;
        bool marked = false;
    };
    static QList<Run> runs(QStringView marked);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace quarvel
