#pragma once

#include <cstdint>

// The kit's arithmetic, in one place: the controls' geometry must round exactly as the
// kit always has.

// Rounds halves to even (2.5 -> 2, 3.5 -> 4), as the kit's arithmetic does.
int lumoRound(double value);

// number * numerator / denominator with a 64-bit product, rounded to the nearest whole
// number with halves away from zero; -1 when the denominator is 0.
int MulDiv(int number, int numerator, int denominator);

// The key codes the kit's owners compare (Enter 13, Escape 27, Delete 46, F5 116 ...)
// for a Qt key; 0 for keys without one.
int lumoKeyCode(int qtKey);
