# The Qt major version the whole tree builds against, and the names that
# follow from it. A host and its driver must share one Qt: QString,
# QByteArray and QList values cross the interface, and their layouts differ
# between majors. So each major is its own variant, and both install into one
# prefix: the Qt 5 variant keeps the names runtimes in the field use, the
# Qt 6 one adds a Qt-major suffix wherever an installed name would clash.
set(ORDELIN_QT_MAJOR 5 CACHE STRING "Qt major version to build against: 5 or 6")
set_property(CACHE ORDELIN_QT_MAJOR PROPERTY STRINGS 5 6)
if(ORDELIN_QT_MAJOR STREQUAL "5")
    set(ORDELIN_QT_MINIMUM 5.15)
elseif(ORDELIN_QT_MAJOR STREQUAL "6")
    set(ORDELIN_QT_MINIMUM 6.2)
else()
    message(FATAL_ERROR "ORDELIN_QT_MAJOR must be 5 or 6, not '${ORDELIN_QT_MAJOR}'")
endif()

find_package(QT NAMES Qt${ORDELIN_QT_MAJOR} ${ORDELIN_QT_MINIMUM} REQUIRED COMPONENTS Core)
find_package(Qt${QT_VERSION_MAJOR} ${ORDELIN_QT_MINIMUM} REQUIRED COMPONENTS Core)

if(QT_VERSION_MAJOR EQUAL 5)
    set(ORDELIN_NAME_SUFFIX "")  # Ordelin, libOrdelin.so.1
    set(ORDELIN_FILE_SUFFIX "")  # ordelin.pc, ordelin-poll, include/ordelin/
else()
    set(ORDELIN_NAME_SUFFIX Qt${QT_VERSION_MAJOR})   # OrdelinQt6, libOrdelinQt6.so.1
    set(ORDELIN_FILE_SUFFIX -qt${QT_VERSION_MAJOR})  # ordelin-qt6.pc, ordelin-poll-qt6
endif()
# The CMake package a host finds, also the namespace of its target.
set(ORDELIN_PACKAGE Ordelin${ORDELIN_NAME_SUFFIX})
# The header is the same text for every variant; the Qt 6 one installs it one
# folder deeper, so both hosts still write #include <ordelin/ordelin.h>.
if(ORDELIN_FILE_SUFFIX)
    set(ORDELIN_INCLUDE_SUBDIR /ordelin${ORDELIN_FILE_SUFFIX})
else()
    set(ORDELIN_INCLUDE_SUBDIR "")
endif()
message(STATUS "Ordelin: Qt ${QT_VERSION}, package ${ORDELIN_PACKAGE}")
