#pragma once

class QWidget;

namespace quarvel {

// Lets the user see and change the connection settings (the connection-settings dialog). The
// login window reaches the dialog only through this interface, so that tests can answer it.
class ConnectionSettingsEditor {
public:
    virtual ~ConnectionSettingsEditor() = default;
    // Shows the settings; true when the user saved them.
    virtual bool edit(QWidget* parent) = 0;
};

}  // namespace quarvel
