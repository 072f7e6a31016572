#include "ctrlList.h"

#include "CharNames.h"
#include "foundations/Cp1252.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

namespace orvid {

namespace {

// The view shows lines as blocks: CR LF (and a stray CR) become one line break.
QString forView(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

// Where a cut of at least CutChars characters may end: the first line start at or after
// CutChars, so no line is left broken. When that would take the newest line too, the cut
// ends before the newest line instead.
qsizetype cutPosition(const QString& text)
{
    const qsizetype minimum = ctrlList::CutChars;
    qsizetype cut;
    if (text.at(minimum - 1) == QLatin1Char('\n')) {
        cut = minimum;
    } else {
        const qsizetype lf = text.indexOf(QLatin1Char('\n'), minimum);
        cut = lf < 0 ? text.size() : lf + 1;
    }
    if (cut >= text.size()) {
        // Keep the newest line whole: cut up to its start.
        const qsizetype before = text.lastIndexOf(QLatin1Char('\n'), text.size() - 2);
        cut = before < 0 ? 0 : before + 1;
    }
    return cut;
}

} // namespace

ctrlList::ctrlList(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ctrlList"));
    rtfData = new QPlainTextEdit(this);
    rtfData->setObjectName(QStringLiteral("rtfData"));
    rtfData->setProperty("langTag", QStringLiteral("NOLANG"));
    rtfData->setReadOnly(true);
    rtfData->setUndoRedoEnabled(false);
    rtfData->setLineWrapMode(QPlainTextEdit::NoWrap);
    rtfData->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(rtfData);

    Format(1);
    Init();
}

void ctrlList::Init()
{
    names_ = BuildCharNames();
}

void ctrlList::Clear()
{
    for (QString& box : boxes_)
        box.clear();
    rtfData->clear();
}

void ctrlList::Format(int representation)
{
    if (representation < 1 || representation > 3)
        return;
    current_ = representation - 1;
    showBox();
}

void ctrlList::showBox()
{
    rtfData->setPlainText(forView(boxes_[current_]));
    rtfData->moveCursor(QTextCursor::End);
    rtfData->ensureCursorVisible();
}

void ctrlList::ShowData(int kind, const QByteArray& caption, const QByteArray& data)
{
    static const QString lineEnd = QStringLiteral("\r\n");
    if (kind == PlainLine) {
        const QString line = FromCp1252(data) + lineEnd;
        for (int box = 0; box < 3; ++box)
            appendLine(box, line);
        return;
    }
    if (kind != DataLine || (caption.isEmpty() && data.isEmpty()))
        return;

    if (names_.size() != 256)
        Init();
    const QString head = FromCp1252(caption);
    QString names = head;
    QString hex = head;
    QString decimal = head;
    hex.reserve(head.size() + data.size() * 3 + 2);
    decimal.reserve(head.size() + data.size() * 4 + 2);
    for (char ch : data) {
        const auto c = static_cast<unsigned char>(ch);
        names += names_.at(c);
        hex += QStringLiteral("%1 ").arg(c, 2, 16, QLatin1Char('0')).toUpper();
        decimal += QStringLiteral("%1 ").arg(c, 3, 10, QLatin1Char('0'));
    }
    appendLine(0, names + lineEnd);
    appendLine(1, hex + lineEnd);
    appendLine(2, decimal + lineEnd);
}

void ctrlList::appendLine(int box, const QString& line)
{
    QString& text = boxes_[box];
    text += line;
    const bool cut = text.size() > MaxChars;
    if (cut)
        text.remove(0, cutPosition(text));
    if (box != current_)
        return;
    if (cut) {
        showBox();
        return;
    }
    QTextCursor cursor(rtfData->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(forView(line));
    rtfData->moveCursor(QTextCursor::End);
    rtfData->ensureCursorVisible();
}

} // namespace orvid
