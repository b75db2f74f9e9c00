#pragma once
// Records every message the program would show, instead of showing it, for the object's lifetime.

#include <string>
#include <vector>

#include "platform/MessageBox.h"

namespace testing_support {

struct CapturedMessage {
    std::string text;
    platform::MessageIcon icon;
};

class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();

    const std::vector<CapturedMessage>& Messages() const { return m_messages; }
    void Clear() { m_messages.clear(); }

private:
    std::vector<CapturedMessage> m_messages;
    platform::MessageSink m_previous;
};

}  // namespace testing_support
