#pragma once
// An application context for tests: a temporary folder holding the settings file and
// the "program folder" (layout and language files), a recording message presenter and
// the foundations modules. Link and shell objects are added by the tests that need them.

#include "RecordingPresenter.h"
#include "foundations/AppContext.h"
#include "foundations/Language.h"
#include "foundations/Options.h"
#include "foundations/SettingsStore.h"
#include "foundations/WindowPlacement.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <memory>

namespace orvid::test {

class TestContext {
public:
    TestContext();
    ~TestContext();

    // Writes a file into the program folder (Windows-1252 bytes as given).
    QString writeProgramFile(const QString& name, const QByteArray& bytes) const;
    QString settingsPath() const;

    QTemporaryDir dir;
    RecordingPresenter presenter;
    AppState state;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Language> language;
    std::unique_ptr<WindowPlacement> placement;
    AppContext ctx;
};

} // namespace orvid::test
