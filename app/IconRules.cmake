add_executable(harbrook-icon harbrook-icon.cpp)
harbrook_defaults(harbrook-icon)
target_link_libraries(harbrook-icon PRIVATE harbrook_app)

# The PNG sizes of the application icon, drawn at build time by our own code.
set(HARBROOK_ICON_DIR ${CMAKE_CURRENT_BINARY_DIR}/icons)
add_custom_command(OUTPUT ${HARBROOK_ICON_DIR}/256x256/harbrook.png
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:harbrook-icon> ${HARBROOK_ICON_DIR}
    DEPENDS harbrook-icon
    COMMENT "Drawing the application icon")
add_custom_target(harbrook-icons ALL DEPENDS ${HARBROOK_ICON_DIR}/256x256/harbrook.png)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${HARBROOK_ICON_DIR}/${size}x${size}/harbrook.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
