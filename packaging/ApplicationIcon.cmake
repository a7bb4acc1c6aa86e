# The application icon: resources/icons/reciplex.svg rendered to PNG at the
# hicolor theme's usual sizes, compiled into reciplex_ui as :/icons/reciplex-N.png
# (the window, the About box and the splash) and installed with the desktop
# entry. rsvg-convert comes from Debian's librsvg2-bin (tools/ensure-packages.sh).
find_program(RSVG_CONVERT rsvg-convert)
if(NOT RSVG_CONVERT)
  message(FATAL_ERROR "rsvg-convert renders the application icon: install librsvg2-bin (tools/ensure-packages.sh does)")
endif()

set(RECIPLEX_ICON_SVG ${CMAKE_SOURCE_DIR}/resources/icons/reciplex.svg)
set(RECIPLEX_ICON_SIZES 16 22 24 32 48 64 128 256)
set(RECIPLEX_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
file(MAKE_DIRECTORY ${RECIPLEX_ICON_DIR})

set(icon_pngs)
foreach(size ${RECIPLEX_ICON_SIZES})
  set(png ${RECIPLEX_ICON_DIR}/reciplex-${size}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${RECIPLEX_ICON_SVG}
    DEPENDS ${RECIPLEX_ICON_SVG}
    COMMENT "Rendering the application icon at ${size} px"
    VERBATIM)
  list(APPEND icon_pngs ${png})
endforeach()

qt_add_resources(reciplex_ui reciplex_icons PREFIX /icons BASE ${RECIPLEX_ICON_DIR} FILES ${icon_pngs})
