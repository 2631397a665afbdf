#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace veltrane {

class BatchExecutor;
class FolderGuard;
struct BatchLine;

// What the check before a run knows while it judges one line in one folder.
struct BatchCheck {
    const FolderGuard& guard;
    QString batchFolder;
    QString current;
    // The folders later lines may run in, once a CD line has been judged.
    QStringList foldersAfter;

    // Set with a refusal because the line would change something outside the allowed
    // folders, rather than because our interpreter cannot run it.
    bool outside = false;

    // Why the file may not touch path (its folder, under wildcards); empty when it may.
    QString touch(const QString& path);
    // A refusal for leaving the allowed folders.
    QString leaves(QString reason);
};

// One command of our batch interpreter, described once: how its line is read, what the check
// before the run looks at, and what runs it.
struct BatchCommand {
    enum class Arguments {
        Words,      // separate names
        RestOfLine, // the rest of the line is one name (CD)
        Text        // the rest of the line is text, not names (ECHO)
    };

    QStringView names; // separated by blanks: "DEL ERASE"
    Arguments arguments;
    QStringView switches; // allowed, separated by blanks
    int minWords;
    int maxWords; // -1: no limit
    // Why the words cannot be run, beyond their number and switches; may be null.
    QString (*refuseWords)(const BatchLine& line);
    // Why the line may not run; paths are its words, resolved. May be null.
    QString (*check)(BatchCheck& check, const BatchLine& line, QStringList& paths);
    // False when the run ends with this line. Null: the line does nothing here.
    bool (BatchExecutor::*run)(const BatchLine& line);

    QString name() const { return names.split(u' ').first().toString(); }

    // The command of that name (ASCII upper case), or null.
    static const BatchCommand* find(QStringView name);
};

} // namespace veltrane
