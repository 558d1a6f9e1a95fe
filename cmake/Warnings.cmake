# Warnings apply to the project's own targets only, through this interface target.
add_library(vnd_warnings INTERFACE)
target_compile_options(vnd_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
  -Wold-style-cast -Wcast-align -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough)
