# Build trees that are made once from nothing (the sanitizer, thread and fuzz
# trees of the test run) compile each folder as a few large units, so that the
# standard headers are parsed a few times, not once per file. A developer's
# tree keeps one unit per file, so that an edit recompiles one file.
option(QV_UNITY "Compile each engine folder as a few large units" OFF)

# qv_unity(TARGET): groups the target's sources into units when QV_UNITY is on.
function(qv_unity target)
  if(QV_UNITY)
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  endif()
endfunction()

# qv_folder_library(NAME DEPS...): one static library from the .cpp files of the
# calling folder, its include root at src/, linking the given lower targets.
function(qv_folder_library name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARGN})
    qv_unity(${name})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# qv_folder_objects(NAME): the .cpp files of the calling folder as an object
# library, to be combined with its sibling folders into one library.
function(qv_folder_objects name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} OBJECT ${sources} ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARGN})
  qv_unity(${name})
endfunction()
