#pragma once

#include "baselib/exceptions/Exception.h"

namespace VPanel::Mqtt {
KEL_DECLARE_EXCEPTION(MqttException, KelBase::RuntimeException, );
}
