#pragma once
// The main window: the multiple-document frame of the program with its menus, toolbar and
// status bar. Its load handler is the program's start-up sequence; closing it saves the
// program's state and ends the program.

#include "foundations/MainFrame.h"
#include "link/CommPort.h"

#include <QHash>
#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <functional>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace orvid {

struct AppContext;
class IToolWindow;
class ICommandWindow;
class Toolbar;
class frmLogo;

class frmMain : public QMainWindow, public IMainFrame {
    Q_OBJECT
public:
    // Design-time caption (two blanks after the maker's name).
    static constexpr const char* kCaption = "VALDRECHT  ORVID Systeme";
    // Default tooltips of the toolbar buttons 0..6.
    static const QStringList& DefaultTooltips();

    explicit frmMain(AppContext& ctx, QWidget* parent = nullptr);
    ~frmMain() override;

    // The load handler (the start-up sequence); runs once, before the window first shows.
    void Load();
    bool IsLoaded() const { return loaded_; }
    // Shows why the serial port was closed (a device unplugged or hung up), until the port
    // is next set or a system is found. Fitted to the field as a settings failure is, the
    // device's path giving way; the reason stays whole while the field can be given room.
    void ShowPortFailure(const CommPort::Failure& failure);
    // Shows a message in the status bar's message field (until the port is next set). A
    // settings failure it replaces comes back with the next write that fails.
    void ShowStatus(const QString& text);
    // Shows that the settings could not be written, and why: the path whose step failed
    // and the system's error number (errno). The reason gives way last: a path too long
    // for the field is shortened in the middle or left out, and only then the reason's end,
    // each cut marked with an ellipsis, as often as the field changes its width (the
    // tooltip holds the whole text).
    void ShowSettingsFailure(const QString& file, int error);
    // A settings write reached the disk again: the report of the failure goes.
    void SettingsMended();
    // The text of the status bar's message field.
    QString MessageText() const;
    // Loads when needed, then shows the window.
    void Show();

    void SetLanguage();

    // Puts a child window into the MDI area once (its container is kept when closed).
    void adoptChild(QWidget* w);
    QMdiArea* mdiArea() const { return mdiArea_; }
    Toolbar* toolbar() const { return toolbar_; }
    frmLogo* logo() const { return logo_; }
    QAction* menuAction(MenuEntry entry) const;
    // A member of a family menu array ("mnOrvidSystemKR", 3), null when there is none.
    QAction* arrayAction(const QString& arrayName, int index) const;
    QMenu* familyMenu(int index) const;   // the sub-menus of mnOrvidSystem(1|2|3|5)

    // IMainFrame
    bool menuChecked(MenuEntry entry) const override;
    void setMenuChecked(MenuEntry entry, bool checked) override;
    bool menuEnabled(MenuEntry entry) const override;
    void setMenuEnabled(MenuEntry entry, bool enabled) override;
    void setMenuArrayChecked(const QString& arrayName, int index, bool checked) override;
    void setPortLabel(const QString& caption) override;
    void setPortLabelEnabled(bool enabled) override;
    void setSystemLabel(const QString& caption, bool enabled) override;
    int portLabelHeight() const override;

    // Menu actions, also reached from the toolbar.
    void SelectFamily(int system, bool hourglass);
    void Detect();                       // mnDetect
    void Info();                         // mnInfo
    void ShowSystemWindow(MenuEntry entry); // mnOrvidWindow, mnIO, mnState
    void ShowToolWindow(MenuEntry entry);   // mnCommand, mnMonitor
    void ProgramOptions();               // mnProgOptions
    // After the options dialog: refreshes every open window's texts when the language
    // (its display name before the dialog: `before`) changed.
    void ApplyLanguageChange(const QString& before);
    void DefaultPositions();             // mnDefaultPosition
    void ShowHelp(int context);
    void ToolbarClick(int index);
    void PollTick();                     // timSensorPoll

    bool ToolbarBusy() const { return toolbarBusy_; }
    bool SelectionBusy() const { return selecting_; }
    bool ClosePending() const { return closePending_; }

    // Test seams: how the family menus pop up under a toolbar button, and how the modal
    // dialogs run ("frmOptions", "frmPortOptions", "frmNetworkOptions", "frmAbout",
    // "frmLKInfo"). Empty functions restore the real behaviour.
    using PopupRunner = std::function<void(QMenu* menu, const QPoint& globalPos)>;
    void setPopupRunner(PopupRunner runner) { popupRunner_ = std::move(runner); }
    using DialogRunner = std::function<void(const QString& dialog)>;
    void setDialogRunner(DialogRunner runner) { dialogRunner_ = std::move(runner); }

signals:
    // The close sequence has run and the window is gone: the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildStatusBar();
    void buildCentre();
    QAction* addEntry(QMenu* menu, const char* name, const QString& caption, int help);
    QMenu* addMenu(QMenu* parentMenu, const char* name, const QString& caption, int help);
    QAction* addArrayEntry(QMenu* menu, const char* array, int index, const QString& caption,
                           int system, bool hourglass);
    QMenu* addFamilyMenu(QMenu* parentMenu, int index, const QString& caption, int help);
    QList<QAction*> fixedEntries() const;
    IToolWindow* monitorWindow() const;
    IToolWindow* commandWindow() const;
    bool runDialog(const QString& name);
    // A window-menu entry's window: loaded, normal, active and in front.
    void showNormalInFront(IToolWindow* w);
    void popUnder(int buttonIndex, QMenu* menu);
    void retryPendingClose();
    void runSelection(std::function<void()> selection);
    // A user action that needs the device: at once, or after a poll step that is running
    // (LK::UserAction); key names it.
    void runDeviceAction(const void* key, std::function<void()> action);

    AppContext& ctx_;
    QMdiArea* mdiArea_ = nullptr;
    Toolbar* toolbar_ = nullptr;
    frmLogo* logo_ = nullptr;
    QWidget* titleBar_ = nullptr;
    QLabel* lblPort_ = nullptr;
    QLabel* lblOrvidSystem_ = nullptr;
    QLabel* lblMessage_ = nullptr;
    // The failure lblMessage_ reports, kept as what happened: said in the language of the
    // moment each time it is fitted (the field's width or the language changed).
    struct Report {
        enum Kind { None, Settings, Port } kind = None;
        QString path;                  // gives way first: the path whose step failed, the device
        int error = 0;                 // Settings: the system's error number
        CommPort::Failure failure;     // Port
    } report_;
    void fitReport();
    // The report's subject must stay readable: where the field is narrower than it, the
    // maker's mark goes and the port and system labels give way (their tooltips keep their
    // texts) until the report goes. needed: the field's width for the subject.
    void giveRoomToTheReport(bool give, int needed = 0);
    bool reportRoom_ = false;
    QLabel* imgVD_ = nullptr;

    QHash<QString, QAction*> actions_;        // fixed entries by control name
    QHash<QString, QAction*> arrayActions_;   // family arrays by name + index
    QHash<int, QMenu*> familyMenus_;
    QList<QPointer<QMdiSubWindow>> adopted_;

    QString noSystemDefault_;
    bool languageStored_ = false;
    bool loaded_ = false;
    bool toolbarBusy_ = false;
    bool selecting_ = false;
    bool closePending_ = false;
    bool inCloseSequence_ = false;
    bool closeDone_ = false;
    PopupRunner popupRunner_;
    DialogRunner dialogRunner_;
};

} // namespace orvid
