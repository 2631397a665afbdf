#include "UserInterface.h"

using namespace Qt::StringLiterals;

namespace veltrane {

UserInterface::~UserInterface() = default;

} // namespace veltrane
