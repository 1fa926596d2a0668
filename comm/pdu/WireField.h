#pragma once

#include "comm/pdu/Builder.h"
#include "comm/pdu/Parser.h"

namespace KelComm::PDU::Internal {

// Moves a fixed-size field (a type with wireSize, toWire and fromWire) between its value and
// a data unit, so that each field type writes only its own byte layout.
template <class Field>
Builder& appendField(Builder& builder, const Field& field)
{
    unsigned char bytes[Field::wireSize];
    field.toWire(bytes);
    builder.pushBack(ConstBytes(bytes, bytes + Field::wireSize));
    return builder;
}

template <class Field>
Builder& prependField(Builder& builder, const Field& field)
{
    unsigned char bytes[Field::wireSize];
    field.toWire(bytes);
    builder.pushFront(ConstBytes(bytes, bytes + Field::wireSize));
    return builder;
}

// Leaves the field as it was when the unit has nothing left.
template <class Field>
Parser& readField(Parser& parser, Field& field)
{
    if (parser.atEnd())
        return parser;
    unsigned char bytes[Field::wireSize];
    parser.read(MutableBytes(bytes, bytes + Field::wireSize));
    field = Field::fromWire(bytes);
    return parser;
}

} // namespace KelComm::PDU::Internal
