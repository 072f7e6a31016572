#include "Help.h"

#include "AppContext.h"
#include "Language.h"
#include "MessagePresenter.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace orvid {

bool ShowHelp(AppContext& ctx, int context)
{
    Q_UNUSED(context);
    if (!ctx.language)
        return true;
    const QString file = ctx.language->helpFile();
    const QString path = QFileInfo(file).absoluteFilePath();
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        // No help comes with the program unless someone puts one there: say which file was
        // looked for, so that a button that does nothing does not look broken.
        ctx.language->ShowMessage(9, Msg::OkOnly, 0, QDir::toNativeSeparators(path));
        return true;
    }
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return true;
    qWarning("orvid: the help file %s could not be opened", qUtf8Printable(path));
    return false;
}

bool ShellOpen(const QString& fileOrUrl)
{
    if (fileOrUrl.trimmed().isEmpty())
        return false;
    const QFileInfo info(fileOrUrl);
    if (info.exists())
        return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
    // Not a file: only a complete address (with its scheme) is handed on; a bare name
    // would otherwise be guessed into a web address.
    const QUrl url(fileOrUrl, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().size() < 2)
        return false;
    return QDesktopServices::openUrl(url);
}

} // namespace orvid
