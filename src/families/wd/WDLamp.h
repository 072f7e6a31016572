#pragma once
// The round lamps of the system D windows (scan slots, unit state, outputs): a circle that
// is filled when lit (fill style solid) and only outlined when dark (transparent).

#include <QColor>
#include <QWidget>

namespace orvid {

class WDLamp : public QWidget {
    Q_OBJECT
public:
    explicit WDLamp(QWidget* parent = nullptr, QColor colour = QColor(0, 200, 0));

    bool lit() const { return lit_; }
    // Repaints at once when the state changes (a scan tick may wait right after it).
    void setLit(bool on);

    QSize sizeHint() const override { return {16, 16}; }
    QSize minimumSizeHint() const override { return {12, 12}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool lit_ = false;
    QColor colour_;
};

} // namespace orvid
