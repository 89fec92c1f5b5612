#pragma once

#include <cstdint>

namespace quillo {

// Virtual key codes of the physical keys (ANSI positions), in the macOS numbering that the
// trigger settings store. Letter and digit names name the key of a US layout.
namespace VirtualKeyCode {
// Letters.
inline constexpr std::uint16_t a = 0;
inline constexpr std::uint16_t s = 1;
inline constexpr std::uint16_t d = 2;
inline constexpr std::uint16_t f = 3;
inline constexpr std::uint16_t h = 4;
inline constexpr std::uint16_t g = 5;
inline constexpr std::uint16_t z = 6;
inline constexpr std::uint16_t x = 7;
inline constexpr std::uint16_t c = 8;
inline constexpr std::uint16_t v = 9;
inline constexpr std::uint16_t isoSection = 10;
inline constexpr std::uint16_t b = 11;
inline constexpr std::uint16_t q = 12;
inline constexpr std::uint16_t w = 13;
inline constexpr std::uint16_t e = 14;
inline constexpr std::uint16_t r = 15;
inline constexpr std::uint16_t y = 16;
inline constexpr std::uint16_t t = 17;
inline constexpr std::uint16_t o = 31;
inline constexpr std::uint16_t u = 32;
inline constexpr std::uint16_t i = 34;
inline constexpr std::uint16_t p = 35;
inline constexpr std::uint16_t l = 37;
inline constexpr std::uint16_t j = 38;
inline constexpr std::uint16_t k = 40;
inline constexpr std::uint16_t n = 45;
inline constexpr std::uint16_t m = 46;

// Digits of the main row.
inline constexpr std::uint16_t digit1 = 18;
inline constexpr std::uint16_t digit2 = 19;
inline constexpr std::uint16_t digit3 = 20;
inline constexpr std::uint16_t digit4 = 21;
inline constexpr std::uint16_t digit6 = 22;
inline constexpr std::uint16_t digit5 = 23;
inline constexpr std::uint16_t digit9 = 25;
inline constexpr std::uint16_t digit7 = 26;
inline constexpr std::uint16_t digit8 = 28;
inline constexpr std::uint16_t digit0 = 29;

// Punctuation.
inline constexpr std::uint16_t equal = 24;
inline constexpr std::uint16_t minus = 27;
inline constexpr std::uint16_t rightBracket = 30;
inline constexpr std::uint16_t leftBracket = 33;
inline constexpr std::uint16_t quote = 39;
inline constexpr std::uint16_t semicolon = 41;
inline constexpr std::uint16_t backslash = 42;
inline constexpr std::uint16_t comma = 43;
inline constexpr std::uint16_t slash = 44;
inline constexpr std::uint16_t period = 47;
inline constexpr std::uint16_t grave = 50;

// Editing and navigation.
inline constexpr std::uint16_t returnKey = 36;
inline constexpr std::uint16_t tab = 48;
inline constexpr std::uint16_t space = 49;
inline constexpr std::uint16_t deleteKey = 51; // backspace
inline constexpr std::uint16_t escape = 53;
inline constexpr std::uint16_t help = 114;
inline constexpr std::uint16_t home = 115;
inline constexpr std::uint16_t pageUp = 116;
inline constexpr std::uint16_t forwardDelete = 117;
inline constexpr std::uint16_t end = 119;
inline constexpr std::uint16_t pageDown = 121;
inline constexpr std::uint16_t leftArrow = 123;
inline constexpr std::uint16_t rightArrow = 124;
inline constexpr std::uint16_t downArrow = 125;
inline constexpr std::uint16_t upArrow = 126;

// Modifiers.
inline constexpr std::uint16_t rightCommand = 54;
inline constexpr std::uint16_t command = 55;
inline constexpr std::uint16_t shift = 56;
inline constexpr std::uint16_t capsLock = 57;
inline constexpr std::uint16_t option = 58;
inline constexpr std::uint16_t control = 59;
inline constexpr std::uint16_t rightShift = 60;
inline constexpr std::uint16_t rightOption = 61;
inline constexpr std::uint16_t rightControl = 62;
inline constexpr std::uint16_t function = 63;

// Function keys.
inline constexpr std::uint16_t f1 = 122;
inline constexpr std::uint16_t f2 = 120;
inline constexpr std::uint16_t f3 = 99;
inline constexpr std::uint16_t f4 = 118;
inline constexpr std::uint16_t f5 = 96;
inline constexpr std::uint16_t f6 = 97;
inline constexpr std::uint16_t f7 = 98;
inline constexpr std::uint16_t f8 = 100;
inline constexpr std::uint16_t f9 = 101;
inline constexpr std::uint16_t f10 = 109;
inline constexpr std::uint16_t f11 = 103;
inline constexpr std::uint16_t f12 = 111;
inline constexpr std::uint16_t f13 = 105;
inline constexpr std::uint16_t f14 = 107;
inline constexpr std::uint16_t f15 = 113;
inline constexpr std::uint16_t f16 = 106;
inline constexpr std::uint16_t f17 = 64;
inline constexpr std::uint16_t f18 = 79;
inline constexpr std::uint16_t f19 = 80;
inline constexpr std::uint16_t f20 = 90;

// Media keys.
inline constexpr std::uint16_t volumeUp = 72;
inline constexpr std::uint16_t volumeDown = 73;
inline constexpr std::uint16_t mute = 74;

// Keypad.
inline constexpr std::uint16_t keypadDecimal = 65;
inline constexpr std::uint16_t keypadMultiply = 67;
inline constexpr std::uint16_t keypadPlus = 69;
inline constexpr std::uint16_t keypadClear = 71;
inline constexpr std::uint16_t keypadDivide = 75;
inline constexpr std::uint16_t keypadEnter = 76;
inline constexpr std::uint16_t keypadMinus = 78;
inline constexpr std::uint16_t keypadEquals = 81;
inline constexpr std::uint16_t keypad0 = 82;
inline constexpr std::uint16_t keypad1 = 83;
inline constexpr std::uint16_t keypad2 = 84;
inline constexpr std::uint16_t keypad3 = 85;
inline constexpr std::uint16_t keypad4 = 86;
inline constexpr std::uint16_t keypad5 = 87;
inline constexpr std::uint16_t keypad6 = 88;
inline constexpr std::uint16_t keypad7 = 89;
inline constexpr std::uint16_t keypad8 = 91;
inline constexpr std::uint16_t keypad9 = 92;
} // namespace VirtualKeyCode

} // namespace quillo
