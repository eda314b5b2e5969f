# cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -P installed_package.cmake
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# What a customer gets.
foreach(f
    bin/SecDesk
    ${LIBDIR}/jovsec/SecDesk
    ${LIBDIR}/jovsec/Jovcssec.gdb
    ${LIBDIR}/jovsec/jovsecadm
    ${LIBDIR}/libJovCSSecurity.so
    include/JovCSSecurity/security/TJovCSsecure.h
    include/JovCSSecurity/security/TJovCSsecureWidget.h
    ${LIBDIR}/cmake/JovCSSecurity/JovCSSecurityConfig.cmake
    ${LIBDIR}/cmake/JovCSSecurity/JovCSSecurityConfigVersion.cmake
    ${LIBDIR}/cmake/JovCSSecurity/JovCSSecurityTargets.cmake
    ${LIBDIR}/pkgconfig/JovCSSecurity.pc
    share/applications/SecDesk.desktop
    share/icons/hicolor/scalable/apps/jovsec-secdesk.svg)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
if(DESIGNER_PLUGIN_DIR AND NOT EXISTS ${prefix}/${DESIGNER_PLUGIN_DIR}/libjovcssecurity_designer.so)
  message(FATAL_ERROR "not installed: the Qt Designer plugin in ${DESIGNER_PLUGIN_DIR}")
endif()
# The program in bin is a link to the one beside its prime database.
file(REAL_PATH ${prefix}/bin/SecDesk real)
file(REAL_PATH ${prefix}/${LIBDIR}/jovsec/SecDesk expected)
if(NOT real STREQUAL expected)
  message(FATAL_ERROR "bin/SecDesk leads to ${real}, not ${expected}")
endif()

# The installed administration tool creates a security database with its alias.
run(${CMAKE_COMMAND} -E env JOVSEC_CONFIG=${WORK_DIR}/aliases.ini
    ${prefix}/${LIBDIR}/jovsec/jovsecadm create INSTALLED_SEC ${WORK_DIR}/installed_sec.gdb)
if(NOT EXISTS ${WORK_DIR}/installed_sec.gdb OR NOT run_output MATCHES "INSTALLED_SEC")
  message(FATAL_ERROR "jovsecadm create said: ${run_output}")
endif()

# The example application, as a project of its own.
set(app ${WORK_DIR}/app)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/SecuredApp -B ${app}
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Debug
    "-DCMAKE_CXX_FLAGS=${CONSUMER_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${CONSUMER_FLAGS}")
run(${CMAKE_COMMAND} --build ${app} -j2)
run(${app}/SecuredApp --help)
if(NOT run_output MATCHES "--alias")
  message(FATAL_ERROR "SecuredApp --help said: ${run_output}")
endif()
# It runs on the installed library, not the build tree's.
file(READ ${app}/CMakeCache.txt cache)
string(REGEX MATCH "JovCSSecurity_DIR:PATH=([^\n]*)" _ "${cache}")
if(NOT CMAKE_MATCH_1 STREQUAL "${prefix}/${LIBDIR}/cmake/JovCSSecurity")
  message(FATAL_ERROR "find_package used ${CMAKE_MATCH_1}")
endif()

# pkg-config: a one-file program that asks the component for its version.
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
  run(${PKG_CONFIG} --cflags --libs JovCSSecurity)
  string(STRIP "${run_output}" flags)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  file(WRITE ${WORK_DIR}/tiny.cpp [=[
#include "security/TJovCSsecure.h"
#include <QCoreApplication>
#include <cstdio>
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TJovCSsecure security;
    security.setDesigning(true);
    security.Loaded(); // design mode: never connects
    std::printf("%d\n", int(security.Active()));
    return security.Active() ? 1 : 0;
}
]=])
  separate_arguments(consumer UNIX_COMMAND "${CONSUMER_FLAGS}")
  run(c++ -std=c++20 -fPIC ${consumer} ${WORK_DIR}/tiny.cpp -o ${WORK_DIR}/tiny ${flags}
      -Wl,-rpath,${prefix}/${LIBDIR})
  run(${WORK_DIR}/tiny)
endif()
file(REMOVE_RECURSE ${WORK_DIR})
