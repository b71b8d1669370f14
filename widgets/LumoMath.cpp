#include "widgets/LumoMath.h"

#include <Qt>

#include <cmath>

int lumoRound(double value) {
    return static_cast<int>(std::nearbyint(value));
}

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) {
        return -1;
    }
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    const bool negative = (product < 0) != (denominator < 0);
    const std::int64_t magnitude = product < 0 ? -product : product;
    const std::int64_t divisor = denominator < 0 ? -static_cast<std::int64_t>(denominator) : denominator;
    const std::int64_t rounded = (magnitude + divisor / 2) / divisor;
    return static_cast<int>(negative ? -rounded : rounded);
}

int lumoKeyCode(int qtKey) {
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
        return 112 + (qtKey - Qt::Key_F1);
    }
    if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)) {
        return qtKey;
    }
    switch (qtKey) {
        case Qt::Key_Backspace: return 8;
        case Qt::Key_Tab: return 9;
        case Qt::Key_Return:
        case Qt::Key_Enter: return 13;
        case Qt::Key_Escape: return 27;
        case Qt::Key_Space: return 32;
        case Qt::Key_PageUp: return 33;
        case Qt::Key_PageDown: return 34;
        case Qt::Key_End: return 35;
        case Qt::Key_Home: return 36;
        case Qt::Key_Left: return 37;
        case Qt::Key_Up: return 38;
        case Qt::Key_Right: return 39;
        case Qt::Key_Down: return 40;
        case Qt::Key_Insert: return 45;
        case Qt::Key_Delete: return 46;
        default: return 0;
    }
}
