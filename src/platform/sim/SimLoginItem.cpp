#include "platform/sim/SimLoginItem.h"

namespace veska::sim {

void SimLoginItem::registerItem() {
    ++registrations_;
    if (failure_) throw ports::LoginItemError(*failure_);
    status_ = ports::LoginItemStatus::enabled;
}

void SimLoginItem::unregisterItem() {
    ++unregistrations_;
    if (failure_) throw ports::LoginItemError(*failure_);
    status_ = ports::LoginItemStatus::notRegistered;
}

}  // namespace veska::sim
