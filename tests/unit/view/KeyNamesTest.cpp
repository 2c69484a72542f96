#include "view/KeyNames.h"

#include <gtest/gtest.h>

namespace {

TEST(KeyNames, NamedKeysLettersDigitsAndPunctuation)
{
    EXPECT_EQ(view::keyName(Qt::Key_Home, {}), "Home");
    EXPECT_EQ(view::keyName(Qt::Key_PageDown, {}), "PageDown");
    EXPECT_EQ(view::keyName(Qt::Key_Enter, "\r"), "Return") << "the keypad's Enter is Return";
    EXPECT_EQ(view::keyName(Qt::Key_F5, {}), "F5");
    EXPECT_EQ(view::keyName(Qt::Key_F12, {}), "F12");
    // Letters are named by their key, whatever Shift or Ctrl made them type.
    EXPECT_EQ(view::keyName(Qt::Key_A, "A"), "a");
    EXPECT_EQ(view::keyName(Qt::Key_Z, QString(QChar(26))), "z");
    EXPECT_EQ(view::keyName(Qt::Key_7, "7"), "7");
    EXPECT_EQ(view::keyName(Qt::Key_Comma, ","), ",");
    // Modifier keys alone and keys that type nothing printable have no name.
    EXPECT_EQ(view::keyName(Qt::Key_Shift, {}), "");
    EXPECT_EQ(view::keyName(Qt::Key_Control, {}), "");
    EXPECT_EQ(view::keyName(Qt::Key_unknown, QString(QChar(0x3042))), "");
}

TEST(KeyNames, ModifiersInAFixedOrder)
{
    EXPECT_EQ(view::modifierText(Qt::NoModifier), "");
    EXPECT_EQ(view::modifierText(Qt::KeypadModifier), "") << "the keypad is no modifier";
    EXPECT_EQ(view::modifierText(Qt::ShiftModifier | Qt::ControlModifier), "Ctrl+Shift");
    EXPECT_EQ(view::modifierText(Qt::MetaModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::ControlModifier),
              "Ctrl+Shift+Alt+Meta");
}

}  // namespace
