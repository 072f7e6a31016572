#pragma once
// The decoration of the QTX11/QTX14 fixcode dialog: a round tag with its coil and a code
// on it, closed by a padlock, since a fixcode written protected can never change. Drawn in
// code like the program's other pictures, sharp at any device pixel ratio.

#include <QPixmap>
#include <QWidget>

namespace orvid {

// The picture at a logical size (device pixel ratio applied), transparent around it.
QPixmap DrawFixcodePicture(const QSize& logicalSize, qreal devicePixelRatio);

// The picture as a control of fixed size named "Picture1". Not a label, so translating
// the dialog leaves it alone.
class FixcodePicture : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSize = 48;
    explicit FixcodePicture(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {kSize, kSize}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
};

} // namespace orvid
