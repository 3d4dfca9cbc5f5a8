#include "platform/ComApartment.h"

namespace platform {

ComApartment::ComApartment(Model) {}

ComApartment::~ComApartment() = default;

} // namespace platform
