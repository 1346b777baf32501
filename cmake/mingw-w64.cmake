# Cross compilation for Windows x64 with Debian's MinGW-w64 (posix threads).
# The dependencies (Qt, SQLite, zlib, libxlsxwriter) come from the prefix
# scripts/windows/build-deps.sh fills: ARQ_WIN_PREFIX, else the cache's
# current entry.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${_triplet}-windres)
# Qt 5.15's headers redeclare exported inline friends without dllimport, which
# GCC 12 reports in every file (Qt's own build shows the same).
set(CMAKE_CXX_FLAGS_INIT "-Wno-attributes")

if(NOT ARQ_WIN_PREFIX)
  if(DEFINED ENV{ARQ_WIN_PREFIX})
    set(ARQ_WIN_PREFIX $ENV{ARQ_WIN_PREFIX})
  elseif(DEFINED ENV{ARQ_WIN_CACHE})
    set(ARQ_WIN_PREFIX $ENV{ARQ_WIN_CACHE}/current/prefix)
  else()
    set(ARQ_WIN_PREFIX $ENV{HOME}/.cache/arq-win/current/prefix)
  endif()
endif()
# try_compile projects see the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ARQ_WIN_PREFIX)

set(CMAKE_FIND_ROOT_PATH ${ARQ_WIN_PREFIX} /usr/${_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config reads the prefix's .pc files only, never the host's.
set(ENV{PKG_CONFIG_LIBDIR} ${ARQ_WIN_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Qt's host tools are Debian's Linux ones (same Qt version); Qt's CMake files
# keep targets that already exist. lrelease comes with Debian's LinguistTools.
set(ARQ_HOST_QT_BINDIR /usr/lib/qt5/bin CACHE PATH "Linux Qt tools used by the cross build")
foreach(_tool moc rcc uic qmake)
  if(NOT TARGET Qt5::${_tool} AND EXISTS ${ARQ_HOST_QT_BINDIR}/${_tool})
    add_executable(Qt5::${_tool} IMPORTED)
    set_target_properties(Qt5::${_tool} PROPERTIES IMPORTED_LOCATION ${ARQ_HOST_QT_BINDIR}/${_tool})
  endif()
endforeach()
set(Qt5LinguistTools_DIR /usr/lib/x86_64-linux-gnu/cmake/Qt5LinguistTools CACHE PATH "")

# Test programs run under Wine (scripts/windows/wine-run.sh sets up the prefix
# and the DLL search path).
get_filename_component(_arq_root ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${_arq_root}/scripts/windows/wine-run.sh)
