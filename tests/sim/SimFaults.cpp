#include "SimFaults.h"

namespace orvid::test {

void SimFaultTable::use(qsizetype index)
{
    if (faults_[index].times > 0 && --faults_[index].times == 0)
        faults_.removeAt(index);
}

std::optional<SimFault> SimFaultTable::takeFirst(const QByteArray& key)
{
    for (qsizetype i = 0; i < faults_.size(); ++i) {
        if (!key.startsWith(faults_[i].prefix))
            continue;
        const SimFault fault = faults_[i];
        use(i);
        return fault;
    }
    return std::nullopt;
}

QList<SimFault> SimFaultTable::takeAll(const QByteArray& key)
{
    QList<SimFault> taken;
    for (qsizetype i = 0; i < faults_.size();) {
        if (!key.startsWith(faults_[i].prefix)) {
            ++i;
            continue;
        }
        taken.append(faults_[i]);
        const qsizetype before = faults_.size();
        use(i);
        if (faults_.size() == before)
            ++i;
    }
    return taken;
}

} // namespace orvid::test
