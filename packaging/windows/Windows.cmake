# The Windows installation: one folder holding the program, the Qt libraries and plugins it loads,
# MinGW's run-time libraries, the README and the licence. CPack packs it as the installer
# Brackenfeld-<version>-win64.exe (NSIS: Start-menu entry, icon, licence page, uninstaller, /S for
# a silent install) and as a portable archive of the same name that runs from any folder it is
# unpacked to. An installed program keeps its settings and kept uploads in the user's own folder,
# %LOCALAPPDATA%\Brackenfeld, since the program's folder is the system's.

install(TARGETS brackenfeld RUNTIME DESTINATION .)
install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
              $<TARGET_FILE:Qt6::SerialPort>
        DESTINATION .)
# Qt looks for its plugins in folders beside the program.
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QModernWindowsStylePlugin> DESTINATION styles)
# What the compiler's code needs at run time, where the compiler keeps it.
foreach(library libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${library}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}")
        find_file(path ${library} PATHS ${CMAKE_FIND_ROOT_PATH} PATH_SUFFIXES lib bin
                  NO_DEFAULT_PATH REQUIRED)
    endif()
    install(FILES ${path} DESTINATION .)
    unset(path CACHE)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

set(CPACK_PACKAGE_FILE_NAME Brackenfeld-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Brackenfeld)
set(CPACK_PACKAGE_EXECUTABLES brackenfeld Brackenfeld)
set(CPACK_NSIS_PACKAGE_NAME Brackenfeld)
set(CPACK_NSIS_DISPLAY_NAME Brackenfeld)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_INSTALLED_ICON_NAME brackenfeld.exe)
set(CPACK_NSIS_MUI_ICON ${CMAKE_CURRENT_LIST_DIR}/brackenfeld.ico)
set(CPACK_NSIS_MUI_UNIICON ${CMAKE_CURRENT_LIST_DIR}/brackenfeld.ico)
set(CPACK_NSIS_URL_INFO_ABOUT https://brackenfeld.org/)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# A 64-bit installer and uninstaller for a 64-bit program: a 32-bit one would need the 32-bit side
# of Windows, which 64-bit Windows may leave out (Server Core, Windows on Arm's x64 emulation).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_GENERATOR NSIS ZIP)
