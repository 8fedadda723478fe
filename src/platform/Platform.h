#pragma once

#include "platform/MessageBoxes.h"

#include <memory>

namespace quarvel {

// Ending the process "at once", as the exit entries and the login's Cancel do.
class ProcessControl {
public:
    virtual ~ProcessControl() = default;
    virtual void endProgram() = 0;
};

class QtProcessControl final : public ProcessControl {
public:
    void endProgram() override;
};

// The platform services a window reaches: one object per process (or per test), handed to
// every window. Each service can be replaced, which the tests do.
class Platform {
public:
    Platform();
    ~Platform();
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    MessageBoxes& messages() const { return *m_messages; }
    ProcessControl& process() const { return *m_process; }

    void setMessages(std::unique_ptr<MessageBoxes> m) { m_messages = std::move(m); }
    void setProcess(std::unique_ptr<ProcessControl> p) { m_process = std::move(p); }

private:
    std::unique_ptr<MessageBoxes> m_messages;
    std::unique_ptr<ProcessControl> m_process;
};

}  // namespace quarvel
