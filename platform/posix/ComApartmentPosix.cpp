#include "platform/ComApartment.h"

namespace platform {

ComApartment::ComApartment(Model) : usable_(false) {}

ComApartment::~ComApartment() = default;

} // namespace platform
