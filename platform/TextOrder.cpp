#include "platform/TextOrder.h"

namespace {

unsigned char folded(unsigned char byte) {
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

}  // namespace

int CompareFoldingAscii(std::string_view a, std::string_view b, bool* sawOtherBytes) {
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    // The first case difference decides only when the folded texts are equal.
    int byCase = 0;
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (((x | y) & 0x80) != 0 && sawOtherBytes != nullptr) {
            *sawOtherBytes = true;
        }
        if (x == y) {
            continue;
        }
        const unsigned char fx = folded(x);
        const unsigned char fy = folded(y);
        if (fx != fy) {
            return fx < fy ? -1 : 1;
        }
        if (byCase == 0) {
            byCase = x < y ? -1 : 1;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    return byCase;
}
