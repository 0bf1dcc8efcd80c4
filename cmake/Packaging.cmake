# What the tools install beside their programs (a man page made by help2man
# from each program's own --help and --version, bash completion under each
# program's name), and the Debian packages cpack -G DEB makes of a build,
# one set per Qt major variant:
#   runtime  the library, named after its SONAME (libordelin1, libordelinqt6-1)
#   dev      header, CMake package, pkg-config file (libordelin-dev, libordelinqt6-dev)
#   tools    the programs a headless panel or gateway box runs, with no GUI
#            library among their dependencies: poller, simulator, gateway
#            and the gateway's systemd unit (ordelin-tools, ordelin-qt6-tools)
#   monitor  the desktop monitor, which alone needs Qt Widgets and Charts
#            (ordelin-monitor, ordelin-qt6-monitor)
# Build with -DCMAKE_INSTALL_PREFIX=/usr so the library lands in Debian's
# multiarch folder; scripts/package.sh does.
set(ORDELIN_PACKAGE_MAINTAINER "Ordelin maintainers <maintainers@users.noreply.c-seed-7ac8ea9b.example>"
    CACHE STRING "Maintainer field of the Debian packages")

# The Debian package names of this variant.
string(TOLOWER "${ORDELIN_NAME_SUFFIX}" ordelin_lower_suffix)
if(ordelin_lower_suffix)
    # A library name ending in a digit takes a hyphen before its SONAME version.
    set(ordelin_runtime_package lib${PROJECT_NAME}${ordelin_lower_suffix}-${PROJECT_VERSION_MAJOR})
else()
    set(ordelin_runtime_package lib${PROJECT_NAME}${PROJECT_VERSION_MAJOR})
endif()
string(TOLOWER "${ordelin_runtime_package}" ordelin_runtime_package)
string(TOLOWER "lib${PROJECT_NAME}${ordelin_lower_suffix}-dev" ordelin_dev_package)
string(TOLOWER "${PROJECT_NAME}${ORDELIN_FILE_SUFFIX}-tools" ordelin_tools_package)
string(TOLOWER "${PROJECT_NAME}${ORDELIN_FILE_SUFFIX}-monitor" ordelin_monitor_package)

# Every package carries its copyright file and changelog, gzipped without a
# time stamp as Debian wants, so the same build gives the same bytes.
configure_file(packaging/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog @ONLY)
execute_process(COMMAND gzip -9nf ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog)
set(ordelin_components runtime dev)
if(TARGET ordelin-poll)
    list(APPEND ordelin_components tools)
endif()
if(TARGET ordelin-monitor)
    list(APPEND ordelin_components monitor)
endif()
foreach(component ${ordelin_components})
    install(FILES packaging/copyright ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${ordelin_${component}_package}
            COMPONENT ${component})
endforeach()

# Man pages and completion, for each program this build makes; the first
# line of each man page says what the program is.
set(ordelin-poll_what "poll a PLC through the Ordelin driver and show the values")
set(ordelin-sim_what "software PLC that answers the Ordelin driver's protocol")
set(ordelin-monitor_what "watch a PLC's values through the Ordelin driver on the desktop")
set(ordelin-gateway_what "publish a PLC line's tags on an MQTT broker through the Ordelin driver")
find_program(ORDELIN_HELP2MAN help2man)
set(ordelin_programs "")
foreach(target ordelin-poll ordelin-sim ordelin-gateway ordelin-monitor)
    if(TARGET ${target})
        list(APPEND ordelin_programs ${target})
    endif()
