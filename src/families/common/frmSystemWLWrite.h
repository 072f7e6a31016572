#pragma once
// The write dialog of the microwave readers (system L's framed protocol and the long-range
// reader KLX9000): ID code of the tag to write (or any tag), memory model, data speed,
// interval type and length, and the data. It only collects and checks; it sends nothing.

#include "FamilyDialog.h"
#include "MicrowaveWrite.h"

#include <QList>
#include <QString>

class QComboBox;
class QLineEdit;
class QRadioButton;
class QLabel;

namespace orvid {

class frmSystemWLWrite : public FamilyDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 3100;

    explicit frmSystemWLWrite(AppContext& ctx, QWidget* parent = nullptr);

    // Modal; true on OK, and then values holds the input. The ID code of the last
    // confirmed showing is kept for an emptied ID box (lastId: in and out).
    static bool ShowDialog(AppContext& ctx, WLWriteValues& values, QString& lastId);

    // The ID code the box's text gives: empty for the first entry ("any tag"), the last
    // 9 characters of the zero-padded digits otherwise, previous for an empty box.
    QString idCodeFor(const QString& text, const QString& previous) const;
    // Whether data is acceptable for memory model m.
    static bool dataValid(int m, const QString& data);

    QComboBox* cmbIDCode = nullptr;
    QList<QRadioButton*> rdMemorySize, rdDataSpeed, rdIntervalType, rdIntervalLength;
    QList<QLabel*> lblMemorySize;
    QLineEdit* txtData = nullptr;

    WLWriteValues values;
    QString lastId;

private:
    void btOk_Click();
    static int selected(const QList<QRadioButton*>& group);
};

} // namespace orvid
