# The folders of src/ and the arrows between them, stated once.
#
# Each folder is one library, orbitchat_<folder with "/" as "_">. It links the folders its arrows
# name (and, through them, what those link), and its include path holds its own folder and theirs,
# nothing more: headers are reached as "platform/ui/UIView.h" through a folder of links in the
# build tree that holds only the library's own folder. An include against the arrows does not
# compile, whichever file it is in. Arrows through a folder are allowed (hud uses the dispatch
# folder through ui).
#
# A folder's CMakeLists makes its library and then calls orbitchat_layer(<folder>); third-party
# libraries stay with the folder that uses them.

set(ORBITCHAT_ARROWS_platform/foundation "")
set(ORBITCHAT_ARROWS_platform/dispatch platform/foundation)
set(ORBITCHAT_ARROWS_platform/graphics platform/foundation platform/process)
set(ORBITCHAT_ARROWS_platform/ui platform/foundation platform/dispatch platform/graphics)
set(ORBITCHAT_ARROWS_platform/layout platform/ui)
set(ORBITCHAT_ARROWS_platform/dynamics platform/ui)
set(ORBITCHAT_ARROWS_platform/net platform/dispatch platform/process)
set(ORBITCHAT_ARROWS_platform/prefs platform/ui)
set(ORBITCHAT_ARROWS_platform/applist platform/ui)
set(ORBITCHAT_ARROWS_platform/process platform/foundation)
set(ORBITCHAT_ARROWS_platform/prefslibs platform/prefs platform/applist platform/process)
set(ORBITCHAT_ARROWS_hud platform/ui platform/layout)
set(ORBITCHAT_ARROWS_confetti platform/ui platform/dynamics)
set(ORBITCHAT_ARROWS_pane hud confetti platform/prefs platform/applist platform/net platform/process)
set(ORBITCHAT_ARROWS_loopback platform/net)
# The simulator reaches loopback only from its catalogue server's module, which links it itself
# (src/sim/CMakeLists.txt), so the program does not link the HTTPS server library or OpenSSL.
set(ORBITCHAT_ARROWS_sim pane platform/prefslibs)

function(orbitchat_layer_target out folder)
  string(REPLACE "/" "_" name "orbitchat_${folder}")
  set(${out} ${name} PARENT_SCOPE)
endfunction()

function(orbitchat_layer folder)
  if(NOT DEFINED ORBITCHAT_ARROWS_${folder})
    message(FATAL_ERROR "src/${folder} has no arrows in cmake/OrbitchatLayers.cmake")
  endif()
  orbitchat_layer_target(target ${folder})
  set(stage ${CMAKE_BINARY_DIR}/layers/${target})
  get_filename_component(parent ${stage}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT IS_SYMLINK ${stage}/${folder})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${folder} ${stage}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${stage})
  foreach(dep IN LISTS ORBITCHAT_ARROWS_${folder})
    orbitchat_layer_target(dep_target ${dep})
    target_link_libraries(${target} PUBLIC ${dep_target})
  endforeach()
endfunction()
