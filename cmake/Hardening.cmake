# Debian's usual hardening flags (what dpkg-buildflags gives with hardening=+all), for
# every target of the project. The optimized builds, of which the packages are made, get
# them all; the sanitizer build (Debug) keeps its own checks and takes only the link
# flags: _FORTIFY_SOURCE needs optimization, and the stack protector adds nothing to
# AddressSanitizer.
option(VND_HARDEN "Build with Debian's hardening flags (stack protector, _FORTIFY_SOURCE, relro, bindnow)" ON)
if(VND_HARDEN)
  set(vnd_optimized "$<NOT:$<CONFIG:Debug>>")
  add_compile_options(
    "$<${vnd_optimized}:-fstack-protector-strong>"
    "$<${vnd_optimized}:-Wformat>"
    "$<${vnd_optimized}:-Werror=format-security>"
    "$<${vnd_optimized}:-Wdate-time>")
  add_compile_definitions("$<${vnd_optimized}:_FORTIFY_SOURCE=2>")
  add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
