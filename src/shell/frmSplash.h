#pragma once
// The small windows around the main window: the splash shown while the program starts
// (frmStart), the logo in the main window's client area (frmLogo), the about box
// (frmAbout) and the toolbar's tooltip window (frmTip). Their pictures are drawn here in
// code, sharp at any device pixel ratio.

#include <QDialog>
#include <QIcon>
#include <QPixmap>
#include <QWidget>

class QLabel;
class QPushButton;
class QTimer;

namespace orvid {

struct AppContext;

// The wait cursor as one on/off state. Qt's override cursors stack, so a second "on"
// without an "off" in between would otherwise leave the hourglass behind for good.
void SetHourglass(bool on);
bool HourglassShown();

// "2.07.0011" -> "2.7.11": each dotted part without its leading zeros.
QString FormatVersionNumber(const QString& dotted);

// The typographic program mark at a logical size (device pixel ratio applied).
enum class MarkStyle { Splash, Logo, Maker };
QPixmap RenderMark(MarkStyle style, const QSize& logicalSize, qreal devicePixelRatio);

// The program's window icon: the reading-field symbol on a blue square.
QIcon ProgramIcon();

// Splash window: shows the mark centred on the screen; the hourglass shows while it is up.
class frmStart : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 360;
    static constexpr int kHeight = 451;
    explicit frmStart(QWidget* parent = nullptr);
    ~frmStart() override;
    void Load();     // hourglass, normal state, picture size, centred on the screen, shown
    void Unload();   // normal cursor, hidden

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
    bool loaded_ = false;
};

// The logo that sits centred in the main window's client area for the whole run. It is a
// child of the MDI area's viewport, below every child window and blind to the mouse.
class frmLogo : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 325;
    static constexpr int kHeight = 400;
    explicit frmLogo(QWidget* parent = nullptr);
    void Load();
    // Keeps the logo centred in its parent.
    void Recentre();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPixmap picture_;
};

// About box: program name, version from the build, rights lines, OK.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kArticleNumber = "ZV-7100";

    explicit frmAbout(AppContext& ctx, QWidget* parent = nullptr);
    void SetLanguage();
    // Runs the box modally over parent.
    static int ShowDialog(AppContext& ctx, QWidget* parent);

private:
    AppContext& ctx_;
    QLabel* lblProgram_;
    QLabel* lblVersion_;
    QLabel* lblVersionNum_;
    QLabel* lblCopyright_;
    QLabel* lblSoftware_;
    QLabel* lblValdrecht_;
    QPushButton* btOk_;
    bool textsStored_ = false;
};

// The toolbar's tooltip: a borderless window with one label, shown without taking the
// focus; its timer ticks once a second while the mouse rests on a button.
class frmTip : public QWidget {
    Q_OBJECT
public:
    explicit frmTip(QWidget* parent = nullptr);
    QLabel* lblTip() const { return lblTip_; }
    QTimer* timTip() const { return timTip_; }

private:
    QLabel* lblTip_;
    QTimer* timTip_;
};

} // namespace orvid
