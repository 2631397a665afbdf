#pragma once

#include "platform/ProcessRunner.h"
#include "util/HostPath.h"

#include <QString>

namespace veltrane {

struct EngineContext;
class FileChanges;

// Every conversion by the game's serialiser is run the same way, so that callers only name
// the files: `serz.exe IN xml:OUT` or `serz.exe IN bin:OUT`, found by the ordinary program
// search from the program's folder, run there in a hidden window while the window breathes.
// Without the game's tool, or where it runs under Wine and no drive of the prefix holds the
// files, our own converter does the same work. A run that takes minutes
// beyond what its input calls for, or that a close of the window interrupts, is ended and
// counts as failed; its error output is kept for the message.
namespace SerzConversion {

ProcessResult toXml(EngineContext& context, const HostPath& bin, const HostPath& xml);
ProcessResult toBin(EngineContext& context, const HostPath& xml, const HostPath& bin);

// Whether a serialised file reads back whole with our own decoder, which reads what any
// serialiser writes: a run that exits well may still have written something else.
bool readsBack(const HostPath& bin);

// The work folder of blueprint conversions, with one spelling of its name.
HostPath workFolder(const HostPath& workingFolder);
HostPath workFile(const HostPath& workingFolder, const QString& fileName);
// Creates the work folder when it is missing, in place of anything else of its name;
// throws FileError.
void prepareWorkFolder(FileChanges& files, const HostPath& workingFolder);

} // namespace SerzConversion

} // namespace veltrane
