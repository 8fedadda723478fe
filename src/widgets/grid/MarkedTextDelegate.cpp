#include "widgets/grid/MarkedTextDelegate.h"

#include "widgets/grid/GridModel.h"
#include "widgets/grid/MarkedText.h"

#include <QApplication>
#include <QPainter>

#include <algorithm>

namespace quarvel {

QColor MarkedTextDelegate::markColor() { return QColor(255, 230, 0); }

QList<MarkedTextDelegate::Run> MarkedTextDelegate::runs(QStringView marked)
{
    QList<Run> out;
    Run current;
    const auto flush = [&] {
        if (!current.text.isEmpty())
            out.append(current);
        current.text.clear();
    };
    for (const QChar c : marked) {
        if (c == kTextMarkStart || c == kTextMarkEnd) {
            flush();
            current.marked = c == kTextMarkStart;
        } else {
            current.text.append(c);
        }
    }
    flush();
    return out;
}

void MarkedTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QString marked = index.data(GridModel::MarkedTextRole).toString();
    if (!hasTextMarks(marked)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget).adjusted(margin, 0, -margin, 0);
    const QVariant fore = index.data(Qt::ForegroundRole);
    QColor textColor = opt.palette.color(QPalette::Text);
    if (opt.state & QStyle::State_Selected)
        textColor = opt.palette.color(QPalette::HighlightedText);
    else if (fore.canConvert<QBrush>())
        textColor = fore.value<QBrush>().color();
    QFont markFont = opt.font;
    markFont.setBold(true);

    painter->save();
    painter->setClipRect(area);
    int x = area.left();
    for (const Run& run : runs(marked)) {
        if (x > area.right())
            break;
        const QFont& font = run.marked ? markFont : opt.font;
        const QFontMetrics metrics(font);
        const int width = metrics.horizontalAdvance(run.text);
        const QRect box(x, area.top(), width, area.height());
        painter->setFont(font);
        if (run.marked) {
            const int height = std::min(metrics.height() + 2, box.height());
            painter->fillRect(QRect(x, box.center().y() - height / 2, width, height), markColor());
            painter->setPen(Qt::black);
        } else {
            painter->setPen(textColor);
        }
        painter->drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, run.text);
        x += width;
    }
    painter->restore();
}

}  // namespace quarvel
