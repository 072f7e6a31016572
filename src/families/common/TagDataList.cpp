#include "TagDataList.h"

#include "foundations/Cp1252.h"
#include "shell/CharNames.h"

#include <QFontDatabase>
#include <QStyleOptionViewItem>

#include <algorithm>

namespace orvid {

namespace {
constexpr int RawRole = Qt::UserRole + 1;
}

TagDataList::TagDataList(QWidget* parent)
    : QListWidget(parent)
{
    setObjectName(QStringLiteral("lstTagData"));
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Every line as wide as its own text, so a long one scrolls sideways instead of being
    // cut with an ellipsis (lines of one size would all take the width of one of them).
    setTextElideMode(Qt::ElideNone);
}

QString TagDataList::Display(const QByteArray& bytes)
{
    const QStringList& names = CharNames();
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes)
        out += names.at(static_cast<unsigned char>(c));
    return out;
}

void TagDataList::AddLine(const QByteArray& bytes)
{
    append(Display(bytes), bytes);
}

void TagDataList::AddLine(const QString& text, const QByteArray& bytes)
{
    append(text + Display(bytes), ToCp1252(text) + bytes);
}

void TagDataList::AddText(const QString& text)
{
    append(text, ToCp1252(text));
}

void TagDataList::AddLines(const QList<QByteArray>& lines)
{
    // Only the newest MaxLines would stay.
    QListWidgetItem* newest = nullptr;
    for (qsizetype i = std::max<qsizetype>(lines.size() - MaxLines, 0); i < lines.size(); ++i)
        newest = addRaw(Display(lines[i]), lines[i]);
    if (newest)
        showNewest(newest);
}

void TagDataList::append(const QString& shown, const QByteArray& raw)
{
    showNewest(addRaw(shown, raw));
}

QListWidgetItem* TagDataList::addRaw(const QString& shown, const QByteArray& raw)
{
    auto* it = new QListWidgetItem(shown);
    it->setData(RawRole, raw);
    addItem(it);
    // Lines differ in width, so the view asks every line for its size whenever it lays
    // itself out, and measuring a line means laying out its text: the size is measured
    // once here and kept with the line.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    it->setSizeHint(itemDelegate()->sizeHint(option, indexFromItem(it)));
    return it;
}

void TagDataList::showNewest(QListWidgetItem* newest)
{
    // The oldest lines go before the view scrolls, so it lays itself out for what stays:
    // scrolled first, it would be painted empty until its next layout.
    while (count() > MaxLines)
        delete takeItem(0);
    setCurrentItem(newest);
    scrollToItem(newest);
}

QByteArray TagDataList::RawBytes(int row) const
{
    const QListWidgetItem* it = item(row);
    return it ? it->data(RawRole).toByteArray() : QByteArray();
}

QString TagDataList::LineText(int row) const
{
    const QListWidgetItem* it = item(row);
    return it ? it->text() : QString();
}

int TagDataList::SelectedOrLastRow() const
{
    if (count() == 0)
        return -1;
    const QList<QListWidgetItem*> sel = selectedItems();
    return sel.isEmpty() ? count() - 1 : row(sel.first());
}

} // namespace orvid
