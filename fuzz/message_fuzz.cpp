// Numbered messages with their arguments: the text from the built-in table or a language
// file, "%s" filled left to right from the "|"-separated arguments (an argument is never
// scanned again), "\n" made a line break, and the request handed to the presenter as the
// caller gave it.
//
// Input layout: bytes 0-1 the message number, byte 2 flags (bit 0: the text comes from a
// language file, bit 1: no arguments, bit 2: a help context, bit 3: the detail form),
// byte 3 the buttons; then the message text for the language file up to a NUL byte, and
// the arguments (UTF-8).
#include "foundations/Language.h"
#include "foundations/MessagePresenter.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <optional>

using namespace orvid;

namespace {

class Recorder final : public IMessagePresenter {
public:
    int present(const MessageRequest& request) override
    {
        requests.append(request);
        return answer;
    }
    QList<MessageRequest> requests;
    int answer = Msg::Ok;
};

struct Rig {
    QTemporaryDir dir;
    Recorder presenter;
    std::optional<Language> language;
    QString file;
};

Rig& rig()
{
    static Rig* r = [] {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "message_fuzz";
            static char* argv[] = {name, nullptr};
            new QCoreApplication(argc, argv);
        }
        auto* rig = new Rig;
        if (!rig->dir.isValid())
            std::abort();
        rig->file = rig->dir.filePath(QStringLiteral("ORVILANG.TST"));
        QFile f(rig->file);
        if (!f.open(QIODevice::WriteOnly) || f.write("[ORVID]\r\nLanguage=Test\r\n") < 0)
            std::abort();
        f.close();
        rig->language.emplace(rig->dir.path());
        rig->language->setPresenter(&rig->presenter);
        rig->language->LoadLanguageList();
        if (rig->language->LanguageCount() != 2)
            std::abort();
        return rig;
    }();
    return *r;
}

// The filling as a reader of the message texts expects it, written independently.
QString fill(const QString& text, const QString& args)
{
    const QStringList pieces = text.split(QStringLiteral("%s"));
    const QStringList parts = args.split(QLatin1Char('|'));
    QString out = pieces.first();
    for (qsizetype i = 1; i < pieces.size(); ++i)
        out += parts.value(i - 1) + pieces.at(i);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    Rig& r = rig();
    Language& lang = *r.language;
    const auto number = static_cast<int16_t>(data[0] | (data[1] << 8));
    const uint8_t flags = data[2];
    const int buttons = data[3] | ((flags & 0x30) << 4); // default-button bits 256, 512
    const QByteArray rest(reinterpret_cast<const char*>(data) + 4, qsizetype(size) - 4);
    const qsizetype nul = rest.indexOf('\0');
    QByteArray text = nul < 0 ? rest : rest.left(nul);
    const QString args = (flags & 2) ? QString()
                                     : QString::fromUtf8(nul < 0 ? QByteArray() : rest.mid(nul + 1));
    const int helpContext = (flags & 4) ? 1 + data[3] : 0;

    int16_t index = (flags & 1) ? 1 : 0;
    if (index == 1) {
        text.replace('\r', ' ').replace('\n', ' ');
        QFile f(r.file);
        if (!f.open(QIODevice::WriteOnly))
            std::abort();
        f.write("[ORVID]\r\nLanguage=Test\r\n[Errors]\r\n" + QByteArray::number(number) + '=' + text + "\r\n");
        f.close();
    }
    lang.SelectLanguage(index);

    QString base = lang.GetMessageText(number);
    if (base.isEmpty())
        base = QStringLiteral("Programmfehler! Fehlernummer ") + QString::number(number);

    r.presenter.requests.clear();
    r.presenter.answer = 1 + data[3] % 7;
    const bool detailForm = (flags & 8) != 0;
    const int result = detailForm ? lang.ShowMessageWithDetail(number, buttons, args)
                                  : lang.ShowMessage(number, buttons, helpContext, args);
    if (r.presenter.requests.size() != 1 || result != r.presenter.answer)
        std::abort();
    const MessageRequest& m = r.presenter.requests.first();
    if (m.number != number || m.buttons != (buttons & ~0x70))
        std::abort();

    QString expected;
    if (detailForm) {
        // The detail goes under the text; the placeholders stay.
        expected = QString(base).replace(QStringLiteral("\\n"), QStringLiteral("\r"));
        if (!args.isEmpty())
            expected += QStringLiteral("\r\r") + args;
        if (!m.args.isNull() || m.helpContext != 0)
            std::abort();
    } else {
        expected = args.isNull() ? base : fill(base, args);
        expected.replace(QStringLiteral("\\n"), QStringLiteral("\r"));
        if (m.args != args || m.args.isNull() != args.isNull() || m.helpContext != helpContext)
            std::abort();
        if (helpContext == 0 && !m.helpFile.isEmpty())
            std::abort();
    }
    if (m.text != expected)
        std::abort();
    if (m.title.isEmpty())
        std::abort();
    return 0;
}
