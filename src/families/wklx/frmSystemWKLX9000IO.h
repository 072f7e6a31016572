#pragma once
// The outputs window of the KLX9000 reader: buzzer, indicator lamp and relay, each a
// named reader parameter set with "SET " and read back with "GET " through the reader's
// window (IKLXParameterTarget on the link's current window).

#include "KLXProtocol.h"
#include "families/common/SmallWindow.h"
#include "foundations/GeneralClasses.h"

#include <QList>
#include <QTimer>

class QLabel;
class QPushButton;

namespace orvid {

class frmSystemWKLX9000IO : public SmallWindow {
    Q_OBJECT
public:
    static constexpr int kBeepMs = 500;
    // How soon a Beep's end that fell inside another exchange tries again.
    static constexpr int kBeepRetryMs = 50;

    explicit frmSystemWKLX9000IO(AppContext& ctx, QWidget* parent = nullptr);

    // The reader window that serves the buttons (null: the link's current window).
    void setTarget(IKLXParameterTarget* target) { target_ = target; }

    QList<QPushButton*> btBuzzer, btIndicatorLED, btRelay;
    QPushButton* btSet = nullptr;
    QLabel *lblBuzzer = nullptr, *lblLED = nullptr, *lblRelay = nullptr;
    QTimer timBuzzer;

protected:
    void loading() override;
    void closing() override;

private:
    IKLXParameterTarget* target() const;
    // Sets name to value, then reads it back into its label; false when refused.
    bool setOutput(clsParameter& parameter, QLabel* label, const QString& value);
    void apply(IKLXParameterTarget& t, clsParameter& parameter, QLabel* label, const QString& value);
    void refresh(IKLXParameterTarget& t, clsParameter& parameter, QLabel* label);
    void buzzerClick(int index);
    void buzzerTick();
    void buzzerOff(IKLXParameterTarget& t);
    void btSet_Click();

    IKLXParameterTarget* target_ = nullptr;
    clsParameter buzzer_, led_, relay_;
};

} // namespace orvid
