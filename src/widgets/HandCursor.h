#pragma once

#include <QCursor>

namespace quarvel {

// The pointing-hand cursor shown over clickable labels and pictures.
void LoadHandCursor();
const QCursor& HandCursor();

}  // namespace quarvel
