# How fast the tree builds, decided in one place (included by the top CMakeLists.txt before any
# target is made). Nothing here changes what the programs do; the switches only trade compile
# time against incremental rebuilds and debugging comfort.
#
# ORBIZO3_UNITY_BUILD (ON): every target compiles its .cpp files in batches of
#   ORBIZO3_UNITY_BATCH_SIZE, each batch one translation unit, so the Qt, Boost and GoogleTest
#   headers are parsed once a batch instead of once a file. File-local names (anonymous
#   namespaces, static functions) must therefore be unique within a layer's folder.
# ORBIZO3_TOOLS (ON): the benchmarks, the fault campaign and the screenshot tool. The
#   generators the tests and the package need are built whatever it says.
# ORBIZO3_PACKAGING (ON): install rules, the Debian package and its checks.
# CMAKE_BUILD_TYPE FirstRun: -O1 without debug information, the quickest build that still runs
#   a simulated update at full speed (scripts/run.sh).

option(ORBIZO3_UNITY_BUILD "Compile each target's sources in combined batches" ON)
set(ORBIZO3_UNITY_BATCH_SIZE 16 CACHE STRING "Source files per combined batch")
option(ORBIZO3_TOOLS "Build the benchmarks, the fault campaign and the screenshot tool" ON)
option(ORBIZO3_PACKAGING "Install rules, the Debian package and its checks" ON)

if(ORBIZO3_UNITY_BUILD)
  set(CMAKE_UNITY_BUILD ON)
  set(CMAKE_UNITY_BUILD_BATCH_SIZE ${ORBIZO3_UNITY_BATCH_SIZE})
  # GCC reads an included .cpp as a header and then warns about a test class (global) derived
  # from its file's fixture (anonymous namespace); in a unity batch that is expected.
  add_compile_options($<$<CXX_COMPILER_ID:GNU>:-Wno-subobject-linkage>)
endif()

# A target's moc run need not wait until the libraries it links are built: moc reads headers
# only. Without this, Qt's automoc serialises the layers' builds on two cores.
set(CMAKE_AUTOGEN_ORIGIN_DEPENDS OFF)

set(CMAKE_CXX_FLAGS_FIRSTRUN "-O1" CACHE STRING "Flags of the FirstRun build type")
set(CMAKE_EXE_LINKER_FLAGS_FIRSTRUN "" CACHE STRING "")
set(CMAKE_STATIC_LINKER_FLAGS_FIRSTRUN "" CACHE STRING "")
set(CMAKE_SHARED_LINKER_FLAGS_FIRSTRUN "" CACHE STRING "")
set(CMAKE_MODULE_LINKER_FLAGS_FIRSTRUN "" CACHE STRING "")
mark_as_advanced(CMAKE_CXX_FLAGS_FIRSTRUN CMAKE_EXE_LINKER_FLAGS_FIRSTRUN
                 CMAKE_STATIC_LINKER_FLAGS_FIRSTRUN CMAKE_SHARED_LINKER_FLAGS_FIRSTRUN
                 CMAKE_MODULE_LINKER_FLAGS_FIRSTRUN)
