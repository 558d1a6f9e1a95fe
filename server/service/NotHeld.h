#pragma once
// What an answer from memory alone says when it needs the database.

#include <stdexcept>

namespace server {

/// Thrown where an answer from memory alone would need the database: the call is then
/// made again on a worker, against the database.
class NotHeld : public std::runtime_error {
public:
    NotHeld() : std::runtime_error("não está em memória") {}
};

}  // namespace server
