#include "TagDataList.h"

#include "foundations/Cp1252.h"
#include "shell/CharNames.h"

#include <QFontDatabase>

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

void TagDataList::append(const QString& shown, const QByteArray& raw)
{
    auto* it = new QListWidgetItem(shown);
    it->setData(RawRole, raw);
    addItem(it);
    setCurrentItem(it);
    scrollToItem(it);
    while (count() > MaxLines)
        delete takeItem(0);
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
