#pragma once
// The window of the long-range reader KLX9000 (system entry 9): start and stop the list of
// the tag reports the reader pushes, write a tag, read and set the reader's parameters,
// and the list of result lines. The telegrams are KLXProtocol's.

#include "KLXProtocol.h"
#include "families/common/FamilyForm.h"

#include <QTimer>

class QGroupBox;
class QPushButton;

namespace orvid {
class TagDataList;
}

namespace orvid {

class frmSystemWKLX9000 : public DirectFamilyForm,
                          public IKLXView,
                          public IEventCallback,
                          public IKLXParameterTarget {
    Q_OBJECT
public:
    // Lines reach the list in batches, at most this often: a reader pushes hundreds of
    // reports a second, and laying out and painting the list for each one would keep the
    // program busy with the list alone.
    static constexpr int ListUpdateMs = 40;

    explicit frmSystemWKLX9000(AppContext& ctx, QWidget* parent = nullptr);

    KLXProtocol& klx() { return *klx_; }

    // IToolWindow
    void SetLanguage() override;

    // The data list.
    void AddData(int kind, const QByteArray& caption, const QByteArray& data) override;

    // IFamilyView / IKLXView
    bool Loaded() const override { return FamilyForm::Loaded(); }
    void SetBusy(bool busy) override { FamilyForm::SetBusy(busy); }
    void SetRWFrameTitle(const QString& title) override;
    void SetParameterEnabled(bool enabled) override;

    // IEventCallback
    void Error(const QString& text) override { klx_->LinkError(text); }
    void EventReceived(const QByteArray& text) override { klx_->EventReceived(text); }

    // IKLXParameterTarget
    int16_t ReadCmd(clsParameter& parameter, bool asDefault) override { return klx_->ReadCmd(parameter, asDefault); }
    int16_t WriteCmd(clsParameter& parameter) override;
    bool LastExchangeOk() const override { return klx_->LastOutcome() == KLXProtocol::Outcome::Good; }
    ExchangeGate& ParameterExchanges() override { return klx_->Exchanges(); }
    void SetClosingStep(const QObject* owner, std::function<void()> step) override
    {
        klx_->SetClosingStep(owner, std::move(step));
    }

    // The raw bytes of each list line, oldest first (lines still on their way to the list
    // included).
    QList<QByteArray> ListLines() const;
    // Hands the lines on their way to the list over now.
    void flushList();

    QGroupBox* frameHead = nullptr;
    QGroupBox* frameTagData = nullptr;
    QPushButton* btRead = nullptr;
    QPushButton* btParameter = nullptr;
    QPushButton* btWrite = nullptr;
    QPushButton* btClear = nullptr;
    QPushButton* btStop = nullptr;
    TagDataList* lstTagData = nullptr;

protected:
    void OnLoad() override;
    void OnUnload() override;

private:
    void btRead_Click();
    void btStop_Click();
    void btWrite_Click();
    void btParameter_Click();
    void btClear_Click();
    // The Stop action before a dialog opens, in an exchange scope of its own that ends
    // before the dialog shows; false when refused.
    bool stopBeforeDialog();

    KLXProtocol* klx_ = nullptr;
    QList<QByteArray> pendingLines_; // the newest lines not yet in the list, oldest first
    QTimer listTimer_;
    QString noHeadTitle_ = QStringLiteral("Kein Schreib/Lesekopf vorhanden");
    QString lastWriteId_;
    bool writeBusy_ = false;
    bool parameterBusy_ = false;
};

} // namespace orvid
