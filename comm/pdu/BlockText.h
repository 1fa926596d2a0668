#pragma once

#include "comm/Export.h"
#include "comm/pdu/IteratorPair.h"

#include <iosfwd>

namespace KelComm::PDU {

class Builder;

// The text form of a byte block for logs: "{01,ab,00}" in hexadecimal, "{}" when empty.
// Letter case follows the stream's uppercase flag; its other format flags are kept aside
// while the block is written, so that the text always reads back.
KELCOMM_EXPORT std::wostream& operator<<(std::wostream& out, const ConstBytes& block);
KELCOMM_EXPORT std::wostream& operator<<(std::wostream& out, const MutableBytes& block);

// Reads the text form and appends its bytes to the builder; any single character separates
// two numbers, which have no sign. A number above 0xff, however long, ends the reading
// without being appended. The stream fails unless a whole block up to its "}" was read. A
// full builder throws its BuilderException.
KELCOMM_EXPORT std::wistream& operator>>(std::wistream& in, Builder& builder);
// Not implemented: throws KelBase::UnrealizedException.
KELCOMM_EXPORT std::wistream& operator>>(std::wistream& in, const MutableBytes& target);

} // namespace KelComm::PDU
