#pragma once
// The main window's toolbar: seven flat buttons with pictures drawn in code, and the
// tooltip window that appears centred under the button the mouse rests on. The button
// looks (normal, hot while the mouse is over it, pressed) come from Qt's flat tool
// buttons; the Click actions are the main window's.

#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <array>

class QToolBar;
class QToolButton;
class QWidget;

namespace orvid {

class frmTip;

struct ToolbarButton {
    int Index = 0;
    QToolButton* Image = nullptr;
    bool Disabled = false;          // a disabled button neither reacts nor clicks
    QString ToolTipText;
    QString DefaultToolTipText;     // kept by the main window's first SetLanguage
};

class Toolbar : public QObject {
    Q_OBJECT
public:
    static constexpr int kButtonCount = 7;
    static constexpr int kIconSize = 24;

    // Creates the tool bar "picToolbar" with its buttons "btToolbar" (ctrlIndex 0..6) in
    // mainWindow; the pictures come with SetButtonPicture.
    explicit Toolbar(QWidget* mainWindow, QToolBar* bar);
    ~Toolbar() override;

    QToolBar* bar() const { return bar_; }
    QToolButton* button(int index) const;
    ToolbarButton& record(int index) { return buttons_.at(index); }
    const ToolbarButton& record(int index) const { return buttons_.at(index); }

    void InitToolbar();
    // Gives button `index` its picture and tooltip.
    void SetButtonPicture(int index, const QString& tooltip);
    void SetToolTipText(int index, const QString& tooltip);

    // Hides the tooltip and forgets the hot button's tip.
    void RedrawToolbar();
    // One tick of the tip timer: shows, moves or hides the tip.
    void ShowToolTip();

    int HotButton() const { return hotButton_; }   // -1: none yet
    frmTip* tip() const { return tip_; }

    // Where the tip goes: centred under the button, above it when it would leave the
    // screen at the bottom, pulled back inside at the left and right screen edges.
    static QPoint TipPosition(const QRect& buttonGlobal, const QSize& tipSize, const QRect& screen);
    // The picture of a button, drawn for a square of px device pixels.
    static QPixmap DrawButtonPicture(int index, int px);
    static QIcon ButtonIcon(int index);

signals:
    void clicked(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PrepareToolTip(int index);
    frmTip* ensureTip();

    QWidget* mainWindow_;
    QToolBar* bar_;
    std::array<ToolbarButton, kButtonCount> buttons_;
    int hotButton_ = -1;
    QPointer<frmTip> tip_;
};

} // namespace orvid
