// The executable: the Qt application object around the program's start-up procedure.
#include "families/Families.h"
#include "shell/Application.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Valdrecht"));
    QCoreApplication::setApplicationName(QStringLiteral("Zarvento"));
    orvid::Application program(QString(), QString(), orvid::RegisterFamilies);
    return program.Main();
}
