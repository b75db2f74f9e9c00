// Message texts cut to the message buffer stay valid UTF-8, so the box never comes up blank.

#include <gtest/gtest.h>

#include "platform/MessageBox.h"

namespace {

// True when text is a whole sequence of UTF-8 characters.
bool WholeUtf8(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

}  // namespace

TEST(MessageText, ALongCyrillicPathIsCutOnAWholeCharacter)
{
    // Every offset of the cut against the two-byte letters, and a four-byte character.
    for (const std::string prefix : {"", "/", "/a", "/ab"}) {
        for (const std::string letter : {"ж", "\xF0\x9F\x8E\xB5"}) {
            std::string path = prefix;
            while (path.size() < 1500)
                path += letter;
            const std::string text = platform::FormatFileMessage(path, "Не могу открыть файл.\n");
            SCOPED_TRACE(prefix + letter);
            EXPECT_LE(text.size(), 999u);
            EXPECT_GE(text.size(), 999u - 3);
            EXPECT_TRUE(WholeUtf8(text));
            EXPECT_EQ(text, path.substr(0, text.size()));
        }
    }
}

TEST(MessageText, AShortMessageIsWhole)
{
    EXPECT_EQ(platform::FormatFileMessage("/музыка/запись.mp3", "Не могу создать файл."),
              "/музыка/запись.mp3\nНе могу создать файл.");
}
