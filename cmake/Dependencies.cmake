# Libraries the system calls, all from Debian's packages.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(GTest REQUIRED)
find_package(benchmark REQUIRED)

pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
# The C++ build of Lua: its errors unwind C++ frames as exceptions, so the
# destructors between a script function and its protected call still run.
pkg_check_modules(LUA51 REQUIRED IMPORTED_TARGET lua5.1-c++)
pkg_check_modules(LZO2 REQUIRED IMPORTED_TARGET lzo2)
find_package(OpenGL REQUIRED COMPONENTS OpenGL)
# The tests' and benchmarks' JPEG oracle (libjpeg-turbo); the engine has its own decoder.
find_package(JPEG REQUIRED)

# Sounds: Ogg Vorbis decoded with libvorbis's synthesis calls; the tests and
# benchmarks write clips with the encoder library and check the decoded bytes
# against libvorbisfile.
pkg_check_modules(VORBIS REQUIRED IMPORTED_TARGET vorbis)
pkg_check_modules(VORBISENC REQUIRED IMPORTED_TARGET vorbisenc)
pkg_check_modules(VORBISFILE REQUIRED IMPORTED_TARGET vorbisfile)

# Videos: libtheora's legacy decoding interface (the "theora" library, not
# only the decoder library) over libogg; the test clips are written with the
# encoder library.
pkg_check_modules(OGG REQUIRED IMPORTED_TARGET ogg)
pkg_check_modules(THEORA REQUIRED IMPORTED_TARGET theora)
pkg_check_modules(THEORAENC REQUIRED IMPORTED_TARGET theoraenc)

# FreeType, for tools/fontbake only (the engine draws bitmap fonts): not
# required, the tool is left out without it.
pkg_check_modules(FREETYPE QUIET IMPORTED_TARGET freetype2)

# TinyXML 2.6 (not tinyxml2); Debian's header switches TIXML_USE_STL on itself.
pkg_check_modules(TINYXML REQUIRED IMPORTED_TARGET tinyxml)
