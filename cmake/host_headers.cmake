# Header-only libraries for a cross build. The target has no packages of its
# own for nlohmann/json and CLI11, and the host's package files name
# /usr/include, which would put glibc's headers before the target's. So the
# host's copies of just these two header folders are copied into the build
# folder, and the targets the project links point there.
function(ferro_host_header_only target header)
  string(MAKE_C_IDENTIFIER "${target}" var)
  find_path(FERRO_HOST_${var}_DIR ${header} PATHS /usr/include /usr/local/include
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT FERRO_HOST_${var}_DIR)
    message(FATAL_ERROR "${header} not found on the host (install its Debian package)")
  endif()
  # The header's top folder: nlohmann/json.hpp -> nlohmann
  string(REGEX REPLACE "/.*" "" top "${header}")
  set(staged "${CMAKE_BINARY_DIR}/host-headers/${var}")
  file(COPY "${FERRO_HOST_${var}_DIR}/${top}" DESTINATION "${staged}")
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${staged}")
endfunction()

ferro_host_header_only(nlohmann_json::nlohmann_json nlohmann/json.hpp)
ferro_host_header_only(CLI11::CLI11 CLI/CLI.hpp)
