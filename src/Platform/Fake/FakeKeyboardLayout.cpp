#include "Platform/Fake/FakeKeyboardLayout.h"

namespace quillo {

namespace {
// Letter positions of the ANSI layout by virtual key code.
const QList<std::pair<quint16, QString>>& qwertyLetters() {
    static const QList<std::pair<quint16, QString>> letters{
        {0, "a"},  {1, "s"},  {2, "d"},  {3, "f"},  {4, "h"},  {5, "g"},  {6, "z"},  {7, "x"},
        {8, "c"},  {9, "v"},  {11, "b"}, {12, "q"}, {13, "w"}, {14, "e"}, {15, "r"}, {16, "y"},
        {17, "t"}, {31, "o"}, {32, "u"}, {34, "i"}, {35, "p"}, {37, "l"}, {38, "j"}, {40, "k"},
        {41, ";"}, {45, "n"}, {46, "m"}, {49, " "}, {18, "1"}, {19, "2"}, {20, "3"}, {21, "4"}};
    return letters;
}
} // namespace

FakeKeyboardLayout FakeKeyboardLayout::qwerty() {
    FakeKeyboardLayout layout;
    for (const auto& [code, text] : qwertyLetters()) layout.setKey(code, text);
    return layout;
}

FakeKeyboardLayout FakeKeyboardLayout::azerty() {
    FakeKeyboardLayout layout = qwerty();
    layout.setKey(0, QStringLiteral("q"));
    layout.setKey(12, QStringLiteral("a"));
    layout.setKey(6, QStringLiteral("w"));
    layout.setKey(13, QStringLiteral("z"));
    layout.setKey(41, QStringLiteral("m"));
    layout.setKey(46, QStringLiteral(","));
    return layout;
}

} // namespace quillo
