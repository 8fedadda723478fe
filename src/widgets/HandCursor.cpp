#include "widgets/HandCursor.h"

namespace quarvel {
namespace {
QCursor& handCursorStorage()
{
    static QCursor cursor(Qt::PointingHandCursor);
    return cursor;
}
}  // namespace

void LoadHandCursor() { handCursorStorage() = QCursor(Qt::PointingHandCursor); }

const QCursor& HandCursor() { return handCursorStorage(); }

}  // namespace quarvel
