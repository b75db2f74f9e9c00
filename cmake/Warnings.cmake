# Warnings are errors on our own code; third-party headers come in as system includes.
function(dr_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-unused-parameter)
  # GCC 12 at -O3 reports -Wrestrict on the standard library's own `"literal" + std::string`
  # (a known false positive), which would stop every optimised build.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()

# dr_layer(name dir DEPS ...): a static library from every .cpp in src/<dir>, and in those of its
# sub-folders that this platform compiles (DR_PLATFORM_FOLDERS). A file that exists for one
# platform only lives in that platform's folder and is never compiled on the other; twins are
# files of the same name in each platform's folder, behind one portable header in src/<dir>.
function(dr_layer name dir)
  cmake_parse_arguments(L "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${dir}/*.cpp)
  foreach(folder ${DR_PLATFORM_FOLDERS})
    file(GLOB folder_srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${dir}/${folder}/*.cpp)
    list(APPEND srcs ${folder_srcs})
  endforeach()
  if(NOT srcs)
    set(srcs ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${L_DEPS})
  dr_warnings(${name})
endfunction()
