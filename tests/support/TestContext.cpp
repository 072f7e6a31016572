#include "TestContext.h"

#include <QDir>
#include <QFile>

namespace orvid::test {

TestContext::TestContext()
{
    QDir(dir.path()).mkpath(QStringLiteral("program"));
    ctx.programDir = dir.filePath(QStringLiteral("program"));
    settings = std::make_unique<SettingsStore>(settingsPath());
    language = std::make_unique<Language>(ctx.programDir);
    language->setPresenter(&presenter);
    ctx.settings = settings.get();
    ctx.language = language.get();
    ctx.state = &state;
    placement = std::make_unique<WindowPlacement>(ctx);
    ctx.placement = placement.get();
}

TestContext::~TestContext() = default;

QString TestContext::settingsPath() const
{
    return dir.filePath(QStringLiteral("config/Valdrecht/Zarvento.conf"));
}

QString TestContext::writeProgramFile(const QString& name, const QByteArray& bytes) const
{
    const QString path = QDir(ctx.programDir).filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
    return path;
}

} // namespace orvid::test
