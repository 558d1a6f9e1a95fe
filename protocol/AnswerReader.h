#pragma once
// The answer line of a call read in one pass, its data packet straight into rows.

#include <optional>
#include <string_view>

#include "Value.h"

namespace wire {

/// Reads one answer line for the request with expectedId, giving for every line exactly
/// what parseResponse gives (value, code, Portuguese text), but without a JSON tree for
/// the data packet of the answer: a packet result's rows are read from the text straight
/// into the packet's rows, cell by cell. A result of any other kind (a number, an object
/// such as an explanation) is read as parseResponse reads it.
///
/// `rows`, when given, is for a page answer ({"total":N,"rows":packet}): a well-formed
/// packet under the result object's member "rows" is read into *rows the same way and left
/// out of the result's object, which keeps the other members. Where that member is absent
/// or not a well-formed packet, *rows stays empty and the result is parseResponse's.
///
/// Only answers in the plain form are read this way; anything else (an error answer,
/// a malformed or hostile line, duplicate names, numbers beyond a double) is handed to
/// parseResponse whole, so its texts are the ones the screens have always shown. Pure:
/// no I/O.
CallResult readAnswer(std::string_view line, long long expectedId,
                      std::optional<DataPacket>* rows = nullptr);

}  // namespace wire
