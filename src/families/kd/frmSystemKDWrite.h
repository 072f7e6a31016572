#pragma once
// The write dialog of the inductive system D read/write window ("Daten schreiben"): head,
// carrier type, mode, double-sided writing, start address and the data, started from the
// window's items and from the reply line last read (or the one selected). The data box
// shows the bytes as the text view names them and takes any length: OK refuses more
// bytes than one write carries (message 20), it never cuts them.

#include "KDWriteDialog.h"

#include <optional>

class QLineEdit;

namespace orvid {

class ByteTextEdit;

class frmSystemKDWrite : public KDWriteDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 2050;

    explicit frmSystemKDWrite(AppContext& ctx, QWidget* parent = nullptr);

    void Load() override;
    void FillDialog() override;
    void btOk_Click() override;

    // The data of a reply line's bytes: what follows the first ":" with the blanks around
    // it removed (nothing else), when the line begins with the head label; none otherwise.
    static std::optional<QByteArray> DataOfLine(const QByteArray& line, const QString& headLabel);

    static void ShowDialog(AppContext& ctx, QWidget* parent, IKDWriteTarget* target)
    {
        ShowModal<frmSystemKDWrite>(ctx, parent, target);
    }

    QGroupBox* frameAddress = nullptr;
    QLineEdit* txtAddress = nullptr;
    QGroupBox* frameData = nullptr;
    QLineEdit* txtData = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ByteTextEdit* data_ = nullptr;
    bool firstFocus_ = true;
};

} // namespace orvid
