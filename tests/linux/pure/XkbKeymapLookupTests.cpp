#include "Models/VirtualKeyCode.h"
#include "Platform/Linux/XkbKeymapLookup.h"

#include <gtest/gtest.h>

using namespace quillo;
namespace V = quillo::VirtualKeyCode;

namespace {
XkbKeymapLookup keymap(const char* layout, quint32 group = 0) {
    auto lookup = XkbKeymapLookup::fromNames(QString::fromLatin1(layout), {}, QStringLiteral("pc105"), group);
    EXPECT_TRUE(lookup.isValid()) << layout << ": the xkb data files are missing";
    return lookup;
}
} // namespace

TEST(XkbKeymapLookup, QwertyShortcutLetters) {
    const auto us = keymap("us");
    EXPECT_EQ(us.keyCode(u'a'), V::a);
    EXPECT_EQ(us.keyCode(u'A'), V::a);
    EXPECT_EQ(us.keyCode(u'c'), V::c);
    EXPECT_EQ(us.keyCode(u'v'), V::v);
    EXPECT_EQ(us.keyCode(u'q'), V::q);
    EXPECT_EQ(us.characters(V::a), QStringLiteral("a"));
    EXPECT_EQ(us.characters(V::digit1), QStringLiteral("1"));
}

TEST(XkbKeymapLookup, AzertyMovesAButNotCOrV) {
    const auto fr = keymap("fr");
    EXPECT_EQ(fr.keyCode(u'a'), V::q); // 12, as the AZERTY physical layout setting says
    EXPECT_EQ(fr.keyCode(u'q'), V::a);
    EXPECT_EQ(fr.keyCode(u'z'), V::w);
    EXPECT_EQ(fr.keyCode(u'c'), V::c);
    EXPECT_EQ(fr.keyCode(u'v'), V::v);
    EXPECT_EQ(fr.characters(V::q), QStringLiteral("a"));
    EXPECT_EQ(fr.characters(V::digit1), QStringLiteral("&"));
}

TEST(XkbKeymapLookup, RussianActiveStillFindsLatinShortcutKeys) {
    // The usual set-up: a Latin and a Cyrillic group, the Cyrillic one active.
    const auto usRu = keymap("us,ru", 1);
    ASSERT_EQ(usRu.groupCount(), 2u);
    EXPECT_EQ(usRu.characters(V::a), QStringLiteral("ф"));
    EXPECT_EQ(usRu.keyCode(u'a'), V::a);
    EXPECT_EQ(usRu.keyCode(u'c'), V::c);
    EXPECT_EQ(usRu.keyCode(u'v'), V::v);
    EXPECT_EQ(usRu.keyCode(u'ф'), V::a) << "letters of the active group come first";

    // Russian alone: the QWERTY positions, where the toolkits look for their Latin fallback.
    const auto ru = keymap("ru");
    EXPECT_EQ(ru.characters(V::c), QStringLiteral("с"));
    EXPECT_EQ(ru.keyCode(u'a'), V::a);
    EXPECT_EQ(ru.keyCode(u'c'), V::c);
    EXPECT_EQ(ru.keyCode(u'v'), V::v);
    EXPECT_EQ(ru.keyCode(u'я'), V::z);
}

TEST(XkbKeymapLookup, GreekAndAzertyTogether) {
    const auto grFr = keymap("gr,fr", 0);
    EXPECT_EQ(grFr.characters(V::a), QStringLiteral("α"));
    // No Latin in the active group: the French group answers, so A is where AZERTY has it.
    EXPECT_EQ(grFr.keyCode(u'a'), V::q);
}

TEST(XkbKeymapLookup, KeysThatTypeNothingOrDoNotExist) {
    const auto us = keymap("us");
    EXPECT_EQ(us.characters(V::f8), QString());
    EXPECT_EQ(us.characters(V::shift), QString());
    EXPECT_EQ(us.characters(V::forwardDelete), QString());
    EXPECT_EQ(us.characters(V::returnKey), QStringLiteral("\r"));
    EXPECT_EQ(us.characters(127), std::nullopt);
    EXPECT_EQ(us.keyCode(u'é'), std::nullopt);
    EXPECT_EQ(us.keyCode(u'1'), V::digit1);
    // An out-of-range group falls back to the first.
    auto copy = us;
    copy.setActiveGroup(5);
    EXPECT_EQ(copy.activeGroup(), 0u);

    const XkbKeymapLookup none;
    EXPECT_FALSE(none.isValid());
    EXPECT_EQ(none.characters(V::a), std::nullopt);
    EXPECT_EQ(none.keyCode(u'a'), std::nullopt);
}
