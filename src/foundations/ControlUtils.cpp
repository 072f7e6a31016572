#include "ControlUtils.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTextEdit>
#include <QValidator>

#include <limits>
#include <optional>

namespace orvid {

void SetCheck(QCheckBox* box, bool state)
{
    if (box)
        box->setCheckState(state ? Qt::Checked : Qt::Unchecked);
}

int16_t GetCheck(const QCheckBox* box)
{
    return box && box->checkState() == Qt::Checked ? 1 : 0;
}

void SetOptionGroup(const QList<QRadioButton*>& group, int index)
{
    if (group.isEmpty())
        return;
    if (index < 0 || index >= group.size())
        index = 0;
    QRadioButton* chosen = group.at(index);
    if (!chosen)
        return;
    chosen->setChecked(true);
    // Buttons of one group may sit in different containers, where Qt's automatic
    // exclusivity does not reach: clear the others explicitly.
    for (QRadioButton* other : group) {
        if (other && other != chosen && other->isChecked()) {
            const bool exclusive = other->autoExclusive();
            other->setAutoExclusive(false);
            other->setChecked(false);
            other->setAutoExclusive(exclusive);
        }
    }
}

int GetOptionGroup(const QList<QRadioButton*>& group)
{
    for (int i = 0; i < group.size(); ++i) {
        if (group.at(i) && group.at(i)->isChecked())
            return i;
    }
    return 0;
}

void AddComboItem(QComboBox* combo, const QString& text, int32_t itemData)
{
    if (combo)
        combo->addItem(text, QVariant(static_cast<int>(itemData)));
}

int16_t SelectComboItem(QComboBox* combo, int16_t itemData, int16_t defaultIndex, bool select)
{
    if (!combo)
        return defaultIndex;
    int16_t found = defaultIndex;
    for (int i = 0; i < combo->count(); ++i) {
        bool ok = false;
        const int data = combo->itemData(i).toInt(&ok);
        if (ok && data == itemData) {
            found = static_cast<int16_t>(i);
            break;
        }
    }
    if (select && combo->count() > 0)
        combo->setCurrentIndex(found >= 0 && found < combo->count() ? found : -1);
    return found;
}

int16_t GetComboItemData(const QComboBox* combo)
{
    if (!combo || combo->currentIndex() < 0)
        return 0;
    bool ok = false;
    const qlonglong data = combo->itemData(combo->currentIndex()).toLongLong(&ok);
    if (!ok || data < std::numeric_limits<int16_t>::min() || data > std::numeric_limits<int16_t>::max())
        return 0;
    return static_cast<int16_t>(data);
}

int16_t SelectListText(QComboBox* combo, const QString& text, int16_t defaultIndex)
{
    if (!combo)
        return defaultIndex;
    int16_t found = defaultIndex;
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i) == text) {
            found = static_cast<int16_t>(i);
            break;
        }
    }
    combo->setCurrentIndex(found >= 0 && found < combo->count() ? found : -1);
    return found;
}

void SelectAllText(QWidget* control)
{
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->selectAll();
    else if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->lineEdit())
        combo->lineEdit()->selectAll();
    else if (auto* spin = qobject_cast<QAbstractSpinBox*>(control))
        spin->selectAll();
    else if (auto* text = qobject_cast<QTextEdit*>(control))
        text->selectAll();
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(control))
        plain->selectAll();
}

void SelectAllTextBox(QLineEdit* box)
{
    if (box)
        box->selectAll();
}

void NumKeyFilter(QLineEdit* box)
{
    SelectAllTextBox(box);
}

namespace {

// Removes every character outside the set. Writing the text back raises the change
// signal again; that nested call then finds a clean text and does nothing. Removing all at
// once (rather than one per change) also cleans a pasted text when the caller listens to
// textEdited, which a programmatic write does not raise. Returns the first removed
// character, or nothing when the text was clean.
std::optional<QChar> RemoveOutside(QLineEdit* box, const QString& set)
{
    const QString text = box->text();
    const int caret = box->cursorPosition();
    QString kept;
    kept.reserve(text.size());
    std::optional<QChar> first;
    int removedBeforeCaret = 0;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (set.contains(c)) {
            kept.append(c);
            continue;
        }
        if (!first)
            first = c;
        if (i < caret)
            ++removedBeforeCaret;
    }
    if (!first)
        return std::nullopt;
    if (first->unicode() != 0)
        QApplication::beep();
    box->setText(kept);
    // Keep the caret where the user was typing, not one character further on.
    box->setCursorPosition(qBound(0, caret - removedBeforeCaret, int(kept.size())));
    return first;
}

} // namespace

bool FilterText(QLineEdit* box, const QString& allowed)
{
    if (!box)
        return true;
    QString set;
    if (allowed.startsWith(QLatin1Char('~')))
        set = allowed.mid(1);
    else
        set = allowed + QLatin1Char(' ');
    return !RemoveOutside(box, set).has_value();
}

void FilterTextBox(QLineEdit* box, const QString& allowed)
{
    if (!box)
        return;
    const int caret = box->cursorPosition();
    if (!RemoveOutside(box, allowed))
        box->setCursorPosition(caret);
}

void HexKeyFilter(QLineEdit* box, const QString& allowed)
{
    FilterTextBox(box, allowed);
}

namespace {
// A line edit asks its validator about typed and pasted text only, never about setText:
// an edit may not make the text longer than the limit, or than it was before.
class TypedLength final : public QValidator {
public:
    TypedLength(QLineEdit* box, int limit)
        : QValidator(box), limit_(limit), shown_(static_cast<int>(box->text().size()))
    {
        connect(box, &QLineEdit::textChanged, this,
                [this](const QString& text) { shown_ = static_cast<int>(text.size()); });
    }
    State validate(QString& input, int&) const override
    {
        return input.size() <= qMax(limit_, shown_) ? Acceptable : Invalid;
    }

private:
    int limit_;
    int shown_;
};
} // namespace

void LimitTyping(QLineEdit* box, int maxChars)
{
    if (box)
        box->setValidator(new TypedLength(box, maxChars));
}

void BringForward(QWidget* window)
{
    if (!window)
        return;
    if (auto* frame = qobject_cast<QMdiSubWindow*>(window->parentWidget())) {
        if (QMdiArea* area = frame->mdiArea()) {
            area->setActiveSubWindow(frame);
            return;
        }
        window = frame;
    }
    window->raise();
    window->activateWindow();
}

void ShowInFront(QWidget* window)
{
    if (auto* frame = qobject_cast<QMdiSubWindow*>(window->parentWidget()))
        frame->show();
    window->show();
    BringForward(window);
}

} // namespace orvid
