#pragma once
// Small procedures shared by every window for check boxes, option-button groups, combo
// boxes and text boxes, and for bringing a window forward. They hold no state.

#include <QList>
#include <QString>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace orvid {

// Check boxes: a ticked box reads 1 (not -1; callers test it as non-zero), an unticked or
// partially checked box reads 0.
void SetCheck(QCheckBox* box, bool state);
int16_t GetCheck(const QCheckBox* box);

// Option-button groups, given in the order of their index. An index outside the group
// selects button 0. Selecting emits the buttons' toggled signals as a click would.
void SetOptionGroup(const QList<QRadioButton*>& group, int index);
// The position of the first checked button; 0 when none is.
int GetOptionGroup(const QList<QRadioButton*>& group);

// Combo boxes; the item data is an integer under Qt::UserRole.
void AddComboItem(QComboBox* combo, const QString& text, int32_t itemData);
// The index of the first entry with that item data, else defaultIndex; with select and a
// non-empty list that index becomes the current one (-1 = none).
int16_t SelectComboItem(QComboBox* combo, int16_t itemData, int16_t defaultIndex = -1,
                        bool select = true);
// The item data of the current entry; 0 when none is current or the data is no 16-bit
// number.
int16_t GetComboItemData(const QComboBox* combo);
// Makes the first entry equal to text current, else defaultIndex; returns that index.
int16_t SelectListText(QComboBox* combo, const QString& text, int16_t defaultIndex = -1);

// Selects the whole text of an editable control (line edit, editable combo, spin box,
// text edit); other widgets are left alone.
void SelectAllText(QWidget* control);
void SelectAllTextBox(QLineEdit* box);
// Called from focus handlers of numeric boxes: selects the whole text, like SelectAllText.
void NumKeyFilter(QLineEdit* box);

// Input filters for change handlers (textChanged).
// FilterText: allowed starting with "~" means exactly the characters after it; otherwise a
// blank is allowed too. Removes the characters outside the set, beeps (not for NUL) and
// returns false; returns true and changes nothing when the text is clean.
bool FilterText(QLineEdit* box, const QString& allowed);
// FilterTextBox / HexKeyFilter: exactly the given characters are allowed; offending
// characters are removed with a beep and the caret stays where the user was typing.
void FilterTextBox(QLineEdit* box, const QString& allowed);
void HexKeyFilter(QLineEdit* box, const QString& allowed);
// At most maxChars characters typed into box, while a longer text the program sets is
// shown whole (a line edit's own maximum length would cut it) and can still be shortened.
void LimitTyping(QLineEdit* box, int maxChars);

// Brings a shown window in front of the others and makes it the active one: its frame in
// the main window's area, or the window itself when it stands on its own. A window that is
// already open would otherwise stay hidden under the one the user last clicked into.
void BringForward(QWidget* window);
// Shows a window (and its frame in the main window's area) in the state it has - its stored
// place may have maximised it - and brings it forward.
void ShowInFront(QWidget* window);

} // namespace orvid
