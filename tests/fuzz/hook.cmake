# Included by the fuzz preset right after project(). The fuzz targets are read once the whole
# tree has been, so they can link any library, and no other build sees them. A deferred call
# cannot add a subdirectory, so CMakeLists.txt here is included instead (it uses
# CMAKE_CURRENT_LIST_DIR, never CMAKE_CURRENT_SOURCE_DIR). The arguments are expanded when the
# call runs, hence CMAKE_SOURCE_DIR rather than this file's folder.
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL include
               ${CMAKE_SOURCE_DIR}/tests/fuzz/CMakeLists.txt)