endforeach()
set(ordelin_man_pages "")
foreach(target ${ordelin_programs})
    get_target_property(program ${target} OUTPUT_NAME)
    if(NOT program)
        set(program ${target})
    endif()
    # Each program's page and completion go to the package of the program.
    if(target STREQUAL "ordelin-monitor")
        set(component monitor)
    else()
        set(component tools)
    endif()
    install(FILES packaging/ordelin.bash-completion
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions
            RENAME ${program} COMPONENT ${component})
    # help2man runs the program, which a cross-build cannot; a sanitizer
    # build's programs are for tests, not for pages.
    if(CMAKE_CROSSCOMPILING OR ORDELIN_SANITIZE OR NOT ORDELIN_HELP2MAN)
        continue()
    endif()
    set(page ${CMAKE_CURRENT_BINARY_DIR}/man/${program}.1)
    add_custom_command(OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
        # The monitor makes its window system connection before it reads
        # its options; a build machine may have no display.
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                ${ORDELIN_HELP2MAN} --no-info --name=${${target}_what} --output=${page} $<TARGET_FILE:${target}>
        COMMAND gzip -9nf ${page}
        DEPENDS ${target}
        COMMENT "Man page ${program}(1)" VERBATIM)
    list(APPEND ordelin_man_pages ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
endforeach()
if(ordelin_man_pages)
    add_custom_target(ordelin_man_pages ALL DEPENDS ${ordelin_man_pages})
elseif(ordelin_programs AND NOT CMAKE_CROSSCOMPILING)
    message(STATUS "Ordelin: no man pages, help2man not found (Debian: help2man)")
endif()

# The example projects (one line, and a plant of three) beside the tools'
# documentation, and the gateway's unit, one instance per project file:
# ordelin-gateway@line1 reads /etc/ordelin/line1.json. The Qt 6 build's unit carries the suffix like its
# program, so both tools packages install side by side. The unit goes under
# the prefix, /usr/lib/systemd/system for a package, where systemd looks on
# a merged-/usr system and an install into a scratch prefix stays inside it.
if(TARGET ordelin-poll)
    install(FILES examples/plant.json examples/plant-lines.json
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${ordelin_tools_package}/examples
            COMPONENT tools)
endif()
if(TARGET ordelin-gateway)
    get_target_property(gateway ordelin-gateway OUTPUT_NAME)
    # Where the tools package puts the program: packages install under /usr
    # whatever prefix this build was configured with, and systemd reads
    # units only there.
    set(gateway_path /usr/${CMAKE_INSTALL_BINDIR}/${gateway})
    set(ordelin_gateway_unit ${CMAKE_CURRENT_BINARY_DIR}/packaging/${gateway}@.service)
    configure_file(packaging/ordelin-gateway@.service.in ${ordelin_gateway_unit} @ONLY)
    install(FILES ${ordelin_gateway_unit} DESTINATION lib/systemd/system COMPONENT tools)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ordelin${ORDELIN_FILE_SUFFIX})
set(CPACK_PACKAGE_VENDOR "Ordelin")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ORDELIN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# A cross-build's packages are for the panel's architecture, which CPack
# would otherwise take from this machine's dpkg.
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()
# dpkg-shlibdeps derives the Qt and C++ runtime packages from the binaries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Component dependencies become "Depends: libordelin1 (= version)".
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${ordelin_runtime_package})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# A shlibs file for packages that link the library (only the runtime
# package has one to describe), and the ldconfig trigger. CPack also calls
# ldconfig from the postinst and postrm it writes for a library package,
# which the trigger makes redundant but harmless.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/packaging/runtime/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_BINARY_DIR}/packaging/runtime/triggers)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "PLC communication driver for HMI runtimes (Qt ${QT_VERSION_MAJOR})
The shared library an HMI runtime loads, by name or linked, to exchange data
with a PLC over a serial line in the PLC's ASCII command protocol. The host
owns the port and runs the loop; the driver decides what is sent, judges
replies, retries or drops, keeps a register image and reports completions.
This build is for hosts built against Qt ${QT_VERSION_MAJOR}.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${ordelin_dev_package})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# The header includes QtCore, the CMake package and pkg-config file find it.
if(QT_VERSION_MAJOR EQUAL 5)
    set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS qtbase5-dev)
else()
    set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS qt6-base-dev)
endif()
set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "PLC communication driver for HMI runtimes (Qt ${QT_VERSION_MAJOR}, development files)
The header, the CMake package (find_package(${ORDELIN_PACKAGE})) and the
pkg-config file (${ORDELIN_PKGCONFIG_NAME}) a host builds against to link the
driver for Qt ${QT_VERSION_MAJOR}.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ${ordelin_tools_package})
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
# The programs load the driver at run time, so shlibdeps cannot see it.
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
# Nor the SQLite driver plugin QtSql loads for the gateway's journal.
if(TARGET ordelin-gateway)
    set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS libqt${QT_VERSION_MAJOR}sql${QT_VERSION_MAJOR}-sqlite)
endif()
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
    "PLC simulator and reference host for the Ordelin driver (Qt ${QT_VERSION_MAJOR})
ordelin-poll${ORDELIN_FILE_SUFFIX} polls a PLC over a serial port (or a built-in
simulator) through the driver and shows the values; ordelin-sim${ORDELIN_FILE_SUFFIX}
is a software PLC on a pseudo-terminal or a serial port, for seeing the driver
at work without hardware.")
if(TARGET ordelin-gateway)
    string(APPEND CPACK_COMPONENT_TOOLS_DESCRIPTION
        "\nordelin-gateway${ORDELIN_FILE_SUFFIX} publishes a line's tags on an MQTT broker; its
systemd unit runs one per line. None of them needs a display.")
endif()

set(CPACK_DEBIAN_MONITOR_PACKAGE_NAME ${ordelin_monitor_package})
set(CPACK_DEBIAN_MONITOR_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_MONITOR_DEPENDS runtime)
set(CPACK_COMPONENT_MONITOR_DESCRIPTION
    "Desktop monitor for PLCs through the Ordelin driver (Qt ${QT_VERSION_MAJOR})
ordelin-monitor${ORDELIN_FILE_SUFFIX} polls a PLC over a serial port (or a built-in
simulator) through the driver and shows the values on a desktop, in a table
and a chart, and writes the cells it is given.")

set(CPACK_COMPONENTS_ALL ${ordelin_components})
include(CPack)
