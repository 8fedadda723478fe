#pragma once

class QLineEdit;
class QWidget;

namespace quarvel {

// What a user types or pastes into a box is made valid once, where it enters: a NUL character
// (which a database driver would cut the text at) is refused, and a lone half of a surrogate
// pair (from a malformed paste) is replaced as Qt replaces it when it converts the text, so the
// text means the same on every path that later stores, binds or compares it. With a maximum,
// longer input is cut there; either way the box says so in a tip beside it.
void guardTypedText(QLineEdit* box, int maxLength = 0);

// The same for every line box under the window that has no validator of its own, with the
// limits the boxes already have.
void guardTypedTexts(QWidget* window);

}  // namespace quarvel
