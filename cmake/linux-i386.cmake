# A 32-bit x86 Linux build on a 64-bit Debian machine: gcc -m32 (g++-multilib) with the
# i386 development packages of Debian's multiarch (libpng-dev:i386, ...).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
# Floating point on SSE2, as on every processor the home platform still runs on: x87's
# wider intermediates would make frames differ from the 64-bit build's in the last bit
# (depth ties, the specialised span routines' agreement with the generic one).
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
foreach(kind EXE_LINKER SHARED_LINKER MODULE_LINKER)
  set(CMAKE_${kind}_FLAGS_INIT -m32)
endforeach()
# The machine's own libraries of the same names are 64-bit: look only in the i386 folders.
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)
