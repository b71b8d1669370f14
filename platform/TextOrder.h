#pragma once

#include <string_view>

// Texts compared as sorted lists show them: letters without regard to case, and texts that
// differ only in case in a fixed order between them ("apple" < "Banana" < "README" <
// "readme" < "Zeta"). Only ASCII letters are folded; other bytes compare by value.
// <0, 0 or >0. `sawOtherBytes` (when given) is set when a byte outside ASCII stood at or
// before the place that decided: the answer is then exact only for byte texts, not for
// texts a caller decodes first.
int CompareFoldingAscii(std::string_view a, std::string_view b, bool* sawOtherBytes = nullptr);
