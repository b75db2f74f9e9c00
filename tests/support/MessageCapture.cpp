#include "support/MessageCapture.h"

namespace testing_support {

MessageCapture::MessageCapture()
{
    m_previous = platform::SetMessageSink([this](const std::string& text, platform::MessageIcon icon) {
        m_messages.push_back({text, icon});
    });
}

MessageCapture::~MessageCapture() { platform::SetMessageSink(std::move(m_previous)); }

}  // namespace testing_support
