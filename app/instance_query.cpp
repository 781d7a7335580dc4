#include "app/instance_query.h"

#include "support/lumivex_names.h"

namespace lumivex::app {

UINT InstanceQueryMessage() {
    static const UINT message = ::RegisterWindowMessageW(kMainInstanceName);
    return message;
}

} // namespace lumivex::app
