#pragma once

#include <QString>
#include <functional>

namespace veltrane {

// One step of the install. A step that fails throws FileError; the install's error trap
// decides whether the install goes on with the next step.
struct InstallStep {
    enum class Result { Next, EndInstall };
    QString name;
    std::function<Result()> run;
};

} // namespace veltrane
