#pragma once
// The command window: the user types a command for the current system, sends it and sees
// the reply. Escape sequences in the typed text give any byte value; the last ten commands
// are kept in the settings; the current system's predefined commands come as a popup
// menu; in multi-reply mode further replies are collected on the poll timer.

#include "link/LinkInterfaces.h"

#include <QByteArray>
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvid {

struct AppContext;

class frmCommand : public QWidget, public ICommandWindow {
    Q_OBJECT
public:
    static constexpr int kHistorySize = 10;

    explicit frmCommand(AppContext& ctx, QWidget* parent = nullptr);

    void Init();                 // loads the history from the settings
    void Save();                 // writes the history to the settings
    void AddCommand();           // puts the command text at the top of the history

    // ICommandWindow
    void Poll() override;
    void SetBuffered(bool on) override;
    void RefreshForm() override;
    // IToolWindow
    QString Name() const override { return objectName(); }
    bool Loaded() const override { return loaded_; }
    void Show() override;
    void Unload() override;
    void SetLanguage() override;

    // Typed text to telegram bytes: "\" with up to three decimal digits (value <= 255) and
    // "." with up to two hex digits give one byte; "\\" and ".." give the character itself.
    static QByteArray ConvertEscapes(const QByteArray& typed);
    // The typed text as bytes (one per character); false when a character lies outside
    // the 8-bit range and so cannot be sent.
    static bool TextToBytes(const QString& text, QByteArray& bytes);
    // A one-byte reply as the character and its hex code, longer ones by character names.
    static QString RenderReply(const QByteArray& reply);

    QStringList history() const { return history_; }
    int replyCounter() const { return replyCounter_; }
    bool sending() const { return sending_; }

public slots:
    void send();                 // btSend
    void stop();                 // btStop
    void chooseCommand();        // btCommand

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void load();
    void unloadHandling();
    // Puts a command at the top of the history; returns it as kept (without the blanks
    // around it), empty when there is nothing to keep.
    QString remember(const QString& command);
    // Whether the link still collects a multi-reply command's further replies.
    bool collecting() const;
    // Leaves the multi-reply controls when their read no longer runs.
    void showWhatRuns();
    void fillHistoryList(const QString& text);
    void layoutControls();
    QWidget* container() const;
    // The container's height follows the window's fixed height: a taller frame would
    // centre the window in it and leave an empty strip under the title bar.
    void fitContainer();

    AppContext& ctx_;
    QLabel* lblCommand_;
    QComboBox* cmbCommand_;
    QPushButton* btCommand_;
    QLabel* lblSensor_;
    QLineEdit* txtSensor_;
    QCheckBox* chkBuffered_;
    QPushButton* btSend_;
    QPushButton* btStop_;

    bool loaded_ = false;
    bool languageStored_ = false;
    bool sending_ = false;
    bool polling_ = false;
    QStringList history_;        // most recent first
    int replyCounter_ = 0;
    Menues commandList_;
    int fixedHeight_ = 0;
};

} // namespace orvid
