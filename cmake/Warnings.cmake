# Warnings are errors on our own code; third-party headers come in as system includes.
function(dr_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-unused-parameter)
  # GCC 12 at -O3 reports -Wrestrict on the standard library's own `"literal" + std::string`
  # (a known false positive), which would stop every optimised build.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()

# dr_layer(name dir DEPS ...): a static library from every .cpp in src/<dir>.
function(dr_layer name dir)
  cmake_parse_arguments(L "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${dir}/*.cpp)
  if(WIN32)
    # Windows: <dir>/windows/X.cpp replaces <dir>/X.cpp, or adds to the layer when there is no
    # X.cpp; the files in DR_WINDOWS_SKIP are left out. Elsewhere windows/ is never built.
    file(GLOB win_srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${dir}/windows/*.cpp)
    foreach(win ${win_srcs})
      get_filename_component(base ${win} NAME)
      list(REMOVE_ITEM srcs ${PROJECT_SOURCE_DIR}/src/${dir}/${base})
    endforeach()
    foreach(skip ${DR_WINDOWS_SKIP})
      list(REMOVE_ITEM srcs ${PROJECT_SOURCE_DIR}/src/${skip})
    endforeach()
    list(APPEND srcs ${win_srcs})
  endif()
  if(NOT srcs)
    set(srcs ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${L_DEPS})
  dr_warnings(${name})
endfunction()
