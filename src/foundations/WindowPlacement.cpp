#include "WindowPlacement.h"

#include "AppContext.h"
#include "IniFile.h"
#include "MainFrame.h"
#include "SettingsStore.h"
#include "Utils.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QWidget>

namespace orvid {

namespace {

const QString kWindowsSection = QStringLiteral("Windows");

} // namespace

ParsedPlacement ParsePlacement(const QString& stored)
{
    ParsedPlacement p;
    QString text = stored;
    const QString first = GetToken(text, QStringLiteral("x"));
    if (first == QLatin1String("MAXIMIZED")) {
        p.maximized = true;
        GetToken(text, QStringLiteral(";"));
    } else {
        // A number that does not fit 16 bits ends the parse: nothing is applied and the
        // flag reads false, as when the rest of the text were missing.
        bool ok = true;
        p.width = CInt16(Val(first), &ok);
        if (!ok)
            return p;
        p.height = CInt16(Val(GetToken(text, QStringLiteral("+"))), &ok);
        if (!ok)
            return p;
        p.left = CInt16(Val(GetToken(text, QStringLiteral("+"))), &ok);
        if (!ok)
            return p;
        p.top = CInt16(Val(GetToken(text, QStringLiteral(";"))), &ok);
        if (!ok)
            return p;
        p.geometryValid = true;
    }
    p.flag = Val(text) != 0.0;
    return p;
}

QString FormatPlacement(bool maximized, bool minimized, int width, int height, int left,
                        int top, std::optional<int16_t> flag)
{
    QString text;
    if (maximized)
        text = QStringLiteral("MAXIMIZEDx");
    else if (!minimized)
        text = QStringLiteral("%1x%2+%3+%4").arg(width).arg(height).arg(left).arg(top);
    if (!text.isEmpty() && flag)
        text += QLatin1Char(';') + QString::number(*flag);
    return text;
}

WindowPlacement::WindowPlacement(AppContext& ctx) : ctx_(ctx) {}

QWidget* WindowPlacement::Container(QWidget* window)
{
    if (!window)
        return nullptr;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window->parentWidget()))
        return sub;
    return window;
}

QString WindowPlacement::ScreenClass(int screenWidthPx, int portLabelHeightPx)
{
    QString cls;
    if (screenWidthPx < 800)
        return QStringLiteral("640*480");
    cls = screenWidthPx < 1024 ? QStringLiteral("800*600") : QStringLiteral("1024*768");
    cls += portLabelHeightPx > 21 ? QStringLiteral("*LargeFonts") : QStringLiteral("*SmallFonts");
    return cls;
}

void WindowPlacement::SaveWindowPos(QWidget* window, std::optional<int16_t> flag)
{
    QWidget* c = Container(window);
    if (!c || !ctx_.settings || window->objectName().isEmpty())
        return;
    const Qt::WindowStates state = c->windowState();
    const QString text = FormatPlacement(state.testFlag(Qt::WindowMaximized),
                                         state.testFlag(Qt::WindowMinimized), c->width(),
                                         c->height(), c->x(), c->y(), flag);
    ctx_.settings->write(kWindowsSection, window->objectName(), text);
}

bool WindowPlacement::RestoreWindowPos(QWidget* window, bool resize, bool* fromDefault)
{
    QWidget* c = Container(window);
    if (fromDefault)
        *fromDefault = false;
    if (!c || !ctx_.settings)
        return false;
    const QString name = window->objectName();
    if (name.isEmpty())
        return false;

    const QString stored = ctx_.settings->read(kWindowsSection, name, QString());
    if (stored.isEmpty()) {
        if (fromDefault)
            *fromDefault = true;
        LoadDefaultWindowPos(window, name, true);
        return false;
    }
    return applyPlacement(window, stored, resize);
}

