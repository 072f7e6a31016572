#pragma once
// Shows numbered messages. The real presenter uses QMessageBox with the question icon;
// tests install a recording presenter that keeps every request and answers from a script,
// so no test ever blocks in a modal loop.

#include <QString>

namespace orvid {

// Button sets and results as the callers compare them.
namespace Msg {
enum Buttons : int {
    OkOnly = 0, OkCancel = 1, AbortRetryIgnore = 2, YesNoCancel = 3, YesNo = 4, RetryCancel = 5,
    DefaultButton2 = 256, DefaultButton3 = 512,
};
enum Result : int { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };
} // namespace Msg

struct MessageRequest {
    int number = 0;       // message number (0 for a free text)
    QString args;         // the "|"-separated arguments as the caller gave them
    QString text;         // final text: placeholders filled, "\n" expanded to CR
    QString title;        // box title
    int buttons = 0;      // button set plus default-button bits (without the icon bits)
    int helpContext = 0;  // 0 = none
    QString helpFile;
};

class IMessagePresenter {
public:
    virtual ~IMessagePresenter() = default;
    // Shows the message and returns the pressed button as a Msg::Result.
    virtual int present(const MessageRequest& request) = 0;
};

// The presenter of the running program: a modal QMessageBox over the active window.
class QtMessagePresenter final : public IMessagePresenter {
public:
    int present(const MessageRequest& request) override;
};

} // namespace orvid
