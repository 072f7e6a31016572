#pragma once
// A family's telegram layer as the link sees it, without a window: the ISystemForm that
// forwards to a FamilyProtocol exactly as the family window base does (FamilyForm), for
// tests that drive the layer through the link (against a simulator, or with a device
// scripted in a derived class that adds ILkDirectAccess).

#include "families/common/FamilyProtocol.h"
#include "link/LinkInterfaces.h"

namespace orvid::test {

class ProtocolForm : public ISystemForm {
public:
    explicit ProtocolForm(FamilyProtocol& protocol, QString name = QStringLiteral("ProtocolForm"))
        : p_(protocol), name_(std::move(name)) {}

    QString Name() const override { return name_; }
    bool Loaded() const override { return loaded; }
    void Show() override {}
    void Unload() override {}
    void SetLanguage() override {}
    Menues CommandList() override { return p_.CommandList(); }
    bool Check() override { return p_.Check(); }
    QString Poll(const QVariant& a = QVariant(), const QVariant& b = QVariant()) override { return p_.PollStep(a, b); }
    void CloseLK() override { p_.CloseLK(); }
    void Init(bool ethernet = false) override { p_.Init(ethernet); }
    void PutData(int16_t id, const QVariant& v) override { p_.PutData(id, v); }
    void GetData(int16_t id, QVariant& v) override { p_.GetData(id, v); }
    QByteArray SetLKString(const QByteArray& c, const QByteArray& s) override { return p_.BuildTelegram(c, s); }
    int16_t GetLKResult(QByteArray& r, int16_t n, const QVariant& o) override { return p_.ReplyResult(r, n, o); }
    void StopBuffered() override { p_.StopBuffered(); }
    int ReplyOwed() override { return p_.ReplyOwed(); }
    void OwedReply(QByteArray& r, int16_t n) override { p_.OwedReply(r, n); }
    bool ReadRunning() override { return p_.ReadRunning(); }
    bool ReadFrame(QByteArray& f, int16_t n, bool inAnswer) override { return p_.ReadFrame(f, n, inAnswer); }

    bool loaded = false;   // what Loaded() answers

protected:
    FamilyProtocol& p_;
    QString name_;
};

} // namespace orvid::test
