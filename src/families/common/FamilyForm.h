#pragma once
// The base of every family's main window: a QWidget that is the link's ISystemForm and its
// telegram layer's view. It carries what every family window does the same way:
//
//   - lifecycle: Show (load on first show, restore the placement, show in the MDI area,
//     grow the sub-window to what the controls need), Unload and closing (the family's
//     unload step, its lists emptied, window-menu mark off, placement saved);
//   - the busy cursor (nested SetBusy calls);
//   - the data list the telegram layer writes to (ShowData);
//   - forwarding of everything the link calls to the family's FamilyProtocol, and the
//     refusal of a poll step while one of the family's own exchanges runs.
//
// A family window derives from it, builds its controls, owns its telegram layer through
// setProtocol, and implements OnLoad / OnUnload / SetLanguage and its own view entries.
// A family over TCP derives from DirectFamilyForm instead, which hands the link's direct
// route (ILkDirectAccess) to its telegram layer.

#include "FamilyProtocol.h"
#include "foundations/AppContext.h"
#include "link/LinkInterfaces.h"

#include <QWidget>
#include <functional>
#include <memory>

namespace orvid {

class ctrlList;

class FamilyForm : public QWidget, public ISystemForm, public virtual IFamilyView {
    Q_OBJECT
public:
    FamilyForm(AppContext& ctx, const QString& name, QWidget* parent = nullptr);
    ~FamilyForm() override;

    FamilyProtocol& protocol() const { return *protocol_; }

    // IToolWindow (SetLanguage is the family's)
    QString Name() const override { return objectName(); }
    bool Loaded() const override { return loaded_; }
    void Show() override;
    void Unload() override;

    // ISystemForm: forwarded to the telegram layer
    Menues CommandList() override;
    bool Check() override;
    QString Poll(const QVariant& a = QVariant(), const QVariant& b = QVariant()) override;
    void CloseLK() override;
    void Init(bool ethernet = false) override;
    void PutData(int16_t id, const QVariant& value) override;
    void GetData(int16_t id, QVariant& value) override;
    QByteArray SetLKString(const QByteArray& command, const QByteArray& suffix) override;
    int16_t GetLKResult(QByteArray& reply, int16_t length, const QVariant& logOption) override;
    void StopBuffered() override;
    int ReplyOwed() override;
    void OwedReply(QByteArray& reply, int16_t length) override;
    bool ReadRunning() override;
    bool ReadFrame(QByteArray& frame, int16_t length, bool inAnswer) override;

    // IFamilyView. A line that comes after the window closed (an exchange was waiting for
    // it) belongs to no list: opened again, the window would show it as new. Until then
    // nothing is added; the family's list takes the rest (AddData).
    void ShowData(int kind, const QByteArray& caption, const QByteArray& data) final;
    void SetBusy(bool busy) override;

    // True while a device exchange runs (one of this family's or the link's).
    bool ExchangeRunning() const;

protected:
    // The family's constructor hands over its telegram layer (once).
    void setProtocol(std::unique_ptr<FamilyProtocol> protocol);
    // The list ShowData writes to.
    void setDataList(orvid::ctrlList* list) { dataList_ = list; }
    // One line for the window's list (by default the list given to setDataList).
    virtual void AddData(int kind, const QByteArray& caption, const QByteArray& data);

    // A data item as the handlers set it: through the link, as every other caller does,
    // when this family is current; a window not selected yet keeps its items itself.
    void putItem(int16_t id, const QVariant& value);
    // A data item: the link's own (1..3) from the link, the family's from its layer.
    QVariant getItem(int16_t id) const;

    // Load step, before the placement is restored: settings into the controls, texts.
    virtual void OnLoad() = 0;
    // After the placement was restored (minimum sizes, starting the poll timer ...).
    virtual void OnPlaced() {}
    // Unload step (closing or Unload): stop the device, write the settings.
    virtual void OnUnload() = 0;

    // The MDI sub-window holding this window (null when top-level).
    QWidget* container() const;
    // Grows the sub-window (or the window) to its controls' minimum size hint: the MDI
    // frame does not follow a growing minimum size of its child by itself.
    void fitContainer();
    // Sets the minimum size to the controls' need, on the window and its sub-window.
    void applyMinimumSize();
    // Stops the device (the telegram layer's StopBuffered) now when the link is free, else
    // once the exchange waiting now has ended - never inside its wait, where the stop
    // telegram would flush the awaited reply - and only while this family is current.
    // ends: what the stop ends in the window (polling, an automatic read), done at once and
    // again when the stop goes out, after the actions asked for before it.
    void requestStop(std::function<void()> ends = {});

    void closeEvent(QCloseEvent* event) override;

    AppContext& ctx_;

private:
    void load();
    void unloadNow();

    std::unique_ptr<FamilyProtocol> protocol_;
    orvid::ctrlList* dataList_ = nullptr;
    bool loaded_ = false;
    bool closed_ = false;   // closed by the user or a change of system, not opened again yet
    int busyDepth_ = 0;
};

// A family window whose telegram layer moves its telegrams itself (a reader over TCP):
// the link finds ILkDirectAccess on the window and is handed the layer's transport.
class DirectFamilyForm : public FamilyForm, public ILkDirectAccess {
    Q_OBJECT
public:
    using FamilyForm::FamilyForm;

    bool DataAvailable() override;
    bool DirectModeSupported() override;
    int16_t DirectRead(QByteArray& reply, int16_t& count, const QVariant& logOption,
                       bool log = true, bool noCheck = false) override;
    int16_t ReadData(const QByteArray& command, QByteArray& reply, bool log, bool& ok) override;
    int16_t WriteData(const QByteArray& command, const QByteArray& suffix, bool log) override;
};

} // namespace orvid
