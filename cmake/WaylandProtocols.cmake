# orvo_wayland_protocols(target xml...): a static library of the client code wayland-scanner
# writes for each protocol definition, its headers on the include path.
find_program(ORVO_WAYLAND_SCANNER wayland-scanner REQUIRED)
function(orvo_wayland_protocols target)
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/${target})
  file(MAKE_DIRECTORY ${generated})
  set(sources)
  foreach(xml ${ARGN})
    get_filename_component(protocol ${xml} NAME_WE)
    set(header ${generated}/${protocol}-client-protocol.h)
    set(code ${generated}/${protocol}-protocol.c)
    add_custom_command(OUTPUT ${header} ${code}
      COMMAND ${ORVO_WAYLAND_SCANNER} client-header ${xml} ${header}
      COMMAND ${ORVO_WAYLAND_SCANNER} private-code ${xml} ${code}
      DEPENDS ${xml} VERBATIM)
    list(APPEND sources ${header} ${code})
  endforeach()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${generated})
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(ORVO_WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
  target_link_libraries(${target} PUBLIC PkgConfig::ORVO_WAYLAND_CLIENT)
endfunction()
