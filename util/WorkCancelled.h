#pragma once

#include <exception>

namespace veltrane {

// The user asked to stop the work (Cancel, Ctrl-C): thrown where the work next looks, and
// caught where what it did is taken back. Not a failure of any step.
class WorkCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }
};

} // namespace veltrane
