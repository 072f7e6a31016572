#pragma once
// The data-list control that system windows place on their forms to log the data they
// read or write. It keeps one log in three renderings (character names, hex, decimal)
// and shows one of them; each rendering is capped at 30000 characters by dropping its
// oldest lines.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QWidget>

class QPlainTextEdit;

namespace orvid {

class ctrlList : public QWidget {
    Q_OBJECT
public:
    static constexpr int MaxChars = 30000;  // a rendering longer than this is cut
    static constexpr int CutChars = 10000;  // at least this much is dropped per cut
    enum Kind { PlainLine = 1, DataLine = 2 };

    explicit ctrlList(QWidget* parent = nullptr);

    // Builds this control's character-name table.
    void Init();
    // Empties all three renderings.
    void Clear();
    // Shows rendering n: 1 names, 2 hex, 3 decimal. Other values are ignored.
    void Format(int representation);
    // kind 1: the data as a plain line in every rendering (the caption is not used);
    // kind 2: caption plus the data rendered per rendering; other kinds add nothing.
    void ShowData(int kind, const QByteArray& caption, const QByteArray& data);

    // The shown rendering's text, lines ended by CR LF.
    QString text() const { return boxes_[current_]; }
    // One rendering's text: 0 names, 1 hex, 2 decimal.
    QString boxText(int box) const { return box >= 0 && box < 3 ? boxes_[box] : QString(); }
    int representation() const { return current_ + 1; }

private:
    void appendLine(int box, const QString& line);
    void showBox();

    QStringList names_;
    QString boxes_[3];
    int current_ = 0;
    QPlainTextEdit* rtfData = nullptr;
};

} // namespace orvid
