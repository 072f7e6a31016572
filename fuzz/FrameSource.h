#pragma once
// The current system window of a reply-decoding fuzz target: the input's frames are its
// device. The link's direct route hands them out one by one (DirectRead); telegrams go
// nowhere. Everything else a system window does is left empty, so a target overrides only
// the framing it checks (SetLKString, GetLKResult) and, where a command's reply matters,
// ReadData.
//
// The source lives as long as the fuzzing run (a target's static link holds it) while it
// serves millions of inputs: each input starts with load() and ends with clear(), and
// nothing of one input stays for the next. The frames handed out are noted only for a
// target that asks (keepReceived) and checks what it was given against them.

#include "foundations/AppContext.h"
#include "foundations/Options.h"
#include "link/LK.h"
#include "link/LinkInterfaces.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>

namespace orvid::fuzz {

class FrameSource : public ISystemForm, public ILkDirectAccess {
public:
    explicit FrameSource(QString name) : name_(std::move(name)) {}

    // IToolWindow, ISystemForm
    QString Name() const override { return name_; }
    bool Loaded() const override { return false; }
    void Show() override {}
    void Unload() override {}
    void SetLanguage() override {}
    Menues CommandList() override { return Menues(); }
    bool Check() override { return false; }
    QString Poll(const QVariant&, const QVariant&) override { return QString(); }
    void CloseLK() override {}
    void Init(bool) override {}
    void PutData(int16_t, const QVariant&) override {}
    void GetData(int16_t, QVariant&) override {}
    QByteArray SetLKString(const QByteArray& c, const QByteArray& s) override { return c + s; }
    int16_t GetLKResult(QByteArray&, int16_t n, const QVariant&) override { return n; }
    void StopBuffered() override {}

    // ILkDirectAccess: a command gets no reply unless a target says otherwise.
    bool DataAvailable() override { return !frames.isEmpty(); }
    bool DirectModeSupported() override { return true; }
    int16_t DirectRead(QByteArray& reply, int16_t&, const QVariant&, bool, bool) override { return next(reply); }
    int16_t ReadData(const QByteArray&, QByteArray& reply, bool, bool& ok) override
    {
        reply.clear();
        ok = false;
        return 0;
    }
    int16_t WriteData(const QByteArray&, const QByteArray&, bool) override { return -1; }

    // Starts an input: its frames, none of the input before.
    void load(QList<QByteArray> inputFrames)
    {
        frames = std::move(inputFrames);
        received.clear();
    }
    // Ends an input.
    void clear()
    {
        frames.clear();
        received.clear();
    }

    // The next frame (empty when none is left), noted in received when keepReceived is set.
    int16_t next(QByteArray& reply)
    {
        reply = frames.isEmpty() ? QByteArray() : frames.takeFirst();
        if (keepReceived)
            received.append(reply);
        return static_cast<int16_t>(reply.size());
    }

    QList<QByteArray> frames;
    bool keepReceived = false;
    QList<QByteArray> received; // this input's frames handed out so far

private:
    QString name_;
};

// The input from byte `from` on as frames, each a length byte followed by its bytes. Empty
// frames are left out, and so is a frame the input ends inside.
inline QList<QByteArray> SplitFrames(const uint8_t* data, size_t size, size_t from)
{
    QList<QByteArray> frames;
    for (size_t i = from; i < size;) {
        const size_t n = data[i++];
        if (i + n > size)
            break;
        if (n > 0)
            frames.append(QByteArray(reinterpret_cast<const char*>(data + i), static_cast<qsizetype>(n)));
        i += n;
    }
    return frames;
}

// The link with a target's source as the window of the system entries given (the first is
// the current system), built once for the whole run.
template <class Source>
struct SourceLink {
    SourceLink(std::initializer_list<int> entries, bool readHeadError = false)
    {
        state.CurrentSystem = static_cast<int16_t>(*entries.begin());
        state.ReadHeadError = readHeadError;
        ctx.state = &state;
        lk = std::make_unique<LK>(ctx);
        ctx.lk = lk.get();
        lk->InitSystems();
        for (int entry : entries)
            lk->RegisterSystem(entry, [this] { return &source; });
    }
    AppState state;
    AppContext ctx;
    Source source;
    std::unique_ptr<LK> lk;
};

} // namespace orvid::fuzz
