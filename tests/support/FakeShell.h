#pragma once
// Stand-ins for the main window and its tools, for tests of the layers below the shell.

#include "foundations/MainFrame.h"
#include "link/LinkInterfaces.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

namespace orvid::test {

// Keeps every monitor line as prefix + data.
class RecordingMonitor final : public IMonitor {
public:
    void Add(const QByteArray& prefix, const QByteArray& data, const QVariant&) override
    {
        lines.append(prefix + data);
    }
    // Whether a receive timed out after a telegram starting with sent, before the next one.
    bool timedOutAfter(const QByteArray& sent) const
    {
        bool after = false;
        for (const QByteArray& line : lines) {
            after = line.startsWith("W: ") ? line.startsWith("W: " + sent) : after;
            if (after && line == "R: <TIMEOUT>")
                return true;
        }
        return false;
    }
    QList<QByteArray> lines;
};

class FakeMainFrame final : public IMainFrame {
public:
    bool menuChecked(MenuEntry e) const override { return checked.value(int(e), false); }
    void setMenuChecked(MenuEntry e, bool c) override { checked[int(e)] = c; }
    bool menuEnabled(MenuEntry e) const override { return enabled.value(int(e), false); }
    void setMenuEnabled(MenuEntry e, bool on) override { enabled[int(e)] = on; }
    void setMenuArrayChecked(const QString& array, int index, bool c) override
    {
        arrayChecks[array + QString::number(index)] = c;
    }
    void setPortLabel(const QString& caption) override { portLabel = caption; }
    void setPortLabelEnabled(bool on) override { portLabelEnabled = on; }
    void setSystemLabel(const QString& caption, bool on) override
    {
        systemLabel = caption;
        systemLabelEnabled = on;
    }
    int portLabelHeight() const override { return labelHeight; }

    QHash<int, bool> checked;
    QHash<int, bool> enabled;
    QHash<QString, bool> arrayChecks;
    QString portLabel;
    bool portLabelEnabled = false;
    QString systemLabel;
    bool systemLabelEnabled = false;
    int labelHeight = 17;
};

} // namespace orvid::test
