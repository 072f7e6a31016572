// Check boxes, option groups, combo boxes and the text-box filters on real widgets.
#include "foundations/ControlUtils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QWidget>
#include <gtest/gtest.h>

using namespace orvid;

TEST(ControlUtils, CheckBoxReadsOneOnlyWhenTicked)
{
    QCheckBox box;
    box.setTristate(true);
    SetCheck(&box, true);
    EXPECT_EQ(GetCheck(&box), 1);
    box.setCheckState(Qt::PartiallyChecked);
    EXPECT_EQ(GetCheck(&box), 0);
    SetCheck(&box, false);
    EXPECT_EQ(box.checkState(), Qt::Unchecked);
    EXPECT_EQ(GetCheck(&box), 0);
}

TEST(ControlUtils, OptionGroupSelectsOneButton)
{
    // Buttons in two containers: Qt's own exclusivity does not span them.
    QWidget left;
    QWidget right;
    QList<QRadioButton*> group = {new QRadioButton(&left), new QRadioButton(&left), new QRadioButton(&right)};
    EXPECT_EQ(GetOptionGroup(group), 0);

    QSignalSpy toggled(group.at(2), &QRadioButton::toggled);
    SetOptionGroup(group, 2);
    EXPECT_EQ(GetOptionGroup(group), 2);
    EXPECT_EQ(toggled.count(), 1);

    SetOptionGroup(group, 1);
    EXPECT_TRUE(group.at(1)->isChecked());
    EXPECT_FALSE(group.at(2)->isChecked());
    EXPECT_EQ(GetOptionGroup(group), 1);

    // Out of range selects button 0.
    SetOptionGroup(group, 7);
    EXPECT_EQ(GetOptionGroup(group), 0);
    SetOptionGroup(group, -1);
    EXPECT_EQ(GetOptionGroup(group), 0);
    EXPECT_FALSE(group.at(1)->isChecked());
}

TEST(ControlUtils, ComboItemsAreFoundByTheirData)
{
    QComboBox combo;
    AddComboItem(&combo, QStringLiteral("QTX 01"), 1);
    AddComboItem(&combo, QStringLiteral("QTX 14"), 14);
    AddComboItem(&combo, QStringLiteral("big"), 70000);
    EXPECT_EQ(combo.itemData(1).toInt(), 14);

    EXPECT_EQ(SelectComboItem(&combo, 14), 1);
    EXPECT_EQ(combo.currentIndex(), 1);
    EXPECT_EQ(GetComboItemData(&combo), 14);

    // Not found: the default, and with the default default nothing is selected.
    EXPECT_EQ(SelectComboItem(&combo, 99), -1);
    EXPECT_EQ(combo.currentIndex(), -1);
    EXPECT_EQ(GetComboItemData(&combo), 0);
    EXPECT_EQ(SelectComboItem(&combo, 99, 0), 0);
    EXPECT_EQ(combo.currentIndex(), 0);

    // Without the select flag the selection stays.
    EXPECT_EQ(SelectComboItem(&combo, 14, -1, false), 1);
    EXPECT_EQ(combo.currentIndex(), 0);

    // Data that does not fit 16 bits reads as 0 rather than a wrapped number.
    combo.setCurrentIndex(2);
    EXPECT_EQ(GetComboItemData(&combo), 0);

    QComboBox empty;
    EXPECT_EQ(SelectComboItem(&empty, 1, 3), 3);
    EXPECT_EQ(empty.currentIndex(), -1);
}

TEST(ControlUtils, ListTextSelectsTheFirstEqualEntry)
{
    QComboBox combo;
    combo.addItems({QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM2")});
    EXPECT_EQ(SelectListText(&combo, QStringLiteral("COM2")), 1);
    EXPECT_EQ(combo.currentIndex(), 1);
    EXPECT_EQ(SelectListText(&combo, QStringLiteral("com2")), -1);
    EXPECT_EQ(combo.currentIndex(), -1);
    EXPECT_EQ(SelectListText(&combo, QStringLiteral("COM9"), 2), 2);
    EXPECT_EQ(combo.currentIndex(), 2);
}

TEST(ControlUtils, SelectAllTextSelectsTheWholeText)
{
    QLineEdit edit(QStringLiteral("00 11 22"));
    edit.setCursorPosition(3);
    SelectAllText(&edit);
    EXPECT_EQ(edit.selectionStart(), 0);
    EXPECT_EQ(edit.selectedText(), QStringLiteral("00 11 22"));

    QComboBox combo;
    combo.setEditable(true);
    combo.setEditText(QStringLiteral("STX"));
    SelectAllText(&combo);
    EXPECT_EQ(combo.lineEdit()->selectedText(), QStringLiteral("STX"));

    QLineEdit num(QStringLiteral("123"));
    NumKeyFilter(&num);
    EXPECT_EQ(num.selectedText(), QStringLiteral("123"));
}

TEST(ControlUtils, FilterTextKeepsOnlyTheAllowedSet)
{
    const QString digits = QStringLiteral("0123456789");
    QLineEdit box;
    box.setText(QStringLiteral("12 34"));
    EXPECT_TRUE(FilterText(&box, digits)); // a blank is allowed unless "~" leads
    EXPECT_EQ(box.text(), QStringLiteral("12 34"));

    EXPECT_FALSE(FilterText(&box, QStringLiteral("~") + digits));
    EXPECT_EQ(box.text(), QStringLiteral("1234"));
    EXPECT_TRUE(FilterText(&box, QStringLiteral("~") + digits));

    // Wired to the change signal as the windows do it: a pasted text comes out clean.
    QLineEdit wired;
    int calls = 0;
    QObject::connect(&wired, &QLineEdit::textChanged, [&] {
        ++calls;
        FilterText(&wired, QStringLiteral("~") + digits);
    });
    wired.setText(QStringLiteral("1a2b 3"));
    EXPECT_EQ(wired.text(), QStringLiteral("123"));
    EXPECT_LE(calls, 3);
}

TEST(ControlUtils, HexFilterRemovesTheTypedCharacterAndKeepsTheCaret)
{
    const QString hex = QStringLiteral("0123456789ABCDEF");
    QLineEdit box;
    QObject::connect(&box, &QLineEdit::textEdited, [&] { HexKeyFilter(&box, hex); });
    box.setText(QStringLiteral("0A1B"));
    box.setCursorPosition(2);
    box.insert(QStringLiteral("G")); // typed in the middle
    EXPECT_EQ(box.text(), QStringLiteral("0A1B"));
    EXPECT_EQ(box.cursorPosition(), 2);
    box.insert(QStringLiteral("F"));
    EXPECT_EQ(box.text(), QStringLiteral("0AF1B"));
    EXPECT_EQ(box.cursorPosition(), 3);

    // No blank is added to the set, and a clean text keeps its caret.
    QLineEdit spaced(QStringLiteral("0A 1B"));
    spaced.setCursorPosition(5);
    FilterTextBox(&spaced, hex);
    EXPECT_EQ(spaced.text(), QStringLiteral("0A1B"));
    EXPECT_EQ(spaced.cursorPosition(), 4);
    spaced.setCursorPosition(1);
    FilterTextBox(&spaced, hex);
    EXPECT_EQ(spaced.cursorPosition(), 1);
}
