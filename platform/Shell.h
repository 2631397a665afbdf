#pragma once

#include <QString>
#include <QStringList>

namespace veltrane {

class UserInterface;

// Runs the command lines of the install: the game's serialiser, batch files and ATTRIB.
// A command line is split by the Windows rules, never handed to a shell; the program is
// found by ProgramSearch and run natively, under Wine, or (batch files without Wine) by
// our own interpreter.
class Shell {
public:
    // allowedRoots: folders a batch file run by our own interpreter may touch.
    Shell(UserInterface& ui, QStringList allowedRoots);

    // Starts the command with currentFolder (the program's path form) as its current
    // folder and waits for it. Returns the process identifier, 0 when nothing could be
    // started. Never throws; shows nothing, except that our own batch interpreter tells
    // the user which lines it refused.
    qint64 ShellAndWait(const QString& commandLine, bool pump, int windowStyle,
                        const QString& currentFolder);

    // Windows rules: spaces separate, double quotes group and are removed.
    static QStringList splitCommand(const QString& commandLine);

private:
    qint64 runBatch(const QString& batchHostPath, const QStringList& arguments, bool pump,
                    int windowStyle, const QString& currentFolder);
    qint64 runAttrib(const QStringList& arguments, bool pump, int windowStyle,
                     const QString& currentFolder);

    UserInterface& m_ui;
    QStringList m_allowedRoots;
};

} // namespace veltrane
