#include "ui/MainWindow.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltrane"));

    // The package folder is where the program lies, whatever the current folder is.
    QString programFolder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    if (programFolder.endsWith(QDir::separator()))
        programFolder.chop(1);

    veltrane::MainWindow window(programFolder);
    window.show();
    return app.exec();
}
