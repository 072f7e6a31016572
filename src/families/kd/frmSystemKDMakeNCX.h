#pragma once
// The chip-code dialog ("NCX Tag erzeugen"): wafer and die number in four views each that
// stay in step, the sixteen code digits with their parity digits, and the write options.
// OK writes the 8-byte block at address 0 through the read/write window. The numbers are
// held as numbers (NCXCode does the arithmetic); OK is off while one is out of range.
// The boxes show the whole form of a number out of range; typing is limited per box.

#include "KDWriteDialog.h"
#include "families/common/NCXCode.h"

#include <QList>

class QLabel;
class QLineEdit;

namespace orvid {

class frmSystemKDMakeNCX : public KDWriteDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 2057;

    explicit frmSystemKDMakeNCX(AppContext& ctx, QWidget* parent = nullptr);

    void Load() override;
    void btOk_Click() override;
    // Every view of the number but source (null: all) from value.
    void UpdateW(QLineEdit* source, qint64 value);
    void UpdateDie(QLineEdit* source, qint64 value);

    qint64 Wafer() const { return wafer_; }
    qint64 Die() const { return die_; }
    // The shown digits c0..c15, as one text.
    QString CodeText() const;

    static void ShowDialog(AppContext& ctx, QWidget* parent, IKDWriteTarget* target)
    {
        ShowModal<frmSystemKDMakeNCX>(ctx, parent, target);
    }

    // Index 0 wafer, 1 die.
    QList<QLineEdit*> txtHex, txtDEZ, txt10, txt28;
    QList<QLabel*> lblCW, lblCD, lblCP, lblCR;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void boxChanged(QLineEdit* box);
    void showCode();

    qint64 wafer_ = 0;
    qint64 die_ = 0;
    bool updating_ = false;
};

} // namespace orvid
