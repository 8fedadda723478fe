#include "widgets/WindowPlacement.h"

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>

namespace quarvel {
namespace {

QPoint centredIn(const QSize& inner, const QSize& window)
{
    return {(inner.width() - window.width()) / 2, (inner.height() - window.height()) / 2};
}

// The inner area of a parent, in global coordinates.
QRect innerArea(QWidget* parent)
{
    QWidget* area = parent;
    if (auto* main = qobject_cast<QMainWindow*>(parent); main && main->centralWidget())
        area = main->centralWidget();
    if (auto* mdi = qobject_cast<QMdiArea*>(area))
        area = mdi->viewport();
    const QRect local = area == parent ? parent->contentsRect() : area->rect();
    return {area->mapToGlobal(local.topLeft()), local.size()};
}

QWidget* visibleMainWindow(const QWidget* except)
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w != except && w->isVisible() && qobject_cast<QMainWindow*>(w))
            return w;
    }
    return nullptr;
}

}  // namespace

void CenterInMainWindow(QWidget* window)
{
    if (!window)
        return;
    auto* sub = qobject_cast<QMdiSubWindow*>(window);
    if (!sub && window->parentWidget())
        sub = qobject_cast<QMdiSubWindow*>(window->parentWidget());
    if (sub && sub->mdiArea()) {
        sub->move(centredIn(sub->mdiArea()->viewport()->size(), sub->size()));
        return;
    }

    QWidget* parent = window->parentWidget();
    if (parent && !window->isWindow()) {
        // A child widget: its position is relative to the parent.
        const QRect inner = parent->contentsRect();
        window->move(inner.topLeft() + centredIn(inner.size(), window->size()));
        return;
    }
    if (!parent)
        parent = visibleMainWindow(window);
    QRect inner;
    if (parent) {
        inner = innerArea(parent);
    } else if (QScreen* screen = window->screen()) {
        inner = screen->availableGeometry();
    } else {
        return;
    }
    // A top-level window moves by its frame.
    window->move(inner.topLeft() + centredIn(inner.size(), window->frameGeometry().size()));
}

void CloseChildWindow(QWidget* window)
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget()))
        sub->close();
    else
        window->close();
}

}  // namespace quarvel
