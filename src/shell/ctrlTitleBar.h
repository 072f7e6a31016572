#pragma once
// The title bar at the left edge of the main window: a narrow bar that draws one line of
// text in bold type, rotated (90 degrees reads upwards), with the maker's logo at its
// top. A click on the logo opens the maker's web page in the user's browser.

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <functional>

class QLabel;

namespace orvid {

struct AppContext;

class ctrlTitleBar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QColor BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(int FontSize READ FontSize WRITE setFontSize)
    Q_PROPERTY(int RotationAngle READ RotationAngle WRITE setRotationAngle)
public:
    static const char* const WebAddress;  // caption of a new bar and the logo's link

    // Without a context a failed link is only signalled (linkOpenFailed); with one it is
    // also reported to the user.
    explicit ctrlTitleBar(QWidget* parent = nullptr);
    explicit ctrlTitleBar(AppContext& ctx, QWidget* parent = nullptr);
    void setContext(AppContext* ctx) { ctx_ = ctx; }

    QString Caption() const { return caption_; }
    void setCaption(const QString& caption);
    QColor BackColor() const { return backColor_; }
    void setBackColor(const QColor& color);
    int FontSize() const { return fontSize_; }
    void setFontSize(int points);
    int RotationAngle() const { return angle_; }
    void setRotationAngle(int degrees);

    // Where and what DrawCaption prints: the top-left of the rotated text cell and the
    // text, shortened when it does not fit below the logo.
    struct CaptionLayout {
        QPointF origin;
        QString text;
        bool fits = true;
    };
    CaptionLayout captionLayout() const;
    QFont captionFont() const;

    // Opens the logo's link (what a click on the logo does); false when it failed.
    bool OpenLink();
    // Replaces the desktop opener (tests).
    void setOpener(std::function<bool(const QString&)> opener) { opener_ = std::move(opener); }

    QSize sizeHint() const override;

signals:
    void linkOpenFailed(const QString& address);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeLogo();

    AppContext* ctx_ = nullptr;
    QString caption_;
    QColor backColor_;
    int fontSize_ = 12;
    int angle_ = 90;
    QLabel* imgLogo = nullptr;
    std::function<bool(const QString&)> opener_;
};

} // namespace orvid
