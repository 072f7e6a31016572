#pragma once
// The unit and its channels, on the left of the interface-unit window: the unit's picture
// (a button for its type and version), per channel the head's option button with its
// picture, the head-type, information and parameter buttons and the line from the unit to
// the head; "alle Köpfe"; below, the station's mode (parallel or multiplexed) and the
// trigger sensors the unit shows. Controls, their layout and the buttons that only show or
// choose: the window connects the clicks that reach the device.
//
// Trigger sensor k (0..3, "Triggersensor" k + 1) is cmbTrigger(k) and cmbTriggerMode(k);
// its frame is frameTrigger((k + 2) mod 4), the frames of sensors 3 and 4 coming first.

#include <QGroupBox>
#include <QList>
#include <QWidget>

class QComboBox;
class QFrame;
class QGridLayout;
class QPushButton;
class QRadioButton;

namespace orvid {

struct AppContext;
class HXProtocol;

class HXUnitPanel : public QWidget {
    Q_OBJECT
public:
    HXUnitPanel(AppContext& ctx, HXProtocol& unit, QWidget* parent = nullptr);

    // The frame element that holds trigger sensor (0..3).
    static int TriggerFrame(int sensor) { return (sensor + 2) % 4; }

    // Each sensor's list of the heads it may serve (headText: "Kopf"), set to its first
    // head and "aus".
    void FillTriggerLists(const QString& headText);
    // Lays the panel out for the unit recognised and selects the trigger settings it
    // reported. Returns the head option to select (0..3, 4 for all heads).
    int Fill();
    // The head type of channel index + 1 chosen by hand from the head-type file's list
    // ("Leer" first), for a head the unit cannot name: shown on that channel alone.
    void btHead_Click(int index);
    // The unit's title on the module and station frames.
    void SetTitle(const QString& title);
    // The selection line over head index's line (none for "alle Köpfe").
    void ShowSelectionLine(int index);
    int TriggerSource(int sensor) const;
    int TriggerMode(int sensor) const;
    // True while Fill sets the controls (their handlers do nothing then).
    bool Filling() const { return filling_; }

    QGroupBox* frameModule = nullptr;
    QPushButton* btOrvidSystem = nullptr;
    QList<QRadioButton*> rdHead;
    QList<QPushButton*> btHead, btInfo, btParameter;
    // The lines from the unit to its heads, and the one drawn over the selected head's.
    QList<QFrame*> linHead, linVert;
    QFrame* linSelHead = nullptr;
    QGroupBox* frameStation = nullptr;
    QGroupBox* frameStationMode = nullptr;
    QList<QRadioButton*> rdMode;
    QList<QGroupBox*> frameTrigger;
    QList<QComboBox*> cmbTrigger, cmbTriggerMode;

signals:
    // The user chose a trigger sensor's head or mode (sensor 0..3).
    void triggerChosen(int sensor);

private:
    QString emptyText() const;
    // Channel i + 1's head as recorded (caption, picture, the buttons it enables); an
    // absent channel (beyond the unit's count) shows none.
    void showHead(int i, bool present);

    void buildModule();
    void buildStation();

    AppContext& ctx_;
    HXProtocol& unit_;
    QGridLayout* headLines_ = nullptr;
    bool filling_ = false;
};

} // namespace orvid
