#pragma once

#include <QDateTime>

class QWidget;

namespace quarvel {

class MessageBoxes;

// The server clock, which every stored time stamp uses. A failure is shown (the error number,
// a blank and the description, titled with the program's name) and the zero date returned.
QDateTime GetServerDate(MessageBoxes& messages, QWidget* parent = nullptr);

}  // namespace quarvel
