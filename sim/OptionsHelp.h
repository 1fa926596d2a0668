#pragma once

#include <string>
#include <vector>

namespace VPanel::Sim {

// English under "--lang en", Russian under "--lang ru", otherwise as the locale asks.
bool wantsEnglish(const std::vector<std::string>& arguments);
std::string usage(bool english);

} // namespace VPanel::Sim
