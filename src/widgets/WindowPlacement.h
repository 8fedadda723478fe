#pragma once

class QWidget;

namespace quarvel {

// Centres a child window in the inner area of the main window: left = (inner width − window
// width) / 2 and top = (inner height − window height) / 2. A window shown in an MDI area
// (the subwindow itself or the widget it holds) moves its subwindow within the area's
// viewport; a window with another parent is centred over the parent's inner area (the
// central widget of a main window); a window without a parent is centred over the visible
// main window of the application, or on its screen when there is none. Call it once the
// window has its size.
void CenterInMainWindow(QWidget* window);

// Closes a window of the main window: its MDI frame when it has one, else the window itself.
void CloseChildWindow(QWidget* window);

}  // namespace quarvel
