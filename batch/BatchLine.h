#pragma once

#include "BatchWord.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace veltrane {

struct BatchCommand;

// One line of a batch file as read, before anything is known about the files it names.
struct BatchLine {
    // IF [NOT] EXIST path, in front of the command.
    struct Condition {
        bool negated = false;
        BatchWord path;
    };

    int number = 0; // 1-based
    QString text;   // as written, without its line end
    QList<Condition> conditions;
    // Nothing for a blank line, a comment or a label.
    const BatchCommand* command = nullptr;
    QStringList switches; // upper case, without the "/": "S", "-Y"
    QList<BatchWord> words;
    // What ECHO prints: the rest of its line, as written after the command.
    BatchWord message;
    // Why the line cannot be run; empty when it can.
    QString problem;

    bool hasSwitch(QStringView name) const { return switches.contains(name); }
};

} // namespace veltrane
