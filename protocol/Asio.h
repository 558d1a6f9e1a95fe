#pragma once
// Asio for every part that moves bytes. GCC's null-dereference check misfires inside
// Asio's own scheduler once it is inlined into optimised code (a pointer Asio checks a
// few lines earlier); the check is kept for our code and set aside for Asio's lines.

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnull-dereference"
#include <asio.hpp>
#include <asio/ssl.hpp>
#pragma GCC diagnostic pop
