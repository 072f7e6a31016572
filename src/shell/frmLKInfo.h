#pragma once
// The head-information box: the type designation and the version of the read head.
// Whatever the caller leaves empty is taken from the device link's data items
// (1 = type text, 2 = version text); an empty caption becomes the current system's name.

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace orvid {

struct AppContext;

class frmLKInfo : public QDialog {
    Q_OBJECT
public:
    explicit frmLKInfo(AppContext& ctx, QWidget* parent = nullptr);

    // Shows the box modally until the user closes it. Callers pass the caption first
    // (empty for the system name), then the type and the version text.
    static void ShowDialog(AppContext& ctx, QWidget* parent, const QString& caption,
                           const QString& type, const QString& version);

    // The load handler: fills the box from the arguments and the data items.
    void Load(const QString& caption, const QString& type, const QString& version);
    void SetLanguage();

    QString typeText() const;
    QString versionText() const;

    // Device text for display: line breaks kept, other control characters by name.
    static QString DisplayText(const QByteArray& deviceText);

private:
    AppContext& ctx_;
    QLabel* lblTyp_;
    QLabel* lbTyp_;
    QLabel* lblVersion_;
    QPlainTextEdit* txtVersion_;
    QPushButton* btOk_;
    bool languageStored_ = false;
};

} // namespace orvid
