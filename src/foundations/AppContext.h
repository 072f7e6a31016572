#pragma once
// The application context: one place that holds the module objects of the program.
// The application (src/app) owns them and fills this in at start-up; windows and modules
// receive the context in their constructor and reach every other module through it.
// Tests build a context of their own (temporary settings file, pseudo-terminal port,
// recording message presenter, fake windows). A pointer left null means "not present":
// every user of an optional member checks it.

#include <QString>

class QWidget;

namespace orvid {

class SettingsStore;
class Language;
class WindowPlacement;
struct AppState;
class IMainFrame;
class Ports;
class Network;
class LK;
class IMonitor;
class IProgressBox;
class IConnectingBox;
class ICommandWindow;

struct AppContext {
    // Subsystem 1: foundations
    SettingsStore* settings = nullptr;
    Language* language = nullptr;         // texts, numbered messages (owns the presenter)
    WindowPlacement* placement = nullptr;
    AppState* state = nullptr;            // program-wide flags and the current system index
    QString programDir;                   // folder of ORVID.DEF and the language files

    // Subsystem 2: device link
    Ports* ports = nullptr;
    Network* network = nullptr;
    LK* lk = nullptr;

    // Subsystem 3: what the lower layers need of the main window and its tools
    IMainFrame* frame = nullptr;          // menus, status bar
    QWidget* mainWindow = nullptr;        // the frame as a widget (centring, MDI parent)
    IMonitor* monitor = nullptr;          // traffic monitor sink
    IProgressBox* progress = nullptr;     // recognition progress box
    IConnectingBox* connecting = nullptr; // the box shown while a TCP connection is made
    ICommandWindow* command = nullptr;    // the command window
};

} // namespace orvid
