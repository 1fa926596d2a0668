#pragma once

#include "baselib/exceptions/Exception.h"

namespace VPanel::Gateway {
KEL_DECLARE_EXCEPTION(GatewayException, KelBase::RuntimeException, );
}
