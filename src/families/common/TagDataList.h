#pragma once
// The reply list of the tag windows (`lstTagData`): a plain list in a fixed-pitch font
// holding the newest 100 lines. A line added becomes the selected one, so the list
// scrolls along; the oldest line goes when a 101st arrives. A line wider than the list
// is shown whole: the list scrolls sideways.
//
// Device bytes are shown the way the traffic monitor shows them (control codes and the
// codes without a printable form by name, see CharNames), and each line keeps the bytes
// it was made of, so a dialog that takes data from a line gets the device's bytes back,
// not a reading of the names.

#include <QByteArray>
#include <QListWidget>
#include <QString>

namespace orvid {

class TagDataList : public QListWidget {
    Q_OBJECT
public:
    static constexpr int MaxLines = 100;

    explicit TagDataList(QWidget* parent = nullptr);

    // Adds bytes as one line.
    void AddLine(const QByteArray& bytes);
    // Adds a program text (a head label, a status text) followed by device bytes; the
    // line's bytes are the text in Windows-1252 followed by bytes.
    void AddLine(const QString& text, const QByteArray& bytes);
    // Adds a program text alone.
    void AddText(const QString& text);
    // Adds bytes as lines, oldest first, and scrolls once: for lines that come faster
    // than a list can be laid out for each.
    void AddLines(const QList<QByteArray>& lines);

    // The bytes line row was made of (empty for a row that does not exist).
    QByteArray RawBytes(int row) const;
    // The shown text of line row (empty for a row that does not exist).
    QString LineText(int row) const;
    // The selected line, or the last line when none is selected; -1 when the list is empty.
    int SelectedOrLastRow() const;

    // How device bytes read in the list.
    static QString Display(const QByteArray& bytes);

private:
    void append(const QString& shown, const QByteArray& raw);
    QListWidgetItem* addRaw(const QString& shown, const QByteArray& raw);
    void showNewest(QListWidgetItem* newest);
};

} // namespace orvid