bool WindowPlacement::applyPlacement(QWidget* window, const QString& text, bool resize)
{
    QWidget* c = Container(window);
    const ParsedPlacement p = ParsePlacement(text);
    if (p.maximized) {
        // Only a window manager maximises a top-level window (there may be none: a bare X
        // server, a kiosk, some remote desktops). The screen's free area as its normal
        // geometry fills the screen either way.
        if (c->isWindow() && !c->isMaximized()) {
            if (const QScreen* screen = c->screen())
                c->setGeometry(screen->availableGeometry());
        }
        c->setWindowState((c->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        return p.flag;
    }
    if (!p.geometryValid)
        return p.flag;
    // A window closed maximised keeps that state while hidden: a place stored since (the
    // defaults, say) opens it normal.
    c->setWindowState(c->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));

    // A place (made for other fonts, or stored by a smaller window) never makes the window
    // smaller than its controls need: it keeps its least size, as when it is first shown.
    // A sub-window whose window is not shown yet does not know that size; a family window
    // grows to it when it shows.
    if (resize)
        c->resize(QSize(p.width, p.height).expandedTo(c->minimumSizeHint()));
    int left = p.left;
    int top = p.top;

    // An MDI child stored out of sight (say after the main window shrank) is brought back
    // into the client area, unless the caller stored a flag to keep its place.
    auto* sub = qobject_cast<QMdiSubWindow*>(c);
    if (sub && !p.flag) {
        int mainHeight = 0;
        QMdiArea* area = sub->mdiArea();
        if (area && area->isVisible()) {
            mainHeight = area->viewport()->height();
        } else if (area) {
            // The area is laid out only when the main window shows, after the start-up
            // sequence has restored the tool windows: its present size says nothing.
            // It can never grow taller than the screen, so only a window below the
            // screen is out of sight.
            const QScreen* screen = area->screen();
            mainHeight = screen ? screen->availableGeometry().height() : 0;
        } else if (ctx_.mainWindow) {
            mainHeight = ctx_.mainWindow->height();
        }
        if (left + c->width() <= 0)
            left = 0;
        if (top > mainHeight) {
            top = mainHeight - c->height();
            // A window taller than the area would otherwise hide its title bar above it.
            if (top < 0)
                top = 0;
        } else if (top < 0) {
            top = 0;
        }
    }
    c->move(left, top);
    return p.flag;
}

void WindowPlacement::LoadDefaultWindowPos(QWidget* window, const QString& windowName, bool apply)
{
    if (windowName.isEmpty() || !ctx_.settings)
        return;
    int screenWidth = 0;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        screenWidth = screen->geometry().width();
    const int labelHeight = ctx_.frame ? ctx_.frame->portLabelHeight() : 0;
    const QString section = ScreenClass(screenWidth, labelHeight);
    const QString text = ReadIni(ctx_.programDir + QStringLiteral("/ORVID.DEF"), section,
                                 windowName, QString());
    if (text.isEmpty())
        return;
    // A settings file that cannot be written (nor read) still gets the default place: the
    // window starts as on a first run, whether or not the place is stored for later.
    ctx_.settings->write(kWindowsSection, windowName, text);
    if (apply && window && Container(window))
        applyPlacement(window, text, true);
}

void WindowPlacement::CenterForm(QWidget* window)
{
    QWidget* c = Container(window);
    if (!c)
        return;
    const QSize size = c->frameGeometry().size();

    if (auto* sub = qobject_cast<QMdiSubWindow*>(c); sub && sub->mdiArea()) {
        const QSize area = sub->mdiArea()->viewport()->size();
        c->move((area.width() - size.width()) / 2, (area.height() - size.height()) / 2);
        return;
    }

    QWidget* main = ctx_.mainWindow;
    if (main && main != c && main->isVisible()) {
        const QRect m = main->frameGeometry();
        const int top = (m.height() - size.height()) / 2 + m.top();
        const int left = (m.width() - size.width()) / 2 + m.left();
        c->move(left, top);
        return;
    }
    QRect screen(0, 0, 640, 480);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        screen = s->geometry();
    c->move(screen.left() + (screen.width() - size.width()) / 2,
            screen.top() + (screen.height() - size.height()) / 2);
}

} // namespace orvid
