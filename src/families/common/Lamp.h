#pragma once
// The round lamps of the small state and input/output windows (system D's scan slots, unit
// state and outputs; system L's inputs, outputs and reader state): a circle that is filled
// when lit (fill style solid) and only outlined when dark (transparent).

#include <QColor>
#include <QWidget>

namespace orvid {

class Lamp : public QWidget {
    Q_OBJECT
public:
    explicit Lamp(QWidget* parent = nullptr, QColor colour = QColor(0, 200, 0));

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
