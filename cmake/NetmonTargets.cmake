# Compiler settings shared by every component and the functions components
# use to declare their libraries, tests and fuzz targets.

include(GoogleTest)

add_compile_options(-Wall -Wextra)
if(NOT WIN32)
  set(CMAKE_C_VISIBILITY_PRESET hidden)
  set(CMAKE_CXX_VISIBILITY_PRESET hidden)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
endif()

if(WIN32)
  # The product is 32-bit; the x86_64 build is a test build for machines
  # that run no 32-bit program. Both need no DLL but the system's. The C
  # runtime is the system's msvcrt.dll (mingw-w64's default), because heap
  # blocks and FILE* cross the libraries' boundary.
  # mingw-w64's own printf family (C99 formats, always terminated), writing
  # to msvcrt's streams.
  add_compile_definitions(WINVER=0x0501 _WIN32_WINNT=0x0501 WIN32_LEAN_AND_MEAN
                          __USE_MINGW_ANSI_STDIO=1)
  add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(NETMON_WIN64 ON)
    set(NETMON_PE_FORMAT pei-x86-64)
    # Debian's wine script would pick the 32-bit loader, which such a
    # machine can't start.
    set(NETMON_WINE /usr/lib/wine/wine64)
  else()
    set(NETMON_WIN64 OFF)
    set(NETMON_PE_FORMAT pei-i386)
    set(NETMON_WINE wine)
  endif()
  # Where this machine can't run the build's programs, the test programs
  # are still built, but not listed to CTest: listing them runs them.
  option(NETMON_RUN_UNDER_WINE "list the Windows test programs, which run under Wine" ON)
  # Tests run under Wine in a prefix kept under the build tree.
  set(NETMON_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE @ONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
elseif(NETMON_FLAVOUR STREQUAL "asan")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(NETMON_FLAVOUR STREQUAL "tsan")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NETMON_FLAVOUR STREQUAL "fuzz")
  # Undefined behaviour found by a fuzzer ends its run, so it is not missed
  # among the fuzzer's own output.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# netmon_def_for_target(out def)
# The module-definition file as this architecture links it. The files are
# written for i686, where a stdcall export names its decorated symbol
# ("DllCanUnloadNow = DllCanUnloadNow@0"); x86_64 has no stdcall
# decoration, so there the aliases are dropped and the names stay.
function(netmon_def_for_target out def)
  if(NOT NETMON_WIN64)
    set(${out} ${def} PARENT_SCOPE)
    return()
  endif()
  get_filename_component(def ${def} ABSOLUTE)
  file(READ ${def} text)
  string(REGEX REPLACE "[ \t]*=[ \t]*[A-Za-z_][A-Za-z0-9_]*@[0-9]+" "" text "${text}")
  get_filename_component(def_name ${def} NAME)
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/win64-${def_name})
  # Written through a copy so that an unchanged file keeps its time stamp.
  file(WRITE ${generated}.in "${text}")
  configure_file(${generated}.in ${generated} COPYONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
  set(${out} ${generated} PARENT_SCOPE)
endfunction()

# netmon_shipped(target)
# A program or library of the product: on Windows it is linked without its
# symbols and debug information, for the distribution carries it to every
# user.
function(netmon_shipped target)
  if(WIN32)
    target_link_options(${target} PRIVATE -s)
  endif()
endfunction()

# netmon_shared_library(name DEF file.def SOURCES ... [LIBS ...])
# A C library: on Windows the module-definition file fixes the export names
# exactly; natively only symbols marked for export are visible and the
# library binds its own symbols to itself, so two libraries built from the
# same Common sources keep their own process-wide state.
function(netmon_shared_library name)
  cmake_parse_arguments(ARG "" "DEF" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES PREFIX "" C_VISIBILITY_PRESET hidden
                        CXX_VISIBILITY_PRESET hidden)
  netmon_shipped(${name})
  if(WIN32)
    netmon_def_for_target(def ${ARG_DEF})
    target_sources(${name} PRIVATE ${def})
  elseif(NETMON_FLAVOUR STREQUAL "fuzz")
    # Fuzz targets link the sources they need; the libraries aren't built.
    set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON)
  else()
    target_link_options(${name} PRIVATE -Wl,-Bsymbolic -Wl,--no-undefined)
  endif()
endfunction()

# netmon_test(name SOURCES ... [LIBS ...] [THREADED] [WINDOWS_ONLY] [NATIVE_ONLY])
# A GoogleTest program; THREADED tests are also built and run under
# ThreadSanitizer. Under Wine the tests run through the emulator script.
function(netmon_test name)
  cmake_parse_arguments(ARG "THREADED;WINDOWS_ONLY;NATIVE_ONLY" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  if(NETMON_FLAVOUR MATCHES "fuzz|bench" AND NOT WIN32)
    return()
  endif()
  if(NETMON_FLAVOUR STREQUAL "tsan" AND NOT WIN32 AND NOT ARG_THREADED)
    return()
  endif()
  if((ARG_WINDOWS_ONLY AND NOT WIN32) OR (ARG_NATIVE_ONLY AND WIN32))
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock_main)
  if(WIN32 AND NOT NETMON_RUN_UNDER_WINE)
    return()
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES TIMEOUT 120 ${ARG_PROPERTIES})
endfunction()

# netmon_fuzzer(name SOURCES ... [LIBS ...] [SEEDS dir])
# A libFuzzer target, built only in the fuzz flavour; the test runs it for
# NETMON_FUZZ_SECONDS over a corpus kept in the build tree.
function(netmon_fuzzer name)
  cmake_parse_arguments(ARG "" "SEEDS" "SOURCES;LIBS" ${ARGN})
  if(NOT NETMON_FLAVOUR STREQUAL "fuzz" OR WIN32)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
  file(MAKE_DIRECTORY ${corpus})
  set(seeds "")
  if(ARG_SEEDS)
    set(seeds ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_SEEDS})
  endif()
  add_test(NAME fuzz.${name}
           COMMAND ${name} -max_total_time=${NETMON_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=2048
                   ${corpus} ${seeds})
endfunction()

# netmon_bench(name SOURCES ... [LIBS ...])
# A benchmark program, built only in the release "bench" flavour and run by
# `make bench` (never by the tests).
function(netmon_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT NETMON_FLAVOUR STREQUAL "bench" OR WIN32)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/benchmarks)
endfunction()

# netmon_test_loads(test library MACRO)
# A test that loads `library` at run time, as the product's host does: the
# library is built first and named to the test in MACRO (its file name,
# found beside the program on Windows; its full path natively).
function(netmon_test_loads test library macro)
  if(TARGET ${test})
    add_dependencies(${test} ${library})
    target_compile_definitions(${test} PRIVATE
      ${macro}="$<IF:$<BOOL:${WIN32}>,$<TARGET_FILE_NAME:${library}>,$<TARGET_FILE:${library}>>")
  endif()
endfunction()

# netmon_check_exports(library def)
# Windows build: a test that the built DLL is an image of this build's
# architecture exporting every name of its module-definition file and
# needing only system DLLs. Such checks carry the label pe_check: they run
# on Linux, so they run even where the build's programs can't.
function(netmon_check_exports library def)
  if(WIN32)
    add_test(NAME ${library}.pe_exports
             COMMAND ${CMAKE_SOURCE_DIR}/tools/check-pe.sh ${CMAKE_OBJDUMP} ${NETMON_PE_FORMAT}
                     $<TARGET_FILE:${library}> ${def})
    set_tests_properties(${library}.pe_exports PROPERTIES LABELS pe_check)
  endif()
endfunction()
