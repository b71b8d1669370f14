#include "platform/MessageText.h"

namespace harbrook {

namespace {

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string ShortenedForMessage(const std::string& text, std::size_t limit) {
    static const std::string kEllipsis = "\xE2\x80\xA6";
    if (text.size() <= limit || limit < 8) {
        return text;
    }
    // The end usually tells the most (a file's name), so it gets the larger part.
    std::size_t head = (limit - kEllipsis.size()) * 2 / 5;
    std::size_t tail = limit - kEllipsis.size() - head;
    while (head > 0 && isContinuationByte(text[head])) {
        --head;
    }
    std::size_t tailStart = text.size() - tail;
    while (tailStart < text.size() && isContinuationByte(text[tailStart])) {
        ++tailStart;
    }
    std::string shortened = text.substr(0, head);
    shortened += kEllipsis;
    shortened.append(text, tailStart, std::string::npos);
    return shortened;
}

}  // namespace harbrook
