#pragma once
// Message presenter for tests: records every request and answers from a script
// (Msg::Ok when the script is empty), so no test blocks in a modal message box.

#include "foundations/MessagePresenter.h"

#include <QList>

namespace orvid::test {

class RecordingPresenter final : public IMessagePresenter {
public:
    int present(const MessageRequest& request) override
    {
        requests.append(request);
        return answers.isEmpty() ? Msg::Ok : answers.takeFirst();
    }
    QList<int> numbers() const
    {
        QList<int> n;
        for (const MessageRequest& r : requests)
            n.append(r.number);
        return n;
    }

    QList<MessageRequest> requests;
    QList<int> answers; // scripted results, consumed in order
};

} // namespace orvid::test
