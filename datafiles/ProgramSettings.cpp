#include "datafiles/ProgramSettings.h"

namespace VPanel {

namespace {
const char* const organisation = "ТЕВОЛАН";
const char* const application = "ВЛД";
} // namespace

std::unique_ptr<QSettings> openProgramSettings()
{
    return std::make_unique<QSettings>(QString::fromUtf8(organisation), QString::fromUtf8(application));
}

} // namespace VPanel
