#pragma once
// The state window of system L (entry 8): seven error lamps and two activity lamps, lit by
// the current system window's IWLStateHost on request or on its poll steps while the
// window refreshes automatically.

#include "families/common/SmallWindow.h"

#include <QList>

class QLabel;

namespace orvid {

class IWLStateHost;
class Lamp;

class frmSystemWLState : public LampWindow {
    Q_OBJECT
public:
    static constexpr int kErrors = 7;
    static constexpr int kStates = 2;

    explicit frmSystemWLState(AppContext& ctx, QWidget* parent = nullptr);

    void SetErrorLamp(int index, bool lit);
    void SetStateLamp(int index, bool lit);
    bool ErrorLit(int index) const;
    bool StateLit(int index) const;

    QGroupBox* frameError = nullptr;
    QGroupBox* frameState = nullptr;
    QList<Lamp*> cirError;
    QList<QLabel*> lblError;
    QList<Lamp*> cirState;
    QList<QLabel*> lblState;

protected:
    void refresh() override;
    void autoChanged(bool on) override;
    void loadingLamps() override;
    void closed() override;

private:
    IWLStateHost* host() const;
};

} // namespace orvid
